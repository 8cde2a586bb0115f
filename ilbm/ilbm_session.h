// IFF parsing of one picture file through the program's read-ahead stream.
#pragma once

#include <cstdint>

#include "platform/iffparse.h"

namespace lanterna {

// Null on any failure; the caller takes the code from os::IoErr().
os::IFFHandle* OpenIlbmSession(const char* path);
// Registers the stops BMHD, CMAP, CAMG, BODY, CCRT and CRNG, in that order,
// of every picture form (ILBM first, then PBM). 0, or IffResultCode of the
// parser's error.
int32_t RegisterIlbmStops(os::IFFHandle* iff);
// 0 with *chunk set when the parser stopped at one of the six chunks;
// otherwise the parser's negative status (IFFERR_EOF at the normal end;
// IFFERR_NOTIFF for a file that ends before its IFF header is complete).
int32_t ScanNextChunk(os::IFFHandle* iff, os::ContextNode** chunk);
// After a read through the session failed: the bytes the file still held
// when it ended inside that read (they are in the reader's buffer), or -1
// when the read failed for another reason or the handle is not a session's.
int32_t IlbmBytesAtEnd(os::IFFHandle* iff);
void CloseIlbmSession(os::IFFHandle* iff);  // null is ignored

}  // namespace lanterna
