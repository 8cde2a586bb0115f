#include "convert/anim_convert.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "convert/changed_rect.h"
#include "convert/frame_sink.h"
#include "convert/picture_lines.h"
#include "display/pixels/pixel_shape.h"
#include "display/pixels/row_pixels.h"
#include "ilbm/anim_reader.h"
#include "ilbm/memory_source.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

// A pass over the file, or over its bytes in memory.
struct Reader {
    MemoryBytes memory;
    PictureReader* reader = nullptr;
    ~Reader() { ClosePictureReader(reader); }
};

int32_t OpenFrames(const std::string& path, const std::vector<uint8_t>* bytes, const ConvertOptions& options,
                   Reader* r) {
    PictureReadOptions readOptions;
    readOptions.halfBriteWithoutMode = options.halfBrite;
    int32_t code = 0;
    if (bytes != nullptr) {
        r->memory = MemoryBytes{bytes->data(), bytes->size(), 0};
        code = OpenPictureReaderFrom(MemorySource(r->memory), readOptions, &r->reader);
    } else {
        code = OpenPictureReader(path.c_str(), readOptions, &r->reader);
    }
    if (code != 0) return code;
    if (!PictureIsAnimation(r->reader)) return ERR_NOT_ILBM;
    return OpenPictureFrames(r->reader);
}

// The times of one pass: the frames' starts in ticks, the loop rule, and
// the failure that ended the pass early.
struct Pass {
    std::vector<int64_t> starts;
    bool loopsThroughSecond = false;
    int32_t failure = 0;
};

Pass Times(const std::string& path, const std::vector<uint8_t>* bytes, const ConvertOptions& options) {
    Pass pass;
    Reader r;
    pass.failure = OpenFrames(path, bytes, options, &r);
    if (pass.failure != 0) return pass;
    PictureRow row;
    int32_t code;
    while ((code = ReadPictureRow(r.reader, &row)) == 0) {
    }
    if (code != PICTURE_ROWS_END) {
        pass.failure = code;
        return pass;
    }
    pass.starts.push_back(0);
    AnimFrame frame;
    while ((code = NextPictureFrame(r.reader, &frame)) == 0) pass.starts.push_back(pass.starts.back() + frame.delayTicks);
    if (code != ANIM_END) pass.failure = code;
    pass.loopsThroughSecond = PictureFrames(r.reader)->loopsThroughSecond;
    return pass;
}

// The frame on show's colours, every entry a pixel can take.
void FrameColours(PictureReader* reader, int32_t paletteCount, std::vector<uint8_t>* table) {
    int32_t count = 0;
    const uint8_t* colours = PictureFrameColours(reader, &count);
    table->assign(size_t(std::max(paletteCount, COLOUR_TABLE_ENTRIES)) * 3, 0);
    if (colours != nullptr) std::memcpy(table->data(), colours, size_t(std::min(count, COLOUR_TABLE_ENTRIES)) * 3);
}

// Two frames of colour indices at the picture's size, each with a colour
// table of every entry an index can take.
struct HeldFrames {
    std::unique_ptr<uint8_t[]> storage;
    uint8_t* written = nullptr;  // the frame written last
    uint8_t* current = nullptr;  // the frame on hand
    std::vector<uint8_t> writtenColours;
    std::vector<uint8_t> currentColours;
    bool any = false;  // a frame was written
};

int32_t HoldFrames(const PictureLines& lines, HeldFrames* frames) {
    const size_t size = size_t(lines.width) * lines.height;
    frames->storage.reset(new (std::nothrow) uint8_t[2 * size]);
    if (frames->storage == nullptr) return ERR_OUT_OF_MEMORY;
    frames->written = frames->storage.get();
    frames->current = frames->written + size;
    const size_t colours = size_t(std::max(lines.paletteCount, COLOUR_TABLE_ENTRIES)) * 3;
    frames->writtenColours.assign(colours, 0);
    frames->currentColours.assign(colours, 0);
    return 0;
}

// The frame on hand, as the rectangle that changed from the one written
// last (the first whole); it becomes the one written.
int32_t WriteHeldFrame(FrameSink* sink, PictureLines& lines, const ShownFrame& shown, HeldFrames* frames) {
    SinkRect changed{0, 0, lines.width, lines.height};
    if (frames->any) {
        changed = ChangedRect({frames->written, frames->writtenColours.data()},
                              {frames->current, frames->currentColours.data()}, lines.width, lines.height,
                              lines.paletteCount);
    }
    const SinkRect out{changed.left * lines.xRepeat, changed.top * lines.yRepeat, changed.width * lines.xRepeat,
                       changed.height * lines.yRepeat};
    int32_t code = BeginSinkFrame(sink, frames->currentColours.data(), shown.startTick, shown.endTick, &out);
    for (uint32_t y = changed.top; y < changed.top + changed.height && code == 0; ++y) {
        WidenLine(frames->current + size_t(y) * lines.width + changed.left, changed.width, 1, lines.xRepeat,
                  lines.line.data());
        for (int32_t k = 0; k < lines.yRepeat && code == 0; ++k) code = WriteSinkRow(sink, lines.line.data());
    }
    std::swap(frames->written, frames->current);
    frames->writtenColours.swap(frames->currentColours);
    frames->any = true;
    return code;
}

}  // namespace

