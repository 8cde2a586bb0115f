// The PCHG chunk: a 20-byte header, then (plain or packed) a line mask and
// the changes of the lines it marks.
//
// Header, big-endian: Compression, Flags, StartLine (signed), LineCount,
// ChangedLines, MinReg, MaxReg, MaxChanges (16 bits each), TotalChanges (32
// bits). A packed chunk follows it with CompInfoSize and OriginalDataSize (32
// bits each), a Huffman tree of CompInfoSize bytes and the coded bits.
//
// The line mask has one bit a line, from the top bit of its first byte, in
// whole 32-bit words: bit i stands for picture row StartLine + i (rows above
// the picture, StartLine < 0, change the colours it starts with). For every
// marked line, in order:
//   SmallLineChanges: two count bytes, ChangeCount16 and ChangeCount32, then
//     that many 16-bit words: register in the top four bits, then 12-bit
//     colour 0xRGB; the first ChangeCount16 words set registers 0..15, the
//     others registers 16..31;
//   BigLineChanges: a 16-bit count, then that many six-byte changes:
//     register (16 bits), alpha, red, blue, green. Blue before green is the
//     layout of the format's own definition, odd as it looks.
// Only ChangedLines marked lines count, and never more than TotalChanges
// changes in all: a chunk that claims more than it holds is corrupt.
//
// A register past the colours of the CMAP is still a register of the screen:
// a change sets it. Registers past 255 exist on no screen of 8 planes and
// are left alone. The alpha of a change describes no colour and is not used.
#include "ilbm/palette_changes.h"

#include <new>

#include "platform/dos/dos.h"
#include "platform/exec/byte_order.h"
#include "platform/exec/exec.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

constexpr int32_t HEADER_BYTES = 20;
constexpr int32_t COMPRESSION_HEADER_BYTES = 8;

using os::Be16;
using os::Be32;
using os::Widen4;

inline uint32_t MaskBytes(uint32_t lineCount) { return (lineCount + 31) / 32 * 4; }

inline bool LineMarked(const PaletteChanges& changes, uint32_t line) {
    return (changes.data[line / 8] & (0x80u >> (line % 8))) != 0;
}

// The changes of the line whose data starts at `at`: their count and the
// bytes the line takes. False when the data ends before the line does.
bool LineExtent(const PaletteChanges& changes, uint32_t at, uint32_t* count, uint32_t* bytes) {
    if (changes.size - at < 2) return false;
    const uint8_t* p = changes.data + at;
    *count = changes.big ? Be16(p) : uint32_t{p[0]} + p[1];
    *bytes = 2 + *count * (changes.big ? 6 : 2);
    return changes.size - at >= *bytes;
}

inline void SetRegister(uint8_t* colours, uint32_t reg, uint8_t r, uint8_t g, uint8_t b, bool halfBrite) {
    if (reg >= uint32_t(COLOUR_TABLE_ENTRIES)) return;
    uint8_t* c = colours + 3 * size_t{reg};
    c[0] = r;
    c[1] = g;
    c[2] = b;
    // The half-bright registers are no registers of their own: the display
    // halves 0..31 to show 32..63.
    if (halfBrite && reg < 32) {
        uint8_t* h = colours + 3 * size_t{reg + 32};
        h[0] = r >> 1;
        h[1] = g >> 1;
        h[2] = b >> 1;
    }
}

void ApplyLine(const PaletteChanges& changes, uint32_t at, uint8_t* colours, bool halfBrite) {
    const uint8_t* p = changes.data + at;
    if (changes.big) {
        const uint32_t count = Be16(p);
        p += 2;
        for (uint32_t i = 0; i < count; ++i, p += 6) {
            SetRegister(colours, Be16(p), p[3], p[5], p[4], halfBrite);
        }
        return;
    }
    const uint32_t first = p[0];
    const uint32_t count = first + p[1];
    p += 2;
    for (uint32_t i = 0; i < count; ++i, p += 2) {
        const uint32_t word = Be16(p);
        const uint32_t reg = (word >> 12) + (i >= first ? 16u : 0u);
        SetRegister(colours, reg, Widen4(word >> 8), Widen4(word >> 4), Widen4(word), halfBrite);
    }
}

}  // namespace

