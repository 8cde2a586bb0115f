// IFF parsing of one picture file through the read-ahead stream: the parser
// reads and seeks through a hook that forwards to the stream.
#include "ilbm/ilbm_session.h"

#include <climits>
#include <iterator>
#include <mutex>
#include <new>

#include "ilbm/anim_header.h"
#include "ilbm/buffered_stream.h"
#include "platform/dos/dos.h"
#include "records/ilbm_records.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

constexpr int32_t STREAM_BUFFER_TOTAL = 8192;
// FORM, its size and its type: a file shorter than this is no IFF file.
constexpr int64_t IFF_HEADER_BYTES = 12;

// The parser's view of the file: the read-ahead stream, how far the parser
// has read into it, and how the last failed read ended. A read at the end of
// the file delivers what the file still held before it fails, so the
// decoders can use the bytes of a file that was cut short.
struct IlbmStream {
    os::IFFHandle* iff = nullptr;
    IlbmStream* next = nullptr;  // the list of open sessions
    BufferedStream* stream = nullptr;  // a file; otherwise the caller's source
    PictureSource source;
    int64_t position = 0;    // bytes read or skipped so far
    int32_t bytesAtEnd = -1; // the last failed read met the end of the file after this many bytes
};

// The open sessions, so that a question about a handle is answered only for
// handles that read through this hook (tests and tools have hooks of their
// own). Only failure paths look here.
std::mutex sessionsLock;
IlbmStream* sessions = nullptr;

void AddSession(IlbmStream* state) {
    std::lock_guard<std::mutex> hold(sessionsLock);
    state->next = sessions;
    sessions = state;
}

void RemoveSession(IlbmStream* state) {
    std::lock_guard<std::mutex> hold(sessionsLock);
    for (IlbmStream** link = &sessions; *link != nullptr; link = &(*link)->next) {
        if (*link == state) {
            *link = state->next;
            return;
        }
    }
}

const IlbmStream* FindSession(const os::IFFHandle* iff) {
    std::lock_guard<std::mutex> hold(sessionsLock);
    for (const IlbmStream* state = sessions; state != nullptr; state = state->next) {
        if (state->iff == iff) return state;
    }
    return nullptr;
}

// Bytes from the file or the caller's source, with StreamRead's results. A
// source may give fewer bytes than asked before its end (a pipe): it is
// asked again until the count is there or it ends.
int32_t SourceRead(IlbmStream* state, void* buffer, int32_t count) {
    if (state->stream != nullptr) return StreamRead(state->stream, buffer, count);
    int32_t total = 0;
    while (total < count) {
        const int32_t got = state->source.read(state->source.user, static_cast<uint8_t*>(buffer) + total,
                                               count - total);
        if (got < 0 || got > count - total) return -1;
        if (got == 0) break;
        total += got;
    }
    return total;
}

// 0 or -1. A source without a seek of its own moves forward by reading and
// dropping the bytes; it cannot move back.
int32_t SourceSeek(IlbmStream* state, int32_t distance) {
    if (state->stream != nullptr) return StreamSeek(state->stream, distance) == -1 ? -1 : 0;
    if (state->source.seek != nullptr) return state->source.seek(state->source.user, distance) == 0 ? 0 : -1;
    if (distance < 0) return -1;
    uint8_t dropped[512];
    while (distance > 0) {
        const int32_t step = distance < int32_t(sizeof dropped) ? distance : int32_t(sizeof dropped);
        if (SourceRead(state, dropped, step) != step) return -1;
        distance -= step;
    }
    return 0;
}

