// Running a pattern's automaton (pattern_automaton.h) over a name.
//
// The parsed pattern becomes an automaton that is run over the name with all
// its possible states at once, one character at a time, so the time is the
// name's length times the pattern's (no backtracking, whatever the pattern).
// A negation needs to know, for each stretch of the name, whether its inner
// pattern matches it: the inner automaton is run alongside, started at every
// position the negation is entered at, all starts at once as bits of a word
// per 64 characters, so negation is exact and costs about one more factor of
// the name's length over 64.
#pragma once

#include <vector>

#include "platform/dos/pattern_automaton.h"

namespace os::pattern {

// Whether the automaton `a` of the parsed pattern `p` matches the whole of
// the decoded name `s`.
bool RunAutomaton(const Pattern& p, const Automaton& a, const std::vector<char32_t>& s);

}  // namespace os::pattern
