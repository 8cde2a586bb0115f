// FORM ANIM: the first picture's FORM ILBM, then a FORM ILBM a frame with
// its ANHD, an optional CMAP, extra chunks and its DLTA (or, for ops 0 and
// 1, its BODY).
#include "tools/ilbm_writer/anim_writer.h"

namespace lanterna::ilbmw {

namespace {

// Op 1: the rectangle's plane rows of from ^ to, as a BODY of its size.
Bytes EncodeXorBody(const BitMapHeader& header, const AnimFrameInput& f, const Bytes& from, const Bytes& to) {
    const int32_t planes = header.nPlanes, bpr = PlaneRowBytes(header.w);
    const bool whole = f.w == 0 || f.h == 0;
    const int32_t x0 = whole ? 0 : f.x, y0 = whole ? 0 : f.y;
    const int32_t w = whole ? header.w : f.w, h = whole ? header.h : f.h;
    const int32_t rowBytes = PlaneRowBytes(w);
    Bytes out;
    auto emit = [&](const Bytes& row) {
        const Bytes packed = f.packed ? PackByteRun1(row.data(), row.size()) : row;
        out.insert(out.end(), packed.begin(), packed.end());
    };
    for (int32_t y = y0; y < y0 + h; ++y) {
        for (int32_t p = 0; p < planes; ++p) {
            if (f.mask != 0 && (p >= 8 || !(f.mask & (1u << p)))) continue;
            const size_t at = (size_t(y) * planes + size_t(p)) * size_t(bpr);
            Bytes row(size_t(rowBytes), 0);
            for (int32_t i = 0; i < w; ++i) {
                const int32_t x = x0 + i;
                const int bit = ((from[at + size_t(x >> 3)] ^ to[at + size_t(x >> 3)]) >> (7 - (x & 7))) & 1;
                if (bit) row[size_t(i >> 3)] = uint8_t(row[size_t(i >> 3)] | (0x80 >> (i & 7)));
            }
            emit(row);
        }
        if (header.masking == mskHasMask) emit(Bytes(size_t(rowBytes), 0));
    }
    return out;
}

Bytes FramePlanes(const BitMapHeader& header, const std::vector<uint32_t>& pixels) {
    std::vector<uint32_t> all = pixels;
    all.resize(size_t(header.w) * header.h, 0);
    return MakePlanarBody(header.w, header.h, header.nPlanes, all);
}

}  // namespace

Bytes EncodeAnimHeader(uint8_t operation, uint32_t bits, uint8_t interleave, uint32_t relTime, uint32_t absTime,
                       uint8_t mask, uint16_t x, uint16_t y, uint16_t w, uint16_t h) {
    Bytes out{operation, mask};
    for (uint32_t v : {uint32_t(w), uint32_t(h), uint32_t(x), uint32_t(y)}) AppendBE16(out, v);
    AppendBE32(out, absTime);
    AppendBE32(out, relTime);
    out.push_back(interleave);
    out.push_back(0);
    AppendBE32(out, bits);
    out.resize(40, 0);
    return out;
}

std::vector<Bytes> AnimFramePlanes(const AnimFile& anim) {
    std::vector<Bytes> frames{FramePlanes(anim.first.header, anim.first.pixels)};
    for (const AnimFrameInput& f : anim.frames) frames.push_back(FramePlanes(anim.first.header, f.pixels));
    return frames;
}

Bytes MakeAnim(const AnimFile& anim) {
    const BitMapHeader& header = anim.first.header;
    IlbmPicture first = anim.first;
    if (anim.firstAnhd) first.extraChunks.push_back(MakeChunk("ANHD", EncodeAnimHeader(0, 0, 0, 0, 0)));
    if (anim.dpanFrames >= 0) {
        Bytes dpan;
        AppendBE16(dpan, 4);
        AppendBE16(dpan, uint32_t(anim.dpanFrames));
        AppendBE32(dpan, uint32_t(anim.dpanFramesPerSecond) << 24);
        first.extraChunks.push_back(MakeChunk("DPAN", dpan));
    }
    std::vector<Bytes> forms{MakeIlbm(first)};
    // The two buffers of a player: a frame's delta is made against the one
    // it will be applied to.
    Bytes buffers[2] = {FramePlanes(header, anim.first.pixels), FramePlanes(header, anim.first.pixels)};
    int shown = 0;
    for (const AnimFrameInput& f : anim.frames) {
        const int back = 1 - shown;
        if (f.interleave == 1) buffers[back] = buffers[shown];
        const Bytes target = FramePlanes(header, f.pixels);
        std::vector<Bytes> parts{MakeChunk("ANHD", EncodeAnimHeader(f.operation, f.bits, f.interleave, f.relTime,
                                                                    f.absTime, f.mask, f.x, f.y, f.w, f.h))};
        const Bytes cmap = f.colours.empty() ? Bytes{} : MakeChunk("CMAP", EncodeColourMap(f.colours));
        if (!f.cmapAfterDelta) parts.push_back(cmap);
        for (const Bytes& c : f.extraChunks) parts.push_back(c);
        if (!f.delta.empty()) {
            parts.push_back(MakeChunk(f.operation <= 1 ? "BODY" : "DLTA", f.delta));
        } else if (f.operation == 0) {
            IlbmPicture body = anim.first;
            body.pixels = f.pixels;
            body.header.compression = f.packed ? cmpByteRun1 : cmpNone;
            body.packAsStream = false;
            parts.push_back(MakeChunk("BODY", MakeBodyData(body)));
        } else if (f.operation == 1) {
            parts.push_back(MakeChunk("BODY", EncodeXorBody(header, f, buffers[back], target)));
        } else {
            Bytes delta = EncodeAnimDelta(f.operation, f.bits, header.w, header.h, header.nPlanes, buffers[back], target);
            delta.resize(delta.size() + size_t(anim.trailingPad), 0);
            parts.push_back(MakeChunk("DLTA", delta));
        }
        if (f.cmapAfterDelta) parts.push_back(cmap);
        forms.push_back(MakeGroup("FORM", "ILBM", Concat(parts)));
        buffers[back] = target;
        shown = back;
    }
    return MakeGroup("FORM", "ANIM", Concat(forms));
}

}  // namespace lanterna::ilbmw
