// DFA built completely from an NFA by subset construction, and the step function.
//
// States are numbered in creation order (breadth-first from the start state, which is
// state 0); each state's transitions are sorted by ascending Lo. A run from one text
// position succeeds on reaching an accepting state after consuming at least one code.
// The builder also recognises patterns that are one plain string of codes.
#pragma once

#include "Nfa.h"

#include <cstdint>
#include <string>
#include <vector>

namespace xavo {

struct TRE_DFAState;

struct TRE_DFATransition {
    TCharCode Lo;
    TCharCode Hi;
    const TRE_DFAState* TransitTo;
};

struct TRE_DFAState {
    bool Accepted = false;
    const TRE_DFATransition* Transitions = nullptr;  // sorted by Lo; owned by the DFA
    std::uint32_t TransitionCount = 0;
};

class TRE_DFA {
public:
    // Larger automata are refused with "正規表現が複雑すぎます" at position 0.
    static constexpr std::size_t kMaxStates = 20000;
    static constexpr std::size_t kMaxSetMembers = 16 * 1024 * 1024;  // summed over all states
    static constexpr std::size_t kMaxTransitions = 4 * 1024 * 1024;

    explicit TRE_DFA(const TRE_NFA& nfa) : FNFA(&nfa) {}
    TRE_DFA(const TRE_DFA&) = delete;
    TRE_DFA& operator=(const TRE_DFA&) = delete;

    // Builds the automaton; the NFA is not used afterwards. Raises ERegExpParser past the limits.
    void Run();

    // The state reached from State on Code, or nullptr: the first transition in sorted
    // order whose range holds Code (the range of an anchor may overlap a class range).
    static const TRE_DFAState* NextState(const TRE_DFAState* state, TCharCode code) {
        const TRE_DFATransition* t = state->Transitions;
        const TRE_DFATransition* const end = t + state->TransitionCount;
        for (; t != end; ++t) {
            if (code < t->Lo) return nullptr;
            if (code <= t->Hi) return t->TransitTo;
        }
        return nullptr;
    }

    const std::vector<TRE_DFAState>& States() const { return FStateList; }
    std::uint32_t IndexOf(const TRE_DFAState* state) const {
        return static_cast<std::uint32_t>(state - FStateList.data());
    }

    const TRE_DFAState* FStartState = nullptr;
    bool FRegExpIsSimple = false;
    std::string FSimpleRegExpStr;

private:
    void MakeStateList();
    void CheckIfRegExpIsSimple();

    const TRE_NFA* FNFA;
    std::vector<TRE_DFAState> FStateList;
    std::vector<TRE_DFATransition> FTransitions;  // every state's transitions, one block each
};

}  // namespace xavo
