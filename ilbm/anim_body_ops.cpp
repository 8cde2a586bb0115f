// Ops 0 and 1: a whole picture in the BODY's own coding (plain, or ByteRun1
// as one stream whose runs may pass the ends of plane rows), set into the
// frame (op 0) or XORed into the rectangle the ANHD names (op 1; a zero size
// is the whole picture, a zero mask every plane). A mask plane row after
// each row's planes is passed over: a frame holds the colour planes only.
#include <cstdint>
#include <cstring>

#include "ilbm/anim_deltas.h"
#include "records/ilbm_records.h"
#include "records/result_codes.h"

namespace lanterna {

namespace {

constexpr int32_t MAX_ROW_BYTES = 8192;  // 65535 pixels

struct Unpacker {
    const uint8_t* p;
    const uint8_t* end;
    bool packed;
    int32_t runLeft = 0;
    bool repeats = false;
    uint8_t value = 0;
};

// n bytes into dst (null: passed over); false when the data runs out first.
bool UnpackRow(Unpacker& u, uint8_t* dst, int32_t n) {
    if (!u.packed) {
        if (u.end - u.p < n) return false;
        if (dst) std::memcpy(dst, u.p, size_t(n));
        u.p += n;
        return true;
    }
    while (n > 0) {
        if (u.runLeft == 0) {
            if (u.p >= u.end) return false;
            const int8_t control = int8_t(*u.p++);
            if (control >= 0) {
                u.runLeft = control + 1;
                u.repeats = false;
            } else if (control != -128) {
                if (u.p >= u.end) return false;
                u.runLeft = 1 - control;
                u.repeats = true;
                u.value = *u.p++;
            }
            continue;
        }
        const int32_t k = n < u.runLeft ? n : u.runLeft;
        if (u.repeats) {
            if (dst) std::memset(dst, u.value, size_t(k));
        } else {
            if (u.end - u.p < k) return false;
            if (dst) std::memcpy(dst, u.p, size_t(k));
            u.p += k;
        }
        if (dst) dst += k;
        n -= k;
        u.runLeft -= k;
    }
    return true;
}

bool Coded(const AnimBodyCoding& coding) {
    return coding.compression == cmpNone || coding.compression == cmpByteRun1;
}

// XORs the first `width` pixels of src into row at pixel x.
void XorRow(uint8_t* row, int32_t bytesPerRow, uint8_t* src, int32_t x, int32_t width) {
    const int32_t bytes = (width + 7) >> 3;
    src[bytes - 1] = uint8_t(src[bytes - 1] & (0xFF00 >> (((width - 1) & 7) + 1)));
    const int32_t first = x >> 3;
    const int32_t shift = x & 7;
    if (shift == 0) {
        for (int32_t i = 0; i < bytes; ++i) row[first + i] = uint8_t(row[first + i] ^ src[i]);
        return;
    }
    for (int32_t i = 0; i < bytes; ++i) {
        row[first + i] = uint8_t(row[first + i] ^ (src[i] >> shift));
        if (first + i + 1 < bytesPerRow) row[first + i + 1] = uint8_t(row[first + i + 1] ^ (src[i] << (8 - shift)));
    }
}

}  // namespace

int32_t ApplyBody(const uint8_t* chunk, int32_t size, const AnimBodyCoding& coding, const AnimPlanes& frame) {
    if (!Coded(coding)) return ERR_COMPRESSION;
    Unpacker u{chunk, chunk + size, coding.compression == cmpByteRun1};
    uint8_t* row = frame.data;
    for (int32_t y = 0; y < frame.rows; ++y) {
        for (int32_t p = 0; p < frame.planes; ++p, row += frame.bytesPerRow) {
            if (!UnpackRow(u, row, frame.bytesPerRow)) return ERR_CORRUPT;
        }
        if (coding.hasMask && !UnpackRow(u, nullptr, frame.bytesPerRow)) return ERR_CORRUPT;
    }
    return 0;
}

int32_t ApplyXorPicture(const AnimHeader& header, const AnimBodyCoding& coding, const uint8_t* chunk,
                        int32_t size, const AnimPlanes& frame) {
    if (!Coded(coding)) return ERR_COMPRESSION;
    const bool whole = header.w == 0 || header.h == 0;
    const int32_t x = whole ? 0 : header.x, y = whole ? 0 : header.y;
    const int32_t w = whole ? frame.width : header.w, h = whole ? frame.rows : header.h;
    if (x < 0 || y < 0 || x + w > frame.width || y + h > frame.rows) return ERR_CORRUPT;
    const int32_t rowBytes = ((w + 15) / 16) * 2;
    if (rowBytes > MAX_ROW_BYTES) return ERR_CORRUPT;
    uint8_t src[MAX_ROW_BYTES];
    Unpacker u{chunk, chunk + size, coding.compression == cmpByteRun1};
    for (int32_t r = 0; r < h; ++r) {
        uint8_t* row = frame.data + int64_t(y + r) * frame.planes * frame.bytesPerRow;
        for (int32_t p = 0; p < frame.planes; ++p, row += frame.bytesPerRow) {
            if (header.mask != 0 && (p >= 8 || !(header.mask & (1u << p)))) continue;
            if (!UnpackRow(u, src, rowBytes)) return ERR_CORRUPT;
            XorRow(row, frame.bytesPerRow, src, x, w);
        }
        if (coding.hasMask && !UnpackRow(u, nullptr, rowBytes)) return ERR_CORRUPT;
    }
    return 0;
}

}  // namespace lanterna
