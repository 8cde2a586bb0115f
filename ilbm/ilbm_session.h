// IFF parsing of one picture file through the program's read-ahead stream,
// or of bytes from a caller's source (memory, a pipe).
#pragma once

#include <cstdint>

#include "platform/iffparse/iffparse.h"

namespace lanterna {

// A caller's source of a file's bytes. read: up to `count` bytes into
// `buffer`; the count read, 0 at the end, -1 on failure (fewer than asked is
// asked again). seek, when there is one: moves by a signed distance, 0 or
// -1; without it forward moves read and drop the bytes and backward ones
// fail (the planes of an ACBM need them). With decoding ahead, the source is
// called from the reader's second task too, never from two at once.
struct PictureSource {
    int32_t (*read)(void* user, void* buffer, int32_t count) = nullptr;
    int32_t (*seek)(void* user, int64_t distance) = nullptr;
    void* user = nullptr;
};

// Null on any failure; the caller takes the code from os::IoErr().
os::IFFHandle* OpenIlbmSession(const char* path);
os::IFFHandle* OpenIlbmSessionFrom(const PictureSource& source);
// Registers the stops BMHD, CMAP, CAMG, BODY, CCRT, CRNG, ABIT, SHAM, CTBL
// and PCHG, in that order, of every picture form (ILBM, PBM, RGB8, RGBN,
// ACBM), CMYK of ILBM, and the chunks of DEEP. 0, or IffResultCode of the
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
// Direct access to the file under the parser, for data that is not read in
// order (the planes of an ACBM): after it, nothing more may be parsed.
// IlbmSeek moves by a signed distance: 0, or IFFERR_SEEK. IlbmRead reads
// exactly `count` bytes: 0; -1 when the file ends first; IFFERR_READ when
// the stream fails.
int32_t IlbmSeek(os::IFFHandle* iff, int64_t distance);
int32_t IlbmRead(os::IFFHandle* iff, void* buffer, int32_t count);
// The calling task takes the session's stream over (StreamAdopt), to parse
// or decode on another task than the one that opened it; a handle that is
// not a session's is left as it is.
void AdoptIlbmSession(os::IFFHandle* iff);
void CloseIlbmSession(os::IFFHandle* iff);  // null is ignored

}  // namespace lanterna
