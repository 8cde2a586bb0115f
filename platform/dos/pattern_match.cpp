// MatchPatternNoCase and HasWildcards: the AmigaDOS pattern language (its
// syntax in pattern_parser.h) read into a tree (pattern_parser.cpp), built
// into an automaton (pattern_automaton.cpp) and run over the name
// (pattern_matcher.cpp).
#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

#include "platform/dos/dos.h"
#include "platform/dos/pattern_matcher.h"

namespace os {
namespace {

// Names and patterns longer than this never match: no file system allows such
// a name, and the bound keeps the matcher's tables small.
constexpr size_t MAX_NAME = 512;
constexpr size_t MAX_PATTERN = 512;

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
        std::vector<char32_t> p = pattern::Decode(pattern, pl);
        std::vector<char32_t> s = pattern::Decode(name, nl);
        pattern::Pattern compiled;
        pattern::ParsePattern(p, compiled);
        pattern::Automaton automaton;
        pattern::BuildAutomaton(compiled, automaton);
        return pattern::RunAutomaton(compiled, automaton, s);
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
