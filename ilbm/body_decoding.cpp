// BODY row decoders. A picture row is its plane rows one after another (plane
// 0 first, then the mask row of a masked picture); each plane row is padded to
// whole 16-bit words. In ByteRun1 a control byte n of 0..127 is followed by
// n + 1 literal bytes, -1..-127 by one byte to be repeated 1 - n times, and
// -128 does nothing. Most writers pack each plane row on its own, but some
// pack the whole BODY as one stream, so a run may pass the end of its plane
// row: its rest goes on in the next plane row, and in the next picture row
// after the last plane. The reader carries such a run from one call to the
// next, so rows are still decoded one at a time. Only data that runs out
// ends the decoding.
#include "ilbm/body_decoding.h"

#include <cstring>
#include <new>

#include "ilbm/byte_run1_short_runs.h"
#include "ilbm/ilbm_session.h"
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
    int32_t got = os::ReadChunkBytes(reader->iff, reader->buffer, n);
    if (got < 0) {
        // A file cut short ends inside this read: the bytes it still held
        // are in the buffer and are decoded like the last of the BODY.
        const int32_t tail = IlbmBytesAtEnd(reader->iff);
        if (tail < 0) return got;  // the stream failed
        got = tail;
    }
    if (got == n) {
        reader->position = reader->buffer;
        reader->bufferLeft = n;
        reader->chunkLeft -= n;
        return 0;
    }
    // Fewer bytes than the chunk claims: they are the last there are.
    reader->chunkLeft = 0;
    if (got <= 0) return -1;
    reader->position = reader->buffer;
    reader->bufferLeft = got;
    return 0;
}

int32_t DecodeByteRun1Row(BodyReader* reader, RowBuffers* rows, int32_t planeRows) {
    const int32_t bytesPerRow = rows->planeView.BytesPerRow;
    // The hot loop works on local copies of the input position and the run.
    const uint8_t* in = reader->position;
    int32_t avail = reader->bufferLeft;
    int32_t runLeft = reader->runLeft;
    bool repeats = reader->runRepeats;
    uint8_t value = reader->runByte;
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
            if (runLeft == 0) {
                DecodeShortRuns(in, avail, out, remaining);
                if (remaining == 0) break;
                LANTERNA_NEED_INPUT();
                const int8_t n = int8_t(*in++);
                --avail;
                if (n >= 0) {
                    runLeft = n + 1;
                    repeats = false;
                } else if (n != -128) {
                    LANTERNA_NEED_INPUT();
                    value = *in++;
                    --avail;
                    runLeft = 1 - n;
                    repeats = true;
                } else {
                    continue;  // a no-op
                }
            }
            // As much of the run as this row still takes; the rest waits
            // for the next row.
            int32_t count = runLeft < remaining ? runLeft : remaining;
            if (repeats) {
                std::memset(out, value, size_t(count));
                out += count;
                remaining -= count;
                runLeft -= count;
                continue;
            }
            while (count > 0) {
                LANTERNA_NEED_INPUT();
                const int32_t piece = count < avail ? count : avail;
                std::memcpy(out, in, size_t(piece));
                out += piece;
                in += piece;
                avail -= piece;
                count -= piece;
                remaining -= piece;
                runLeft -= piece;
            }
        }
    }
#undef LANTERNA_NEED_INPUT

done:
    reader->position = const_cast<uint8_t*>(in);
    reader->bufferLeft = avail;
    reader->runLeft = runLeft;
    reader->runRepeats = repeats;
    reader->runByte = value;
    return result;
}

}  // namespace lanterna