// The tree is an array of 16-bit words, walked from its last word, the root.
// At a node p, a 1 bit looks at word p itself: zero or more is a leaf (its
// low byte is the output), negative is the distance back, in bytes, to the
// node of that branch. A 0 bit steps to word p - 1: a positive word with bit
// 8 set is a leaf (its low byte is the output), anything else is the node of
// that branch. After a leaf the walk starts again at the root.
int32_t UnpackPaletteChanges(const uint8_t* tree, uint32_t treeWords, const uint8_t* packed, uint32_t packedSize,
                             uint8_t* out, uint32_t originalSize) {
    if (treeWords == 0) return originalSize == 0 ? 0 : ERR_CORRUPT;
    const int64_t root = int64_t{treeWords} - 1;
    int64_t p = root;
    uint32_t done = 0;
    uint32_t in = 0;
    uint32_t bits = 0;
    uint8_t byte = 0;
    while (done < originalSize) {
        if (bits == 0) {
            if (in == packedSize) return ERR_CORRUPT;
            byte = packed[in++];
            bits = 8;
        }
        if ((byte & 0x80) != 0) {
            const int16_t word = int16_t(Be16(tree + 2 * p));
            if (word >= 0) {
                out[done++] = uint8_t(word);
                p = root;
            } else {
                p += word / 2;
                if (p < 0) return ERR_CORRUPT;
            }
        } else {
            if (p == 0) return ERR_CORRUPT;
            --p;
            const int16_t word = int16_t(Be16(tree + 2 * p));
            if (word > 0 && (word & 0x100) != 0) {
                out[done++] = uint8_t(word);
                p = root;
            }
        }
        byte = uint8_t(byte << 1);
        --bits;
    }
    return 0;
}

int32_t CheckPaletteChanges(const PaletteChanges& changes, uint32_t totalChanges) {
    const uint32_t maskBytes = MaskBytes(changes.lineCount);
    if (changes.size < maskBytes) return ERR_CORRUPT;
    uint32_t at = maskBytes;
    uint32_t left = changes.changedLines;
    uint64_t total = 0;
    for (uint32_t line = 0; line < changes.lineCount && left > 0; ++line) {
        if (!LineMarked(changes, line)) continue;
        uint32_t count = 0, bytes = 0;
        if (!LineExtent(changes, at, &count, &bytes)) return ERR_CORRUPT;
        total += count;
        if (total > totalChanges) return ERR_CORRUPT;
        at += bytes;
        --left;
    }
    return 0;
}

