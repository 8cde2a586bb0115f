// FORM ANIM to an animated GIF (colour-mapped frames) or lossless WebP (HAM
// and deeper), or to a PNG a frame, through the picture reader's frames
// (ilbm/anim_reader.h). The file is read twice: once for the frames' times
// (a GIF frame's delay comes before it) and the loop rule, once to write.
#pragma once

#include <string>

#include "convert/convert_picture.h"

namespace lanterna {

ConvertResult ConvertAnimFile(const std::string& input, const ConvertOptions& options);

}  // namespace lanterna
