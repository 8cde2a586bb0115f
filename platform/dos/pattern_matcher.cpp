// The matcher of pattern_matcher.h.
#include "platform/dos/pattern_matcher.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace os::pattern {
namespace {

// Runs the automaton over the name, all its possible states at once, one
// character at a time.
//
// The automaton falls into parts: the whole pattern, and each negation's
// inner pattern (entered only through its negation). A part's states carry
// the set of start positions from which they are reached, as a bit set, so
// one pass over the name follows the part from all its starts at once: the
// whole pattern starts at 0 only (one word), an inner part at each position
// its negation is entered at (a word per 64 characters). At each position the
// inner part's accepting state holds the starts from which the inner pattern
// matches up to here, so the negation's exit takes every start that entered
// the negation at an earlier position from which the inner pattern does not.
// The cost is the states times the name's length times its words, plus, per
// negation and position, the entries to be left (one for a run of entries
// that only grow, as after "*").
//
// Within a position the moves that consume nothing are followed in one sweep:
// those states are grouped into strongly connected components (a "#" around
// something that matches the empty string loops), which share their start
// sets and are visited in topological order.
class Matcher {
public:
    Matcher(const Pattern& p, const Automaton& a, const std::vector<char32_t>& s)
        : p_(p), a_(a), s_(s), n_(s.size()), words_(s.size() / 64 + 1) {
        Plan();
    }

    bool Matches() { return Run(); }

private:
    struct Part {
        int start = -1;
        int accept = -1;
        uint32_t first_component = 0, end_component = 0;  // in topological order
        uint32_t first_child = 0, end_child = 0;          // negations met in this part
        uint32_t start_component = 0;                     // where its start leads
        uint32_t accept_component = 0;
    };
    struct Component {
        uint32_t first_edge = 0, end_edge = 0;          // components passed on to
        uint32_t first_consumer = 0, end_consumer = 0;  // states that consume
    };
    struct Consumer {
        int leaf = -1;      // the pattern node that tests the character
        uint32_t next = 0;  // the component after the character
    };
    struct Child {
        int negation = -1;
        uint32_t enter = 0;  // the negation's component
        uint32_t exit = 0;   // its exit's component
    };

    // The state after `id` at index i of its moves that consume nothing, or -1.
    int Passes(int id, size_t i) const {
        const State& st = a_.states[static_cast<size_t>(id)];
        if (st.type == State::Type::Pass) return i < st.succ.size() ? st.succ[i] : -1;
        if (st.type == State::Type::NotEnter && i == 0) {
            const Negation& neg = a_.negations[static_cast<size_t>(st.negation)];
            return neg.inner_nullable ? -1 : neg.exit;
        }
        return -1;
    }

    // The parts, their components and what connects them, worked out once.
    void Plan() {
        const size_t count = a_.states.size();
        component_.assign(count, UINT32_MAX);
        entered_by_.assign(a_.negations.size(), 0);
        components_.reserve(count);
        edges_.reserve(count * 2);
        consumers_.reserve(count);
        parts_.reserve(a_.negations.size() + 1);
        children_.reserve(a_.negations.size());
        std::vector<int> part_of(count, -1);
        Scratch scratch;
        scratch.found.reserve(count);
        scratch.index.assign(count, -1);  // parts share no state, so one search serves all
        scratch.low.assign(count, 0);
        scratch.on_stack.assign(count, 0);
        std::vector<int> stack;
        for (size_t k = 0; k <= a_.negations.size(); ++k) {
            Part part;
            if (k < a_.negations.size()) {
                part.start = a_.negations[k].start;
                part.accept = a_.negations[k].accept;
            } else {
                part.start = a_.start;
                part.accept = a_.accept;
            }
            // The part's states: all reached from its start, negations passed over.
            scratch.members.clear();
            stack.assign(1, part.start);
            part_of[static_cast<size_t>(part.start)] = static_cast<int>(k);
            while (!stack.empty()) {
                const int id = stack.back();
                stack.pop_back();
                scratch.members.push_back(id);
                const State& st = a_.states[static_cast<size_t>(id)];
                auto reach = [&](int next) {
                    if (part_of[static_cast<size_t>(next)] < 0) {
                        part_of[static_cast<size_t>(next)] = static_cast<int>(k);
                        stack.push_back(next);
                    }
                };
                if (st.type == State::Type::Pass) {
                    for (int next : st.succ) reach(next);
                } else if (st.type == State::Type::Consume) {
                    reach(st.next);
                } else if (st.type == State::Type::NotEnter) {
                    reach(a_.negations[static_cast<size_t>(st.negation)].exit);
                }
            }
            part.first_component = static_cast<uint32_t>(components_.size());
            Components(scratch);
            part.end_component = static_cast<uint32_t>(components_.size());
            Connect(part, scratch);
            Shortcut(part, scratch);
            parts_.push_back(part);
        }
    }

