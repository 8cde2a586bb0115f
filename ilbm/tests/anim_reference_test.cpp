// The frame engine against a reference player written here from the format's
// description, apart from the code under test, for what ffmpeg 5.1 does not
// decode (ops 1, 2, 4) or decodes against a clear description: op 0 after
// the first picture (into the back buffer only), interleave 1, and op 8's
// long data whose last column is a word wide (in words throughout). The
// reference holds each plane on its own, as the Amiga did.
#include <gtest/gtest.h>

#include "ilbm/tests/anim_play.h"
#include "tools/ilbm_writer/anim_writer.h"

using namespace lanterna;
using namespace lanterna::ilbmw;

namespace {

uint32_t Be(const Bytes& d, size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | d.at(at + size_t(i));
    return v;
}

struct Reference {
    int32_t w = 0, h = 0, planes = 0, bpr = 0;
    bool packed = false;
    std::vector<Bytes> buf[2];
    int shown = 0;

    uint8_t& At(std::vector<Bytes>& f, int32_t p, size_t offset) { return f.at(size_t(p)).at(offset); }
    Bytes Unpack(const Bytes& d) const {
        if (!packed) return d;
        Bytes out;
        for (size_t i = 0; i < d.size();) {
            const int8_t n = int8_t(d[i++]);
            if (n >= 0) out.insert(out.end(), d.begin() + ptrdiff_t(i), d.begin() + ptrdiff_t(i + size_t(n) + 1)), i += size_t(n) + 1;
            else if (n != -128) out.insert(out.end(), size_t(1 - n), d.at(i++));
        }
        return out;
    }
    // Op 0 and op 1: rows of the rectangle, plane rows in turn, set or XORed bit by bit.
    void Body(std::vector<Bytes>& f, const Bytes& d, bool xorIn, int32_t x0, int32_t y0, int32_t rw, int32_t rh, uint8_t mask) {
        const Bytes raw = Unpack(d);
        const int32_t rowBytes = (rw + 15) / 16 * 2;
        size_t at = 0;
        for (int32_t y = y0; y < y0 + rh; ++y)
            for (int32_t p = 0; p < planes; ++p) {
                if (mask && !(mask >> p & 1)) continue;
                for (int32_t i = 0; i < rw; ++i) {
                    const int bit = raw.at(at + size_t(i / 8)) >> (7 - i % 8) & 1;
                    const int32_t x = x0 + i;
                    uint8_t& b = At(f, p, size_t(y) * bpr + size_t(x / 8));
                    const uint8_t m = uint8_t(0x80 >> (x % 8));
                    b = xorIn ? uint8_t(b ^ (bit ? m : 0)) : uint8_t(bit ? b | m : b & ~m);
                }
                at += size_t(rowBytes);
            }
    }
    void Put(std::vector<Bytes>& f, int32_t p, size_t offset, const Bytes& d, size_t from, int n, bool xorIn) {
        for (int i = 0; i < n; ++i) At(f, p, offset + size_t(i)) = uint8_t(xorIn ? At(f, p, offset + size_t(i)) ^ d.at(from + size_t(i)) : d.at(from + size_t(i)));
    }
    // Op 2: offsets move a long pointer on; a negative one, less two, moves
    // it for a run whose every long moves it one on first.
    void LongDelta(std::vector<Bytes>& f, const Bytes& d) {
        for (int32_t p = 0; p < planes; ++p) {
            size_t at = Be(d, size_t(4 * p), 4);
            if (!at) continue;
            size_t ptr = 0;
            for (int32_t off; (off = int16_t(Be(d, at, 2))) != -1; at += 2) {
                if (off >= 0) {
                    ptr += size_t(off);
                    Put(f, p, 4 * ptr, d, at + 2, 4, false);
                    at += 4;
                    continue;
                }
                ptr += size_t(-(off + 2));
                const uint32_t n = Be(d, at + 2, 2);
                at += 2;
                for (uint32_t i = 0; i < n; ++i, at += 4) Put(f, p, 4 * ++ptr, d, at + 2, 4, false);
            }
        }
    }
    // Op 4, as the description's sample player: offset from the plane start,
    // a count (negative: one item repeated), down a column or along.
    void General(std::vector<Bytes>& f, const Bytes& d, uint32_t bits) {
        const int n = bits & 1 ? 4 : 2, e = bits & 32 ? 4 : 2;
        const size_t step = bits & 16 ? size_t(bpr) : size_t(n);
        for (int32_t p = 0; p < planes; ++p) {
            size_t data = Be(d, size_t(4 * p), 4), list = Be(d, size_t(32 + 4 * p), 4);
            if (!data) continue;
            for (; Be(d, list, e) != (e == 4 ? 0xFFFFFFFFu : 0xFFFFu); list += size_t(2 * e)) {
                size_t dest = size_t(Be(d, list, e)) * size_t(n);
                const int32_t size = e == 4 ? int32_t(Be(d, list + 4, 4)) : int16_t(Be(d, list + 2, 2));
                for (int32_t s = 0; s < (size < 0 ? -size : size); ++s, dest += step) {
                    Put(f, p, dest, d, data, n, bits & 2);
                    if (size > 0) data += size_t(n);
                }
                if (size < 0) data += size_t(n);
            }
        }
    }
    // Op 8: columns of the data's width (the last a word when rows are not
    // whole longs), ops and counts in that width, items in line.
    void VerticalWords(std::vector<Bytes>& f, const Bytes& d, uint32_t bits) {
        for (int32_t p = 0; p < planes; ++p) {
            size_t at = Be(d, size_t(4 * p), 4);
            if (!at) continue;
            for (int32_t col = 0; col < bpr;) {
                const int n = (bits & 1) && col + 4 <= bpr ? 4 : 2;
                const uint32_t top = 1u << (8 * n - 1);
                size_t row = 0;
                uint32_t ops = Be(d, at, n);
                for (at += size_t(n); ops--;) {
                    const uint32_t op = Be(d, at, n);
                    at += size_t(n);
                    if (op == 0) {
                        const uint32_t count = Be(d, at, n);
                        for (uint32_t i = 0; i < count; ++i) Put(f, p, (row++) * size_t(bpr) + size_t(col), d, at + size_t(n), n, bits & 2);
                        at += size_t(2 * n);
                    } else if (op & top) {
                        for (uint32_t i = 0; i < (op & ~top); ++i, at += size_t(n)) Put(f, p, (row++) * size_t(bpr) + size_t(col), d, at, n, bits & 2);
                    } else {
                        row += op;
                    }
                }
                col += n;
            }
        }
    }
    Bytes Frame() const {  // in the engine's layout
        Bytes out;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t p = 0; p < planes; ++p)
                out.insert(out.end(), buf[shown][size_t(p)].begin() + y * bpr, buf[shown][size_t(p)].begin() + (y + 1) * bpr);
        return out;
    }
};

