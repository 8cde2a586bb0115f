#include "platform/imagefile/webp_writer.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/dos/dos.h"

namespace os {

struct WebpWriter {
    FILE* file = nullptr;
    WebPAnimEncoder* encoder = nullptr;
    uint8_t* frame = nullptr;  // width x height RGB
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rowsDone = 0;
    bool inFrame = false;
    int64_t start = 0;
    int64_t lastStart = -1;
    int32_t frames = 0;
    int32_t failure = 0;
};

namespace {

int32_t Fail(WebpWriter* w, int32_t code) {
    if (w->failure == 0) w->failure = code;
    return w->failure;
}

// The gathered frame to the encoder, losslessly.
int32_t AddFrame(WebpWriter* w) {
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) return ERROR_NO_FREE_STORE;
    config.lossless = 1;
    config.exact = 1;
    // Lossless is exact at any effort; a low one halves the time of large
    // HAM frames for a file a few per cent larger (the lowest of all makes
    // them many times larger).
    config.method = 1;
    config.quality = 25;
    picture.use_argb = 1;
    picture.width = int(w->width);
    picture.height = int(w->height);
    int32_t code = 0;
    if (!WebPPictureImportRGB(&picture, w->frame, int(w->width * 3))) {
        code = ERROR_NO_FREE_STORE;
    } else if (!WebPAnimEncoderAdd(w->encoder, &picture, int(w->start), &config)) {
        code = picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY ? ERROR_NO_FREE_STORE : ERROR_BAD_NUMBER;
    }
    WebPPictureFree(&picture);
    return code;
}

}  // namespace

int32_t OpenWebpWriter(ImageOutput* output, const WebpFormat& format, WebpWriter** writer) {
    *writer = nullptr;
    if (output == nullptr || output->file == nullptr || format.width == 0 || format.height == 0 ||
        format.width > WEBP_MAX_DIMENSION || format.height > WEBP_MAX_DIMENSION) {
        return ERROR_BAD_NUMBER;
    }
    auto* w = new (std::nothrow) WebpWriter;
    if (w == nullptr) return ERROR_NO_FREE_STORE;
    w->file = output->file;
    w->width = format.width;
    w->height = format.height;
    w->frame = new (std::nothrow) uint8_t[size_t(format.width) * format.height * 3];
    WebPAnimEncoderOptions options;
    if (w->frame != nullptr && WebPAnimEncoderOptionsInit(&options)) {
        options.anim_params.loop_count = format.loop ? 0 : 1;
        w->encoder = WebPAnimEncoderNew(int(format.width), int(format.height), &options);
    }
    if (w->encoder == nullptr) {
        CloseWebpWriter(w, 0, false);
        return ERROR_NO_FREE_STORE;
    }
    *writer = w;
    return 0;
}

int32_t BeginWebpFrame(WebpWriter* writer, int64_t startMilliseconds) {
    if (writer->failure != 0) return writer->failure;
    if (writer->inFrame) return Fail(writer, ERROR_OBJECT_TOO_LARGE);
    if (startMilliseconds <= writer->lastStart || startMilliseconds > 0x7fffffff) {
        return Fail(writer, ERROR_BAD_NUMBER);
    }
    writer->start = startMilliseconds;
    writer->rowsDone = 0;
    writer->inFrame = true;
    return 0;
}

int32_t WriteWebpRow(WebpWriter* writer, const uint8_t* rgb) {
    if (writer->failure != 0) return writer->failure;
    if (!writer->inFrame) return Fail(writer, ERROR_OBJECT_TOO_LARGE);
    std::memcpy(writer->frame + size_t(writer->rowsDone) * writer->width * 3, rgb, size_t(writer->width) * 3);
    if (++writer->rowsDone == writer->height) {
        writer->inFrame = false;
        writer->lastStart = writer->start;
        ++writer->frames;
        if (const int32_t code = AddFrame(writer)) return Fail(writer, code);
    }
    return 0;
}

int32_t CloseWebpWriter(WebpWriter* writer, int64_t endMilliseconds, bool finish) {
    if (writer == nullptr) return 0;
    int32_t code = writer->failure;
    if (finish && code == 0) {
        WebPData data;
        WebPDataInit(&data);
        if (writer->inFrame || writer->frames == 0 || endMilliseconds <= writer->lastStart ||
            endMilliseconds > 0x7fffffff) {
            code = ERROR_OBJECT_TOO_LARGE;
        } else if (!WebPAnimEncoderAdd(writer->encoder, nullptr, int(endMilliseconds), nullptr) ||
                   !WebPAnimEncoderAssemble(writer->encoder, &data)) {
            code = ERROR_NO_FREE_STORE;
        } else if (std::fwrite(data.bytes, 1, data.size, writer->file) != data.size) {
            code = ERROR_DISK_FULL;
        }
        WebPDataClear(&data);
    }
    if (writer->encoder != nullptr) WebPAnimEncoderDelete(writer->encoder);
    delete[] writer->frame;
    delete writer;
    return code;
}

}  // namespace os
