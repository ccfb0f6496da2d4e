// NFA construction. The tree can be as deep as the pattern is long (concatenation is
// left-associative), so the walk uses an explicit stack of pending steps that performs
// exactly the recursive construction's sequence of NewState and AddTransition calls.
#include "Nfa.h"

#include <algorithm>
#include <unordered_map>

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

namespace {

// The states and transitions the construction makes for a tree, counted over the DAG
// before anything is built (a subtree shared by "+" is built twice), so that an automaton
// past the limits is refused at once instead of after it has been half built.
void CheckConstructionSize(const TRENode* root) {
    struct TSize {
        std::uint64_t States = 0;
        std::uint64_t Transitions = 0;
    };
    static constexpr std::uint64_t kCap = std::uint64_t{1} << 40;  // far past the limits, far from overflow
    const auto sum = [](std::uint64_t a, std::uint64_t b) { return std::min(a + b, kCap); };
    if (root == nullptr) return;
    std::unordered_map<const TRENode*, TSize> sizes;
    std::vector<std::pair<const TRENode*, bool>> pending{{root, false}};
    while (!pending.empty()) {
        const auto [node, childrenDone] = pending.back();
        pending.pop_back();
        if (sizes.count(node) != 0) continue;
        const bool inner = node->Kind == reopConcat || node->Kind == reopUnion || node->Kind == reopClosure;
        if (inner && !childrenDone) {
            pending.push_back({node, true});
            pending.push_back({node->Left, false});
            if (node->Kind != reopClosure) pending.push_back({node->Right, false});
            continue;
        }
        TSize size{0, 1};  // a leaf, an anchor or the empty node: one transition
        if (inner) {
            const TSize left = sizes.at(node->Left);
            const TSize right = node->Kind == reopClosure ? TSize{} : sizes.at(node->Right);
            size.States = sum(left.States, right.States);
            size.Transitions = sum(left.Transitions, right.Transitions);
            if (node->Kind == reopConcat) size.States = sum(size.States, 1);
            if (node->Kind == reopClosure) {
                size.States = sum(size.States, 2);
                size.Transitions = sum(size.Transitions, 3);
            }
        }
        sizes.emplace(node, size);
    }
    const TSize total = sizes.at(root);
    if (total.States + 2 > TRE_NFA::kMaxStates || total.Transitions > TRE_NFA::kMaxTransitions)
        throw ERegExpParser(RegExpMessage::kTooComplex, 0);
}

}  // namespace

void TRE_NFA::Run() {
    CheckConstructionSize(FParser.FParseTree.FHeadNode);
    FStateList.clear();
    FTransitionCount = 0;
    FEntryState = NewState();
    FExitState = NewState();
    GenerateStateList(FParser.FParseTree.FHeadNode, FEntryState, FExitState);
}

void TRE_NFA::GenerateStateList(const TRENode* root, std::uint32_t from, std::uint32_t to) {
    // A step either generates a node between two states or adds one empty transition
    // (the closure's transitions that the recursive form adds after its child).
    struct TStep {
        const TRENode* node;  // nullptr: add an empty transition from -> to
        std::uint32_t from;
        std::uint32_t to;
    };
    std::vector<TStep> pending{{root, from, to}};
    while (!pending.empty()) {
        const TStep step = pending.back();
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
