// The planes of FORM ACBM: its ABIT chunk holds plane 0 of every row, then
// plane 1 of every row, and so on (the mask plane of a masked picture last),
// each plane row padded to whole 16-bit words, never packed. A picture row
// is gathered from the P planes by seeking, so only one row is ever held.
#pragma once

#include <cstdint>

#include "platform/iffparse/iffparse.h"
#include "records/row_buffers.h"

namespace lanterna {

struct AbitReader {
    os::IFFHandle* iff = nullptr;
    int64_t chunkSize = 0;
    int64_t at = 0;          // the file's position, from the start of the ABIT data
    int32_t height = 0;
    int32_t bytesPerRow = 0;
    int32_t row = 0;         // the next picture row
    bool ended = false;      // the data is over, or a read or seek failed
};

// The reader of an ABIT chunk whose data starts at the parser's position.
// Null when memory runs out.
AbitReader* OpenAbitReader(os::IFFHandle* iff, int32_t chunkSize, int32_t height, int32_t bytesPerRow);
void CloseAbitReader(AbitReader* reader);  // null is ignored
// 0: all P plane rows of the next picture row were read; -1: the chunk (or
// the file) ends before them; other negative: iffparse error.
int32_t ReadAbitRow(AbitReader* reader, RowBuffers* rows, int32_t planeRows);

}  // namespace lanterna
