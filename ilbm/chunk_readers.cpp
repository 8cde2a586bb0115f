// Readers of the ILBM property chunks. Each record is read whole with
// ReadChunkBytes and then taken apart field by field (the file is big-endian).
// A chunk shorter than its record is corrupt: the parser reports no error for
// it, only a short count, so the readers turn that into ERR_CORRUPT.
#include "ilbm/chunk_readers.h"

#include "platform/dos/dos.h"
#include "platform/exec/byte_order.h"
#include "platform/exec/exec.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

using os::Be16;
using os::Be32;

// Reads exactly `count` bytes of the current chunk: 0, IffResultCode of a
// parser error, or ERR_CORRUPT when the chunk holds fewer.
int32_t ReadRecord(os::IFFHandle* iff, uint8_t* buffer, int32_t count) {
    const int32_t got = os::ReadChunkBytes(iff, buffer, count);
    if (got < 0) return IffResultCode(got);
    return got == count ? 0 : ERR_CORRUPT;
}

// Bits of an old-style (16-bit) view-mode word that describe the hardware
// set-up of the time rather than the display mode.
constexpr uint32_t OLD_MODE_JUNK = EXTENDED_MODE | SPRITES | GENLOCK_AUDIO | GENLOCK_VIDEO | VP_HIDE;

}  // namespace

int32_t ReadBitMapHeader(os::IFFHandle* iff, PictureInfo& picture) {
    uint8_t b[20];
    if (int32_t e = ReadRecord(iff, b, 20)) return e;
    BitMapHeader& h = picture.header;
    h.w = Be16(b);
    h.h = Be16(b + 2);
    h.x = int16_t(Be16(b + 4));
    h.y = int16_t(Be16(b + 6));
    h.nPlanes = b[8];
    h.masking = b[9];
    h.compression = b[10];
    h.pad1 = b[11];
    h.transparentColor = Be16(b + 12);
    h.xAspect = b[14];
    h.yAspect = b[15];
    // A page of no width or height (many writers leave it 0) is the
    // picture's own, each side on its own. A page is a size, never negative.
    h.pageWidth = Be16(b + 16);
    h.pageHeight = Be16(b + 18);
    if (h.pageWidth == 0) h.pageWidth = h.w;
    if (h.pageHeight == 0) h.pageHeight = h.h;
    return 0;
}

int32_t ReadColourMap(os::IFFHandle* iff, int32_t chunkSize, PictureInfo& picture) {
    int32_t count = chunkSize > 0 ? chunkSize / 3 : 0;
    // The table holds 256 entries; further entries are left for the parser to skip.
    if (count > COLOUR_TABLE_ENTRIES) count = COLOUR_TABLE_ENTRIES;
    os::FreeVec(picture.colours);
    picture.colourCount = 0;
    picture.colours = static_cast<uint8_t*>(os::AllocVec(COLOUR_TABLE_BYTES, os::MEMF_PUBLIC | os::MEMF_CLEAR));
    if (!picture.colours) return os::ERROR_NO_FREE_STORE;
    if (int32_t e = ReadRecord(iff, picture.colours, count * 3)) return e;
    picture.colourCount = count;
    return 0;
}

int32_t ReadCmykColourMap(os::IFFHandle* iff, int32_t chunkSize, PictureInfo& picture) {
    int32_t count = chunkSize > 0 ? chunkSize / 4 : 0;
    if (count > COLOUR_TABLE_ENTRIES) count = COLOUR_TABLE_ENTRIES;
    uint8_t inks[4 * COLOUR_TABLE_ENTRIES];
    if (int32_t e = ReadRecord(iff, inks, count * 4)) return e;
    os::FreeVec(picture.colours);
    picture.colourCount = 0;
    picture.colours = static_cast<uint8_t*>(os::AllocVec(COLOUR_TABLE_BYTES, os::MEMF_PUBLIC | os::MEMF_CLEAR));
    if (!picture.colours) return os::ERROR_NO_FREE_STORE;
    // Black ink darkens what the other three leave: each component is
    // 255 - (ink * (255 - black) / 255 + black), as netpbm converts it.
    for (int32_t i = 0; i < count; ++i) {
        const int32_t black = inks[4 * i + 3];
        for (int32_t c = 0; c < 3; ++c) {
            const int32_t ink = inks[4 * i + c] * (255 - black) / 255 + black;
            picture.colours[3 * i + c] = uint8_t(255 - (ink < 255 ? ink : 255));
        }
    }
    picture.colourCount = count;
    return 0;
}

int32_t ReadDisplayMode(os::IFFHandle* iff, PictureInfo& picture) {
    uint8_t b[4];
    if (int32_t e = ReadRecord(iff, b, 4)) return e;
    uint32_t mode = Be32(b);
    picture.hasCamg = true;
    picture.camg = mode;
    picture.hasMode = true;
    if ((mode & 0xFFFF0000u) == 0) {
        mode &= ~OLD_MODE_JUNK;
    } else if (!(mode & EXTENDED_MODE)) {
        // Junk in the monitor half without the extended-mode mark: not a mode word.
        picture.hasMode = false;
        mode = 0;
    }
    picture.modeId = mode;
    return 0;
}

int32_t ReadColourRange(os::IFFHandle* iff, PictureInfo& picture) {
    if (picture.rangeCount >= MAX_CYCLE_RANGES) return 0;
    uint8_t b[8];
    if (int32_t e = ReadRecord(iff, b, 8)) return e;
    CycleRange& r = picture.ranges[picture.rangeCount];
    r.pad1 = int16_t(Be16(b));
    r.rate = int16_t(Be16(b + 2));
    r.flags = int16_t(Be16(b + 4));
    r.low = b[6];
    r.high = b[7];
    ++picture.rangeCount;
    return 0;
}

int32_t ReadCycleTiming(os::IFFHandle* iff, PictureInfo& picture) {
    if (picture.rangeCount >= MAX_CYCLE_RANGES) return 0;
    uint8_t b[14];
    if (int32_t e = ReadRecord(iff, b, 14)) return e;
    const int16_t direction = int16_t(Be16(b));
    const int32_t seconds = int32_t(Be32(b + 4));
    const int32_t microseconds = int32_t(Be32(b + 8));
    // The delay in sixtieths of a second, the fraction rounded to the nearest
    // sixtieth (16667 microseconds). Worked out in 64 bits so that absurd
    // values cannot wrap round into a plausible delay.
    const int64_t ticks = int64_t(seconds) * 60 + (int64_t(microseconds) + 8334) / 16667;
    CycleRange& r = picture.ranges[picture.rangeCount];
    r.pad1 = 0;
    // Below one tick is as fast as cycling goes: one step per tick.
    r.rate = ticks < 1 ? int16_t(16384) : int16_t(16384 / ticks);
    r.flags = direction == 0 ? 0 : direction < 0 ? RNG_ACTIVE : int16_t(RNG_ACTIVE | RNG_REVERSE);
    r.low = b[2];
    r.high = b[3];
    ++picture.rangeCount;
    return 0;
}

}  // namespace lanterna
