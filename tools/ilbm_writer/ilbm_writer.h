// The project's ILBM writer: builds IFF ILBM files in memory for tests, the
// fuzz corpus, benchmarks and the sample pictures.
//
// Two levels:
//  - building blocks (MakeChunk, MakeGroup, EncodeBitMapHeader, ...) that give
//    the bytes of one chunk or group, so a caller can put chunks in any order,
//    repeat them, or wrap them in LIST/CAT/PROP;
//  - IlbmPicture + MakeIlbm for the common case of one well-formed picture.
//
// Pixels are given as one uint32 value per pixel: bit i of the value goes to
// plane i (plane 0 = least significant bit). For colour-mapped pictures that
// is the colour index; for deep pictures use DeepPixel (red in the low planes,
// then green, then blue). The optional mask holds one byte per pixel
// (non-zero = opaque) and becomes the extra plane row after the colour planes.
//
// Helpers that damage a file (Truncated, Overwrite, PutBE16/PutBE32) work on
// the finished byte vector.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/ilbm_records.h"

namespace lanterna::ilbmw {

using Bytes = std::vector<uint8_t>;

// ---- big-endian fields -------------------------------------------------------
void AppendBE16(Bytes& out, uint32_t value);
void AppendBE32(Bytes& out, uint32_t value);
void AppendId(Bytes& out, const char* id);  // four characters
void PutBE16(Bytes& data, size_t offset, uint32_t value);
void PutBE32(Bytes& data, size_t offset, uint32_t value);

// ---- chunks and groups -------------------------------------------------------
// id + big-endian size + data + a pad byte when the size is odd.
Bytes MakeChunk(const char* id, const Bytes& data);
// Same, but the size field says `claimedSize` whatever data holds (no pad
// byte is added): for chunks that lie about their size.
Bytes MakeChunkWithSize(const char* id, uint32_t claimedSize, const Bytes& data);
// groupId ("FORM", "LIST", "CAT ", "PROP") + size + type + the contents
// (already made chunks or groups, concatenated).
Bytes MakeGroup(const char* groupId, const char* type, const Bytes& contents);
Bytes Concat(const std::vector<Bytes>& parts);

// ---- chunk data ----------------------------------------------------------------
Bytes EncodeBitMapHeader(const BitMapHeader& header);  // 20 bytes
struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};
Bytes EncodeColourMap(const std::vector<Rgb>& colours);  // 3 bytes per entry
Bytes EncodeDisplayMode(uint32_t modeId);               // 4 bytes
Bytes EncodeColourRange(int16_t pad1, int16_t rate, int16_t flags, uint8_t low, uint8_t high);
Bytes EncodeCycleTiming(int16_t direction, uint8_t start, uint8_t end, int32_t seconds,
                        int32_t microseconds);

// SHAM (with its version word 0) or CTBL data: 16 colours a line, each as a
// 12-bit word 0x0RGB from the top four bits of its components; lines with
// fewer than 16 colours are filled with black.
Bytes EncodeLinePalettes(const std::vector<std::vector<Rgb>>& lines, bool sham);

// PCHG data: palette changes from line to line. Line i of `lines` is
// picture row startLine + i; an empty line changes nothing (its mask bit
// stays clear). The 12-bit form (big false) keeps the top four bits of each
// component and holds registers 0..31 only (others are left out); the
// 24-bit form holds any register. With huffman the line mask and changes
// are packed with the chunk's Huffman coding.
struct PaletteChange {
    uint16_t reg = 0;
    Rgb colour;
};
struct PaletteChangeLines {
    bool big = false;
    bool huffman = false;
    int16_t startLine = 0;
    std::vector<std::vector<PaletteChange>> lines;
};
Bytes EncodePaletteChanges(const PaletteChangeLines& changes);
// The Huffman coding of PCHG: the tree (big-endian 16-bit words, the root
// last) and the coded bits, from the top bit of each byte, the last byte
// filled with zeros.
void HuffmanPack(const Bytes& data, Bytes* tree, Bytes* packed);

// ---- BODY ----------------------------------------------------------------------
// Bytes of one plane row: 2 * ceil(width / 16).
int32_t PlaneRowBytes(int32_t width);
// Interleaved plane rows of the whole picture, uncompressed: for each picture
// row, `planes` plane rows, then the mask row when `mask` is not empty.
// pixels.size() must be width * height (mask likewise when given).
Bytes MakePlanarBody(int32_t width, int32_t height, int32_t planes, const std::vector<uint32_t>& pixels,
                     const std::vector<uint8_t>& mask = {});
// The same for more than 32 planes (48 and 64: 16 bits a component).
Bytes MakeWidePlanarBody(int32_t width, int32_t height, int32_t planes, const std::vector<uint64_t>& pixels,
                         const std::vector<uint8_t>& mask = {});
// ByteRun1 of one plane row (never a run across its end): repeat runs of up
// to 128 equal bytes, literal runs of up to 128 bytes that end where three or
// more equal bytes begin.
Bytes PackByteRun1(const uint8_t* row, size_t count);
// Packs an uncompressed body plane row by plane row.
Bytes PackBody(const Bytes& planar, int32_t planeRowBytes);
// Packs an uncompressed body as one ByteRun1 stream, as some writers do:
// runs pass the ends of plane rows and picture rows.
Bytes PackBodyStream(const Bytes& planar);
// The chunky body of a PBM: one byte a pixel, each row padded to an even
// length. pixels.size() must be width * height.
Bytes MakeChunkyBody(int32_t width, int32_t height, const std::vector<uint32_t>& pixels);
// The ABIT chunk of FORM ACBM: the interleaved body rearranged plane by
// plane (plane 0 of every row, then plane 1, ..., the mask plane last).
Bytes MakeContiguousPlanes(int32_t width, int32_t height, int32_t planes, const std::vector<uint32_t>& pixels,
                           const std::vector<uint8_t>& mask = {});
