// NFA construction. The tree can be as deep as the pattern is long (concatenation is
// left-associative), so the walk uses an explicit stack of pending steps that performs
// exactly the recursive construction's sequence of NewState and AddTransition calls.
#include "Nfa.h"

namespace xavo {

std::uint32_t TRE_NFA::NewState() {
    if (FStateList.size() >= kMaxStates) throw ERegExpParser(RegExpMessage::kTooComplex, 0);
    FStateList.emplace_back();
    return static_cast<std::uint32_t>(FStateList.size() - 1);
}

void TRE_NFA::AddTransition(std::uint32_t from, std::uint32_t to, TCharCode lo, TCharCode hi) {
    if (++FTransitionCount > kMaxTransitions) throw ERegExpParser(RegExpMessage::kTooComplex, 0);
    FStateList[from].push_back({lo, hi, to});
}

void TRE_NFA::Run() {
    FStateList.clear();
    FTransitionCount = 0;
    FEntryState = NewState();
    FExitState = NewState();
    GenerateStateList(FParser.FParseTree.FHeadNode, FEntryState, FExitState);
}

void TRE_NFA::GenerateStateList(const TRENode* root, std::uint32_t from, std::uint32_t to) {
    // A step either generates a node between two states or adds one empty transition
    // (the closure's transitions that the recursive form adds after its child).
    struct Step {
        const TRENode* node;  // nullptr: add an empty transition from -> to
        std::uint32_t from;
        std::uint32_t to;
    };
    std::vector<Step> pending{{root, from, to}};
    while (!pending.empty()) {
        const Step step = pending.back();
        pending.pop_back();
        const TRENode* node = step.node;
        if (node == nullptr) {
            AddTransition(step.from, step.to, kEmptyCode, kEmptyCode);
            continue;
        }
        switch (node->Kind) {
        case reopCharRange: AddTransition(step.from, step.to, node->Lo, node->Hi); break;
        case reopLHead:
            if (step.from == FEntryState)
                AddTransition(step.from, step.to, FLineHeadCode, FLineHeadCode);
            else
                AddTransition(step.from, step.to, node->Lo, node->Hi);
            break;
        case reopLTail:
            if (step.to == FExitState)
                AddTransition(step.from, step.to, FLineTailCode, FLineTailCode);
            else
                AddTransition(step.from, step.to, node->Lo, node->Hi);
            break;
        case reopConcat: {
            const std::uint32_t middle = NewState();
            pending.push_back({node->Right, middle, step.to});
            pending.push_back({node->Left, step.from, middle});
            break;
        }
        case reopUnion:
            pending.push_back({node->Right, step.from, step.to});
            pending.push_back({node->Left, step.from, step.to});
            break;
        case reopClosure: {
            const std::uint32_t s1 = NewState();
            const std::uint32_t s2 = NewState();
            AddTransition(step.from, s1, kEmptyCode, kEmptyCode);
            pending.push_back({nullptr, s1, step.to});
            pending.push_back({nullptr, s2, s1});
            pending.push_back({node->Left, s1, s2});
            break;
        }
        case reopEmpty: AddTransition(step.from, step.to, kEmptyCode, kEmptyCode); break;
        default: throw std::runtime_error("This cannot happen in TRE_NFA.GenerateStateList");
        }
    }
}

}  // namespace xavo