ConvertResult ConvertAnimFile(const std::string& input, const ConvertOptions& options,
                              const std::vector<uint8_t>* bytes) {
    ConvertResult result;
    const Pass pass = Times(input, bytes, options);
    if (pass.starts.empty()) {
        result.code = pass.failure;
        return result;
    }
    // Painting programs' loops: the last two frames lead back to the first
    // two, so the animation is written without them unless each frame is
    // asked for.
    size_t count = pass.starts.size();
    if (pass.loopsThroughSecond && !options.frames && count > 2) count -= 2;
    const int64_t loopDelay = pass.starts.size() > 1 ? pass.starts[1] : 6;

    Reader r;
    result.code = OpenFrames(input, bytes, options, &r);
    if (result.code != 0) return result;
    const PictureInfo& info = PictureReaderInfo(r.reader);
    PixelAspect aspect;
    if (options.aspect) aspect = PixelAspectOfMode(info.modeId);
    PictureLines lines;
    result.code = StartPictureLines(r.reader, aspect.xScale * options.scale, aspect.yScale * options.scale, &lines);
    if (result.code == 0) result.code = NextPictureLine(&lines);
    if (result.code != 0) return result;
    const bool indexed = lines.bytes == 1;
    if (options.kind == OutputKind::Gif && !indexed) {
        result.code = CONVERT_TOO_MANY_COLOURS;
        return result;
    }
    if (options.kind == OutputKind::Png && !options.frames) {
        result.code = CONVERT_NEEDS_ANIMATION;
        return result;
    }
    SinkFormat format;
    format.kind = options.frames ? SinkKind::PngSeries
                  : options.kind == OutputKind::Webp || !indexed ? SinkKind::Webp : SinkKind::Gif;
    format.width = lines.outWidth;
    format.height = lines.outHeight;
    format.indexed = indexed;
    format.paletteCount = lines.paletteCount;
    FrameSink* sink = nullptr;
    result.code = OpenOutputSink(input, options, format, &result, &sink);

    const std::vector<int64_t> starts(pass.starts.begin(), pass.starts.begin() + std::ptrdiff_t(count));
    const int64_t loopEnd = count < pass.starts.size() ? pass.starts[count] : pass.starts.back() + loopDelay;
    std::vector<ShownFrame> shown;
    if (result.code == 0) shown = SinkShownFrames(sink, starts, loopEnd);
    size_t next = 0;  // the next of the frames written
    // A GIF holds two frames of indices (the one written before and the
    // one on hand) to write each as the rectangle that changed.
    const bool held = result.code == 0 && SinkTakesRectangles(sink);
    HeldFrames frames;
    if (held) result.code = HoldFrames(lines, &frames);
    // The first frame as the reader gives its rows, read whole whether
    // written or not.
    const bool first = !shown.empty() && shown[0].frame == 0;
    if (first && !held) result.code = BeginSinkFrame(sink, lines.palette.data(), shown[0].startTick, shown[0].endTick);
    for (uint32_t y = 0; result.code == 0; ++y) {
        if (held) std::memcpy(frames.current + size_t(y) * lines.width, lines.raw.data(), lines.width);
        for (int32_t k = 0; first && !held && k < lines.yRepeat && result.code == 0; ++k) {
            result.code = WriteSinkRow(sink, lines.line.data());
        }
        if (result.code != 0 || y + 1 == lines.height) break;
        result.code = NextPictureLine(&lines);
    }
    if (held && result.code == 0) {
        std::copy(lines.palette.begin(), lines.palette.end(), frames.currentColours.begin());
        if (first) result.code = WriteHeldFrame(sink, lines, shown[0], &frames);
    }
    if (first) ++next;
    std::vector<uint8_t> table;
    for (size_t f = 1; f < count && result.code == 0; ++f) {
        AnimFrame frame;
        result.code = NextPictureFrame(r.reader, &frame);
        if (result.code != 0 || next == shown.size() || shown[next].frame != f) continue;
        FrameColours(r.reader, lines.paletteCount, &table);
        if (!held) result.code = BeginSinkFrame(sink, table.data(), shown[next].startTick, shown[next].endTick);
        for (uint32_t y = 0; y < lines.height && result.code == 0; ++y) {
            RowBuffers* rows = PictureFrameRow(r.reader, int32_t(y));
            if (ConvertRowPixels(rows, table.data(), 0, lines.width, false) != lines.bytes) {
                result.code = ERR_CORRUPT;
                break;
            }
            if (held) {
                std::memcpy(frames.current + size_t(y) * lines.width, rows->lineBuffer, lines.width);
                continue;
            }
            WidenLine(rows->lineBuffer, lines.width, lines.bytes, lines.xRepeat, lines.line.data());
            for (int32_t k = 0; k < lines.yRepeat && result.code == 0; ++k) {
                result.code = WriteSinkRow(sink, lines.line.data());
            }
        }
        if (held && result.code == 0) {
            std::copy(table.begin(), table.end(), frames.currentColours.begin());
            result.code = WriteHeldFrame(sink, lines, shown[next], &frames);
        }
        ++next;
    }
    if (sink != nullptr) result.output = SinkPath(sink);
    const int32_t closed = CloseFrameSink(sink, result.code == 0);
    if (result.code == 0) result.code = closed;
    // A frame that cannot be decoded ends the animation: the frames before
    // it are written, and the file still counts as failed.
    if (result.code == 0 && pass.failure != 0) {
        result.code = pass.failure;
        result.note = "frame " + std::to_string(pass.starts.size() + 1) +
                      " cannot be decoded: the frames before it are in " + result.output;
    }
    return result;
}

}  // namespace lanterna
