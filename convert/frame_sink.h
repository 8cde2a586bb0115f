// Where the converted frames go: one PNG, a numbered PNG a frame, an
// animated GIF or an animated lossless WebP. Frames come with their times in
// ticks of 1/60 s, the unit of colour cycling and of an animation's frame
// headers; each format's own unit (GIF's 1/100 s, WebP's milliseconds) is
// taken from the running total, so no rounding is lost over the frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lanterna {

enum class SinkKind { Png, PngSeries, Gif, Webp };

struct SinkFormat {
    SinkKind kind = SinkKind::Png;
    uint32_t width = 0;
    uint32_t height = 0;
    bool indexed = false;      // rows of colour indices, else red, green, blue
    int32_t paletteCount = 0;  // indexed: the entries of each frame's palette
    bool replace = false;      // an existing file may be replaced
    const std::vector<std::string>* inputs = nullptr;  // files never written over, --force or not
};

struct FrameSink;

// What a sink refuses to write over: an input of the run.
constexpr int32_t CONVERT_WOULD_REPLACE_INPUT = -2;

// Png, Gif, Webp: `path` is the file ("-": standard output), opened here.
// PngSeries: `path` is the name before "-0001.png"; each frame opens its own.
int32_t OpenFrameSink(const std::string& path, const SinkFormat& format, FrameSink** sink);
// The part of a frame that changed: a GIF frame after the first may be just
// that, drawn over the frame before.
struct SinkRect {
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// A frame shown from startTick until endTick; palette: paletteCount RGB
// triplets for indexed rows (null otherwise). With a rectangle (where
// SinkTakesRectangles) only its rows, of its width, follow.
int32_t BeginSinkFrame(FrameSink* sink, const uint8_t* palette, int64_t startTick, int64_t endTick,
                       const SinkRect* rect = nullptr);
bool SinkTakesRectangles(const FrameSink* sink);

// A frame the sink writes: frame (an index into the animation's frames),
// shown from startTick until endTick.
struct ShownFrame {
    size_t frame = 0;
    int64_t startTick = 0;
    int64_t endTick = 0;
};
// The frames the sink writes of an animation whose frames start at `starts`
// (the first at 0, rising) and whose last ends at endTick. Browsers play a
// GIF frame of 0 or 1 hundredths at 10, so a GIF merges a frame shown less
// than 2 with those after it: the last frame of such a run is written for
// the run's whole time (it is what the viewer shows at its end), and a run
// at the end too short for a frame of its own goes into the frame before.
// The other sinks write every frame.
std::vector<ShownFrame> SinkShownFrames(const FrameSink* sink, const std::vector<int64_t>& starts, int64_t endTick);
int32_t WriteSinkRow(FrameSink* sink, const uint8_t* line);
// With finish the file is completed (0 or the failure's code); without, the
// unfinished file is removed. Frees the sink; null is ignored.
int32_t CloseFrameSink(FrameSink* sink, bool finish);
// The file the sink writes now (a series: the frame's), for messages.
const std::string& SinkPath(const FrameSink* sink);

}  // namespace lanterna
