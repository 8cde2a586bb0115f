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
// The parsed pattern becomes an automaton that is run over the name with all
// its possible states at once, one character at a time, so the time is the
// name's length times the pattern's (no backtracking, whatever the pattern).
// A negation knows where its inner pattern's matches end from each position
// it is reached at, worked out once per position, so negation is exact and
// costs at most one more factor of the name's length.
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
};

struct Pattern {
    std::vector<PatternNode> nodes;
    int root = -1;
};

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
    explicit PositionSet(size_t n = 0) : last_(n), bits_(n / 64 + 1, 0) {}
    void Add(size_t i) { bits_[i / 64] |= uint64_t{1} << (i % 64); }
    bool Has(size_t i) const { return (bits_[i / 64] >> (i % 64)) & 1; }
    // Adds every position from `from` to the last that `other` (a set of the
    // same size) does not hold.
    void AddMissingFrom(const PositionSet& other, size_t from) {
        if (from > last_) return;
        for (size_t w = from / 64; w < bits_.size(); ++w) {
            uint64_t missing = ~other.bits_[w];
            if (w == from / 64) missing &= ~uint64_t{0} << (from % 64);
            if (w == last_ / 64 && last_ % 64 != 63) missing &= (uint64_t{1} << (last_ % 64 + 1)) - 1;
            bits_[w] |= missing;
        }
    }
    bool AnyFrom(size_t i) const {
        for (size_t k = i; k <= last_; ++k)
            if (Has(k)) return true;
        return false;
    }

private:
    size_t last_;
    std::vector<uint64_t> bits_;
};

// The pattern as an automaton: a state either consumes one character (a
// literal, "?" or a class), passes on without consuming (to one or more
// states), starts a negation, or accepts. Each negation's inner pattern is an
// automaton of its own, entered only through its negation.
struct State {
    enum class Type : uint8_t { Consume, Pass, NotEnter, Accept };
    Type type = Type::Pass;
    int leaf = -1;          // Consume: the pattern node that tests the character
    int next = -1;          // Consume: the state after the character
    int negation = -1;      // NotEnter: which negation
    std::vector<int> succ;  // Pass: the states it passes on to
};

struct Fragment {
    int start = -1;
    int end = -1;  // a Pass state; its successors are added by the caller
};

struct Negation {
    int start = -1;   // the inner automaton
    int accept = -1;  // its accepting state
    int exit = -1;    // where the negation goes on in the outer automaton
};

struct Automaton {
    std::vector<State> states;
    std::vector<Negation> negations;
    int start = -1;
    int accept = -1;
};

class Builder {
public:
    Builder(const Pattern& p, Automaton& out) : p_(p), out_(out) {}

    void BuildTop() {
        const Fragment f = Build(p_.root);
        const int accept = Add(State::Type::Accept);
        out_.states[static_cast<size_t>(f.end)].succ.push_back(accept);
        out_.start = f.start;
        out_.accept = accept;
    }

private:
    int Add(State::Type type) {
        State st;
        st.type = type;
        out_.states.push_back(std::move(st));
        return static_cast<int>(out_.states.size()) - 1;
    }
    void Link(int from, int to) { out_.states[static_cast<size_t>(from)].succ.push_back(to); }

    Fragment Build(int node) {
        const PatternNode& n = p_.nodes[static_cast<size_t>(node)];
        switch (n.kind) {
        case Kind::Literal:
        case Kind::Any:
        case Kind::Class: {
            const int consume = Add(State::Type::Consume);
            const int end = Add(State::Type::Pass);
            out_.states[static_cast<size_t>(consume)].leaf = node;
            out_.states[static_cast<size_t>(consume)].next = end;
            return {consume, end};
        }
        case Kind::Empty:
            return BuildEmpty();
        case Kind::Seq: {
            if (n.kids.empty()) return BuildEmpty();  // matches the empty string
            Fragment f = Build(n.kids[0]);
            for (size_t k = 1; k < n.kids.size(); ++k) {
                const Fragment g = Build(n.kids[k]);
                Link(f.end, g.start);
                f.end = g.end;
            }
            return f;
        }
        case Kind::Alt: {
            const int start = Add(State::Type::Pass);
            const int end = Add(State::Type::Pass);
            for (int kid : n.kids) {
                const Fragment g = Build(kid);
                Link(start, g.start);
                Link(g.end, end);
            }
            return {start, end};
        }
        case Kind::Star: {
            const int start = Add(State::Type::Pass);
            const int end = Add(State::Type::Pass);
            const Fragment g = Build(n.kids[0]);
            Link(start, g.start);
            Link(start, end);
            Link(g.end, start);
            return {start, end};
        }
        case Kind::Not: {
            const Fragment inner = Build(n.kids[0]);
            const int accept = Add(State::Type::Accept);
            Link(inner.end, accept);
            const int enter = Add(State::Type::NotEnter);
            const int exit = Add(State::Type::Pass);
            out_.states[static_cast<size_t>(enter)].negation = static_cast<int>(out_.negations.size());
            out_.negations.push_back({inner.start, accept, exit});
            return {enter, exit};
        }
        }
        return BuildEmpty();
    }