// Every frame the reference shows, from the file's bytes.
std::vector<Bytes> ReferencePlay(const Bytes& file) {
    Reference r;
    std::vector<Bytes> frames;
    for (size_t form = 12; form + 12 <= file.size(); form += 8 + ((Be(file, form + 4, 4) + 1) & ~1u)) {
        const size_t end = form + 8 + Be(file, form + 4, 4);
        Bytes anhd(24, 0);
        for (size_t c = form + 12; c + 8 <= end; c += 8 + ((Be(file, c + 4, 4) + 1) & ~1u)) {
            const std::string id(file.begin() + ptrdiff_t(c), file.begin() + ptrdiff_t(c + 4));
            const Bytes d(file.begin() + ptrdiff_t(c + 8), file.begin() + ptrdiff_t(c + 8 + Be(file, c + 4, 4)));
            if (id == "BMHD") {
                r.w = int32_t(Be(d, 0, 2)), r.h = int32_t(Be(d, 2, 2)), r.planes = d[8], r.packed = d[10] == 1;
                r.bpr = (r.w + 15) / 16 * 2;
                r.buf[0].assign(size_t(r.planes), Bytes(size_t(r.bpr * r.h)));
            } else if (id == "ANHD") {
                anhd = d;
            } else if (frames.empty() && id == "BODY") {
                r.Body(r.buf[0], d, false, 0, 0, r.w, r.h, 0);
                r.buf[1] = r.buf[0];
            } else if (id == "BODY" || id == "DLTA") {
                const int back = 1 - r.shown;
                if (anhd[18] == 1) r.buf[back] = r.buf[r.shown];
                std::vector<Bytes>& f = r.buf[back];
                const uint32_t bits = Be(anhd, 20, 4);
                const int32_t rw = int32_t(Be(anhd, 2, 2)), rh = int32_t(Be(anhd, 4, 2));
                if (anhd[0] == 1 && rw && rh) r.Body(f, d, true, int32_t(Be(anhd, 6, 2)), int32_t(Be(anhd, 8, 2)), rw, rh, anhd[1]);
                else if (anhd[0] <= 1) r.Body(f, d, anhd[0] == 1, 0, 0, r.w, r.h, anhd[0] == 1 ? anhd[1] : 0);
                else if (anhd[0] == 2) r.LongDelta(f, d);
                else if (anhd[0] == 4) r.General(f, d, bits);
                else if (anhd[0] == 8) r.VerticalWords(f, d, bits);
                r.shown = back;
            }
        }
        frames.push_back(r.Frame());
    }
    return frames;
}

TEST(AnimReference, OperationsFfmpegLacksOrMisreadsFrameForFrame) {
    struct Case {
        const char* name;
        uint8_t op;
        uint32_t bits;
        uint8_t interleave;
        int32_t w;
    };
    const Case cases[] = {{"xor whole", 1, 0, 0, 40},           {"xor rectangle", 1, 0, 1, 45},
                          {"long delta", 2, 0, 0, 64},          {"long delta interleave 1", 2, 0, 1, 32},
                          {"general", 4, 0, 0, 48},             {"general long vertical runs", 4, 0x19, 0, 64},
                          {"general xor long offsets", 4, 0x22, 1, 32}, {"words long word column", 8, 1, 0, 48},
                          {"words long xor word column", 8, 3, 1, 80}, {"body frames", 0, 0, 0, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AnimFile a = anim_test::Anim(c.w, 20, 3, c.op, c.bits, c.interleave);
        a.frames[2].operation = 0;  // a whole picture among the deltas
        for (AnimFrameInput& f : a.frames)
            if (c.op == 1 && c.interleave == 1) f.x = 3, f.y = 0, f.w = uint16_t(c.w - 3), f.h = 20, f.mask = 5;
        if (c.op == 1 && c.interleave == 1)  // the mask leaves plane 1 as it was
            for (size_t k = 0; k < a.frames.size(); ++k) {
                a.frames[k].pixels = a.first.pixels;
                for (size_t j = 0; j <= k; ++j) a.frames[k].pixels[5 + 7 * j + size_t(c.w) * j] ^= 5;
            }
        const Bytes file = MakeAnim(a);
        const std::vector<Bytes> want = ReferencePlay(file);
        const anim_test::Played p = anim_test::Play(file);
        ASSERT_EQ(p.result, ANIM_END);
        ASSERT_EQ(p.frames.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) EXPECT_TRUE(p.frames[i].planes == want[i]) << "frame " << i + 1;
    }
}

}  // namespace
