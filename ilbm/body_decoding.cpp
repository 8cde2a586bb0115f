// BODY row decoders. A picture row is its plane rows one after another (plane
// 0 first, then the mask row of a masked picture); each plane row is padded to
// whole 16-bit words. ByteRun1 packs each plane row on its own: a control byte
// n of 0..127 is followed by n + 1 literal bytes, -1..-127 by one byte to be
// repeated 1 - n times, and -128 does nothing. A run never continues into the
// next plane row, so one that is longer than the rest of its row marks the
// data as corrupt.
#include "ilbm/body_decoding.h"

#include <cstring>
#include <new>

#include "platform/exec/exec.h"

namespace lanterna {

int32_t ReadPlainRow(os::IFFHandle* iff, RowBuffers* rows, int32_t planeRows) {
    const int32_t bytes = rows->planeView.BytesPerRow;
    for (int32_t i = 0; i < planeRows; ++i) {
        const int32_t got = os::ReadChunkBytes(iff, rows->planeView.Planes[i], bytes);
        if (got != bytes) return got;
    }
    return 0;
}

BodyReader* OpenBodyReader(os::IFFHandle* iff, int32_t bodySize) {
    void* memory = os::AllocVec(sizeof(BodyReader), os::MEMF_ANY);
    if (!memory) return nullptr;
    auto* reader = new (memory) BodyReader;
    reader->iff = iff;
    reader->position = reader->buffer;
    reader->chunkLeft = bodySize;
    reader->bufferLeft = 0;
    return reader;
}

void CloseBodyReader(BodyReader* reader) {
    if (!reader) return;
    reader->~BodyReader();
    os::FreeVec(reader);
}

int32_t RefillBodyReader(BodyReader* reader) {
    if (reader->chunkLeft <= 0) return -1;
    const int32_t n = reader->chunkLeft < BODY_READER_BUFFER_SIZE ? reader->chunkLeft : BODY_READER_BUFFER_SIZE;
    const int32_t got = os::ReadChunkBytes(reader->iff, reader->buffer, n);
    if (got == n) {
        reader->position = reader->buffer;
        reader->bufferLeft = n;
        reader->chunkLeft -= n;
        return 0;
    }
    // A parser error goes back as it came; a short count means the data ran out.
    return got < 0 ? got : -1;
}

int32_t DecodeByteRun1Row(BodyReader* reader, RowBuffers* rows, int32_t planeRows) {
    const int32_t bytesPerRow = rows->planeView.BytesPerRow;
    // The hot loop works on local copies of the input position.
    const uint8_t* in = reader->position;
    int32_t avail = reader->bufferLeft;
    int32_t result = 0;

#define LANTERNA_NEED_INPUT()                          \
    if (avail == 0) {                                  \
        reader->position = const_cast<uint8_t*>(in);   \
        reader->bufferLeft = 0;                        \
        result = RefillBodyReader(reader);             \
        if (result != 0) goto done;                    \
        in = reader->position;                         \
        avail = reader->bufferLeft;                    \
    }

    for (int32_t plane = 0; plane < planeRows; ++plane) {
        uint8_t* out = rows->planeView.Planes[plane];
        int32_t remaining = bytesPerRow;
        while (remaining > 0) {
            LANTERNA_NEED_INPUT();
            const int8_t n = int8_t(*in++);
            --avail;
            if (n >= 0) {
                int32_t count = n + 1;
                if (count > remaining) {
                    result = -1;
                    goto done;
                }
                remaining -= count;
                while (count > 0) {
                    LANTERNA_NEED_INPUT();
                    const int32_t piece = count < avail ? count : avail;
                    std::memcpy(out, in, size_t(piece));
                    out += piece;
                    in += piece;
                    avail -= piece;
                    count -= piece;
                }
            } else if (n != -128) {
                const int32_t count = 1 - n;
                if (count > remaining) {
                    result = -1;
                    goto done;
                }
                LANTERNA_NEED_INPUT();
                std::memset(out, *in++, size_t(count));
                --avail;
                out += count;
                remaining -= count;
            }
        }
    }
#undef LANTERNA_NEED_INPUT

done:
    reader->position = const_cast<uint8_t*>(in);
    reader->bufferLeft = avail;
    return result;
}

}  // namespace lanterna