// Reads succeed only when the full count arrived (a short read at the end of
// the file fails like an error, with the bytes that came kept in the
// caller's buffer); seeks are relative to the current position.
int32_t IlbmStreamHookEntry(os::Hook*, os::IFFHandle* iff, os::IFFStreamCmd* cmd) {
    auto* state = static_cast<IlbmStream*>(iff->iff_Stream);
    switch (cmd->sc_Command) {
        case os::IFFCMD_READ: {
            const int32_t got = SourceRead(state, cmd->sc_Buf, cmd->sc_NBytes);
            if (got == cmd->sc_NBytes) {
                state->position += got;
                return 0;
            }
            state->bytesAtEnd = got;  // -1: the stream failed, not the file ended
            return 1;
        }
        case os::IFFCMD_SEEK:
            if (SourceSeek(state, cmd->sc_NBytes) != 0) {
                state->bytesAtEnd = -1;
                return 1;
            }
            state->position += cmd->sc_NBytes;
            return 0;
        default:
            return 0;
    }
}

os::Hook ilbmStreamHook = {IlbmStreamHookEntry, nullptr, nullptr};

// The picture forms share their header and colour chunks; each has a BODY
// of its own layout (planar rows in ILBM, one byte a pixel in PBM, runs of
// colours in RGB8 and RGBN), and ACBM has its planes one after another in
// an ABIT chunk instead. DEEP has chunks of its own: DGBL in place of the
// BMHD, DPEL for the layout of a pixel, DBOD for the pixels.
constexpr uint32_t PictureForms[] = {ID_ILBM, ID_PBM, ID_RGB8, ID_RGBN, ID_ACBM};
constexpr uint32_t PictureChunks[] = {ID_BMHD, ID_CMAP, ID_CAMG, ID_BODY, ID_CCRT,
                                      ID_CRNG, ID_ABIT, ID_SHAM, ID_CTBL, ID_PCHG};
// The colour map in inks is written by ILBM exporters only, and DPAN (an
// animation's frame count and speed) is in an ANIM's first ILBM: stops of
// ILBM alone leave room among the parser's stops for the frames of an ANIM.
constexpr uint32_t IlbmOnlyChunks[] = {ID_CMYK, ID_DPAN};
// DEEP shares none of them: only its own chunks are stops in it (the
// parser holds a bounded number of stops).
constexpr uint32_t DeepChunks[] = {ID_DGBL, ID_DPEL, ID_DLOC, ID_DBOD, ID_TVDC};
constexpr int32_t STOP_PAIRS =
    int32_t(std::size(PictureForms) * std::size(PictureChunks) + std::size(IlbmOnlyChunks) + std::size(DeepChunks));

struct StopTable {
    int32_t pairs[2 * STOP_PAIRS];
};

constexpr StopTable MakeStopTable() {
    StopTable table{};
    int32_t at = 0;
    for (uint32_t form : PictureForms) {
        for (uint32_t chunk : PictureChunks) {
            table.pairs[at++] = int32_t(form);
            table.pairs[at++] = int32_t(chunk);
        }
    }
    for (uint32_t chunk : IlbmOnlyChunks) {
        table.pairs[at++] = int32_t(ID_ILBM);
        table.pairs[at++] = int32_t(chunk);
    }
    for (uint32_t chunk : DeepChunks) {
        table.pairs[at++] = int32_t(ID_DEEP);
        table.pairs[at++] = int32_t(chunk);
    }
    return table;
}

constexpr StopTable IlbmStopChunks = MakeStopTable();

}  // namespace

namespace {

// The session over a file (path) or over the caller's source.
os::IFFHandle* OpenSession(const char* path, const PictureSource* source) {
    os::IFFHandle* iff = os::AllocIFF();
    if (!iff) {
        // No DOS call failed, so say what did: memory ran out.
        os::SetIoErr(os::ERROR_NO_FREE_STORE);
        return nullptr;
    }
    void* memory = os::AllocVec(sizeof(IlbmStream), os::MEMF_CLEAR);
    if (!memory) {
        os::FreeIFF(iff);
        os::SetIoErr(os::ERROR_NO_FREE_STORE);
        return nullptr;
    }
    auto* state = new (memory) IlbmStream{};
    if (source != nullptr) {
        state->source = *source;
    } else {
        state->stream = StreamOpen(path, STREAM_BUFFER_TOTAL);
        if (!state->stream) {
            os::FreeVec(state);
            os::FreeIFF(iff);
            return nullptr;
        }
    }
    state->iff = iff;
    iff->iff_Stream = state;
    os::InitIFF(iff, os::IFFF_FSEEK | os::IFFF_RSEEK, &ilbmStreamHook);
    if (os::OpenIFF(iff, os::IFFF_READ) != 0) {
        const int32_t error = os::IoErr();
        if (state->stream != nullptr) StreamClose(state->stream);
        os::FreeVec(state);
        os::FreeIFF(iff);
        os::SetIoErr(error != 0 ? error : os::ERROR_NO_FREE_STORE);
        return nullptr;
    }
    AddSession(state);
    return iff;
}

}  // namespace