    // What planning works with, allocated once.
    struct Scratch {
        std::vector<int> members;                   // the part's states
        std::vector<int> index, low;                // Tarjan's numbering
        std::vector<char> on_stack;
        std::vector<int> order;                     // Tarjan's stack
        std::vector<std::pair<int, size_t>> frames; // the search path
        std::vector<int> found;                     // states by component, sinks first
        std::vector<size_t> found_begin;            // where each component's states begin
        std::vector<uint32_t> to;                   // Shortcut
        std::vector<char> keep;
    };

    // Tarjan's algorithm over the moves that consume nothing, without
    // recursion; components come out sinks first and are numbered backwards
    // so that the part's components run in topological order.
    void Components(Scratch& x) {
        const uint32_t base = static_cast<uint32_t>(components_.size());
        x.found.clear();
        x.found_begin.clear();
        int counter = 0;
        for (int root : x.members) {
            if (x.index[static_cast<size_t>(root)] >= 0) continue;
            x.frames.emplace_back(root, 0);
            x.index[static_cast<size_t>(root)] = x.low[static_cast<size_t>(root)] = counter++;
            x.order.push_back(root);
            x.on_stack[static_cast<size_t>(root)] = 1;
            while (!x.frames.empty()) {
                auto& [v, i] = x.frames.back();
                const int w = Passes(v, i);
                if (w >= 0) {
                    ++i;
                    const auto wi = static_cast<size_t>(w);
                    if (x.index[wi] < 0) {
                        x.index[wi] = x.low[wi] = counter++;
                        x.order.push_back(w);
                        x.on_stack[wi] = 1;
                        x.frames.emplace_back(w, 0);
                    } else if (x.on_stack[wi]) {
                        x.low[static_cast<size_t>(v)] = std::min(x.low[static_cast<size_t>(v)], x.index[wi]);
                    }
                    continue;
                }
                const int done = v;
                x.frames.pop_back();
                const auto di = static_cast<size_t>(done);
                if (!x.frames.empty()) {
                    const auto pi = static_cast<size_t>(x.frames.back().first);
                    x.low[pi] = std::min(x.low[pi], x.low[di]);
                }
                if (x.low[di] == x.index[di]) {
                    x.found_begin.push_back(x.found.size());
                    int y = -1;
                    do {
                        y = x.order.back();
                        x.order.pop_back();
                        x.on_stack[static_cast<size_t>(y)] = 0;
                        x.found.push_back(y);
                    } while (y != done);
                }
            }
        }
        const auto total = static_cast<uint32_t>(x.found_begin.size());
        x.found_begin.push_back(x.found.size());
        for (uint32_t e = 0; e < total; ++e) {
            for (size_t f = x.found_begin[e]; f < x.found_begin[e + 1]; ++f) {
                component_[static_cast<size_t>(x.found[f])] = base + total - 1 - e;
            }
        }
        components_.resize(base + total);
    }

    // Each component's moves: on to later components, and by a character.
    void Connect(Part& part, const Scratch& x) {
        part.first_child = static_cast<uint32_t>(children_.size());
        const uint32_t total = part.end_component - part.first_component;
        for (uint32_t c = part.first_component; c < part.end_component; ++c) {
            Component& comp = components_[c];
            comp.first_edge = static_cast<uint32_t>(edges_.size());
            comp.first_consumer = static_cast<uint32_t>(consumers_.size());
            const uint32_t e = total - 1 - (c - part.first_component);  // its place in `found`
            for (size_t f = x.found_begin[e]; f < x.found_begin[e + 1]; ++f) {
                const int id = x.found[f];
                for (size_t i = 0;; ++i) {
                    const int next = Passes(id, i);
                    if (next < 0) break;
                    const uint32_t to = component_[static_cast<size_t>(next)];
                    if (to != c) edges_.push_back(to);
                }
                const State& st = a_.states[static_cast<size_t>(id)];
                if (st.type == State::Type::Consume) {
                    consumers_.push_back({st.leaf, component_[static_cast<size_t>(st.next)]});
                } else if (st.type == State::Type::NotEnter) {
                    const Negation& neg = a_.negations[static_cast<size_t>(st.negation)];
                    entered_by_[static_cast<size_t>(st.negation)] = static_cast<uint32_t>(children_.size());
                    children_.push_back({st.negation, c, component_[static_cast<size_t>(neg.exit)]});
                }
            }
            comp.end_edge = static_cast<uint32_t>(edges_.size());
            comp.end_consumer = static_cast<uint32_t>(consumers_.size());
        }
        part.end_child = static_cast<uint32_t>(children_.size());
    }

