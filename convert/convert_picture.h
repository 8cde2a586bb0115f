// Converting one file: a still to a PNG of the picture's own pixels (or a
// GIF or WebP of one frame), a picture's colour cycling to an animation.
#pragma once

#include <cstdint>
#include <string>

#include "convert/convert_options.h"

namespace lanterna {

struct ConvertResult {
    int32_t code = 0;    // 0, a result code of the table, a DOS code, or CONVERT_*
    std::string output;  // the file written, or the one that failed
    std::string note;    // said on standard error beside a success
};

// What --format asks that the picture cannot be: more colours than a GIF
// frame holds, or an animation asked for as one PNG.
constexpr int32_t CONVERT_TOO_MANY_COLOURS = -3;
constexpr int32_t CONVERT_NEEDS_ANIMATION = -4;

struct FrameSink;
struct SinkFormat;

// The output of `input` in the shape of `format` (its kind, size and
// pixels): named after the input, or standard output; result->output names it.
int32_t OpenOutputSink(const std::string& input, const ConvertOptions& options, SinkFormat format,
                       ConvertResult* result, FrameSink** sink);

// A still or a picture's cycling; a FORM ANIM goes to ConvertAnimFile.
ConvertResult ConvertFile(const std::string& input, const ConvertOptions& options);

}  // namespace lanterna
