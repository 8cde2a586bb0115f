// The facts of the picture on view, for the window's F1 overlay: one
// "Label: value" line each for the file, its form, size and page, planes,
// display mode, colours, colour ranges and compression.
#pragma once

#include <string>

#include "records/picture_info.h"

namespace lanterna {

// Lines separated by '\n', in ASCII but for the file's own name. Read once
// the display parameters are chosen (the mode word is then final).
std::string PictureFacts(const char* path, const PictureInfo& picture);

}  // namespace lanterna
