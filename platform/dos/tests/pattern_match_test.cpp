// The pattern language on its own: one table of patterns, names and the
// expected answer.
#include <gtest/gtest.h>

#include <string>

#include "platform/dos/dos.h"

namespace {

struct Case {
    const char* pattern;
    const char* name;
    bool matches;
};

const Case CASES[] = {
    // Literal names, compared without regard to case.
    {"pic.iff", "pic.iff", true},
    {"PIC.IFF", "pic.iff", true},
    {"pic.iff", "pic.ilbm", false},
    {"pic", "pic.iff", false},
    {"", "", true},
    {"", "a", false},
    // ? is one character, one code point in UTF-8 names.
    {"?.iff", "a.iff", true},
    {"?.iff", ".iff", false},
    {"?.iff", "ab.iff", false},
    {"?.iff", "\xc3\xa9.iff", true},
    {"??.iff", "\xc3\xa9.iff", false},
    // #x repeats, #? and * are any string.
    {"#?", "", true},
    {"#?", "anything at all", true},
    {"#?.iff", "a.b.iff", true},
    {"#?.iff", "a.iff.info", false},
    {"*.iff", "sunset.IFF", true},
    {"a*z", "abcz", true},
    {"a*z", "abcza", false},
    {"#a", "", true},
    {"#a", "aAa", true},
    {"#a", "aab", false},
    {"x#(ab)y", "xababy", true},
    {"x#(ab)y", "xabay", false},
    {"#(ab)#?c", "ababxc", true},
    {"#?#?#?#?#?#?#?#?#?#?#?b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    // Alternatives and groups.
    {"(a|b).iff", "b.iff", true},
    {"(a|b).iff", "c.iff", false},
    {"pic(1|22|333)", "pic22", true},
    {"pic(1|22|333)", "pic2", false},
    {"(a|)x", "x", true},
    {"((a|b)(c|d))#?", "bdx", true},
    // Negation covers the rest of its alternative.
    {"~(#?.info)", "pic.iff", true},
    {"~(#?.info)", "pic.info", false},
    {"~#?.info", "pic.info", false},
    {"~#?.info", "pic.iff", true},
    {"~a", "", true},
    {"~a", "a", false},
    {"~a", "ab", true},
    {"x~(y)", "x", true},
    {"x~(y)", "xy", false},
    {"x~(y)", "xz", true},
    {"(~(a)|a)", "a", true},
    // Classes, ranges and negated classes, folded for case.
    {"[abc].iff", "B.iff", true},
    {"[a-c].iff", "d.iff", false},
    {"[A-C]x", "bx", true},
    {"[~a-c]x", "dx", true},
    {"[~a-c]x", "bx", false},
    {"[~a-c]x", "Bx", false},
    {"#[0-9].iff", "2005.iff", true},
    {"#[0-9].iff", "20o5.iff", false},
    {"[]x", "x", false},
    // Escapes make pattern characters ordinary.
    {"'?", "?", true},
    {"'?", "a", false},
    {"a'#b", "a#b", true},
    {"'(1')", "(1)", true},
    {"''", "'", true},
    {"it''s", "it's", true},
    {"[a'-c]", "-", true},
    // % is the empty string.
    {"a%b", "ab", true},
    // Malformed patterns are read leniently.
    {"photo (1", "photo 1", true},
    {"a[b", "a[b", true},
    {"a)b", "a)b", true},
    {"a|b", "a|b", true},
    {"#", "#", true},
    {"a'", "a'", true},
    // Latin-1 letters fold too.
    {"\xc3\x89t\xc3\xa9", "\xc3\xa9T\xc3\x89", true},
    // Bytes that are not UTF-8 are characters of their own.
    {"?", "\xff", true},
    {"\xff", "\xfe", false},
};

TEST(PatternMatch, Table) {
    for (const Case& c : CASES) {
        EXPECT_EQ(os::MatchPatternNoCase(c.pattern, c.name), c.matches)
            << "pattern \"" << c.pattern << "\" name \"" << c.name << "\"";
    }
}

TEST(PatternMatch, WildcardDetection) {
    for (const char* p : {"#?", "*", "?", "(a|b)", "~a", "[ab]", "%", "a'?b?"}) {
        EXPECT_TRUE(os::HasWildcards(p)) << p;
    }
    for (const char* p : {"", "pic.iff", "a'?b", "a'#", "it's", "x)", "a]", "dir/sub/file"}) {
        EXPECT_FALSE(os::HasWildcards(p)) << p;
    }
}

TEST(PatternMatch, NestedGroupsTakePolynomialTime) {
    // Each level may match "a" or nothing: tried path by path this is 2^70
    // ways; the answer must come at once.
    std::string pattern;
    for (int i = 0; i < 70; ++i) pattern += "((a|%)";
    pattern += "b";
    for (int i = 0; i < 70; ++i) pattern += ")";
    EXPECT_TRUE(os::MatchPatternNoCase(pattern.c_str(), (std::string(60, 'a') + "b").c_str()));
    EXPECT_FALSE(os::MatchPatternNoCase(pattern.c_str(), (std::string(60, 'a') + "c").c_str()));
    EXPECT_FALSE(os::MatchPatternNoCase(pattern.c_str(), (std::string(75, 'a') + "b").c_str()));
}

TEST(PatternMatch, OversizedInputNeverMatchesAndNullIsSafe) {
    std::string longName(2000, 'a');
    EXPECT_FALSE(os::MatchPatternNoCase("#?", longName.c_str()));
    std::string deep(400, '(');
    EXPECT_TRUE(os::MatchPatternNoCase((deep + "a").c_str(), "a"));
    EXPECT_FALSE(os::MatchPatternNoCase(nullptr, "a"));
    EXPECT_FALSE(os::MatchPatternNoCase("a", nullptr));
    EXPECT_FALSE(os::HasWildcards(nullptr));
}

}  // namespace
