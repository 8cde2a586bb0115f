// Showing one picture: read its chunks, open a display that fits, draw it row
// by row while the file is read, view it, and release everything.
#pragma once

#include <cstdint>

namespace lanterna {

int32_t ShowPicture(const char* path);

}  // namespace lanterna