    Fragment BuildEmpty() {
        const int only = Add(State::Type::Pass);
        return {only, only};
    }

    const Pattern& p_;
    Automaton& out_;
};

// Runs the automaton over the name, all its possible states at once, one
// character at a time: for patterns without "~" the time is linear in the
// name's length times the pattern's. A negation needs to know where its
// inner pattern's matches from a given position end; that set is worked out
// once per (negation, position) by running the inner automaton from there,
// so "~" costs at most the name's length once more.
class Matcher {
public:
    Matcher(const Pattern& p, const Automaton& a, const std::vector<char32_t>& s)
        : p_(p), a_(a), s_(s), n_(s.size()), marks_(a.states.size(), 0),
          relations_(a.negations.size()) {}

    bool Matches() { return Run(a_.start, a_.accept, 0).Has(n_); }

private:
    struct Pending {
        int negation;
        PositionSet at;  // where its exit becomes active
    };

    // Every position where a match of the automaton part from `start` to
    // `accept`, begun at position `from`, can end.
    PositionSet Run(int start, int accept, size_t from) {
        PositionSet ends(n_);
        std::vector<Pending> pending;
        std::vector<int> seeds{start};
        std::vector<int> consumers;
        std::vector<int> stack;
        for (size_t j = from; j <= n_; ++j) {
            for (const Pending& p : pending) {
                if (p.at.Has(j)) seeds.push_back(a_.negations[static_cast<size_t>(p.negation)].exit);
            }
            if (seeds.empty()) {
                bool later = false;
                for (const Pending& p : pending) later = later || p.at.AnyFrom(j + 1);
                if (!later) break;  // nothing can match any further
                continue;
            }
            // The states reachable without consuming, each visited once here.
            const uint32_t stamp = ++stamp_;
            consumers.clear();
            stack.swap(seeds);
            seeds.clear();
            while (!stack.empty()) {
                const int id = stack.back();
                stack.pop_back();
                if (marks_[static_cast<size_t>(id)] == stamp) continue;
                marks_[static_cast<size_t>(id)] = stamp;
                const State& st = a_.states[static_cast<size_t>(id)];
                switch (st.type) {
                case State::Type::Consume:
                    consumers.push_back(id);
                    break;
                case State::Type::Pass:
                    for (int next : st.succ) stack.push_back(next);
                    break;
                case State::Type::Accept:
                    if (id == accept) ends.Add(j);
                    break;
                case State::Type::NotEnter: {
                    const int k = st.negation;
                    const PositionSet& inner = Relation(k, j);
                    Pending* slot = nullptr;
                    for (Pending& p : pending)
                        if (p.negation == k) slot = &p;
                    if (slot == nullptr) {
                        pending.push_back({k, PositionSet(n_)});
                        slot = &pending.back();
                    }
                    // The negation matches every stretch the inner pattern does
                    // not: the empty one at once, the longer ones when their
                    // end is reached.
                    if (!inner.Has(j)) stack.push_back(a_.negations[static_cast<size_t>(k)].exit);
                    slot->at.AddMissingFrom(inner, j + 1);
                    break;
                }
                }
            }
            if (j == n_) break;
            for (int id : consumers) {
                const State& st = a_.states[static_cast<size_t>(id)];
                if (Takes(p_.nodes[static_cast<size_t>(st.leaf)], s_[j])) seeds.push_back(st.next);
            }
        }
        return ends;
    }

    static bool Takes(const PatternNode& n, char32_t c) {
        switch (n.kind) {
        case Kind::Literal:
            return Fold(c) == n.ch;
        case Kind::Any:
            return true;
        case Kind::Class:
            return InClass(n, c);
        default:
            return false;
        }
    }

    // Where matches of negation k's inner pattern from position i end.
    const PositionSet& Relation(int k, size_t i) {
        auto& table = relations_[static_cast<size_t>(k)];
        if (table.empty()) table.resize(n_ + 1);
        Entry& entry = table[i];
        if (!entry.computed) {
            const Negation& neg = a_.negations[static_cast<size_t>(k)];
            PositionSet ends = Run(neg.start, neg.accept, i);
            // The table is sized once, so `entry` is still valid after the run.
            entry.ends = std::move(ends);
            entry.computed = true;
        }
        return entry.ends;
    }

    struct Entry {
        bool computed = false;
        PositionSet ends;
    };

    const Pattern& p_;
    const Automaton& a_;
    const std::vector<char32_t>& s_;
    size_t n_;
    std::vector<uint32_t> marks_;
    uint32_t stamp_ = 0;
    std::vector<std::vector<Entry>> relations_;
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
        Automaton automaton;
        automaton.states.reserve(compiled.nodes.size() * 2 + 4);
        Builder(compiled, automaton).BuildTop();
        Matcher matcher(compiled, automaton, s);
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
