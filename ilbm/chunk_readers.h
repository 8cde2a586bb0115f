// Readers of the BMHD, CMAP, CMYK, CAMG, CRNG and CCRT chunks into PictureInfo.
// Each takes the handle positioned at the start of the chunk's data and
// returns 0 or a result code.
#pragma once

#include <cstdint>

#include "platform/iffparse/iffparse.h"
#include "records/picture_info.h"

namespace lanterna {

int32_t ReadBitMapHeader(os::IFFHandle* iff, PictureInfo& picture);
int32_t ReadColourMap(os::IFFHandle* iff, int32_t chunkSize, PictureInfo& picture);
// A CMYK chunk (four bytes a colour: cyan, magenta, yellow, black) as the
// colour map, in RGB; the caller lets a CMAP win over it.
int32_t ReadCmykColourMap(os::IFFHandle* iff, int32_t chunkSize, PictureInfo& picture);
int32_t ReadDisplayMode(os::IFFHandle* iff, PictureInfo& picture);
int32_t ReadColourRange(os::IFFHandle* iff, PictureInfo& picture);
int32_t ReadCycleTiming(os::IFFHandle* iff, PictureInfo& picture);

}  // namespace lanterna