    // A component that only passes everything on to one other (the end of a
    // group, a repetition's way out) is skipped: what leads to it leads
    // straight on, so it never holds anything.
    void Shortcut(Part& part, Scratch& x) {
        const uint32_t first = part.first_component;
        const uint32_t count = part.end_component - first;
        const uint32_t accept = component_[static_cast<size_t>(part.accept)];
        std::vector<uint32_t>& to = x.to;
        std::vector<char>& keep = x.keep;
        to.assign(count, 0);
        keep.assign(count, 0);
        keep[accept - first] = 1;
        for (uint32_t c = part.first_child; c < part.end_child; ++c) keep[children_[c].enter - first] = 1;
        for (uint32_t c = count; c-- > 0;) {
            const Component& comp = components_[first + c];
            to[c] = first + c;
            if (keep[c] || comp.first_consumer != comp.end_consumer || comp.first_edge == comp.end_edge) continue;
            bool one = true;
            for (uint32_t e = comp.first_edge; e < comp.end_edge; ++e) one = one && edges_[e] == edges_[comp.first_edge];
            if (one) to[c] = to[edges_[comp.first_edge] - first];  // later, so already resolved
        }
        for (uint32_t c = 0; c < count; ++c) {
            Component& comp = components_[first + c];
            uint32_t end = comp.first_edge;
            for (uint32_t e = comp.first_edge; e < comp.end_edge; ++e) {
                const uint32_t target = to[edges_[e] - first];
                bool seen = false;
                for (uint32_t f = comp.first_edge; f < end; ++f) seen = seen || edges_[f] == target;
                if (!seen) edges_[end++] = target;
            }
            comp.end_edge = end;
            for (uint32_t e = comp.first_consumer; e < comp.end_consumer; ++e) consumers_[e].next = to[consumers_[e].next - first];
        }
        for (uint32_t c = part.first_child; c < part.end_child; ++c) children_[c].exit = to[children_[c].exit - first];
        part.start_component = to[component_[static_cast<size_t>(part.start)] - first];
        part.accept_component = accept;
    }

    // The state of one part while the name is read: per component, the
    // starts it is reached from, at this position and (after a character) the
    // next; and which components hold anything, so that empty ones cost
    // nothing.
    struct Live {
        size_t words = 1;
        std::vector<uint64_t> cur, next;
        std::vector<uint64_t> cur_held, next_held;  // bit c: component c's row is not empty
        bool cur_dirty = false;                     // something is held at all
        bool next_live = false;
    };
    // What a part knows about a negation met in it.
    struct Met {
        std::vector<uint64_t> enter;   // per position: the part's starts it was entered with
        std::vector<uint64_t> at;      // the positions it was entered at
        std::vector<uint32_t> chain;   // per position entered: see Record
        size_t last = SIZE_MAX;        // the last position entered at
        size_t before = SIZE_MAX;      // the one before that
        bool now = false;              // entered at the current position
    };

    static bool Zero(const uint64_t* row, size_t w) {
        uint64_t any = 0;
        for (size_t q = 0; q < w; ++q) any |= row[q];
        return any == 0;
    }
    static void Or(uint64_t* to, const uint64_t* from, size_t w) {
        for (size_t q = 0; q < w; ++q) to[q] |= from[q];
    }

    uint64_t* Row(size_t part, uint32_t component) {
        Live& l = live_[part];
        return &l.cur[(component - parts_[part].first_component) * l.words];
    }
    // Component c of part k now holds something at this position.
    void Hold(size_t k, uint32_t component) {
        Live& l = live_[k];
        const uint32_t c = component - parts_[k].first_component;
        l.cur_held[c / 64] |= uint64_t{1} << (c % 64);
        l.cur_dirty = true;
    }

