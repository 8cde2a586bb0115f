// Palette changes of the PCHG chunk: from a given line on, some colour
// registers take new values, and keep them until a later line changes them
// again. Two forms: SmallLineChanges (12-bit colours, registers 0 to 31) and
// BigLineChanges (24-bit colours, any register), stored plain or packed with
// the chunk's own Huffman coding.
//
// The chunk is read (and unpacked) whole when it is met, and checked from end
// to end then, so that a chunk whose line mask or change counts claim more
// than it holds is refused before anything is drawn; the changes are applied
// line by line while the rows are drawn.
#pragma once

#include <cstdint>

#include "platform/iffparse/iffparse.h"
#include "records/picture_info.h"

namespace lanterna {

// The largest PCHG chunk read. Changing all 256 registers on each of 8192
// lines in the 24-bit form takes 12.6 MB; a larger chunk is no picture's.
constexpr int32_t PCHG_MAX_CHUNK_BYTES = 16 << 20;

constexpr uint16_t PCHG_COMPRESSION_NONE = 0;
constexpr uint16_t PCHG_COMPRESSION_HUFFMAN = 1;
constexpr uint16_t PCHGF_12BIT = 0x01;  // SmallLineChanges
constexpr uint16_t PCHGF_32BIT = 0x02;  // BigLineChanges
constexpr uint16_t PCHGF_USE_ALPHA = 0x04;

struct PaletteChanges {
    bool big = false;           // BigLineChanges
    int32_t startLine = 0;      // the picture row of the first line of the mask
    uint32_t lineCount = 0;     // lines the mask covers
    uint32_t changedLines = 0;  // lines with changes (mask bits that count)
    uint8_t* data = nullptr;    // the unpacked data: the line mask, then the changes
    uint32_t size = 0;
    // Where the drawing is: the next line of the mask, the next change data,
    // the changed lines still to come.
    uint32_t nextLine = 0;
    uint32_t at = 0;
    uint32_t linesLeft = 0;
};

// Reads a PCHG chunk into picture.paletteChanges (a later PCHG replaces an
// earlier one). 0; ERR_CORRUPT for a chunk that does not hold what it
// claims, an unknown form or packing, or one larger than
// PCHG_MAX_CHUNK_BYTES; 103 when memory runs out; IffResultCode of a parser
// error.
int32_t ReadPaletteChanges(os::IFFHandle* iff, int32_t chunkSize, PictureInfo& picture);
// Unpacks Huffman-coded PCHG data. `tree` holds `treeWords` big-endian
// 16-bit words, `packed` the coded bits. 0, or ERR_CORRUPT when the tree
// leads outside itself or the bits run out before `originalSize` bytes.
int32_t UnpackPaletteChanges(const uint8_t* tree, uint32_t treeWords, const uint8_t* packed, uint32_t packedSize,
                             uint8_t* out, uint32_t originalSize);
// Checks the unpacked data against the header: the mask, every line's
// counts and changes, and the total. 0 or ERR_CORRUPT.
int32_t CheckPaletteChanges(const PaletteChanges& changes, uint32_t totalChanges);
// Applies the changes of every line up to picture row `row` not applied yet
// to `colours` (256 RGB triplets). Rows are given in order from 0; the
// first call also applies the lines before row 0. With halfBrite, a change
// of register 0..31 changes its half-bright register 32..63 too.
void ApplyPaletteChanges(PaletteChanges& changes, int32_t row, uint8_t* colours, bool halfBrite);
void FreePaletteChanges(PaletteChanges* changes);  // null is ignored

}  // namespace lanterna
