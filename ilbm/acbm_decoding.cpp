// ACBM rows: plane p of row r stands at (p * height + r) * bytesPerRow in
// the ABIT data. Each plane row is fetched with a seek and a read through
// the session's stream; the parser is not asked again after the ABIT.
#include "ilbm/acbm_decoding.h"

#include <new>

#include "ilbm/ilbm_session.h"
#include "platform/exec/exec.h"

namespace lanterna {

AbitReader* OpenAbitReader(os::IFFHandle* iff, int32_t chunkSize, int32_t height, int32_t bytesPerRow) {
    void* memory = os::AllocVec(sizeof(AbitReader), os::MEMF_CLEAR);
    if (!memory) return nullptr;
    auto* reader = new (memory) AbitReader{};
    reader->iff = iff;
    reader->chunkSize = chunkSize;
    reader->height = height;
    reader->bytesPerRow = bytesPerRow;
    return reader;
}

void CloseAbitReader(AbitReader* reader) {
    if (!reader) return;
    reader->~AbitReader();
    os::FreeVec(reader);
}

int32_t ReadAbitRow(AbitReader* reader, RowBuffers* rows, int32_t planeRows) {
    if (reader->ended) return -1;
    const int64_t bytes = reader->bytesPerRow;
    for (int32_t p = 0; p < planeRows; ++p) {
        const int64_t offset = (int64_t{p} * reader->height + reader->row) * bytes;
        // A chunk too short for this plane row: the rows before are all
        // there is.
        if (offset + bytes > reader->chunkSize) {
            reader->ended = true;
            return -1;
        }
        int32_t result = IlbmSeek(reader->iff, offset - reader->at);
        if (result == 0) {
            result = IlbmRead(reader->iff, rows->planeView.Planes[p], int32_t(bytes));
        }
        if (result != 0) {
            // Where the file stands is not known any more: nothing more is read.
            reader->ended = true;
            return result;
        }
        reader->at = offset + bytes;
    }
    ++reader->row;
    return 0;
}

}  // namespace lanterna
