// The DLTA encoders of the ANIM writer, one per operation, written from the
// descriptions of the format (see ilbm/anim_*_ops.cpp for the readings
// chosen where they are unclear).
#include <cstddef>
#include <cstring>

#include "tools/ilbm_writer/anim_writer.h"

namespace lanterna::ilbmw {

namespace {

struct Geometry {
    int32_t width, height, planes, bpr;
    size_t At(int32_t p, int32_t row, int32_t col) const {
        return (size_t(row) * size_t(planes) + size_t(p)) * size_t(bpr) + size_t(col);
    }
};

void AppendN(Bytes& out, uint32_t value, int32_t n) {
    for (int32_t i = n - 1; i >= 0; --i) out.push_back(uint8_t(value >> (8 * i)));
}
void PadEven(Bytes& out) {
    if (out.size() & 1) out.push_back(0);
}

// ---- ops 5, 6, 7, 8: columns ---------------------------------------------------

struct ColumnCode {
    int32_t e;    // bytes an item sets
    int32_t opw;  // bytes of an op or count
    int32_t ds;   // bytes an item takes in its stream
    bool xorData;
};

struct ColumnOp {
    int kind;  // 0 skip, 1 uniq, 2 same
    int32_t row, count;
};

void EncodeColumn(const Geometry& g, const Bytes& from, const Bytes& to, int32_t p, int32_t col, const ColumnCode& cc,
                  Bytes& ops, Bytes& data) {
    const int32_t rows = g.height;
    // The items of the rows side by side, cc.e bytes each: one allocation a
    // column, as the writer makes long animations for the benchmarks.
    const size_t e = size_t(cc.e);
    Bytes value(size_t(rows) * e);
    std::vector<uint8_t> changed(static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) {
        const size_t at = g.At(p, r, col);
        bool c = false;
        for (size_t i = 0; i < e; ++i) {
            c |= from[at + i] != to[at + i];
            value[size_t(r) * e + i] = cc.xorData ? uint8_t(from[at + i] ^ to[at + i]) : to[at + i];
        }
        changed[r] = c;
    }
    auto equal = [&](int32_t a, int32_t b) {
        return std::memcmp(value.data() + size_t(a) * e, value.data() + size_t(b) * e, e) == 0;
    };
    const uint32_t top = 1u << (8 * cc.opw - 1);
    const int64_t maxCount = cc.opw == 4 ? 0x7FFFFFFF : (int64_t(1) << (8 * cc.opw)) - 1;
    const int64_t maxOps = maxCount;
    std::vector<ColumnOp> list;
    for (int32_t r = 0; r < rows;) {
        if (!changed[r]) {
            int32_t n = 0;
            while (r + n < rows && !changed[r + n]) ++n;
            if (r + n == rows) break;
            for (int32_t left = n; left > 0;) {
                const int32_t k = left < int32_t(top - 1) ? left : int32_t(top - 1);
                list.push_back({0, r, k});
                left -= k;
            }
            r += n;
            continue;
        }
        int32_t same = 1;
        while (r + same < rows && changed[r + same] && equal(r + same, r) && same < maxCount) ++same;
        if (same >= 3) {
            list.push_back({2, r, same});
            r += same;
            continue;
        }
        int32_t n = 0;
        while (r + n < rows && changed[r + n] && n < int32_t(top - 1)) {
            if (r + n + 2 < rows && changed[r + n + 1] && changed[r + n + 2] && equal(r + n, r + n + 1) &&
                equal(r + n, r + n + 2) && n > 0) {
                break;
            }
            ++n;
        }
        list.push_back({1, r, n});
        r += n;
    }
    if (int64_t(list.size()) > maxOps) {  // too many ops: the whole column literally
        list.clear();
        for (int32_t r = 0; r < rows;) {
            const int32_t k = rows - r < int32_t(top - 1) ? rows - r : int32_t(top - 1);
            list.push_back({1, r, k});
            r += k;
        }
    }
    auto item = [&](Bytes& out, int32_t r) {
        // An item shown through the xor of unchanged rows in a literal run
        // of the whole column is still right: its value is what it must be.
        out.insert(out.end(), value.begin() + std::ptrdiff_t(size_t(r) * e), value.begin() + std::ptrdiff_t(size_t(r + 1) * e));
        for (int32_t i = cc.e; i < cc.ds; ++i) out.push_back(0);
    };
    AppendN(ops, uint32_t(list.size()), cc.opw);
    for (const ColumnOp& op : list) {
        if (op.kind == 0) {
            AppendN(ops, uint32_t(op.count), cc.opw);
        } else if (op.kind == 1) {
            AppendN(ops, top | uint32_t(op.count), cc.opw);
            for (int32_t i = 0; i < op.count; ++i) item(data, op.row + i);
        } else {
            AppendN(ops, 0, cc.opw);
            AppendN(ops, uint32_t(op.count), cc.opw);
            item(data, op.row);
        }
    }
}

bool PlaneChanged(const Geometry& g, const Bytes& from, const Bytes& to, int32_t p) {
    for (int32_t r = 0; r < g.height; ++r) {
        const size_t at = g.At(p, r, 0);
        if (std::memcmp(from.data() + at, to.data() + at, size_t(g.bpr)) != 0) return true;
    }
    return false;
}

// op: 5, 6 (one byte), 7 (lists), 8 (in line).
Bytes EncodeVertical(uint8_t operation, uint32_t bits, const Geometry& g, const Bytes& from, const Bytes& to) {
    const bool longData = (bits & 1) && operation != 5 && operation != 6;
    const bool xorData = bits & 2;
    const bool lists = operation == 7;
    const int32_t pointerPlanes = (operation == 5 || operation == 8) ? 16 : 8;
    Bytes out(64, 0);
    const int32_t planes = g.planes < pointerPlanes ? g.planes : pointerPlanes;
    for (int32_t p = 0; p < planes; ++p) {
        if (!PlaneChanged(g, from, to, p)) continue;
        Bytes ops, data;
        const int32_t width = (operation == 5 || operation == 6) ? 1 : longData ? 4 : 2;
        for (int32_t col = 0; col < g.bpr; col += width) {
            const int32_t e = col + width <= g.bpr ? width : 2;
            ColumnCode cc{e, lists || width == 1 ? 1 : e, lists && longData ? 4 : e, xorData};
            if (lists) {
                EncodeColumn(g, from, to, p, col, cc, ops, data);
            } else {
                EncodeColumn(g, from, to, p, col, cc, ops, ops);
            }
        }
        PadEven(ops);
        PutBE32(out, size_t(4 * p), uint32_t(out.size()));
        if (operation == 6) PutBE32(out, size_t(4 * (8 + p)), uint32_t(out.size()));
        out.insert(out.end(), ops.begin(), ops.end());
        if (lists) {
            PutBE32(out, size_t(32 + 4 * p), uint32_t(out.size()));
            out.insert(out.end(), data.begin(), data.end());
        }
    }
    return out;
}

// ---- ops 2, 3, 4: lists over the plane seen whole -------------------------------

struct PlaneView {
    const Geometry& g;
    int32_t p;
    size_t WordAt(int64_t index) const {
        const int32_t wpr = g.bpr / 2;
        return g.At(p, int32_t(index / wpr), int32_t(index % wpr) * 2);
    }
    int64_t Words() const { return int64_t(g.bpr / 2) * g.height; }
};

Bytes ItemOf(const PlaneView& v, const Bytes& f, int64_t item, int32_t itemWords) {
    Bytes b;
    for (int32_t k = 0; k < itemWords; ++k) {
        const size_t at = v.WordAt(item * itemWords + k);
        b.push_back(f[at]);
        b.push_back(f[at + 1]);
    }
    return b;
}

Bytes EncodeHorizontal(bool longData, const Geometry& g, const Bytes& from, const Bytes& to) {
    const int32_t itemWords = longData ? 2 : 1;
    Bytes out(32, 0);
    const int32_t planes = g.planes < 8 ? g.planes : 8;
    for (int32_t p = 0; p < planes; ++p) {
        if (!PlaneChanged(g, from, to, p)) continue;
        const PlaneView v{g, p};
        const int64_t items = v.Words() / itemWords;
        Bytes list;
        int64_t pos = 0;
        for (int64_t i = 0; i < items;) {
            if (ItemOf(v, from, i, itemWords) == ItemOf(v, to, i, itemWords)) {
                ++i;
                continue;
            }
            int64_t n = 1;
            while (i + n < items && n < 0xFFFF && ItemOf(v, from, i + n, itemWords) != ItemOf(v, to, i + n, itemWords)) ++n;
            // A run moves one item on before each item; from the plane's
            // first item only a single store reaches item 0.
            if (n >= 2 && i > pos && i - pos + 1 <= 32768) {
                AppendBE16(list, uint32_t(-(i - pos + 1)) & 0xFFFF);
                AppendBE16(list, uint32_t(n));
                for (int64_t k = 0; k < n; ++k) {
                    const Bytes it = ItemOf(v, to, i + k, itemWords);
                    list.insert(list.end(), it.begin(), it.end());
                }
                pos = i + n - 1;
                i += n;
                continue;
            }
            while (i - pos > 32767) {  // a long way on: rewrite an item with itself
                pos += 32767;
                AppendBE16(list, 32767);
                const Bytes it = ItemOf(v, to, pos, itemWords);
                list.insert(list.end(), it.begin(), it.end());
            }
            AppendBE16(list, uint32_t(i - pos));
            const Bytes it = ItemOf(v, to, i, itemWords);
            list.insert(list.end(), it.begin(), it.end());
            pos = i;
            ++i;
        }
        AppendBE16(list, 0xFFFF);
        PutBE32(out, size_t(4 * p), uint32_t(out.size()));
        out.insert(out.end(), list.begin(), list.end());
    }
    return out;
}

Bytes EncodeGeneral(uint32_t bits, const Geometry& g, const Bytes& from, const Bytes& to) {
    const int32_t itemWords = (bits & 1) ? 2 : 1;
    const bool xorData = bits & 2, runs = bits & 8, vertical = bits & 16;
    const int32_t entry = (bits & 32) ? 4 : 2;
    Bytes out(64, 0);
    const int32_t planes = g.planes < 8 ? g.planes : 8;
    for (int32_t p = 0; p < planes; ++p) {
        if (!PlaneChanged(g, from, to, p)) continue;
        const PlaneView v{g, p};
        const int64_t perRow = g.bpr / (2 * itemWords);
        const int64_t items = v.Words() / itemWords;
        // The items in the order the lists walk them: down each column, or
        // across the plane.
        std::vector<int64_t> order;
        if (vertical) {
            for (int64_t c = 0; c < perRow; ++c)
                for (int64_t r = 0; r < g.height; ++r) order.push_back(r * perRow + c);
        } else {
            for (int64_t i = 0; i < items; ++i) order.push_back(i);
        }
        auto value = [&](int64_t item) {
            Bytes a = ItemOf(v, from, item, itemWords), b = ItemOf(v, to, item, itemWords);
            if (xorData)
                for (size_t k = 0; k < a.size(); ++k) b[k] = uint8_t(a[k] ^ b[k]);
            return b;
        };
        auto differs = [&](int64_t item) { return ItemOf(v, from, item, itemWords) != ItemOf(v, to, item, itemWords); };
        Bytes data, list;
        const int64_t step = vertical ? perRow : 1;
        for (size_t k = 0; k < order.size();) {
            if (!differs(order[k])) {
                ++k;
                continue;
            }
            size_t n = 1;
            while (k + n < order.size() && n < 32767 && order[k + n] == order[k] + int64_t(n) * step &&
                   differs(order[k + n])) {
                ++n;
            }
            bool same = runs && n >= 2;
            for (size_t i = 1; same && i < n; ++i) same = value(order[k + i]) == value(order[k]);
            AppendN(list, uint32_t(order[k]), entry);
            AppendN(list, same ? uint32_t(-int32_t(n)) : uint32_t(n), entry);
            for (size_t i = 0; i < (same ? 1 : n); ++i) {
                const Bytes it = value(order[k + i]);
                data.insert(data.end(), it.begin(), it.end());
            }
            k += n;
        }
        AppendN(list, 0xFFFFFFFFu, entry);
        PutBE32(out, size_t(4 * p), uint32_t(out.size()));
        out.insert(out.end(), data.begin(), data.end());
        PutBE32(out, size_t(32 + 4 * p), uint32_t(out.size()));
        out.insert(out.end(), list.begin(), list.end());
    }
    return out;
}

// ---- op J -------------------------------------------------------------------------

Bytes EncodeJ(uint32_t bits, const Geometry& g, const Bytes& from, const Bytes& to) {
    const bool xorData = bits & 2;
    const int32_t cols = (g.width + 7) / 8;
    const int32_t margin = g.width < 320 ? (320 - g.width) / 16 : 0;
    const int32_t rowBytes = margin ? 40 : cols;
    auto differs = [&](int32_t r, int32_t c) {
        for (int32_t p = 0; p < g.planes; ++p)
            if (from[g.At(p, r, c)] != to[g.At(p, r, c)]) return true;
        return false;
    };
    auto byteOf = [&](int32_t p, int32_t r, int32_t c) {
        const size_t at = g.At(p, r, c);
        return xorData ? uint8_t(from[at] ^ to[at]) : to[at];
    };
    std::vector<bool> done(size_t(g.height) * size_t(cols));
    Bytes out;
    // Piles: runs of two or more changed bytes across a row.
    for (int32_t r = 0; r < g.height; ++r) {
        for (int32_t c = 0; c < cols;) {
            int32_t n = 0;
            while (c + n < cols && differs(r, c + n)) ++n;
            if (n < 2) {
                c += n ? n : 1;
                continue;
            }
            for (uint32_t v : {2u, uint32_t(xorData), 1u, uint32_t(n), 1u, uint32_t(r * rowBytes + c + margin)})
                AppendBE16(out, v);
            for (int32_t p = 0; p < g.planes; ++p)
                for (int32_t i = 0; i < n; ++i) out.push_back(byteOf(p, r, c + i));
            PadEven(out);
            for (int32_t i = 0; i < n; ++i) done[size_t(r) * cols + size_t(c + i)] = true;
            c += n;
        }
    }
    // Walls: the single bytes left, down each column.
    for (int32_t c = 0; c < cols; ++c) {
        for (int32_t r = 0; r < g.height;) {
            int32_t n = 0;
            while (r + n < g.height && differs(r + n, c) && !done[size_t(r + n) * cols + size_t(c)]) ++n;
            if (!n) {
                ++r;
                continue;
            }
            for (uint32_t v : {1u, uint32_t(xorData), uint32_t(n), 1u, uint32_t(r * rowBytes + c + margin)})
                AppendBE16(out, v);
            for (int32_t i = 0; i < n; ++i)
                for (int32_t p = 0; p < g.planes; ++p) out.push_back(byteOf(p, r + i, c));
            PadEven(out);
            r += n;
        }
    }
    AppendBE16(out, 0);
    return out;
}

}  // namespace

Bytes EncodeAnimDelta(uint8_t operation, uint32_t bits, int32_t width, int32_t height, int32_t planes,
                      const Bytes& from, const Bytes& to) {
    const Geometry g{width, height, planes, PlaneRowBytes(width)};
    switch (operation) {
    case 2: return EncodeHorizontal(true, g, from, to);
    case 3: return EncodeHorizontal(false, g, from, to);
    case 4: return EncodeGeneral(bits, g, from, to);
    case 5:
    case 6:
    case 7:
    case 8: return EncodeVertical(operation, bits, g, from, to);
    case 'J': return EncodeJ(bits, g, from, to);
    default: return {};
    }
}

}  // namespace lanterna::ilbmw
