// Subset construction.
//
// 1. States are processed in creation order; each NFA set is kept as its sorted members
//    and found again through a hash of them, not by a scan of all states.
// 2. The moves of a state group the NFA transitions by identical range (the parser made
//    ranges equal or disjoint); the move made last is processed first and every new
//    transition goes to the head of the state's chain, which is then stably sorted by
//    Lo. This reproduces the classic linked-list construction state for state.
// 3. The sets are dropped once the automaton is complete; matching never reads them.
#include "Dfa.h"

#include "StateSetHash.h"

#include <algorithm>
#include <unordered_map>

namespace xavo {

namespace {

using TStateSet = std::vector<std::uint32_t>;  // NFA states, ascending

[[noreturn]] void TooComplex() { throw ERegExpParser(RegExpMessage::kTooComplex, 0); }

// Closes sets over the NFA's empty transitions; reuses its work arrays between calls.
class TClosureBuilder {
public:
    explicit TClosureBuilder(const TRE_NFA& nfa) : FNFA(nfa), FMark(nfa.StateCount(), 0) {}

    // Seeds plus every state reachable from them by empty transitions, ascending.
    TStateSet Close(const TStateSet& seeds) {
        if (++FStamp == 0) {
            std::fill(FMark.begin(), FMark.end(), 0);
            FStamp = 1;
        }
        TStateSet result;
        for (const std::uint32_t s : seeds) Visit(s, result);
        while (!FPending.empty()) {
            const std::uint32_t s = FPending.back();
            FPending.pop_back();
            for (const TRE_NFATransition& t : FNFA.Transitions(s))
                if (t.IsEmpty()) Visit(t.TransitTo, result);
        }
        std::sort(result.begin(), result.end());
        return result;
    }

private:
    void Visit(std::uint32_t s, TStateSet& result) {
        if (FMark[s] == FStamp) return;
        FMark[s] = FStamp;
        result.push_back(s);
        FPending.push_back(s);
    }

    const TRE_NFA& FNFA;
    std::vector<std::uint32_t> FMark;
    std::uint32_t FStamp = 0;
    std::vector<std::uint32_t> FPending;
};

struct TBuildState {
    TStateSet Set;
    bool Accepted;
    std::vector<std::pair<TCharCode, TCharCode>> Ranges;  // chain order, then sorted
    std::vector<std::uint32_t> Targets;
};

}  // namespace

void TRE_DFA::Run() {
    MakeStateList();
    CheckIfRegExpIsSimple();
}

void TRE_DFA::MakeStateList() {
    const TRE_NFA& nfa = *FNFA;
    TClosureBuilder closure(nfa);
    std::vector<TBuildState> states;
    std::unordered_multimap<std::uint64_t, std::uint32_t> index;
    std::size_t members = 0;
    std::size_t transitions = 0;

    const auto findOrAddState = [&](TStateSet&& set) -> std::uint32_t {
        const std::uint64_t hash = HashStateSet(set);
        const auto [first, last] = index.equal_range(hash);
        for (auto it = first; it != last; ++it)
            if (states[it->second].Set == set) return it->second;
        if (states.size() >= kMaxStates) TooComplex();
        members += set.size();
        if (members > kMaxSetMembers) TooComplex();
        const bool accepted = std::binary_search(set.begin(), set.end(), nfa.FExitState);
        states.push_back({std::move(set), accepted, {}, {}});
        const auto id = static_cast<std::uint32_t>(states.size() - 1);
        index.emplace(hash, id);
        return id;
    };

    findOrAddState(closure.Close({nfa.FEntryState}));

    struct TMove {
        TCharCode Lo, Hi;
        TStateSet Targets;
    };
    std::vector<TMove> moves;  // in creation order; the list's head is the last one
    std::unordered_map<std::uint32_t, std::size_t> moveOfRange;
    for (std::uint32_t current = 0; current < states.size(); ++current) {
        moves.clear();
        moveOfRange.clear();
        for (const std::uint32_t s : states[current].Set) {
            for (const TRE_NFATransition& t : nfa.Transitions(s)) {
                if (t.IsEmpty()) continue;
                const std::uint32_t key = std::uint32_t{t.Hi} << 16 | t.Lo;
                const auto [at, added] = moveOfRange.try_emplace(key, moves.size());
                if (added) moves.push_back({t.Lo, t.Hi, {}});
                moves[at->second].Targets.push_back(t.TransitTo);
            }
        }
        transitions += moves.size();
        if (transitions > kMaxTransitions) TooComplex();

        std::vector<std::uint32_t> targets(moves.size());
        for (std::size_t k = moves.size(); k-- > 0;) targets[k] = findOrAddState(closure.Close(moves[k].Targets));

        // Chain order is the moves' creation order; a stable sort by Lo keeps it for ties.
        std::vector<std::size_t> order(moves.size());
        for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return moves[a].Lo < moves[b].Lo; });
        TBuildState& state = states[current];
        for (const std::size_t k : order) {
            state.Ranges.emplace_back(moves[k].Lo, moves[k].Hi);
            state.Targets.push_back(targets[k]);
        }
    }

    FStateList.assign(states.size(), TRE_DFAState{});
    FTransitions.clear();
    FTransitions.reserve(transitions);
    for (std::size_t i = 0; i < states.size(); ++i) {
        FStateList[i].Accepted = states[i].Accepted;
        FStateList[i].TransitionCount = static_cast<std::uint32_t>(states[i].Ranges.size());
        for (std::size_t k = 0; k < states[i].Ranges.size(); ++k)
            FTransitions.push_back({states[i].Ranges[k].first, states[i].Ranges[k].second,
                                    &FStateList[states[i].Targets[k]]});
    }
    std::size_t offset = 0;
    for (TRE_DFAState& state : FStateList) {
        state.Transitions = FTransitions.data() + offset;
        offset += state.TransitionCount;
    }
    FStartState = FStateList.data();
}

void TRE_DFA::CheckIfRegExpIsSimple() {
    FRegExpIsSimple = false;
    FSimpleRegExpStr.clear();
    const TRE_DFAState* st = FStartState;
    // A chain of single-code steps cannot be longer than the number of states.
    for (std::size_t steps = 0; steps <= FStateList.size(); ++steps) {
        if (st->TransitionCount == 0) {
            FRegExpIsSimple = true;
            return;
        }
        const TRE_DFATransition& t = st->Transitions[0];
        if (st->TransitionCount > 1 || t.Lo != t.Hi || st->Accepted || !IsTextCode(t.Lo)) break;
        FSimpleRegExpStr += CodeToStr(t.Lo);
        st = t.TransitTo;
    }
    FSimpleRegExpStr.clear();
}

}  // namespace xavo