int32_t ReadPaletteChanges(os::IFFHandle* iff, int32_t chunkSize, PictureInfo& picture) {
    FreePaletteChanges(picture.paletteChanges);
    picture.paletteChanges = nullptr;
    if (chunkSize < HEADER_BYTES || chunkSize > PCHG_MAX_CHUNK_BYTES) return ERR_CORRUPT;
    // The whole chunk at once: its size is bounded above and its bytes are
    // in the file (a read that comes short fails).
    auto* chunk = static_cast<uint8_t*>(os::AllocVec(size_t(chunkSize), os::MEMF_ANY));
    if (chunk == nullptr) return os::ERROR_NO_FREE_STORE;
    const int32_t got = os::ReadChunkBytes(iff, chunk, chunkSize);
    if (got != chunkSize) {
        os::FreeVec(chunk);
        return got < 0 ? IffResultCode(got) : ERR_CORRUPT;
    }
    const uint32_t compression = Be16(chunk);
    const uint32_t flags = Be16(chunk + 2);
    PaletteChanges header;
    header.startLine = int16_t(Be16(chunk + 4));
    header.lineCount = Be16(chunk + 6);
    header.changedLines = Be16(chunk + 8);
    const uint32_t totalChanges = Be32(chunk + 16);
    // The 12-bit form wins when both are flagged, as other readers choose.
    int32_t result = 0;
    if ((flags & PCHGF_12BIT) != 0) {
        header.big = false;
    } else if ((flags & PCHGF_32BIT) != 0) {
        header.big = true;
    } else {
        result = ERR_CORRUPT;
    }
    const uint8_t* rest = chunk + HEADER_BYTES;
    const uint32_t restSize = uint32_t(chunkSize - HEADER_BYTES);
    uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    if (result != 0) {
        // A form of changes not known: nothing to unpack.
    } else if (compression == PCHG_COMPRESSION_NONE) {
        // The data are the chunk's own bytes from here on: moved to the
        // front, so that one allocation holds them.
        dataSize = restSize;
        for (uint32_t i = 0; i < restSize; ++i) chunk[i] = rest[i];
        data = chunk;
        chunk = nullptr;
    } else if (compression == PCHG_COMPRESSION_HUFFMAN) {
        if (restSize < uint32_t(COMPRESSION_HEADER_BYTES)) {
            result = ERR_CORRUPT;
        } else {
            const uint32_t treeSize = Be32(rest);
            const uint32_t originalSize = Be32(rest + 4);
            const uint32_t afterHeader = restSize - COMPRESSION_HEADER_BYTES;
            // Every byte out takes at least one bit in: a size the coded
            // bits cannot give is refused before it is allocated.
            if (treeSize > afterHeader ||
                uint64_t{originalSize} > uint64_t{afterHeader - treeSize} * 8 ||
                originalSize > uint32_t(PCHG_MAX_CHUNK_BYTES)) {
                result = ERR_CORRUPT;
            } else {
                data = static_cast<uint8_t*>(os::AllocVec(originalSize + 1, os::MEMF_ANY));
                if (data == nullptr) {
                    result = os::ERROR_NO_FREE_STORE;
                } else {
                    const uint8_t* tree = rest + COMPRESSION_HEADER_BYTES;
                    result = UnpackPaletteChanges(tree, treeSize / 2, tree + treeSize, afterHeader - treeSize,
                                                  data, originalSize);
                    dataSize = originalSize;
                }
            }
        }
    } else {
        result = ERR_COMPRESSION;
    }
    os::FreeVec(chunk);
    header.data = data;
    header.size = dataSize;
    if (result == 0) result = CheckPaletteChanges(header, totalChanges);
    if (result != 0) {
        os::FreeVec(data);
        return result;
    }
    void* memory = os::AllocVec(sizeof(PaletteChanges), os::MEMF_CLEAR);
    if (memory == nullptr) {
        os::FreeVec(data);
        return os::ERROR_NO_FREE_STORE;
    }
    auto* changes = new (memory) PaletteChanges{header};
    changes->nextLine = 0;
    changes->at = MaskBytes(changes->lineCount);
    changes->linesLeft = changes->changedLines;
    picture.paletteChanges = changes;
    return 0;
}

void ApplyPaletteChanges(PaletteChanges& changes, int32_t row, uint8_t* colours, bool halfBrite) {
    while (changes.nextLine < changes.lineCount && changes.linesLeft > 0 &&
           int64_t{changes.startLine} + changes.nextLine <= int64_t{row}) {
        if (LineMarked(changes, changes.nextLine)) {
            uint32_t count = 0, bytes = 0;
            // Checked when the chunk was read; a line that does not fit ends
            // the changes all the same.
            if (!LineExtent(changes, changes.at, &count, &bytes)) {
                changes.linesLeft = 0;
                return;
            }
            ApplyLine(changes, changes.at, colours, halfBrite);
            changes.at += bytes;
            --changes.linesLeft;
        }
        ++changes.nextLine;
    }
}

void FreePaletteChanges(PaletteChanges* changes) {
    if (changes == nullptr) return;
    os::FreeVec(changes->data);
    os::FreeVec(changes);
}

}  // namespace lanterna
