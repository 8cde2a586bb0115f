// IFF parsing of one picture file through the program's read-ahead stream.
#pragma once

#include <cstdint>

#include "platform/iffparse/iffparse.h"

namespace lanterna {

// Null on any failure; the caller takes the code from os::IoErr().
os::IFFHandle* OpenIlbmSession(const char* path);
// Registers the stops (ILBM, BMHD), (ILBM, CMAP), (ILBM, CAMG), (ILBM, BODY),
// (ILBM, CCRT), (ILBM, CRNG). 0, or IffResultCode of the parser's error.
int32_t RegisterIlbmStops(os::IFFHandle* iff);
// 0 with *chunk set when the parser stopped at one of the six chunks;
// otherwise the parser's negative status (IFFERR_EOF at the normal end).
int32_t ScanNextChunk(os::IFFHandle* iff, os::ContextNode** chunk);
void CloseIlbmSession(os::IFFHandle* iff);  // null is ignored

}  // namespace lanterna
