// SHAM and CTBL chunks: 16 big-endian 12-bit colours for each line, from
// the first row down; SHAM puts a version word (0) before them. The rows
// after the last palette keep it. A component of 4 bits becomes 8 by
// repeating it (0xF is 255), as for the other 12-bit colours of the program.
#include "ilbm/line_palettes.h"

#include <cstring>

#include "platform/dos/dos.h"
#include "platform/exec/byte_order.h"
#include "platform/exec/exec.h"
#include "records/result_codes.h"

namespace lanterna {

int32_t ReadLinePalettes(os::IFFHandle* iff, int32_t chunkSize, bool hasVersion, bool headerKnown,
                         PictureInfo& picture) {
    os::FreeVec(picture.linePalettes);
    picture.linePalettes = nullptr;
    picture.linePaletteCount = 0;
    int32_t left = chunkSize;
    if (hasVersion) {
        uint8_t version[2];
        const int32_t got = os::ReadChunkBytes(iff, version, 2);
        if (got < 0) return IffResultCode(got);
        if (got != 2) return ERR_CORRUPT;
        left -= 2;
    }
    // Palettes beyond the picture's rows are never used: they are left
    // unread, so the allocation is bounded by the height, not by the file.
    // Before the header the height is not known yet: the most rows a header
    // can give bound it, and the reader trims the count at the BODY.
    int32_t lines = left / LINE_PALETTE_BYTES;
    const int32_t rows = !headerKnown ? int32_t{UINT16_MAX} : picture.header.h > 0 ? int32_t{picture.header.h} : 1;
    if (lines > rows) lines = rows;
    if (lines <= 0) return 0;
    const int32_t bytes = lines * LINE_PALETTE_BYTES;
    auto* palettes = static_cast<uint8_t*>(os::AllocVec(size_t(bytes), os::MEMF_ANY));
    if (palettes == nullptr) return os::ERROR_NO_FREE_STORE;
    const int32_t got = os::ReadChunkBytes(iff, palettes, bytes);
    if (got != bytes) {
        os::FreeVec(palettes);
        return got < 0 ? IffResultCode(got) : ERR_CORRUPT;
    }
    picture.linePalettes = palettes;
    picture.linePaletteCount = lines;
    return 0;
}

void LineColours(const PictureInfo& picture, int32_t row, uint8_t* out) {
    if (picture.colours != nullptr) {
        std::memcpy(out, picture.colours, COLOUR_TABLE_BYTES);
    } else {
        std::memset(out, 0, COLOUR_TABLE_BYTES);
    }
    if (picture.linePaletteCount <= 0) return;
    const int32_t line = row < picture.linePaletteCount ? row : picture.linePaletteCount - 1;
    const uint8_t* p = picture.linePalettes + size_t(line) * LINE_PALETTE_BYTES;
    for (int32_t i = 0; i < LINE_PALETTE_COLOURS; ++i) {
        const uint32_t word = os::Be16(p + 2 * i);
        out[3 * i] = os::Widen4(word >> 8);
        out[3 * i + 1] = os::Widen4(word >> 4);
        out[3 * i + 2] = os::Widen4(word);
    }
    // The half-bright values are no registers of their own: the display
    // shows 32..47 as the line's 0..15 halved, not the colour map's.
    if ((picture.modeId & EXTRA_HALFBRITE) != 0 && picture.header.nPlanes == 6) {
        for (int32_t i = 0; i < 3 * LINE_PALETTE_COLOURS; ++i) out[3 * 32 + i] = out[i] >> 1;
    }
}

}  // namespace lanterna
