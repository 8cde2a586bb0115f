// The converter's command line, in the style of the usual Linux converters:
// options and files in any order, "--" ends the options, "-" is standard
// input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lanterna {

enum class OutputKind { Chosen, Png, Gif, Webp };  // Chosen: by what the file holds

constexpr int32_t CONVERT_DEFAULT_CYCLE_SECONDS = 10;
constexpr int32_t CONVERT_MAX_CYCLE_SECONDS = 600;
constexpr int32_t CONVERT_MAX_SCALE = 16;

struct ConvertOptions {
    std::string outputDir;  // empty: beside each input; "-": standard output
    bool aspect = false;    // hires and interlaced in the window's shape
    int32_t scale = 1;      // whole steps
    bool frames = false;    // one PNG a frame
    bool cycle = false;
    int32_t cycleSeconds = CONVERT_DEFAULT_CYCLE_SECONDS;  // when the period is longer than a minute
    OutputKind kind = OutputKind::Chosen;
    bool force = false;
    bool halfBrite = false;  // a 6-plane picture without a display mode is Extra-Half-Brite
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

// 0 with *options filled, or 1 with *message saying what is wrong.
int32_t ParseConvertOptions(int argc, const char* const* argv, ConvertOptions* options, std::string* message);

}  // namespace lanterna