os::IFFHandle* OpenIlbmSession(const char* path) { return OpenSession(path, nullptr); }

os::IFFHandle* OpenIlbmSessionFrom(const PictureSource& source) {
    if (source.read == nullptr) {
        os::SetIoErr(os::ERROR_REQUIRED_ARG_MISSING);
        return nullptr;
    }
    return OpenSession(nullptr, &source);
}

int32_t RegisterIlbmStops(os::IFFHandle* iff) {
    const int32_t error = os::StopChunks(iff, IlbmStopChunks.pairs, STOP_PAIRS);
    return error == 0 ? 0 : IffResultCode(error);
}

int32_t ScanNextChunk(os::IFFHandle* iff, os::ContextNode** chunk) {
    *chunk = nullptr;
    const int32_t status = os::ParseIFF(iff, os::IFFPARSE_SCAN);
    if (status == os::IFFERR_READ) {
        // A file that ends before its IFF header is complete is no IFF file,
        // whatever its first bytes were: that is not a failure of the stream.
        const IlbmStream* state = FindSession(iff);
        if (state != nullptr && state->bytesAtEnd >= 0 &&
            state->position + state->bytesAtEnd < IFF_HEADER_BYTES) {
            return os::IFFERR_NOTIFF;
        }
    }
    if (status != 0) return status;
    *chunk = os::CurrentChunk(iff);
    return *chunk ? 0 : os::IFFERR_EOF;
}

int32_t IlbmBytesAtEnd(os::IFFHandle* iff) {
    const IlbmStream* state = FindSession(iff);
    return state != nullptr ? state->bytesAtEnd : -1;
}

int32_t IlbmSeek(os::IFFHandle* iff, int64_t distance) {
    if (distance == 0) return 0;
    if (FindSession(iff) == nullptr) return os::IFFERR_SEEK;
    auto* state = static_cast<IlbmStream*>(iff->iff_Stream);
    while (distance != 0) {
        const int32_t step = distance > INT32_MAX   ? INT32_MAX
                             : distance < -INT32_MAX ? -INT32_MAX
                                                     : int32_t(distance);
        if (SourceSeek(state, step) != 0) return os::IFFERR_SEEK;
        state->position += step;
        distance -= step;
    }
    return 0;
}

int32_t IlbmRead(os::IFFHandle* iff, void* buffer, int32_t count) {
    if (FindSession(iff) == nullptr) return os::IFFERR_READ;
    auto* state = static_cast<IlbmStream*>(iff->iff_Stream);
    const int32_t got = SourceRead(state, buffer, count);
    if (got < 0) return os::IFFERR_READ;
    state->position += got;
    return got == count ? 0 : -1;
}

void AdoptIlbmSession(os::IFFHandle* iff) {
    const IlbmStream* state = FindSession(iff);
    if (state != nullptr && state->stream != nullptr) StreamAdopt(state->stream);
}

void CloseIlbmSession(os::IFFHandle* iff) {
    if (!iff) return;
    os::CloseIFF(iff);
    auto* state = static_cast<IlbmStream*>(iff->iff_Stream);
    if (state != nullptr) {
        RemoveSession(state);
        if (state->stream != nullptr) StreamClose(state->stream);
        state->~IlbmStream();
        os::FreeVec(state);
    }
    iff->iff_Stream = nullptr;
    os::FreeIFF(iff);
}

}  // namespace lanterna
