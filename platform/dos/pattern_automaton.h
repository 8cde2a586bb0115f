// A parsed pattern (pattern_parser.h) as an automaton, for the matcher
// (pattern_matcher.h) to run over a name with all its states at once.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dos/pattern_parser.h"

namespace os::pattern {

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

struct Negation {
    int start = -1;   // the inner automaton
    int accept = -1;  // its accepting state
    int exit = -1;    // where the negation goes on in the outer automaton
    // Whether the inner pattern matches the empty string. That does not depend
    // on the position (an empty stretch reads no character), so a negation
    // passes on at once, without consuming, exactly when this is false.
    bool inner_nullable = false;
};

struct Automaton {
    std::vector<State> states;
    std::vector<Negation> negations;
    int start = -1;
    int accept = -1;
};

// Builds the automaton of the parsed pattern `p` into `out`.
void BuildAutomaton(const Pattern& p, Automaton& out);

}  // namespace os::pattern
