#include "tools/ilbm_writer/ilbm_writer.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace lanterna::ilbmw {

void AppendBE16(Bytes& out, uint32_t value) {
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

void AppendBE32(Bytes& out, uint32_t value) {
    out.push_back(uint8_t(value >> 24));
    out.push_back(uint8_t(value >> 16));
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

void AppendId(Bytes& out, const char* id) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(id[i]));
}

void PutBE16(Bytes& data, size_t offset, uint32_t value) {
    if (data.size() < offset + 2) data.resize(offset + 2);
    data[offset] = uint8_t(value >> 8);
    data[offset + 1] = uint8_t(value);
}

void PutBE32(Bytes& data, size_t offset, uint32_t value) {
    if (data.size() < offset + 4) data.resize(offset + 4);
    data[offset] = uint8_t(value >> 24);
    data[offset + 1] = uint8_t(value >> 16);
    data[offset + 2] = uint8_t(value >> 8);
    data[offset + 3] = uint8_t(value);
}

Bytes MakeChunk(const char* id, const Bytes& data) {
    Bytes out;
    out.reserve(data.size() + 9);
    AppendId(out, id);
    AppendBE32(out, uint32_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1) out.push_back(0);
    return out;
}

Bytes MakeChunkWithSize(const char* id, uint32_t claimedSize, const Bytes& data) {
    Bytes out;
    AppendId(out, id);
    AppendBE32(out, claimedSize);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes MakeGroup(const char* groupId, const char* type, const Bytes& contents) {
    Bytes out;
    out.reserve(contents.size() + 12);
    AppendId(out, groupId);
    AppendBE32(out, uint32_t(contents.size() + 4));
    AppendId(out, type);
    out.insert(out.end(), contents.begin(), contents.end());
    return out;
}

Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes EncodeBitMapHeader(const BitMapHeader& h) {
    Bytes out;
    AppendBE16(out, h.w);
    AppendBE16(out, h.h);
    AppendBE16(out, uint16_t(h.x));
    AppendBE16(out, uint16_t(h.y));
    out.push_back(h.nPlanes);
    out.push_back(h.masking);
    out.push_back(h.compression);
    out.push_back(h.pad1);
    AppendBE16(out, h.transparentColor);
    out.push_back(h.xAspect);
    out.push_back(h.yAspect);
    AppendBE16(out, uint16_t(h.pageWidth));
    AppendBE16(out, uint16_t(h.pageHeight));
    return out;
}

Bytes EncodeColourMap(const std::vector<Rgb>& colours) {
    Bytes out;
    for (const Rgb& c : colours) {
        out.push_back(c.r);
        out.push_back(c.g);
        out.push_back(c.b);
    }
    return out;
}

Bytes EncodeDisplayMode(uint32_t modeId) {
    Bytes out;
    AppendBE32(out, modeId);
    return out;
}

Bytes EncodeColourRange(int16_t pad1, int16_t rate, int16_t flags, uint8_t low, uint8_t high) {
    Bytes out;
    AppendBE16(out, uint16_t(pad1));
    AppendBE16(out, uint16_t(rate));
    AppendBE16(out, uint16_t(flags));
    out.push_back(low);
    out.push_back(high);
    return out;
}

Bytes EncodeCycleTiming(int16_t direction, uint8_t start, uint8_t end, int32_t seconds,
                        int32_t microseconds) {
    Bytes out;
    AppendBE16(out, uint16_t(direction));
    out.push_back(start);
    out.push_back(end);
    AppendBE32(out, uint32_t(seconds));
    AppendBE32(out, uint32_t(microseconds));
    AppendBE16(out, 0);
    return out;
}

Bytes EncodeLinePalettes(const std::vector<std::vector<Rgb>>& lines, bool sham) {
    Bytes out;
    if (sham) AppendBE16(out, 0);
    for (const std::vector<Rgb>& line : lines) {
        for (size_t i = 0; i < 16; ++i) {
            const Rgb c = i < line.size() ? line[i] : Rgb{};
            AppendBE16(out, (uint32_t(c.r >> 4) << 8) | (uint32_t(c.g >> 4) << 4) | uint32_t(c.b >> 4));
        }
    }
    return out;
}

namespace {

// A Huffman tree node: a leaf (symbol >= 0) or two branches.
struct HuffNode {
    uint64_t weight = 0;
    int32_t symbol = -1;
    int32_t zero = -1, one = -1;
};

// Lays out the subtree of internal node n so that its own word is the last
// one written: the word of the 1 branch (a leaf's symbol, or the distance
// back to that node in bytes) with the 0 branch just before it (a leaf as
// 0x100 | symbol, or that node's own word).
size_t LayOut(const std::vector<HuffNode>& nodes, int32_t n, std::vector<int32_t>& words) {
    const HuffNode& node = nodes[size_t(n)];
    const HuffNode& one = nodes[size_t(node.one)];
    const HuffNode& zero = nodes[size_t(node.zero)];
    size_t oneAt = 0;
    if (one.symbol < 0) oneAt = LayOut(nodes, node.one, words);
    if (zero.symbol >= 0) {
        words.push_back(0x100 | zero.symbol);
    } else {
        LayOut(nodes, node.zero, words);
    }
    const size_t at = words.size();
    words.push_back(one.symbol >= 0 ? one.symbol : (int32_t(oneAt) - int32_t(at)) * 2);
    return at;
}

void Codes(const std::vector<HuffNode>& nodes, int32_t n, std::string& path, std::vector<std::string>& codes) {
    const HuffNode& node = nodes[size_t(n)];
    if (node.symbol >= 0) {
        codes[size_t(node.symbol)] = path;
        return;
    }
    path.push_back('0');
    Codes(nodes, node.zero, path, codes);
    path.back() = '1';
    Codes(nodes, node.one, path, codes);
    path.pop_back();
}

}  // namespace

void HuffmanPack(const Bytes& data, Bytes* tree, Bytes* packed) {
    std::vector<HuffNode> nodes;
    std::vector<uint64_t> counts(256, 0);
    for (uint8_t b : data) ++counts[b];
    std::vector<int32_t> open;
    for (int32_t s = 0; s < 256; ++s) {
        if (counts[size_t(s)] == 0) continue;
        nodes.push_back({counts[size_t(s)], s, -1, -1});
        open.push_back(int32_t(nodes.size()) - 1);
    }
    // The root must have two branches: one symbol (or none) gets a partner
    // that is never coded.
    while (open.size() < 2) {
        const int32_t spare = open.empty() ? 0 : (nodes[size_t(open[0])].symbol + 1) % 256;
        nodes.push_back({0, spare, -1, -1});
        open.push_back(int32_t(nodes.size()) - 1);
    }
    while (open.size() > 1) {
        // The two lightest (the later of equals first, so the order is fixed).
        std::sort(open.begin(), open.end(), [&](int32_t a, int32_t b) {
            return nodes[size_t(a)].weight != nodes[size_t(b)].weight ? nodes[size_t(a)].weight > nodes[size_t(b)].weight
                                                                      : a < b;
        });
        const int32_t a = open.back();
        open.pop_back();
        const int32_t b = open.back();
        open.pop_back();
        nodes.push_back({nodes[size_t(a)].weight + nodes[size_t(b)].weight, -1, a, b});
        open.push_back(int32_t(nodes.size()) - 1);
    }
    const int32_t root = open[0];
    std::vector<int32_t> words;
    LayOut(nodes, root, words);
    tree->clear();
    for (int32_t w : words) AppendBE16(*tree, uint32_t(uint16_t(int16_t(w))));
    std::vector<std::string> codes(256);
    std::string path;
    Codes(nodes, root, path, codes);
    packed->clear();
    uint32_t bits = 0;
    uint8_t byte = 0;
    for (uint8_t b : data) {
        for (char c : codes[b]) {
            byte = uint8_t((byte << 1) | (c == '1' ? 1 : 0));
            if (++bits == 8) {
                packed->push_back(byte);
                bits = 0;
                byte = 0;
            }
        }
    }
    if (bits > 0) packed->push_back(uint8_t(byte << (8 - bits)));
}

Bytes EncodePaletteChanges(const PaletteChangeLines& changes) {
    const uint32_t lineCount = uint32_t(changes.lines.size());
    Bytes data(size_t((lineCount + 31) / 32 * 4), 0);
    uint32_t changed = 0, total = 0, maxChanges = 0, minReg = 0xFFFF, maxReg = 0;
    for (uint32_t i = 0; i < lineCount; ++i) {
        std::vector<PaletteChange> line;
        for (const PaletteChange& c : changes.lines[i]) {
            if (changes.big || c.reg < 32) line.push_back(c);
        }
        if (line.empty()) continue;
        data[i / 8] = uint8_t(data[i / 8] | (0x80u >> (i % 8)));
        ++changed;
        total += uint32_t(line.size());
        maxChanges = std::max(maxChanges, uint32_t(line.size()));
        for (const PaletteChange& c : line) {
            minReg = std::min(minReg, uint32_t(c.reg));
            maxReg = std::max(maxReg, uint32_t(c.reg));
        }
        if (changes.big) {
            AppendBE16(data, uint32_t(line.size()));
            for (const PaletteChange& c : line) {
                AppendBE16(data, c.reg);
                data.insert(data.end(), {uint8_t(0), c.colour.r, c.colour.b, c.colour.g});
            }
        } else {
            // Registers 0..15 first, then 16..31, each as register and colour.
            std::stable_partition(line.begin(), line.end(), [](const PaletteChange& c) { return c.reg < 16; });
            const auto low = std::count_if(line.begin(), line.end(), [](const PaletteChange& c) { return c.reg < 16; });
            data.push_back(uint8_t(low));
            data.push_back(uint8_t(line.size() - size_t(low)));
            for (const PaletteChange& c : line) {
                AppendBE16(data, (uint32_t(c.reg & 15) << 12) | (uint32_t(c.colour.r >> 4) << 8) |
                                     (uint32_t(c.colour.g >> 4) << 4) | uint32_t(c.colour.b >> 4));
            }
        }
    }
    if (changed == 0) minReg = 0;
    Bytes out;
    AppendBE16(out, changes.huffman ? 1 : 0);
    AppendBE16(out, changes.big ? 2 : 1);
    AppendBE16(out, uint32_t(uint16_t(changes.startLine)));
    AppendBE16(out, lineCount);
    AppendBE16(out, changed);
    AppendBE16(out, minReg);
    AppendBE16(out, maxReg);
    AppendBE16(out, maxChanges);
    AppendBE32(out, total);
    if (!changes.huffman) {
        out.insert(out.end(), data.begin(), data.end());
        return out;
    }
    Bytes tree, packed;
    HuffmanPack(data, &tree, &packed);
    AppendBE32(out, uint32_t(tree.size()));
    AppendBE32(out, uint32_t(data.size()));
    out.insert(out.end(), tree.begin(), tree.end());
    out.insert(out.end(), packed.begin(), packed.end());
    return out;
}

std::vector<int16_t> StandardTvdc() { return {0, 1, 2, 4, 8, 16, 32, 64, 128, -64, -32, -16, -8, -4, -2, -1}; }

Bytes EncodeDeepPixelFormat(const std::vector<std::pair<uint16_t, uint16_t>>& elements) {
    Bytes out;
    AppendBE32(out, uint32_t(elements.size()));
    for (const auto& [type, bits] : elements) {
        AppendBE16(out, type);
        AppendBE16(out, bits);
    }
    return out;
}

namespace {

// Run-length over pixels of `n` bytes: repeats of 2 to 128 equal pixels as
// 1 - count, literal stretches of up to 128 pixels as count - 1.
void PackDeepRow(const uint8_t* row, size_t pixels, size_t n, Bytes& out) {
    const auto same = [&](size_t a, size_t b) { return std::memcmp(row + a * n, row + b * n, n) == 0; };
    size_t x = 0;
    while (x < pixels) {
        size_t run = 1;
        while (x + run < pixels && run < 128 && same(x, x + run)) ++run;
        if (run >= 2) {
            out.push_back(uint8_t(int8_t(1 - int(run))));
            out.insert(out.end(), row + x * n, row + (x + 1) * n);
            x += run;
            continue;
        }
        size_t literal = 1;
        while (x + literal < pixels && literal < 128 && !(x + literal + 1 < pixels && same(x + literal, x + literal + 1))) {
            ++literal;
        }
        out.push_back(uint8_t(literal - 1));
        out.insert(out.end(), row + x * n, row + (x + literal) * n);
        x += literal;
    }
}

// One element line of TVDC nibbles, from the value 0: repeats of the value
// as the zero delta and a count, other values as the nearest delta.
void PackTvdcLine(const std::vector<uint8_t>& values, const std::vector<int16_t>& tvdc, Bytes& out) {
    std::vector<uint8_t> nibbles;
    int zero = -1;
    for (int k = 0; k < 16; ++k) {
        if (tvdc[size_t(k)] == 0) {
            zero = k;
            break;
        }
    }
    uint8_t value = 0;
    size_t x = 0;
    while (x < values.size()) {
        if (zero >= 0 && values[x] == value) {
            size_t run = 1;
            while (x + run < values.size() && run < 16 && values[x + run] == value) ++run;
            nibbles.push_back(uint8_t(zero));
            nibbles.push_back(uint8_t(run - 1));
            x += run;
            continue;
        }
        int best = -1, bestMiss = 1 << 20;
        for (int k = 0; k < 16; ++k) {
            if (tvdc[size_t(k)] == 0) continue;
            const uint8_t got = uint8_t(value + tvdc[size_t(k)]);
            const int miss = std::abs(int(got) - int(values[x]));
            if (miss < bestMiss) {
                best = k;
                bestMiss = miss;
            }
        }
        nibbles.push_back(uint8_t(best));
        value = uint8_t(value + tvdc[size_t(best)]);
        ++x;
    }
    for (size_t i = 0; i < nibbles.size(); i += 2) {
        out.push_back(uint8_t(nibbles[i] << 4 | (i + 1 < nibbles.size() ? nibbles[i + 1] : 0)));
    }
}

}  // namespace

Bytes MakeDeepBody(const DeepPicture& picture) {
    // The bytes of a pixel: elements of 16 bits take two (TVDC codes each
    // element as a line of bytes, 8-bit elements only).
    size_t n = 0;
    for (const auto& element : picture.elements) n += (element.second + 7u) / 8u;
    const size_t rowBytes = size_t(picture.width) * n;
    Bytes out;
    for (size_t y = 0; y < picture.height; ++y) {
        const uint8_t* row = picture.pixels.data() + y * rowBytes;
        if (picture.compression == 1) {
            PackDeepRow(row, picture.width, n, out);
        } else if (picture.compression == 5) {
            for (size_t e = 0; e < n; ++e) {
                std::vector<uint8_t> values;
                for (size_t x = 0; x < picture.width; ++x) values.push_back(row[x * n + e]);
                PackTvdcLine(values, picture.tvdc, out);
            }
        } else {
            out.insert(out.end(), row, row + rowBytes);
        }
    }
    return out;
}

Bytes MakeDeep(const DeepPicture& picture) {
    Bytes dgbl;
    AppendBE16(dgbl, picture.width);
    AppendBE16(dgbl, picture.height);
    AppendBE16(dgbl, picture.compression);
    dgbl.push_back(1);
    dgbl.push_back(1);
    std::vector<Bytes> chunks = {MakeChunk("DGBL", dgbl), MakeChunk("DPEL", EncodeDeepPixelFormat(picture.elements))};
    if (!picture.tvdc.empty()) {
        Bytes table;
        for (int16_t d : picture.tvdc) AppendBE16(table, uint32_t(uint16_t(d)));
        chunks.push_back(MakeChunk("TVDC", table));
    }
    for (const Bytes& extra : picture.extraChunks) chunks.push_back(extra);
    chunks.push_back(MakeChunk("DBOD", picture.body.empty() ? MakeDeepBody(picture) : picture.body));
    return MakeGroup("FORM", "DEEP", Concat(chunks));
}

int32_t PlaneRowBytes(int32_t width) { return 2 * ((width + 15) / 16); }

namespace {

template <typename Value>
Bytes PlanarBody(int32_t width, int32_t height, int32_t planes, const std::vector<Value>& pixels,
                 const std::vector<uint8_t>& mask) {
    const int32_t rowBytes = PlaneRowBytes(width);
    const int32_t planeRows = planes + (mask.empty() ? 0 : 1);
    Bytes out(size_t(rowBytes) * size_t(planeRows) * size_t(height), 0);
    // Each pixel read once, its bits spread over the plane rows of its line.
    for (int32_t y = 0; y < height; ++y) {
        const size_t rowStart = size_t(y) * size_t(width);
        uint8_t* line = out.data() + size_t(y) * size_t(planeRows) * size_t(rowBytes);
        for (int32_t x = 0; x < width; ++x) {
            const Value v = pixels[rowStart + size_t(x)];
            const uint8_t bit = uint8_t(0x80u >> (x & 7));
            uint8_t* at = line + (x >> 3);
            for (int32_t p = 0; p < planes; ++p, at += rowBytes) {
                if ((v >> p) & 1u) *at |= bit;
            }
            if (planeRows > planes && mask[rowStart + size_t(x)] != 0) *at |= bit;
        }
    }
    return out;
}

}  // namespace

Bytes MakePlanarBody(int32_t width, int32_t height, int32_t planes, const std::vector<uint32_t>& pixels,
                     const std::vector<uint8_t>& mask) {
    return PlanarBody(width, height, planes, pixels, mask);
}

Bytes MakeWidePlanarBody(int32_t width, int32_t height, int32_t planes, const std::vector<uint64_t>& pixels,
                         const std::vector<uint8_t>& mask) {
    return PlanarBody(width, height, planes, pixels, mask);
}

Bytes PackByteRun1(const uint8_t* row, size_t count) {
    // Length of the run of equal bytes at i, at most 128.
    auto runAt = [&](size_t i) {
        size_t run = 1;
        while (i + run < count && run < 128 && row[i + run] == row[i]) ++run;
        return run;
    };
    Bytes out;
    size_t i = 0;
    while (i < count) {
        const size_t run = runAt(i);
        if (run >= 2) {
            out.push_back(uint8_t(int8_t(1 - int32_t(run))));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        // A literal up to the next run of three or more (a pair inside a
        // literal costs less as literal bytes than as a run of its own).
        const size_t start = i;
        size_t len = 0;
        while (i < count && len < 128 && runAt(i) < 3) {
            ++i;
            ++len;
        }
        out.push_back(uint8_t(len - 1));
        out.insert(out.end(), row + start, row + start + len);
    }
    return out;
}

Bytes PackBody(const Bytes& planar, int32_t planeRowBytes) {
    Bytes out;
    if (planeRowBytes <= 0) return out;  // rows of no bytes pack to nothing
    for (size_t at = 0; at + size_t(planeRowBytes) <= planar.size(); at += size_t(planeRowBytes)) {
        Bytes packed = PackByteRun1(planar.data() + at, size_t(planeRowBytes));
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

Bytes PackBodyStream(const Bytes& planar) { return PackByteRun1(planar.data(), planar.size()); }

Bytes MakeChunkyBody(int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
    const size_t rowBytes = size_t(width) + size_t(width & 1);
    Bytes out(rowBytes * size_t(height), 0);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            out[size_t(y) * rowBytes + size_t(x)] = uint8_t(pixels[size_t(y) * size_t(width) + size_t(x)]);
        }
    }
    return out;
}

Bytes MakeContiguousPlanes(int32_t width, int32_t height, int32_t planes, const std::vector<uint32_t>& pixels,
                           const std::vector<uint8_t>& mask) {
    const Bytes interleaved = MakePlanarBody(width, height, planes, pixels, mask);
    const size_t rowBytes = size_t(PlaneRowBytes(width));
    const size_t planeRows = size_t(planes) + (mask.empty() ? 0 : 1);
    Bytes out(interleaved.size());
    for (size_t y = 0; y < size_t(height); ++y) {
        for (size_t p = 0; p < planeRows; ++p) {
            std::copy_n(interleaved.begin() + ptrdiff_t((y * planeRows + p) * rowBytes), rowBytes,
                        out.begin() + ptrdiff_t((p * size_t(height) + y) * rowBytes));
        }
    }
    return out;
}

Bytes MakeRgbnBody(const std::vector<uint32_t>& pixels, bool rgbn, uint32_t maxInline) {
    const uint32_t inlineLimit = std::min<uint32_t>(maxInline, rgbn ? 7u : 127u);
    Bytes out;
    auto put = [&](uint32_t colour, uint32_t count) {
        const uint32_t inlineCount = count <= inlineLimit ? count : 0;
        if (rgbn) {
            const uint32_t word = (((colour >> 20) & 0xF) << 12) | (((colour >> 12) & 0xF) << 8) |
                                  (((colour >> 4) & 0xF) << 4) | inlineCount;
            AppendBE16(out, word);
        } else {
            out.push_back(uint8_t(colour >> 16));
            out.push_back(uint8_t(colour >> 8));
            out.push_back(uint8_t(colour));
            out.push_back(uint8_t(inlineCount));
        }
        if (inlineCount != 0) return;
        if (count <= 255) {
            out.push_back(uint8_t(count));
        } else {
            out.push_back(0);
            AppendBE16(out, count);
        }
    };
    // RGBN compares only the bits it keeps.
    const uint32_t keep = rgbn ? 0xF0F0F0u : 0xFFFFFFu;
    size_t i = 0;
    while (i < pixels.size()) {
        size_t run = 1;
        while (i + run < pixels.size() && run < 65535 && (pixels[i + run] & keep) == (pixels[i] & keep)) ++run;
        put(pixels[i], uint32_t(run));
        i += run;
    }
    return out;
}

uint32_t DeepPixel(uint32_t r, uint32_t g, uint32_t b, int32_t bits) {
    const uint32_t m = (1u << bits) - 1;
    return (r & m) | ((g & m) << bits) | ((b & m) << (2 * bits));
}

namespace {

struct HamShape {
    int32_t controlShift;  // code >> controlShift is the control bits
    int32_t valueBits;     // bits per component
};

HamShape ShapeOf(int32_t hamPlanes) { return hamPlanes == 8 ? HamShape{6, 6} : HamShape{4, 4}; }

uint32_t Widen(uint32_t value, int32_t bits) {
    // Repeat the bits to fill 8 (4 -> 0xN N, 6 -> top bits repeated).
    uint32_t v = value << (8 - bits);
    return v | (v >> bits);
}

}  // namespace

std::vector<Rgb> DecodeHamRow(const std::vector<uint32_t>& codes, const std::vector<Rgb>& palette,
                              int32_t hamPlanes) {
    const HamShape s = ShapeOf(hamPlanes);
    const uint32_t valueMask = (1u << s.valueBits) - 1;
    auto entry = [&](uint32_t i) {
        Rgb c = i < palette.size() ? palette[i] : Rgb{};
        return Rgb{uint8_t(Widen(c.r >> (8 - s.valueBits), s.valueBits)),
                   uint8_t(Widen(c.g >> (8 - s.valueBits), s.valueBits)),
                   uint8_t(Widen(c.b >> (8 - s.valueBits), s.valueBits))};
    };
    std::vector<Rgb> out;
    Rgb current = entry(0);
    for (uint32_t code : codes) {
        const uint32_t control = (code >> s.controlShift) & 3;
        const uint32_t value = code & valueMask;
        const uint8_t wide = uint8_t(Widen(value, s.valueBits));
        switch (control) {
            case 0: current = entry(value); break;
            case 1: current.b = wide; break;
            case 2: current.r = wide; break;
            default: current.g = wide; break;
        }
        out.push_back(current);
    }
    return out;
}

std::vector<uint32_t> EncodeHamRow(const std::vector<Rgb>& targets, const std::vector<Rgb>& palette,
                                   int32_t hamPlanes) {
    const HamShape s = ShapeOf(hamPlanes);
    const int32_t drop = 8 - s.valueBits;
    const size_t entries = std::min(palette.size(), size_t(1) << s.valueBits);
    std::vector<uint32_t> out;
    // Current colour at HAM precision.
    uint32_t cr = entries ? palette[0].r >> drop : 0;
    uint32_t cg = entries ? palette[0].g >> drop : 0;
    uint32_t cb = entries ? palette[0].b >> drop : 0;
    for (const Rgb& t : targets) {
        const uint32_t tr = t.r >> drop, tg = t.g >> drop, tb = t.b >> drop;
        size_t match = entries;
        for (size_t i = 0; i < entries; ++i) {
            if (uint32_t(palette[i].r >> drop) == tr && uint32_t(palette[i].g >> drop) == tg &&
                uint32_t(palette[i].b >> drop) == tb) {
                match = i;
                break;
            }
        }
        if (cr == tr && cg == tg && cb == tb && match == entries) {
            out.push_back((1u << s.controlShift) | cb);  // repeat by modifying blue to itself
            continue;
        }
        if (match < entries) {
            out.push_back(uint32_t(match));
            cr = tr;
            cg = tg;
            cb = tb;
            continue;
        }
        const uint32_t dr = cr > tr ? cr - tr : tr - cr;
        const uint32_t dg = cg > tg ? cg - tg : tg - cg;
        const uint32_t db = cb > tb ? cb - tb : tb - cb;
        if (dr >= dg && dr >= db) {
            out.push_back((2u << s.controlShift) | tr);
            cr = tr;
        } else if (dg >= db) {
            out.push_back((3u << s.controlShift) | tg);
            cg = tg;
        } else {
            out.push_back((1u << s.controlShift) | tb);
            cb = tb;
        }
    }
    return out;
}

Bytes MakeBodyData(const IlbmPicture& picture) {
    const BitMapHeader& h = picture.header;
    const bool masked = h.masking == mskHasMask;
    std::vector<uint8_t> mask;
    if (masked) {
        mask = picture.mask;
        mask.resize(size_t(h.w) * h.h, 1);
    }
    std::vector<uint32_t> pixels = picture.pixels;
    pixels.resize(size_t(h.w) * h.h, 0);
    if (picture.formType == "RGB8" || picture.formType == "RGBN") {
        return MakeRgbnBody(pixels, picture.formType == "RGBN");
    }
    if (picture.formType == "PBM ") {
        const Bytes chunky = MakeChunkyBody(h.w, h.h, pixels);
        if (h.compression != cmpByteRun1) return chunky;
        return picture.packAsStream ? PackBodyStream(chunky) : PackBody(chunky, h.w + (h.w & 1));
    }
    if (picture.formType == "ACBM") return MakeContiguousPlanes(h.w, h.h, h.nPlanes, pixels, mask);
    std::vector<uint64_t> wide = picture.widePixels;
    if (!wide.empty()) wide.resize(size_t(h.w) * h.h, 0);
    Bytes planar = wide.empty() ? MakePlanarBody(h.w, h.h, h.nPlanes, pixels, mask)
                                : MakeWidePlanarBody(h.w, h.h, h.nPlanes, wide, mask);
    if (h.compression == cmpByteRun1) {
        return picture.packAsStream ? PackBodyStream(planar) : PackBody(planar, PlaneRowBytes(h.w));
    }
    return planar;
}

Bytes MakeIlbm(const IlbmPicture& picture) {
    std::vector<Bytes> parts;
    if (!picture.propertiesFirst) parts.push_back(MakeChunk("BMHD", EncodeBitMapHeader(picture.header)));
    if (!picture.colours.empty()) parts.push_back(MakeChunk("CMAP", EncodeColourMap(picture.colours)));
    if (picture.hasCamg) parts.push_back(MakeChunk("CAMG", EncodeDisplayMode(picture.camg)));
    for (const Bytes& c : picture.extraChunks) parts.push_back(c);
    if (picture.propertiesFirst) parts.push_back(MakeChunk("BMHD", EncodeBitMapHeader(picture.header)));
    const char* bodyId = picture.formType == "ACBM" ? "ABIT" : "BODY";
    parts.push_back(MakeChunk(bodyId, picture.body.empty() ? MakeBodyData(picture) : picture.body));
    return MakeGroup("FORM", picture.formType.c_str(), Concat(parts));
}

BitMapHeader SimpleHeader(int32_t width, int32_t height, int32_t planes, uint8_t compression,
                          uint8_t masking) {
    BitMapHeader h;
    h.w = uint16_t(width);
    h.h = uint16_t(height);
    h.nPlanes = uint8_t(planes);
    h.compression = compression;
    h.masking = masking;
    h.xAspect = 1;
    h.yAspect = 1;
    h.pageWidth = uint16_t(width);
    h.pageHeight = uint16_t(height);
    return h;
}

Bytes Truncated(const Bytes& data, size_t length) {
    return Bytes(data.begin(), data.begin() + std::min(length, data.size()));
}

void Overwrite(Bytes& data, size_t offset, const Bytes& replacement) {
    if (data.size() < offset + replacement.size()) data.resize(offset + replacement.size());
    std::copy(replacement.begin(), replacement.end(), data.begin() + ptrdiff_t(offset));
}

bool WriteFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return bool(out);
}

std::string TempPath(const std::string& stem) {
    static std::atomic<uint32_t> counter{0};
    static const uint32_t salt = std::random_device{}();
    std::filesystem::path dir = std::filesystem::temp_directory_path();
    return (dir / (stem + "-" + std::to_string(salt) + "-" + std::to_string(counter++))).string();
}

}  // namespace lanterna::ilbmw
