// The AmigaDOS pattern language, case-insensitive:
//
//   ?        any one character            #x      zero or more of x
//   #? *     any string                   %       the empty string
//   (a|b)    either alternative; (ab) groups
//   ~x       anything that x does not match; the negation covers the rest of
//            its alternative, so "~#?.info" and "~(#?.info)" mean the same
//   [a-c]    one character of the class   [~a-c]  one character outside it
//   'c       the character c itself (escapes any of the above)
//
// Names are UTF-8; "?" and classes take one code point. Case is folded for
// ASCII and Latin-1 letters. Malformed patterns are read leniently: an
// unclosed "(" closes at the end, an unclosed "[" or a stray ")" or "|"
// outside a group is an ordinary character.
//
// Matching works on sets of end positions: for a node and a start position
// the matcher computes every position where a match of the node can end,
// and remembers the set. Each (node, position) pair is worked out once, so
// the time is polynomial for every pattern (no exponential backtracking) and
// negation is exact.
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "platform/dos/dos.h"

namespace os {
namespace {

// Names and patterns longer than this never match: no file system allows such
// a name, and the bound keeps the matcher's tables small.
constexpr size_t MAX_NAME = 512;
constexpr size_t MAX_PATTERN = 512;

constexpr char32_t BAD_BYTE_BASE = 0x110000;  // invalid UTF-8 bytes keep their identity

std::vector<char32_t> Decode(const char* text, size_t length) {
    std::vector<char32_t> out;
    out.reserve(length);
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length) {
        unsigned char b = s[i];
        int extra = 0;
        char32_t cp = 0;
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        if ((b & 0xE0) == 0xC0 && b >= 0xC2) {
            extra = 1;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0 && b <= 0xF4) {
            extra = 3;
            cp = b & 0x07;
        } else {
            out.push_back(BAD_BYTE_BASE + b);
            ++i;
            continue;
        }
        bool ok = i + static_cast<size_t>(extra) < length;
        for (int k = 1; ok && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                ok = false;
            } else {
                cp = (cp << 6) | (s[i + k] & 0x3F);
            }
        }
        // Reject overlong forms and surrogates so every code point has one spelling.
        if (ok && ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                   (cp >= 0xD800 && cp <= 0xDFFF))) {
            ok = false;
        }
        if (!ok) {
            out.push_back(BAD_BYTE_BASE + b);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

char32_t Fold(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;  // Latin-1 capitals
    return c;
}

enum class Kind : uint8_t { Literal, Any, Empty, Class, Seq, Alt, Star, Not };

struct PatternNode {
    Kind kind = Kind::Empty;
    char32_t ch = 0;                                   // Literal (folded)
    bool negated = false;                              // Class
    std::vector<std::pair<char32_t, char32_t>> ranges; // Class
    std::vector<int> kids;                             // Seq, Alt: all; Star, Not: one
    int memoSlot = -1;                                 // Star and Not remember their sets
};

struct Pattern {
    std::vector<PatternNode> nodes;
    int root = -1;
    int memoCount = 0;
};

class Parser {
public:
    Parser(const std::vector<char32_t>& p, Pattern& out) : p_(p), out_(out) {}

    int ParseTop() { return ParseAlternatives(); }

private:
    bool End() const { return pos_ >= p_.size(); }
    char32_t Peek() const { return p_[pos_]; }

    int Add(PatternNode node) {
        // Every composite node remembers its sets, so that no node is worked out
        // twice from the same position however the groups nest.
        if (node.kind == Kind::Seq || node.kind == Kind::Alt || node.kind == Kind::Star || node.kind == Kind::Not) {
            node.memoSlot = out_.memoCount++;
        }
        out_.nodes.push_back(std::move(node));
        return static_cast<int>(out_.nodes.size()) - 1;
    }
    int Literal(char32_t c) {
        PatternNode n;
        n.kind = Kind::Literal;
        n.ch = Fold(c);
        return Add(std::move(n));
    }
    int Simple(Kind kind) {
        PatternNode n;
        n.kind = kind;
        return Add(std::move(n));
    }
    int Wrap(Kind kind, int kid) {
        PatternNode n;
        n.kind = kind;
        n.kids.push_back(kid);
        return Add(std::move(n));
    }

    int ParseAlternatives() {
        std::vector<int> alts;
        alts.push_back(ParseSequence());
        while (!End() && Peek() == '|' && depth_ > 0) {
            ++pos_;
            alts.push_back(ParseSequence());
        }
        if (alts.size() == 1) return alts[0];
        PatternNode n;
        n.kind = Kind::Alt;
        n.kids = std::move(alts);
        return Add(std::move(n));
    }

    int ParseSequence() {
        std::vector<int> items;
        while (!End()) {
            char32_t c = Peek();
            if (depth_ > 0 && (c == '|' || c == ')')) break;
            if (c == '~') {
                ++pos_;
                items.push_back(Wrap(Kind::Not, ParseSequence()));
                break;
            }
            items.push_back(ParseItem());
        }
        if (items.size() == 1) return items[0];
        PatternNode n;
        n.kind = Kind::Seq;  // an empty sequence matches the empty string
        n.kids = std::move(items);
        return Add(std::move(n));
    }

    int ParseItem() {
        char32_t c = Peek();
        if (c == '#') {
            ++pos_;
            if (End()) return Literal('#');
            return Wrap(Kind::Star, ParseAtom());
        }
        return ParseAtom();
    }

    int ParseAtom() {
        char32_t c = Peek();
        ++pos_;
        switch (c) {
        case '?':
            return Simple(Kind::Any);
        case '%':
            return Simple(Kind::Empty);
        case '*':
            return Wrap(Kind::Star, Simple(Kind::Any));
        case '#':
            if (End()) return Literal('#');
            return Wrap(Kind::Star, ParseAtom());
        case '~':
            if (End()) return Literal('~');
            return Wrap(Kind::Not, ParseAtom());
        case '\'':
            if (End()) return Literal('\'');
            return Literal(p_[pos_++]);
        case '(': {
            ++depth_;
            int inner = ParseAlternatives();
            --depth_;
            if (!End() && Peek() == ')') ++pos_;
            return inner;
        }
        case '[': {
            size_t save = pos_;
            int cls = ParseClass();
            if (cls >= 0) return cls;
            pos_ = save;
            return Literal('[');
        }
        default:
            return Literal(c);
        }
    }

    // After "[": reads to the closing "]"; -1 when there is none.
    int ParseClass() {
        PatternNode n;
        n.kind = Kind::Class;
        if (!End() && Peek() == '~') {
            n.negated = true;
            ++pos_;
        }
        while (!End() && Peek() != ']') {
            char32_t lo = p_[pos_++];
            if (lo == '\'' && !End()) lo = p_[pos_++];
            char32_t hi = lo;
            if (pos_ + 1 < p_.size() && Peek() == '-' && p_[pos_ + 1] != ']') {
                ++pos_;
                hi = p_[pos_++];
                if (hi == '\'' && !End()) hi = p_[pos_++];
            }
            if (hi < lo) std::swap(lo, hi);
            n.ranges.emplace_back(lo, hi);
        }
        if (End()) return -1;
        ++pos_;  // "]"
        return Add(std::move(n));
    }

    const std::vector<char32_t>& p_;
    Pattern& out_;
    size_t pos_ = 0;
    int depth_ = 0;
};

bool InClass(const PatternNode& n, char32_t c) {
    bool in = false;
    char32_t folded = Fold(c);
    for (const auto& [lo, hi] : n.ranges) {
        // Compare both the character and its folded form with the range and the
        // range's folded ends, so [a-c] and [A-C] both take "B".
        if ((c >= lo && c <= hi) || (folded >= lo && folded <= hi) ||
            (folded >= Fold(lo) && folded <= Fold(hi))) {
            in = true;
            break;
        }
    }
    return in != n.negated;
}

// A set of positions 0..n as a bit array.
class PositionSet {
public:
    explicit PositionSet(size_t n = 0) : bits_((n + 64) / 64, 0) {}
    void Add(size_t i) { bits_[i / 64] |= uint64_t{1} << (i % 64); }
    bool Has(size_t i) const { return (bits_[i / 64] >> (i % 64)) & 1; }
    void Merge(const PositionSet& o) {
        for (size_t w = 0; w < bits_.size(); ++w) bits_[w] |= o.bits_[w];
    }
    bool Empty() const {
        for (uint64_t w : bits_)
            if (w) return false;
        return true;
    }

private:
    std::vector<uint64_t> bits_;
};

class Matcher {
public:
    Matcher(const Pattern& p, const std::vector<char32_t>& s)
        : p_(p), s_(s), n_(s.size()), memo_(static_cast<size_t>(p.memoCount)) {}

    bool Matches() {
        PositionSet ends(n_);
        AddEnds(p_.root, 0, ends);
        return ends.Has(n_);
    }

private:
    // ORs into `out` every position where a match of `node` starting at `i` ends.
    void AddEnds(int node, size_t i, PositionSet& out) {
        const PatternNode& n = p_.nodes[static_cast<size_t>(node)];
        switch (n.kind) {
        case Kind::Literal:
            if (i < n_ && Fold(s_[i]) == n.ch) out.Add(i + 1);
            return;
        case Kind::Any:
            if (i < n_) out.Add(i + 1);
            return;
        case Kind::Class:
            if (i < n_ && InClass(n, s_[i])) out.Add(i + 1);
            return;
        case Kind::Empty:
            out.Add(i);
            return;
        case Kind::Seq:
        case Kind::Alt:
        case Kind::Star:
        case Kind::Not:
            out.Merge(Remembered(n, i));
            return;
        }
    }

    const PositionSet& Remembered(const PatternNode& n, size_t i) {
        auto& slot = memo_[static_cast<size_t>(n.memoSlot)];
        if (slot.empty()) slot.resize(n_ + 1);
        auto& entry = slot[i];
        if (entry.computed) return entry.ends;
        PositionSet ends(n_);
        if (n.kind == Kind::Seq) {
            ends.Add(i);
            for (int kid : n.kids) {
                PositionSet next(n_);
                for (size_t k = i; k <= n_; ++k)
                    if (ends.Has(k)) AddEnds(kid, k, next);
                ends = std::move(next);
                if (ends.Empty()) break;
            }
        } else if (n.kind == Kind::Alt) {
            for (int kid : n.kids) AddEnds(kid, i, ends);
        } else if (n.kind == Kind::Star) {
            // Fixed point: every position reachable by repeating the item.
            ends.Add(i);
            std::vector<size_t> work{i};
            while (!work.empty()) {
                size_t k = work.back();
                work.pop_back();
                PositionSet step(n_);
                AddEnds(n.kids[0], k, step);
                for (size_t j = k; j <= n_; ++j) {
                    if (step.Has(j) && !ends.Has(j)) {
                        ends.Add(j);
                        work.push_back(j);
                    }
                }
            }
        } else {
            PositionSet inner(n_);
            AddEnds(n.kids[0], i, inner);
            for (size_t j = i; j <= n_; ++j)
                if (!inner.Has(j)) ends.Add(j);
        }
        // The tables are sized once, so `entry` is still valid after the recursion
        // (a node never contains itself).
        entry.ends = std::move(ends);
        entry.computed = true;
        return entry.ends;
    }

    struct Entry {
        bool computed = false;
        PositionSet ends;
    };

    const Pattern& p_;
    const std::vector<char32_t>& s_;
    size_t n_;
    std::vector<std::vector<Entry>> memo_;
};

bool IsWildcard(char c) {
    switch (c) {
    case '?':
    case '#':
    case '*':
    case '(':
    case '|':
    case '~':
    case '[':
    case '%':
        return true;
    default:
        return false;
    }
}

}  // namespace

bool MatchPatternNoCase(const char* pattern, const char* name) {
    if (pattern == nullptr || name == nullptr) return false;
    size_t pl = strnlen(pattern, MAX_PATTERN + 1);
    size_t nl = strnlen(name, MAX_NAME + 1);
    if (pl > MAX_PATTERN || nl > MAX_NAME) return false;
    try {
        std::vector<char32_t> p = Decode(pattern, pl);
        std::vector<char32_t> s = Decode(name, nl);
        Pattern compiled;
        compiled.nodes.reserve(p.size() * 2 + 2);
        Parser parser(p, compiled);
        compiled.root = parser.ParseTop();
        Matcher matcher(compiled, s);
        return matcher.Matches();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool HasWildcards(const char* pattern) {
    if (pattern == nullptr) return false;
    for (const char* c = pattern; *c != '\0'; ++c) {
        if (*c == '\'') {
            if (c[1] == '\0') break;
            ++c;  // the escaped character is literal
            continue;
        }
        if (IsWildcard(*c)) return true;
    }
    return false;
}

}  // namespace os
