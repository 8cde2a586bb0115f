// Negations nested in negations: "~" covers the rest of its alternative, so a
// pattern like "~~~##~?~~*" nests each negation in the previous one. The
// matcher works such patterns out with one pass per negation; here they are
// checked against a plain reading of the language, matched span by span,
// for every short name over a small alphabet.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/dos/dos.h"

namespace {

// The reference: the pattern parsed by the language's rules, and a span
// (i, j) of the name tested against each node, remembered per node and span.
struct Node {
    enum Kind { Literal, Any, Empty, Seq, Alt, Star, Not } kind = Empty;
    char ch = 0;
    std::vector<int> kids;  // Seq: two (first, rest); Alt: all; Star, Not: one
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

class Reference {
public:
    Reference(const std::string& pattern, const std::string& name) : p_(pattern), s_(name) {
        root_ = Alternatives();
        memo_.assign(nodes_.size() * (s_.size() + 1) * (s_.size() + 1), -1);
    }
    bool Matches() { return Fits(root_, 0, s_.size()); }

private:
    bool End() const { return i_ >= p_.size(); }
    int Add(Node::Kind kind, std::vector<int> kids = {}, char ch = 0) {
        nodes_.push_back({kind, ch, std::move(kids)});
        return static_cast<int>(nodes_.size()) - 1;
    }
    int Alternatives() {
        std::vector<int> alts{Sequence()};
        while (!End() && p_[i_] == '|' && depth_ > 0) {
            ++i_;
            alts.push_back(Sequence());
        }
        return alts.size() == 1 ? alts[0] : Add(Node::Alt, alts);
    }
    // Items up to the end of the alternative, as a chain of pairs; a "~"
    // here takes everything after it.
    int Sequence() {
        if (End() || (depth_ > 0 && (p_[i_] == '|' || p_[i_] == ')'))) return Add(Node::Empty);
        if (p_[i_] == '~') {
            ++i_;
            return Add(Node::Not, {Sequence()});
        }
        int item = -1;
        if (p_[i_] == '#') {
            ++i_;
            item = End() ? Add(Node::Literal, {}, '#') : Add(Node::Star, {Atom()});
        } else {
            item = Atom();
        }
        return Add(Node::Seq, {item, Sequence()});
    }
    int Atom() {
        const char c = p_[i_++];
        switch (c) {
        case '?': return Add(Node::Any);
        case '%': return Add(Node::Empty);
        case '*': return Add(Node::Star, {Add(Node::Any)});
        case '#': return End() ? Add(Node::Literal, {}, '#') : Add(Node::Star, {Atom()});
        case '~': return End() ? Add(Node::Literal, {}, '~') : Add(Node::Not, {Atom()});
        case '(': {
            ++depth_;
            const int inner = Alternatives();
            --depth_;
            if (!End() && p_[i_] == ')') ++i_;
            return inner;
        }
        default: return Add(Node::Literal, {}, Lower(c));
        }
    }

    bool Fits(int node, size_t i, size_t j) {
        const size_t n = s_.size() + 1;
        signed char& known = memo_[(static_cast<size_t>(node) * n + i) * n + j];
        if (known < 0) known = Decide(nodes_[static_cast<size_t>(node)], node, i, j) ? 1 : 0;
        return known == 1;
    }
    bool Decide(const Node& t, int node, size_t i, size_t j) {
        switch (t.kind) {
        case Node::Literal: return j == i + 1 && Lower(s_[i]) == t.ch;
        case Node::Any: return j == i + 1;
        case Node::Empty: return i == j;
        case Node::Seq:
            for (size_t k = i; k <= j; ++k)
                if (Fits(t.kids[0], i, k) && Fits(t.kids[1], k, j)) return true;
            return false;
        case Node::Alt:
            for (int kid : t.kids)
                if (Fits(kid, i, j)) return true;
            return false;
        case Node::Star:
            if (i == j) return true;
            for (size_t k = i + 1; k <= j; ++k)
                if (Fits(t.kids[0], i, k) && Fits(node, k, j)) return true;
            return false;
        case Node::Not: return !Fits(t.kids[0], i, j);
        }
        return false;
    }