    // All parts read the name together, one position at a time. At each
    // position the inner parts go first, so that a negation's exit knows
    // which of the stretches ending here its inner pattern matches (those
    // begun earlier, all the exit needs: the empty stretch is settled by the
    // plan); then, outer parts first, each part entered here starts from here
    // too. A part is only started where its negation is entered, so a part
    // nothing reaches costs nothing.
    bool Run() {
        live_.resize(parts_.size());
        for (size_t k = 0; k < parts_.size(); ++k) {
            Live& l = live_[k];
            l.words = k + 1 == parts_.size() ? 1 : words_;  // the whole pattern starts at 0 only
            const size_t count = parts_[k].end_component - parts_[k].first_component;
            l.cur.assign(count * l.words, 0);
            l.next.assign(count * l.words, 0);
            l.cur_held.assign(count / 64 + 1, 0);
            l.next_held.assign(count / 64 + 1, 0);
        }
        met_.resize(children_.size());
        const size_t top = parts_.size() - 1;
        for (size_t j = 0; j <= n_; ++j) {
            for (Live& l : live_) {
                if (l.cur_dirty) Clear(l, std::min(l.words, (j == 0 ? 0 : j - 1) / 64 + 1));
                std::swap(l.cur, l.next);
                std::swap(l.cur_held, l.next_held);
                l.cur_dirty = l.next_live;
                l.next_live = false;
            }
            if (j == 0) {
                const uint32_t start = parts_[top].start_component;
                Row(top, start)[0] |= 1;
                Hold(top, start);
            }
            for (size_t k = 0; k < parts_.size(); ++k) {
                const Part& part = parts_[k];
                for (uint32_t c = part.first_child; c < part.end_child; ++c) {
                    met_[c].now = false;
                    if (met_[c].last != SIZE_MAX) Leave(k, c, j);
                }
                if (live_[k].cur_dirty) Sweep(k, j, 0, std::min(live_[k].words, j / 64 + 1));
                if (k == top && j < n_ && !live_[k].next_live) {
                    // Nothing goes on unless a negation met here may still be left.
                    bool waiting = false;
                    for (uint32_t c = part.first_child; c < part.end_child; ++c) waiting = waiting || met_[c].last != SIZE_MAX;
                    if (!waiting) return false;
                }
            }
            for (size_t k = top; k-- > 0;) {
                if (!met_[entered_by_[k]].now) continue;
                const uint32_t start = parts_[k].start_component;
                Row(k, start)[j / 64] |= uint64_t{1} << (j % 64);
                Hold(k, start);
                Sweep(k, j, j / 64, j / 64 + 1);  // only the word the new start is in changes
            }
        }
        return (Row(top, parts_[top].accept_component)[0] & 1) != 0;
    }

    // Empties the rows held at the position just read (starts are never after
    // the position, so only the first `words` of each row can hold any).
    static void Clear(Live& l, size_t words) {
        for (size_t t = 0; t < l.cur_held.size(); ++t) {
            for (uint64_t bits = l.cur_held[t]; bits != 0; bits &= bits - 1) {
                const size_t c = t * 64 + static_cast<size_t>(__builtin_ctzll(bits));
                std::fill_n(&l.cur[c * l.words], words, 0);
            }
            l.cur_held[t] = 0;
        }
    }

    // Follows part k's moves at position j, for the words [from, to) of its
    // rows: those that consume nothing, in the components' order (each passes
    // on only to later ones), and those that take the character at j.
    void Sweep(size_t k, size_t j, size_t from, size_t to) {
        const Part& part = parts_[k];
        Live& l = live_[k];
        const size_t w = l.words;
        const size_t span = to - from;
        const uint32_t base = part.first_component;
        for (size_t t = 0; t < l.cur_held.size(); ++t) {
            uint64_t bits = l.cur_held[t];
            while (bits != 0) {
                const size_t c = t * 64 + static_cast<size_t>(__builtin_ctzll(bits));
                const uint64_t* row = &l.cur[c * w + from];
                // A held row is never empty, and holds nothing after the word
                // of position j; in that word alone it may be empty.
                if (from == 0 || !Zero(row, span)) {
                    const Component& comp = components_[base + c];
                    for (uint32_t e = comp.first_edge; e < comp.end_edge; ++e) {
                        const uint32_t d = edges_[e] - base;
                        Or(&l.cur[d * w + from], row, span);
                        l.cur_held[d / 64] |= uint64_t{1} << (d % 64);
                    }
                    if (j < n_) {
                        for (uint32_t e = comp.first_consumer; e < comp.end_consumer; ++e) {
                            const Consumer& con = consumers_[e];
                            if (!Takes(p_.nodes[static_cast<size_t>(con.leaf)], s_[j])) continue;
                            const uint32_t d = con.next - base;
                            Or(&l.next[d * w + from], row, span);
                            l.next_held[d / 64] |= uint64_t{1} << (d % 64);
                            l.next_live = true;
                        }
                    }
                }
                // Later components of this word, including any just reached.
                bits = l.cur_held[t] & ~((uint64_t{2} << (c % 64)) - 1);
            }
        }
        for (uint32_t c = part.first_child; c < part.end_child; ++c) Record(k, c, j);
    }

