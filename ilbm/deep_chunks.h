// Readers of the chunks of FORM DEEP (TVPaint's chunky true colour) that
// come before its pixels: DGBL, DPEL, DLOC and TVDC. Each takes the handle at
// the start of the chunk's data and returns 0 or a result code.
#pragma once

#include <cstdint>

#include "platform/iffparse/iffparse.h"
#include "records/picture_info.h"

namespace lanterna {

// DGBL: the size of the picture, its compression and its pixel aspect.
int32_t ReadDeepGlobals(os::IFFHandle* iff, PictureInfo& picture);
// DPEL: the elements of a pixel. ERR_CORRUPT for no elements, more than
// DEEP_MAX_ELEMENTS, an element of 0 bits or more than 32, or a chunk too
// short for its count; ERR_NO_SCREEN_MODE for elements that are sound but
// make no colour a screen shows (other than 8 or 16 bits each, red, green
// and blue of different depths, or one of them missing or twice).
int32_t ReadDeepPixelFormat(os::IFFHandle* iff, int32_t chunkSize, PictureInfo& picture);
// DLOC: the size of the body that follows.
int32_t ReadDeepLocation(os::IFFHandle* iff, PictureInfo& picture);
// TVDC: the 16 deltas of compression 5.
int32_t ReadTvdcTable(os::IFFHandle* iff, PictureInfo& picture);

}  // namespace lanterna
