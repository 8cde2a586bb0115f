// Reading a pattern: UTF-8 to code points, and the pattern's syntax to a
// tree of nodes (pattern_parser.h).
#include "platform/dos/pattern_parser.h"

#include <utility>
#include <vector>

namespace os::pattern {
namespace {

class Parser {
public:
    Parser(const std::vector<char32_t>& p, Pattern& out) : p_(p), out_(out) {}

    int ParseTop() { return ParseAlternatives(); }

private:
    bool End() const { return pos_ >= p_.size(); }
    char32_t Peek() const { return p_[pos_]; }

    int Add(PatternNode node) {
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
    // "~~x" is x: what does not fail to match is what matches. Taking the
    // pair out here keeps chains of "~" from costing an automaton each.
    int Negate(int kid) {
        const PatternNode& k = out_.nodes[static_cast<size_t>(kid)];
        if (k.kind == Kind::Not) return k.kids[0];
        return Wrap(Kind::Not, kid);
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
                items.push_back(Negate(ParseSequence()));
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
            return Negate(ParseAtom());
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

}  // namespace

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

void ParsePattern(const std::vector<char32_t>& p, Pattern& out) {
    out.nodes.reserve(p.size() * 2 + 2);
    Parser parser(p, out);
    out.root = parser.ParseTop();
}

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

}  // namespace os::pattern