    // Keeps where negation `c` (met in part k) is entered at position j, and
    // with which starts. chain[j] is the first position from which every
    // entry up to j is within this one, so that leaving takes one row for a
    // run of entries that only grow (as after "*", which keeps every start).
    void Record(size_t k, uint32_t c, size_t j) {
        const Live& l = live_[k];
        const size_t w = l.words;
        const uint32_t held = children_[c].enter - parts_[k].first_component;
        if (((l.cur_held[held / 64] >> (held % 64)) & 1) == 0) return;
        const uint64_t* row = Row(k, children_[c].enter);
        Met& m = met_[c];
        if (m.enter.empty()) {
            m.enter.assign((n_ + 1) * w, 0);
            m.at.assign(words_, 0);
            m.chain.assign(n_ + 1, 0);
        }
        if (m.last != j) {
            m.before = m.last;
            m.last = j;
        }
        m.now = true;
        m.at[j / 64] |= uint64_t{1} << (j % 64);
        uint64_t* keep = &m.enter[j * w];
        const size_t used = std::min(w, j / 64 + 1);  // starts are at most j
        std::copy(row, row + used, keep);
        m.chain[j] = static_cast<uint32_t>(j);
        if (m.before != SIZE_MAX) {
            const uint64_t* prev = &m.enter[m.before * w];
            uint64_t outside = 0;
            for (size_t q = 0; q < used; ++q) outside |= prev[q] & ~keep[q];
            if (outside == 0) m.chain[j] = m.chain[m.before];
        }
    }

    // The exit of negation `c` (met in part k) at position j, after the
    // stretches from earlier entries that its inner pattern does not match:
    // the inner part's accepting row holds the starts whose match ends here.
    void Leave(size_t k, uint32_t c, size_t j) {
        if (j == 0) return;
        const Child& child = children_[c];
        const Met& m = met_[c];
        const size_t inner = static_cast<size_t>(child.negation);
        const uint64_t* matched = Row(inner, parts_[inner].accept_component);
        const size_t w = live_[k].words;
        uint64_t* out = Row(k, child.exit);
        bool any = false;
        size_t limit = j;  // entries before this are still to be taken
        while (limit > 0) {
            const size_t q = (limit - 1) / 64;
            uint64_t from = m.at[q] & ~matched[q];
            const size_t r = limit - q * 64;
            if (r < 64) from &= (uint64_t{1} << r) - 1;
            if (from == 0) {
                limit = q * 64;
                continue;
            }
            const size_t i = q * 64 + 63 - static_cast<size_t>(__builtin_clzll(from));
            // Starts that enter at i are at most i: only the words up to it.
            Or(out, &m.enter[i * w], std::min(w, i / 64 + 1));
            any = true;
            limit = m.chain[i];
        }
        if (any) Hold(k, child.exit);
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

    const Pattern& p_;
    const Automaton& a_;
    const std::vector<char32_t>& s_;
    size_t n_;
    size_t words_;  // of a set of positions 0..n
    std::vector<Part> parts_;                    // inner parts first, the whole pattern last
    std::vector<uint32_t> component_;            // per state
    std::vector<Component> components_;
    std::vector<uint32_t> edges_;
    std::vector<Consumer> consumers_;
    std::vector<Child> children_;
    std::vector<uint32_t> entered_by_;           // per negation: its entry in children_
    std::vector<Live> live_;                     // per part
    std::vector<Met> met_;                       // per entry in children_
};

}  // namespace

bool RunAutomaton(const Pattern& p, const Automaton& a, const std::vector<char32_t>& s) {
    Matcher matcher(p, a, s);
    return matcher.Matches();
}

}  // namespace os::pattern
