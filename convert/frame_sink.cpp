#include "convert/frame_sink.h"

#include <cstdio>
#include <new>
#include <vector>

#include "platform/dos/dos.h"
#include "platform/imagefile/gif_writer.h"
#include "platform/imagefile/image_output.h"
#include "platform/imagefile/png_writer.h"
#include "platform/imagefile/webp_writer.h"

namespace lanterna {

struct FrameSink {
    SinkFormat format;
    std::string base;     // a series: the name before the number
    std::string path;     // the file being written
    os::ImageOutput output;
    os::PngWriter* png = nullptr;
    os::GifWriter* gif = nullptr;
    os::WebpWriter* webp = nullptr;
    const uint8_t* palette = nullptr;
    std::vector<uint8_t> rgb;  // WebP from indices: one row
    int32_t frames = 0;
    int64_t endTick = 0;
};

namespace {

constexpr int64_t GIF_SHORTEST_DELAY = 2;  // hundredths of a second

// A tick count in another unit, rounded to the nearest: differences of these
// totals are the frames' delays.
int64_t InUnits(int64_t ticks, int64_t unitsPerSecond) { return (ticks * unitsPerSecond * 2 + 60) / 120; }

int32_t OpenOutput(FrameSink* s) {
    if (s->format.inputs != nullptr) {
        for (const std::string& input : *s->format.inputs) {
            if (input != "-" && os::IsSameFile(input.c_str(), s->path.c_str())) return CONVERT_WOULD_REPLACE_INPUT;
        }
    }
    return os::OpenImageOutput(s->path.c_str(), s->format.replace, &s->output);
}

int32_t OpenPng(FrameSink* s, const uint8_t* palette) {
    if (const int32_t code = OpenOutput(s)) return code;
    os::PngFormat png;
    png.width = s->format.width;
    png.height = s->format.height;
    if (s->format.indexed) {
        png.pixels = os::PngPixels::Palette;
        png.palette = palette;
        png.paletteCount = s->format.paletteCount;
    }
    return os::OpenPngWriter(&s->output, png, &s->png);
}

// The PNG of a frame before: its last row written, it is finished here.
int32_t FinishPng(FrameSink* s, bool keep) {
    int32_t code = os::ClosePngWriter(s->png);
    s->png = nullptr;
    const int32_t closed = os::CloseImageOutput(&s->output, keep && code == 0);
    return code != 0 ? code : closed;
}

}  // namespace

int32_t OpenFrameSink(const std::string& path, const SinkFormat& format, FrameSink** sink) {
    *sink = nullptr;
    auto* s = new (std::nothrow) FrameSink;
    if (s == nullptr) return os::ERROR_NO_FREE_STORE;
    s->format = format;
    s->path = path;
    s->base = path;
    int32_t code = 0;
    if (format.kind == SinkKind::Gif || format.kind == SinkKind::Webp) {
        code = OpenOutput(s);
    }
    if (code == 0 && format.kind == SinkKind::Gif) {
        code = format.indexed ? os::OpenGifWriter(&s->output, {format.width, format.height, true}, &s->gif)
                              : os::ERROR_BAD_NUMBER;
    } else if (code == 0 && format.kind == SinkKind::Webp) {
        code = os::OpenWebpWriter(&s->output, {format.width, format.height, true}, &s->webp);
        if (code == 0 && format.indexed) s->rgb.resize(size_t(format.width) * 3);
    }
    if (code != 0) {
        CloseFrameSink(s, false);
        return code;
    }
    *sink = s;
    return 0;
}

int32_t BeginSinkFrame(FrameSink* s, const uint8_t* palette, int64_t startTick, int64_t endTick,
                       const SinkRect* rect) {
    s->palette = palette;
    s->endTick = endTick;
    ++s->frames;
    switch (s->format.kind) {
        case SinkKind::Png:
            return s->frames == 1 ? OpenPng(s, palette) : os::ERROR_OBJECT_TOO_LARGE;
        case SinkKind::PngSeries: {
            if (s->png != nullptr) {
                if (const int32_t code = FinishPng(s, true)) return code;
            }
            char number[16];
            std::snprintf(number, sizeof number, "-%04d.png", int(s->frames));
            s->path = s->base + number;
            return OpenPng(s, palette);
        }
        case SinkKind::Gif: {
            os::GifFrame frame;
            frame.width = s->format.width;
            frame.height = s->format.height;
            if (rect != nullptr) {
                frame.left = rect->left;
                frame.top = rect->top;
                frame.width = rect->width;
                frame.height = rect->height;
            }
            frame.palette = palette;
            frame.paletteCount = s->format.paletteCount;
            frame.delayCentiseconds = int32_t(InUnits(endTick, 100) - InUnits(startTick, 100));
            return os::BeginGifFrame(s->gif, frame);
        }
        case SinkKind::Webp:
            return os::BeginWebpFrame(s->webp, InUnits(startTick, 1000));
    }
    return os::ERROR_BAD_NUMBER;
}

int32_t WriteSinkRow(FrameSink* s, const uint8_t* line) {
    if (s->png != nullptr) return os::WritePngRow(s->png, line);
    if (s->gif != nullptr) return os::WriteGifRow(s->gif, line);
    if (s->webp == nullptr) return os::ERROR_OBJECT_TOO_LARGE;
    if (!s->format.indexed) return os::WriteWebpRow(s->webp, line);
    for (uint32_t x = 0; x < s->format.width; ++x) {
        const uint8_t* colour = s->palette + 3 * size_t(line[x]);
        s->rgb[3 * x] = colour[0];
        s->rgb[3 * x + 1] = colour[1];
        s->rgb[3 * x + 2] = colour[2];
    }
    return os::WriteWebpRow(s->webp, s->rgb.data());
}

int32_t CloseFrameSink(FrameSink* s, bool finish) {
    if (s == nullptr) return 0;
    int32_t code = finish && s->frames == 0 ? os::ERROR_OBJECT_TOO_LARGE : 0;
    finish = finish && code == 0;
    if (s->png != nullptr) {
        code = FinishPng(s, finish);
    } else if (s->gif != nullptr) {
        code = os::CloseGifWriter(s->gif);
    } else if (s->webp != nullptr) {
        code = os::CloseWebpWriter(s->webp, InUnits(s->endTick, 1000), finish);
    }
    const int32_t closed = os::CloseImageOutput(&s->output, finish && code == 0);
    if (code == 0) code = closed;
    delete s;
    return code;
}

std::vector<ShownFrame> SinkShownFrames(const FrameSink* s, const std::vector<int64_t>& starts, int64_t endTick) {
    std::vector<ShownFrame> shown;
    if (starts.empty()) return shown;
    const bool merge = s->format.kind == SinkKind::Gif;
    int64_t from = 0;  // the end of the frame written before
    for (size_t f = 0; f < starts.size(); ++f) {
        const int64_t end = f + 1 < starts.size() ? starts[f + 1] : endTick;
        if (merge && InUnits(end, 100) - InUnits(from, 100) < GIF_SHORTEST_DELAY) continue;
        shown.push_back({f, merge ? from : starts[f], end});
        from = end;
    }
    if (shown.empty()) {
        shown.push_back({starts.size() - 1, 0, endTick});  // the whole loop is shorter than a frame
    } else {
        shown.back().endTick = endTick;
    }
    return shown;
}

bool SinkTakesRectangles(const FrameSink* sink) { return sink->format.kind == SinkKind::Gif; }

const std::string& SinkPath(const FrameSink* sink) { return sink->path; }

}  // namespace lanterna
