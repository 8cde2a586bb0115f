// The thumbnailer's command line, as the desktop's thumbnail conventions
// call it: `-s SIZE INPUT OUTPUT`, the input a path or a file:// URI.
#pragma once

#include <cstdint>
#include <string>

namespace lanterna {

struct ThumbnailArguments {
    uint32_t size = 256;
    std::string input;   // a path, the URI decoded
    std::string output;
};

// True when the arguments parse.
bool ParseThumbnailArguments(int count, const char* const* arguments, ThumbnailArguments* parsed);

}  // namespace lanterna
