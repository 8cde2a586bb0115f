// The facts of the picture on view, for the window's F1 overlay: one
// "Label: value" line each for the file, its place in the run, its form,
// size and page, planes, the display mode in the file and as used, colours,
// colour ranges (and how many of them cycle) and compression.
#pragma once

#include <cstdint>
#include <string>

#include "records/picture_info.h"

namespace lanterna {

// A picture's place in the run: the number-th (from 1) of count pictures;
// 0 where it is not known.
struct RunPlace {
    int32_t number = 0;
    int32_t count = 0;
};

// Lines separated by '\n', in ASCII but for the file's own name. Read once
// the reader has settled the mode; screenDepth is the display's (8 or 24).
std::string PictureFacts(const char* path, const PictureInfo& picture, int32_t screenDepth, RunPlace place = {});

}  // namespace lanterna
