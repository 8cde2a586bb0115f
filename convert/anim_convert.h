// FORM ANIM to an animated GIF (colour-mapped frames) or lossless WebP (HAM
// and deeper), or to a PNG a frame, through the picture reader's frames
// (ilbm/anim_reader.h). The file is read twice: once for the frames' times
// (a GIF frame's delay comes before it) and the loop rule, once to write;
// standard input is held in memory for that (convert/standard_input.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/convert_picture.h"

namespace lanterna {

// `bytes`: the file's bytes when they are held in memory (standard input's);
// otherwise the file named `input` is read.
ConvertResult ConvertAnimFile(const std::string& input, const ConvertOptions& options,
                              const std::vector<uint8_t>* bytes = nullptr);

}  // namespace lanterna