    const std::string& p_;
    const std::string& s_;
    size_t i_ = 0;
    int depth_ = 0;
    std::vector<Node> nodes_;
    int root_ = -1;
    std::vector<signed char> memo_;
};

// Every name over `alphabet` up to `longest` characters.
std::vector<std::string> AllNames(const std::string& alphabet, size_t longest) {
    std::vector<std::string> names{""};
    for (size_t from = 0; from < names.size(); ++from) {
        if (names[from].size() == longest) continue;
        for (char c : alphabet) names.push_back(names[from] + c);
    }
    return names;
}

void ExpectAgreement(const std::string& pattern, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        ASSERT_EQ(os::MatchPatternNoCase(pattern.c_str(), name.c_str()), Reference(pattern, name).Matches())
            << "pattern \"" << pattern << "\" name \"" << name << "\"";
    }
}

// Chains of negations, each the rest of the one before, as the fuzzer found
// them ("~~~~~~##~\xff~~~~~~\xff~~~~~~~*~~~##..." took a third of a second, fuzzing,
// against a 209-character name): even and odd runs of "~", negations under
// "#", "*" between them, and groups.
TEST(PatternNegation, NestedNegationChainsAgreeWithTheirDefinition) {
    const std::vector<std::string> names = AllNames("ab", 5);
    std::vector<std::string> patterns;
    for (int depth = 0; depth <= 9; ++depth) {
        const std::string run(static_cast<size_t>(depth), '~');
        for (const char* tail : {"", "a", "#?a", "*b*", "##~a", "?~?", "(a|~b)b", "#~(ab)", "~*~*a"}) {
            patterns.push_back(run + tail);
        }
        std::string nested, mixed;
        for (int k = 0; k < depth; ++k) {
            nested += "~(*";
            mixed += (k % 3 == 0) ? "~#?" : (k % 3 == 1) ? "~~a" : "#~b";
        }
        patterns.push_back(nested + "a");
        patterns.push_back(mixed);
    }
    patterns.push_back("~~~~~~##~?~~~~~~?~~~~~~~*~~~##~~~~~~~~*#~~~~~~~~~*~~~##~~~~~~~~??");
    patterns.push_back("~~~~~~##~a~~~~~~b~~~~~~~*~~~##~~~~~~~~*#~~~~~~~~~*~~~##~~~~~~~~aa");
    for (const std::string& pattern : patterns) ExpectAgreement(pattern, names);
}

// Random patterns made mostly of negations and repetitions, against every
// name of up to five characters.
TEST(PatternNegation, RandomNegationHeavyPatternsAgreeWithTheirDefinition) {
    const std::vector<std::string> names = AllNames("aB", 5);
    std::mt19937 random(20261209);
    const char pieces[] = "~~~~~##*?%abA()|";
    for (int round = 0; round < 300; ++round) {
        std::string pattern;
        const size_t length = 1 + random() % 24;
        for (size_t k = 0; k < length; ++k) pattern += pieces[random() % (sizeof(pieces) - 1)];
        ExpectAgreement(pattern, names);
    }
}

// Names longer than 64 characters keep their start positions in more than one
// word: stretches that begin in one word and end in another, around nested
// negations and repetitions.
TEST(PatternNegation, NegationsOverNamesLongerThanAWordAgreeWithTheirDefinition) {
    std::mt19937 random(7);
    const char* patterns[] = {"*~*",      "*a~*b",   "b~**~**",    "~a~(*~*~b", "*~#?#~b?a",
                              "#~(ab)~?b", "*~#?a~*", "(~a|~*b)*", "#?~(#a)b~?", "*~%~?b"};
    for (const char* pattern : patterns) {
        for (size_t length : {63, 64, 65, 100, 129, 170}) {
            std::string name;
            for (size_t i = 0; i < length; ++i) name += (random() % 3 == 0) ? 'b' : 'a';
            ASSERT_EQ(os::MatchPatternNoCase(pattern, name.c_str()), Reference(pattern, name).Matches())
                << "pattern \"" << pattern << "\" name \"" << name << "\"";
        }
    }
}

}  // namespace
