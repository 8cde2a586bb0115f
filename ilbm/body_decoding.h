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
    // A ByteRun1 run longer than what was left of its row goes on in the
    // next row: its bytes still to come, and whether they repeat runByte or
    // are literal bytes still in the input.
    int32_t runLeft = 0;
    bool runRepeats = false;
    uint8_t runByte = 0;
    uint8_t runColour[3] = {};  // RGB8 / RGBN: the colour of the run
    uint8_t runPixel[DEEP_MAX_PIXEL_BYTES] = {};  // DEEP: the pixel a run repeats
};

// 0 when all plane rows were read in full; otherwise the first ReadChunkBytes
// result that was not a full plane row. A file that ends inside the BODY
// gives the parser's read error; IlbmBytesAtEnd tells it from a failing
// stream.
int32_t ReadPlainRow(os::IFFHandle* iff, RowBuffers* rows, int32_t planeRows);
BodyReader* OpenBodyReader(os::IFFHandle* iff, int32_t bodySize);  // null: no memory
void CloseBodyReader(BodyReader* reader);  // null is ignored
int32_t RefillBodyReader(BodyReader* reader);
// 0: the row is complete; -1: the data is used up before it; other negative:
// iffparse error. The BODY is one ByteRun1 stream: a run that passes the end
// of a plane row goes on in the next one.
int32_t DecodeByteRun1Row(BodyReader* reader, RowBuffers* rows, int32_t planeRows);

}  // namespace lanterna
