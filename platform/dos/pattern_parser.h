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
// The pattern is read into a tree of nodes; pattern_automaton.h turns it into
// the automaton the matcher runs.
#pragma once

#include <cstdint>
#include <cstddef>
#include <utility>
#include <vector>

namespace os::pattern {

// The code points of UTF-8 text; a byte that is not part of a well-formed
// sequence stands for itself, beyond the last code point.
std::vector<char32_t> Decode(const char* text, size_t length);
// ASCII and Latin-1 capitals to small letters.
char32_t Fold(char32_t c);

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

// Reads the decoded pattern into `out` (its root and nodes).
void ParsePattern(const std::vector<char32_t>& p, Pattern& out);

// Whether the class node `n` takes the character c (case folded).
bool InClass(const PatternNode& n, char32_t c);

}  // namespace os::pattern
