// The title of a picture's window on the desktop: the file's name, the
// picture's size and kind as people name them, then the program.
#pragma once

#include <cstdint>
#include <string>

#include "records/picture_info.h"

namespace lanterna {

// "king_tut.iff — 320×200, 32 colours — Lanterna"; the kind is "N colours",
// "Extra-Half-Brite", "HAM6", "HAM8" or "N-bit" for deep pictures.
// An animation adds ", animation", or ", animation of N frames" once its
// frames are counted (frames: -1 a still, 0 not yet counted).
std::string WindowTitle(const char* path, const PictureInfo& picture, int32_t frames = -1);

}  // namespace lanterna
