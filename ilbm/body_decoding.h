// BODY decoding: one picture row per call into the plane rows of RowBuffers.
#pragma once

#include <cstdint>

#include "platform/iffparse/iffparse.h"
#include "records/row_buffers.h"

namespace lanterna {

constexpr int32_t BODY_READER_BUFFER_SIZE = 4096;

struct BodyReader {
    os::IFFHandle* iff = nullptr;
    uint8_t buffer[BODY_READER_BUFFER_SIZE];
    uint8_t* position = nullptr;
    int32_t chunkLeft = 0;
    int32_t bufferLeft = 0;
};

// 0 when all plane rows were read in full; otherwise the first ReadChunkBytes
// result that was not a full plane row.
int32_t ReadPlainRow(os::IFFHandle* iff, RowBuffers* rows, int32_t planeRows);
BodyReader* OpenBodyReader(os::IFFHandle* iff, int32_t bodySize);  // null: no memory
void CloseBodyReader(BodyReader* reader);  // null is ignored
int32_t RefillBodyReader(BodyReader* reader);
// 0: the row is complete; -1: data corrupt or used up; other negative: iffparse error.
int32_t DecodeByteRun1Row(BodyReader* reader, RowBuffers* rows, int32_t planeRows);

}  // namespace lanterna
