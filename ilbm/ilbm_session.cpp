// IFF parsing of one picture file through the read-ahead stream: the parser
// reads and seeks through a hook that forwards to the stream.
#include "ilbm/ilbm_session.h"

#include "ilbm/buffered_stream.h"
#include "platform/dos/dos.h"
#include "records/ilbm_records.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

constexpr int32_t STREAM_BUFFER_TOTAL = 8192;

// Reads succeed only when the full count arrived (a short read at the end of
// the file fails like an error); seeks are relative to the current position.
int32_t IlbmStreamHookEntry(os::Hook*, os::IFFHandle* iff, os::IFFStreamCmd* cmd) {
    auto* stream = static_cast<BufferedStream*>(iff->iff_Stream);
    switch (cmd->sc_Command) {
        case os::IFFCMD_READ:
            return StreamRead(stream, cmd->sc_Buf, cmd->sc_NBytes) == cmd->sc_NBytes ? 0 : 1;
        case os::IFFCMD_SEEK:
            return StreamSeek(stream, cmd->sc_NBytes) == -1 ? 1 : 0;
        default:
            return 0;
    }
}

os::Hook ilbmStreamHook = {IlbmStreamHookEntry, nullptr, nullptr};

const int32_t IlbmStopChunks[] = {
    int32_t(ID_ILBM), int32_t(ID_BMHD), int32_t(ID_ILBM), int32_t(ID_CMAP),
    int32_t(ID_ILBM), int32_t(ID_CAMG), int32_t(ID_ILBM), int32_t(ID_BODY),
    int32_t(ID_ILBM), int32_t(ID_CCRT), int32_t(ID_ILBM), int32_t(ID_CRNG),
};

}  // namespace

os::IFFHandle* OpenIlbmSession(const char* path) {
    os::IFFHandle* iff = os::AllocIFF();
    if (!iff) {
        // No DOS call failed, so say what did: memory ran out.
        os::SetIoErr(os::ERROR_NO_FREE_STORE);
        return nullptr;
    }
    BufferedStream* stream = StreamOpen(path, STREAM_BUFFER_TOTAL);
    if (!stream) {
        os::FreeIFF(iff);
        return nullptr;
    }
    iff->iff_Stream = stream;
    os::InitIFF(iff, os::IFFF_FSEEK | os::IFFF_RSEEK, &ilbmStreamHook);
    if (os::OpenIFF(iff, os::IFFF_READ) != 0) {
        const int32_t error = os::IoErr();
        StreamClose(stream);
        os::FreeIFF(iff);
        os::SetIoErr(error != 0 ? error : os::ERROR_NO_FREE_STORE);
        return nullptr;
    }
    return iff;
}

int32_t RegisterIlbmStops(os::IFFHandle* iff) {
    const int32_t error = os::StopChunks(iff, IlbmStopChunks, 6);
    return error == 0 ? 0 : IffResultCode(error);
}

int32_t ScanNextChunk(os::IFFHandle* iff, os::ContextNode** chunk) {
    *chunk = nullptr;
    const int32_t status = os::ParseIFF(iff, os::IFFPARSE_SCAN);
    if (status != 0) return status;
    *chunk = os::CurrentChunk(iff);
    return *chunk ? 0 : os::IFFERR_EOF;
}

void CloseIlbmSession(os::IFFHandle* iff) {
    if (!iff) return;
    os::CloseIFF(iff);
    StreamClose(static_cast<BufferedStream*>(iff->iff_Stream));
    iff->iff_Stream = nullptr;
    os::FreeIFF(iff);
}

}  // namespace lanterna
