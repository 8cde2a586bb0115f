// The automaton of a pattern, built from its tree one node at a time
// (pattern_automaton.h).
#include "platform/dos/pattern_automaton.h"

#include <utility>
#include <vector>

namespace os::pattern {
namespace {

struct Fragment {
    int start = -1;
    int end = -1;           // a Pass state; its successors are added by the caller
    bool nullable = false;  // matches the empty string
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
            return {consume, end, false};
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
                f.nullable = f.nullable && g.nullable;
            }
            return f;
        }
        case Kind::Alt: {
            const int start = Add(State::Type::Pass);
            const int end = Add(State::Type::Pass);
            bool nullable = false;
            for (int kid : n.kids) {
                const Fragment g = Build(kid);
                Link(start, g.start);
                Link(g.end, end);
                nullable = nullable || g.nullable;
            }
            return {start, end, nullable};
        }
        case Kind::Star: {
            const int start = Add(State::Type::Pass);
            const int end = Add(State::Type::Pass);
            const Fragment g = Build(n.kids[0]);
            Link(start, g.start);
            Link(start, end);
            Link(g.end, start);
            return {start, end, true};
        }
        case Kind::Not: {
            const Fragment inner = Build(n.kids[0]);
            const int accept = Add(State::Type::Accept);
            Link(inner.end, accept);
            const int enter = Add(State::Type::NotEnter);
            const int exit = Add(State::Type::Pass);
            out_.states[static_cast<size_t>(enter)].negation = static_cast<int>(out_.negations.size());
            out_.negations.push_back({inner.start, accept, exit, inner.nullable});
            return {enter, exit, !inner.nullable};
        }
        }
        return BuildEmpty();
    }

    Fragment BuildEmpty() {
        const int only = Add(State::Type::Pass);
        return {only, only, true};
    }

    const Pattern& p_;
    Automaton& out_;
};

}  // namespace

void BuildAutomaton(const Pattern& p, Automaton& out) {
    out.states.reserve(p.nodes.size() * 2 + 4);
    Builder(p, out).BuildTop();
}

}  // namespace os::pattern
