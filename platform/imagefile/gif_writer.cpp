#include "platform/imagefile/gif_writer.h"

#include <gif_lib.h>

#include <new>

#include "platform/dos/dos.h"

namespace os {

struct GifWriter {
    GifFileType* gif = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t frameWidth = 0;
    uint32_t rowsLeft = 0;
    int32_t frames = 0;
    int32_t failure = 0;
};

namespace {

int WriteBytes(GifFileType* gif, const GifByteType* bytes, int count) {
    return int(std::fwrite(bytes, 1, size_t(count), static_cast<FILE*>(gif->UserData)));
}

int32_t Fail(GifWriter* w, int32_t code) {
    if (w->failure == 0) w->failure = code;
    return w->failure;
}

// The loop block browsers and players look for: loop count 0, for ever.
bool PutLoop(GifFileType* gif) {
    static const GifByteType kName[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType kForever[] = {1, 0, 0};
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof kName, kName) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof kForever, kForever) == GIF_OK &&
           EGifPutExtensionTrailer(gif) == GIF_OK;
}

}  // namespace

int32_t OpenGifWriter(ImageOutput* output, const GifFormat& format, GifWriter** writer) {
    *writer = nullptr;
    if (output == nullptr || output->file == nullptr || format.width == 0 || format.height == 0 ||
        format.width > 65535 || format.height > 65535) {
        return ERROR_BAD_NUMBER;
    }
    auto* w = new (std::nothrow) GifWriter;
    if (w == nullptr) return ERROR_NO_FREE_STORE;
    int error = 0;
    w->gif = EGifOpen(output->file, WriteBytes, &error);
    if (w->gif == nullptr) {
        delete w;
        return ERROR_NO_FREE_STORE;
    }
    w->width = format.width;
    w->height = format.height;
    EGifSetGifVersion(w->gif, true);
    // Every frame brings its own colour table: the screen has none.
    if (EGifPutScreenDesc(w->gif, int(format.width), int(format.height), 8, 0, nullptr) != GIF_OK ||
        (format.loop && !PutLoop(w->gif))) {
        CloseGifWriter(w);
        return ERROR_DISK_FULL;
    }
    *writer = w;
    return 0;
}

int32_t BeginGifFrame(GifWriter* writer, const GifFrame& frame) {
    if (writer->failure != 0) return writer->failure;
    if (writer->rowsLeft != 0) return Fail(writer, ERROR_OBJECT_TOO_LARGE);
    if (frame.width == 0 || frame.height == 0 || frame.left + frame.width > writer->width ||
        frame.top + frame.height > writer->height || frame.palette == nullptr || frame.paletteCount < 1 ||
        frame.paletteCount > 256 || frame.delayCentiseconds < 0 || frame.delayCentiseconds > 65535) {
        return Fail(writer, ERROR_BAD_NUMBER);
    }
    // A GIF colour table holds a power of two entries; the rest stay black.
    int size = 2;
    while (size < frame.paletteCount) size *= 2;
    GifColorType colours[256] = {};
    for (int32_t i = 0; i < frame.paletteCount; ++i) {
        colours[i] = {frame.palette[3 * i], frame.palette[3 * i + 1], frame.palette[3 * i + 2]};
    }
    ColorMapObject* map = GifMakeMapObject(size, colours);
    if (map == nullptr) return Fail(writer, ERROR_NO_FREE_STORE);
    // Each frame is drawn over the one before and stays (disposal 1).
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.DelayTime = frame.delayCentiseconds;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    const bool put = EGifPutExtension(writer->gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK &&
                     EGifPutImageDesc(writer->gif, int(frame.left), int(frame.top), int(frame.width),
                                      int(frame.height), false, map) == GIF_OK;
    GifFreeMapObject(map);
    if (!put) return Fail(writer, ERROR_DISK_FULL);
    writer->frameWidth = frame.width;
    writer->rowsLeft = frame.height;
    ++writer->frames;
    return 0;
}

int32_t WriteGifRow(GifWriter* writer, const uint8_t* indices) {
    if (writer->failure != 0) return writer->failure;
    if (writer->rowsLeft == 0) return Fail(writer, ERROR_OBJECT_TOO_LARGE);
    if (EGifPutLine(writer->gif, const_cast<GifPixelType*>(indices), int(writer->frameWidth)) != GIF_OK) {
        return Fail(writer, ERROR_DISK_FULL);
    }
    --writer->rowsLeft;
    return 0;
}

int32_t CloseGifWriter(GifWriter* writer) {
    if (writer == nullptr) return 0;
    int32_t code = writer->failure;
    if (code == 0 && (writer->rowsLeft != 0 || writer->frames == 0)) code = ERROR_OBJECT_TOO_LARGE;
    int error = 0;
    if (EGifCloseFile(writer->gif, &error) != GIF_OK && code == 0) code = ERROR_DISK_FULL;
    delete writer;
    return code;
}

}  // namespace os
