// libFuzzer target over the delta operations of FORM ANIM: every operation
// (and its bits) on frames of random sizes and depths. The frame buffer is
// allocated to its exact size, so a store outside it is a finding under
// AddressSanitizer; a result other than 0, ERR_CORRUPT or ERR_COMPRESSION is
// one too.
//
// Inputs whose first byte is 0xFF are a whole FORM ANIM instead, played
// through the frame engine over an IFF handle in memory: two passes, the
// second after the engine's restart, so its chunk reading, size checks and
// loop rule meet every kind of damage.
//
// Input: 16 bytes of set-up, then the chunk:
//   0 operation (index into the list below), 1 bits, 2-3 width, 4 rows,
//   5 planes, 6 coding (bit 0 ByteRun1, bit 1 mask), 7 op 1's plane mask,
//   8-15 op 1's rectangle (x, y, w, h as big-endian words).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ilbm/anim_deltas.h"
#include "ilbm/anim_frames.h"
#include "platform/iffparse/iffparse.h"
#include "records/ilbm_records.h"
#include "records/result_codes.h"

using namespace lanterna;

namespace {

constexpr uint8_t OPS[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 'J', 9};

uint16_t Be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

struct Stream {
    const uint8_t* data;
    size_t size, pos;
};

int32_t StreamHook(os::Hook* hook, os::IFFHandle*, os::IFFStreamCmd* cmd) {
    auto* s = static_cast<Stream*>(hook->h_Data);
    if (cmd->sc_Command == os::IFFCMD_READ) {
        if (cmd->sc_NBytes < 0 || size_t(cmd->sc_NBytes) > s->size - s->pos) return 1;
        std::memcpy(cmd->sc_Buf, s->data + s->pos, size_t(cmd->sc_NBytes));
        s->pos += size_t(cmd->sc_NBytes);
    }
    return 0;
}

// Opens a handle over the file and reads up to the first picture's BODY;
// its BMHD in *header, the BODY's bytes in *body. False when there is none.
bool OpenAtBody(Stream* s, os::Hook* hook, os::IFFHandle** iff, BitMapHeader* header, std::vector<uint8_t>* body) {
    s->pos = 0;
    hook->h_Entry = StreamHook;
    hook->h_Data = s;
    *iff = os::AllocIFF();
    if (!*iff) return false;
    os::InitIFF(*iff, 0, hook);
    const int32_t stops[] = {int32_t(ID_ILBM), int32_t(ID_BMHD), int32_t(ID_ILBM), int32_t(ID_BODY)};
    if (os::OpenIFF(*iff, os::IFFF_READ) != 0 || os::StopChunks(*iff, stops, 2) != 0) return false;
    while (os::ParseIFF(*iff, os::IFFPARSE_SCAN) == 0) {
        const os::ContextNode* cn = os::CurrentChunk(*iff);
        std::vector<uint8_t> bytes(size_t(cn->cn_Size < (1 << 20) ? cn->cn_Size : 0));
        if (os::ReadChunkBytes(*iff, bytes.data(), int32_t(bytes.size())) != int32_t(bytes.size())) return false;
        if (cn->cn_ID == ID_BODY) {
            *body = bytes;
            return true;
        }
        if (bytes.size() >= 20) {
            header->w = Be16(&bytes[0]);
            header->h = Be16(&bytes[2]);
            header->nPlanes = bytes[8];
            header->masking = bytes[9];
            header->compression = bytes[10];
        }
    }
    return false;
}

void CloseHandle(os::IFFHandle* iff) {
    if (!iff) return;
    os::CloseIFF(iff);
    os::FreeIFF(iff);
}

void Check(int32_t r) {
    if (r != 0 && r != ANIM_END && r != ERR_CORRUPT && r != ERR_COMPRESSION && r != ERR_OUT_OF_MEMORY &&
        (r < IFF_CODE_BASE + 1 || r > IFF_CODE_BASE + 11)) {
        abort();
    }
}

void PlayWhole(const uint8_t* data, size_t size) {
    Stream s{data, size, 0};
    os::Hook hook;
    os::IFFHandle* iff = nullptr;
    BitMapHeader header;
    std::vector<uint8_t> body;
    // Frames of at most a megabyte keep the runs quick.
    if (!OpenAtBody(&s, &hook, &iff, &header, &body) || size_t(header.w) * header.h * header.nPlanes > (8u << 20)) {
        CloseHandle(iff);
        return;
    }
    AnimFrames frames;
    int32_t r = OpenAnimFrames(&frames, iff, header, nullptr, 0);
    for (int pass = 0; r == 0 && pass < 2; ++pass) {
        if (pass > 0) {
            CloseHandle(iff);
            iff = nullptr;
            if (!OpenAtBody(&s, &hook, &iff, &header, &body)) break;
            r = RestartAnimFrames(&frames, iff);
            Check(r);
            if (r) break;
        }
        if (pass == 0 || !frames.loopsThroughSecond) {
            AnimPlanes first = frames.shape;
            first.data = AnimFirstFrameRow(&frames, 0);
            Check(ApplyBody(body.data(), int32_t(body.size()), frames.coding, first));
            SeedAnimFrames(&frames);
        }
        AnimFrame frame;
        for (int n = 0; n < 64 && (r = NextAnimFrame(&frames, &frame)) == 0; ++n) {
            if (frame.colourCount > ANIM_MAX_COLOURS || frame.planes != frames.buffers[frames.shown]) abort();
        }
        Check(r);
        r = r == ANIM_END ? 0 : r;
    }
    Check(r);
    CloseAnimFrames(&frames);
    CloseHandle(iff);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0 && data[0] == 0xFF) {
        PlayWhole(data + 1, size - 1);
        return 0;
    }
    if (size < 16 || size > (1 << 20)) return 0;
    AnimHeader header;
    header.operation = OPS[data[0] % sizeof(OPS)];
    header.bits = data[1] & 0x3F;
    AnimPlanes frame;
    frame.width = 1 + Be16(data + 2) % 720;
    frame.rows = 1 + data[4] % 160;
    // Mostly colour-mapped depths; now and then HAM8, 12 or 24 planes.
    frame.planes = (data[5] & 0x80) ? 9 + data[5] % 16 : 1 + data[5] % 8;
    frame.bytesPerRow = ((frame.width + 15) / 16) * 2;
    AnimBodyCoding coding;
    coding.compression = (data[6] & 1) ? cmpByteRun1 : cmpNone;
    coding.hasMask = data[6] & 2;
    header.mask = data[7];
    header.x = int16_t(Be16(data + 8));
    header.y = int16_t(Be16(data + 10));
    header.w = Be16(data + 12);
    header.h = Be16(data + 14);
    std::vector<uint8_t> planes(size_t(frame.rows) * frame.planes * frame.bytesPerRow, 0x5A);
    frame.data = planes.data();
    // The chunk in a buffer of its own size, so that a read past it is seen.
    std::vector<uint8_t> chunk(data + 16, data + size);
    AnimRowSpan written;
    const int32_t r = ApplyAnimDelta(header, coding, chunk.data(), int32_t(chunk.size()), frame, &written);
    if (r != 0 && r != ERR_CORRUPT && r != ERR_COMPRESSION) abort();
    // The rows the delta says it wrote hold every change (a display redraws only those).
    if (r == 0) {
        if (written.first < 0 || written.end > frame.rows || written.first > written.end) abort();
        const size_t row = size_t(frame.planes) * frame.bytesPerRow;
        for (size_t i = 0; i < planes.size(); ++i) {
            const int32_t y = int32_t(i / row);
            if ((y < written.first || y >= written.end) && planes[i] != 0x5A) abort();
        }
    }
    return 0;
}
