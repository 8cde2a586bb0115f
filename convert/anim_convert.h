// FORM ANIM to an animated GIF (colour-mapped frames) or lossless WebP (HAM
// and deeper), or to a PNG a frame, through the frame engine
// (ilbm/anim_frames.h). Until the picture reader reads an animation's first
// picture itself, the small glue here does: BMHD, CMAP, CAMG and the BODY.
#pragma once

#include <string>

#include "convert/convert_picture.h"

namespace lanterna {

// True when the file begins FORM ... ANIM.
bool IsAnimFile(const std::string& path);
ConvertResult ConvertAnimFile(const std::string& input, const ConvertOptions& options);

}  // namespace lanterna
