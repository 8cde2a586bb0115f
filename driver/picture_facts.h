// The facts of the picture on view, for the window's F1 overlay: one
// "Label: value" line each for the file, its form, size and page, planes,
// display mode, colours, colour ranges and compression.
#pragma once

#include <cstdint>
#include <string>

#include "records/picture_info.h"

namespace lanterna {

// Lines separated by '\n', in ASCII but for the file's own name. Read once
// the reader has settled the mode; screenDepth is the display's (8 or 24).
std::string PictureFacts(const char* path, const PictureInfo& picture, int32_t screenDepth);

}  // namespace lanterna
