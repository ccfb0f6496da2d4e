// NFA with empty transitions, built from a parse tree by the classic construction.
//
// State 0 is the entry, state 1 the exit. "^" is an anchor only on a transition that
// leaves the entry state and "$" only on one that enters the exit state; an anchor
// consumes one code, the line-head or line-tail code given to the constructor.
// Elsewhere they are the characters "^" and "$".
#pragma once

#include "Parser.h"

#include <cstdint>
#include <vector>

namespace xavo {

struct TRE_NFATransition {
    TCharCode Lo;
    TCharCode Hi;
    std::uint32_t TransitTo;
    bool IsEmpty() const { return Lo == kEmptyCode; }  // a code 0xFFFF also acts as empty
};

class TRE_NFA {
public:
    // Larger automata are refused with "正規表現が複雑すぎます": each nested "+" doubles
    // the size, and a range split into many pieces is repeated at every use.
    static constexpr std::size_t kMaxStates = 200000;
    static constexpr std::size_t kMaxTransitions = 2000000;

    TRE_NFA(const TREParser& parser, TCharCode lineHeadCode, TCharCode lineTailCode)
        : FParser(parser), FLineHeadCode(lineHeadCode), FLineTailCode(lineTailCode) {}

    // Builds the automaton from the parser's tree. Raises ERegExpParser past kMaxStates.
    void Run();

    std::uint32_t NewState();
    void AddTransition(std::uint32_t from, std::uint32_t to, TCharCode lo, TCharCode hi);

    // The transitions of a state, newest first (the order the DFA builder visits them).
    struct TChain {
        const std::vector<TRE_NFATransition>& List;
        auto begin() const { return List.rbegin(); }
        auto end() const { return List.rend(); }
    };
    TChain Transitions(std::uint32_t state) const { return {FStateList[state]}; }
    std::size_t StateCount() const { return FStateList.size(); }

    std::uint32_t FEntryState = 0;
    std::uint32_t FExitState = 1;

private:
    void GenerateStateList(const TRENode* root, std::uint32_t from, std::uint32_t to);

    std::vector<std::vector<TRE_NFATransition>> FStateList;  // each in insertion order
    std::size_t FTransitionCount = 0;
    const TREParser& FParser;
    TCharCode FLineHeadCode;
    TCharCode FLineTailCode;
};

}  // namespace xavo
