// libFuzzer target over the pattern language: pattern x name.
//
// Every input is matched with MatchPatternNoCase under a bound on its
// processor time, so a pattern that makes the matcher slow is a finding like
// a crash. Inputs made of a small ASCII alphabet without "~" are also matched
// by the reference matcher below, a plain backtracking matcher written from
// the language's rules, and the two must agree.
//
// Input: first byte = pattern length (the rest splits there); a second byte
// chooses whether the bytes are used raw or mapped onto the alphabet. Names
// are cut at 255 bytes, the longest a directory entry can be.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dos/dos.h"

namespace {

// What a linear matcher needs for a 255-character pattern against a
// 255-character name, many times over, even under the sanitizers.
constexpr auto TIME_BOUND = std::chrono::milliseconds(500);

// The matcher is given directory entries, and a Linux file name is at most
// NAME_MAX (255) bytes; longer names never reach it.
constexpr size_t MAX_NAME = 255;

// The reference: a pattern parsed into a tree, matched by backtracking with
// a continuation. Step-bounded, since backtracking can take exponential time;
// an input that runs out of steps is not compared.
struct Node {
    enum Kind { Literal, Any, Empty, Class, Seq, Alt, Star } kind = Empty;
    char ch = 0;
    bool negated = false;
    std::vector<std::pair<char, char>> ranges;
    std::vector<std::unique_ptr<Node>> kids;
};

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

class ReferenceParser {
public:
    explicit ReferenceParser(const std::string& p) : p_(p) {}
    std::unique_ptr<Node> Top() { return Alternatives(); }

private:
    bool End() const { return i_ >= p_.size(); }
    static std::unique_ptr<Node> Make(Node::Kind k) {
        auto n = std::make_unique<Node>();
        n->kind = k;
        return n;
    }
    static std::unique_ptr<Node> Lit(char c) {
        auto n = Make(Node::Literal);
        n->ch = Fold(c);
        return n;
    }
    std::unique_ptr<Node> Alternatives() {
        auto alt = Make(Node::Alt);
        alt->kids.push_back(Sequence());
        // "|" separates alternatives inside a group only; outside it is a character.
        while (!End() && p_[i_] == '|' && depth_ > 0) {
            ++i_;
            alt->kids.push_back(Sequence());
        }
        return alt;
    }
    std::unique_ptr<Node> Sequence() {
        auto seq = Make(Node::Seq);
        while (!End() && !(depth_ > 0 && (p_[i_] == '|' || p_[i_] == ')'))) {
            if (p_[i_] == '#') {
                ++i_;
                if (End()) {
                    seq->kids.push_back(Lit('#'));
                } else {
                    auto star = Make(Node::Star);
                    star->kids.push_back(Atom());
                    seq->kids.push_back(std::move(star));
                }
            } else {
                seq->kids.push_back(Atom());
            }
        }
        return seq;
    }
    std::unique_ptr<Node> Atom() {
        const char c = p_[i_++];
        switch (c) {
        case '?': return Make(Node::Any);
        case '%': return Make(Node::Empty);
        case '*': {
            auto star = Make(Node::Star);
            star->kids.push_back(Make(Node::Any));
            return star;
        }
        case '#': {
            if (End()) return Lit('#');
            auto star = Make(Node::Star);
            star->kids.push_back(Atom());
            return star;
        }
        case '\'':
            if (End()) return Lit('\'');
            return Lit(p_[i_++]);
        case '(': {
            ++depth_;
            auto inner = Alternatives();
            --depth_;
            if (!End() && p_[i_] == ')') ++i_;
            return inner;
        }
        case '[': {
            // A class needs its "]"; without one the "[" is a character.
            const size_t save = i_;
            auto cls = Make(Node::Class);
            if (!End() && p_[i_] == '~') {
                cls->negated = true;
                ++i_;
            }
            while (!End() && p_[i_] != ']') {
                char lo = p_[i_++];
                if (lo == '\'' && !End()) lo = p_[i_++];
                char hi = lo;
                if (i_ + 1 < p_.size() && p_[i_] == '-' && p_[i_ + 1] != ']') {
                    ++i_;
                    hi = p_[i_++];
                    if (hi == '\'' && !End()) hi = p_[i_++];
                }
                if (hi < lo) std::swap(lo, hi);
                cls->ranges.emplace_back(lo, hi);
            }
            if (End()) {
                i_ = save;
                return Lit('[');
            }
            ++i_;
            return cls;
        }
        default:
            return Lit(c);
        }
    }