// The run-length BODY of FORM RGB8 (24-bit colour) or RGBN (12-bit colour)
// from one 0xRRGGBB value per pixel (RGBN keeps the top four bits of each
// component). Runs of equal pixels carry on from row to row, as the format
// allows. A run's count goes in the pixel word when it fits (1..127 for
// RGB8, 1..7 for RGBN), else in a following byte (up to 255), else in a
// following 16-bit word; longer runs are split. maxInline lowers the largest
// count put in the pixel word, so that the other forms are used too.
Bytes MakeRgbnBody(const std::vector<uint32_t>& pixels, bool rgbn, uint32_t maxInline = 127);

// The value of a deep pixel with `bits` bits per component (8 for 24 planes,
// 4 for 12 planes).
uint32_t DeepPixel(uint32_t r, uint32_t g, uint32_t b, int32_t bits);

// ---- HAM -----------------------------------------------------------------------
// Encodes a row of target colours (8 bits per component) as HAM codes, left
// to right from the border colour palette[0]: a palette entry when one matches
// the target at the HAM precision exactly, otherwise a modify of the
// component that is furthest off. hamPlanes is 6 (16-entry palette, 4-bit
// components) or 8 (64-entry palette, 6-bit components). The palette holds
// the full 8-bit colours; matching uses their top bits.
std::vector<uint32_t> EncodeHamRow(const std::vector<Rgb>& targets, const std::vector<Rgb>& palette,
                                   int32_t hamPlanes);
// The colours the codes give on a screen (components widened by repeating
// their bits), for checking an encoding or a decoder.
std::vector<Rgb> DecodeHamRow(const std::vector<uint32_t>& codes, const std::vector<Rgb>& palette,
                              int32_t hamPlanes);

// ---- FORM DEEP -------------------------------------------------------------------
// A DEEP picture: pixels of elements in the order of `elements` (type and
// depth in bits, as DPEL lists them), one byte an 8-bit element and two
// (big-endian) a 16-bit one. compression 0 (none), 1 (run-length over pixels, runs never
// across rows) or 5 (TVDC nibble deltas over `tvdc`; a value no delta of the
// table reaches is approached by the nearest one, so pictures meant to be
// exact step by the table's deltas).
struct DeepPicture {
    uint16_t width = 0, height = 0;
    uint16_t compression = 0;
    std::vector<std::pair<uint16_t, uint16_t>> elements = {{1, 8}, {2, 8}, {3, 8}};
    Bytes pixels;
    std::vector<int16_t> tvdc;           // 16 deltas; written as a TVDC chunk when given
    std::vector<Bytes> extraChunks;      // made chunks placed before the DBOD
    Bytes body;                          // the DBOD data; made from pixels when empty
};
// A delta table: 0 (the repeat code), then powers of two up and down.
std::vector<int16_t> StandardTvdc();
Bytes EncodeDeepPixelFormat(const std::vector<std::pair<uint16_t, uint16_t>>& elements);
Bytes MakeDeepBody(const DeepPicture& picture);
// FORM DEEP: DGBL, DPEL, TVDC (when given), extra chunks, DBOD.
Bytes MakeDeep(const DeepPicture& picture);

// ---- whole pictures ------------------------------------------------------------
struct IlbmPicture {
    // "ILBM" (interleaved bit planes), "PBM " (chunky, one byte a pixel),
    // "RGB8" or "RGBN" (run-length true colour: pixels hold 0xRRGGBB; set
    // the header's compression to cmpRgbn), "ACBM" (contiguous planes in an
    // ABIT chunk instead of the BODY, never packed).
    std::string formType = "ILBM";
    BitMapHeader header;             // w, h, nPlanes, masking, compression as wanted
    std::vector<uint32_t> pixels;    // w * h values
    std::vector<uint64_t> widePixels;  // instead of pixels, for more than 32 planes (ILBM only)
    std::vector<uint8_t> mask;       // w * h, used when header.masking == mskHasMask
    std::vector<Rgb> colours;        // CMAP entries; no CMAP when empty
    bool hasCamg = false;
    uint32_t camg = 0;
    std::vector<Bytes> extraChunks;  // made chunks placed after CMAP/CAMG, before BODY
    // The BODY's data as the file will hold it; when empty it is made from
    // pixels (packed when header.compression == cmpByteRun1).
    Bytes body;
    // With ByteRun1: pack the BODY as one stream instead of row by row.
    bool packAsStream = false;
    // CMAP, CAMG and the extra chunks before the BMHD instead of after it.
    bool propertiesFirst = false;
};

// The BODY data the picture's pixels give (plain or packed by its header).
Bytes MakeBodyData(const IlbmPicture& picture);
// FORM ILBM (or the picture's form type): BMHD, CMAP, CAMG, extra chunks, BODY
// (the BMHD after the extra chunks with propertiesFirst).
Bytes MakeIlbm(const IlbmPicture& picture);
// A picture with pageWidth/pageHeight set to the size and aspect 1:1.
BitMapHeader SimpleHeader(int32_t width, int32_t height, int32_t planes, uint8_t compression,
                          uint8_t masking = mskNone);

// ---- damage and files ------------------------------------------------------------
Bytes Truncated(const Bytes& data, size_t length);
void Overwrite(Bytes& data, size_t offset, const Bytes& replacement);  // grows when needed
bool WriteFile(const std::string& path, const Bytes& data);
// A fresh file name under the system's temporary directory (not created).
std::string TempPath(const std::string& stem);

}  // namespace lanterna::ilbmw