    const std::string& p_;
    size_t i_ = 0;
    int depth_ = 0;
};

class ReferenceMatcher {
public:
    explicit ReferenceMatcher(const std::string& name) : s_(name) {}
    // 1 match, 0 no match, -1 out of steps.
    int Run(const Node& root) {
        const bool m = Match(root, 0, [this](size_t end) { return end == s_.size(); });
        return steps_ > MAX_STEPS ? -1 : (m ? 1 : 0);
    }

private:
    static constexpr long MAX_STEPS = 200000;
    using K = std::function<bool(size_t)>;
    bool Match(const Node& n, size_t at, const K& k) {
        if (++steps_ > MAX_STEPS) return false;
        switch (n.kind) {
        case Node::Literal: return at < s_.size() && Fold(s_[at]) == n.ch && k(at + 1);
        case Node::Any: return at < s_.size() && k(at + 1);
        case Node::Empty: return k(at);
        case Node::Class: return at < s_.size() && InClass(n, s_[at]) && k(at + 1);
        case Node::Alt:
            for (const auto& kid : n.kids)
                if (Match(*kid, at, k)) return true;
            return false;
        case Node::Seq: return SeqFrom(n, 0, at, k);
        case Node::Star: return StarFrom(n, at, k);
        }
        return false;
    }
    bool SeqFrom(const Node& n, size_t i, size_t at, const K& k) {
        if (i == n.kids.size()) return k(at);
        return Match(*n.kids[i], at, [&](size_t next) { return SeqFrom(n, i + 1, next, k); });
    }
    bool StarFrom(const Node& n, size_t at, const K& k) {
        if (k(at)) return true;
        // Only repetitions that consume something, or the loop would not end.
        return Match(*n.kids[0], at, [&](size_t next) { return next > at && StarFrom(n, next, k); });
    }
    static bool InClass(const Node& n, char c) {
        bool in = false;
        const char f = Fold(c);
        for (const auto& [lo, hi] : n.ranges) {
            if ((c >= lo && c <= hi) || (f >= lo && f <= hi) || (f >= Fold(lo) && f <= Fold(hi))) in = true;
        }
        return in != n.negated;
    }

    const std::string& s_;
    long steps_ = 0;
};

// The processor time of this thread, not the wall clock: a campaign run at
// low priority beside other work is often not running at all for a while.
std::chrono::nanoseconds ThreadTime() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

bool Timed(const std::string& pattern, const std::string& name) {
    const auto start = ThreadTime();
    const bool matched = os::MatchPatternNoCase(pattern.c_str(), name.c_str());
    if (ThreadTime() - start > TIME_BOUND) {
        std::fprintf(stderr, "slow match: pattern of %zu, name of %zu characters\n", pattern.size(), name.size());
        std::abort();
    }
    return matched;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t split = std::min<size_t>(data[0], size - 2);
    const bool mapped = (data[1] & 1) != 0;
    std::string pattern(reinterpret_cast<const char*>(data + 2), split);
    std::string name(reinterpret_cast<const char*>(data + 2 + split), size - 2 - split);
    // Strings end at their first NUL, as the C strings the matcher takes do.
    pattern = pattern.c_str();
    name = name.c_str();
    if (name.size() > MAX_NAME) name.resize(MAX_NAME);
    if (!mapped) {
        // Any bytes (UTF-8 or not), any length: only the time bound and the
        // sanitizers judge. Longer inputs come from long runs of the mapped form.
        Timed(pattern, name);
        return 0;
    }
    static const char ALPHABET[] = "abAB.?#*%()|[]-'";
    // Characters of the alphabet stay, so seeds can be written as text; any
    // other byte becomes one of them.
    auto map = [](std::string& s) {
        for (char& c : s) {
            if (std::strchr(ALPHABET, c) == nullptr) c = ALPHABET[static_cast<unsigned char>(c) % (sizeof(ALPHABET) - 1)];
        }
    };
    map(pattern);
    map(name);
    const bool matched = Timed(pattern, name);
    if (pattern.size() > 40 || name.size() > 40) return 0;  // the reference is for short inputs
    ReferenceParser parser(pattern);
    const std::unique_ptr<Node> root = parser.Top();
    const int expected = ReferenceMatcher(name).Run(*root);
    if (expected >= 0 && matched != (expected == 1)) {
        std::fprintf(stderr, "pattern \"%s\" name \"%s\": matcher %d, reference %d\n", pattern.c_str(),
                     name.c_str(), matched ? 1 : 0, expected);
        std::abort();
    }
    return 0;
}
