// Parser: recursive descent over the scanner's tokens, then the leaf partition.
//
// Grammar (alternation and concatenation are left-associative):
//   RegExp  := Term { "|" Term }
//   Term    := empty | Factor { Factor }
//   Factor  := Primary [ "*" | "+" | "?" ]        ("+" shares its operand subtree)
//   Primary := char | "(" RegExp ")" | class | "." | "^" | "$"
// A negated class is the complement within "." of the class, built leaf by leaf. A
// character matches under every code CP932 gives it (0xFA5C and 0xED40 are both 纊), in a
// class and out of one, so a negated class excludes all of them.
#include "Parser.h"

#include "SjisDuplicates.h"

#include <algorithm>

namespace xavo {

namespace {

// Group nesting deeper than this is refused rather than risking the stack.
constexpr int kMaxGroupDepth = 2000;

// The lowest code with another code for its character (the lowest preferred code, 0x81BE).
constexpr TCharCode kFirstDuplicateCode = [] {
    TCharCode lowest = 0xFFFF;
    for (const TSjisDuplicateRun& run : kSjisDuplicateRuns) lowest = std::min({lowest, run.Duplicate, run.Preferred});
    return lowest;
}();

[[noreturn]] void Fail(const char* msg, int pos) {
    throw ERegExpParser(msg, static_cast<std::uint16_t>(pos));
}

}  // namespace

TRENode* TREParseTree::MakeNode(TREOperator kind, TRENode* left, TRENode* right) {
    TRENode& node = FNodes.emplace_back();
    node.Kind = kind;
    node.Left = left;
    node.Right = right;
    return &node;
}

TRENode* TREParseTree::MakeLeaf(TCharCode lo, TCharCode hi) {
    const auto found = FLeafIndex.find(Key(lo, hi));
    if (found != FLeafIndex.end()) return found->second;
    TRENode& leaf = FNodes.emplace_back();
    leaf.Kind = reopCharRange;
    leaf.Lo = lo;
    leaf.Hi = hi;
    FLeafList.push_back(&leaf);
    FLeafIndex.emplace(Key(lo, hi), &leaf);
    return &leaf;
}

TRENode* TREParseTree::MakeCharacterLeaves(TCharCode lo, TCharCode hi) {
    TRENode* r = MakeLeaf(lo, hi);
    if (hi < kFirstDuplicateCode) return r;
    ForEachSjisTwin(lo, hi, [&](std::uint16_t from, std::uint16_t to) { r = MakeNode(reopUnion, r, MakeLeaf(from, to)); });
    return r;
}

TRENode* TREParseTree::MakeLeafOrNil(int lo, int hi) {
    if (lo < 0 || hi > 0xFFFF || hi < lo) return nullptr;
    return MakeLeaf(static_cast<TCharCode>(lo), static_cast<TCharCode>(hi));
}

TRENode* TREParseTree::MakeLHeadNode(TCharCode code) {
    TRENode* node = MakeNode(reopLHead);
    node->Lo = node->Hi = code;
    return node;
}

TRENode* TREParseTree::MakeLTailNode(TCharCode code) {
    TRENode* node = MakeNode(reopLTail);
    node->Lo = node->Hi = code;
    return node;
}

TRENode* TREParseTree::MakeAnyCharsNode() {
    // Leaves are made in this order on purpose: the leaf list's order shapes later splits.
    TRENode* controls = MakeLeaf(0x01, 0x09);
    TRENode* formFeeds = MakeLeaf(0x0B, 0x0C);
    TRENode* rest = MakeLeaf(0x0E, kMaxDotCode);
    return MakeNode(reopUnion, MakeNode(reopUnion, controls, formFeeds), rest);
}

void TREParseTree::RemoveLeaf(std::size_t index) {
    TRENode* leaf = FLeafList[index];
    FLeafIndex.erase(Key(leaf->Lo, leaf->Hi));
    FLeafList.erase(FLeafList.begin() + static_cast<std::ptrdiff_t>(index));
}

void TREParseTree::TurnIntoUnion(TRENode* leaf, TRENode* left, TRENode* right) {
    if (left == nullptr || right == nullptr)
        throw std::runtime_error("TREParseTree : 致命的エラー");
    const auto at = std::find(FLeafList.begin(), FLeafList.end(), leaf);
    RemoveLeaf(static_cast<std::size_t>(at - FLeafList.begin()));
    leaf->Kind = reopUnion;
    leaf->Left = left;
    leaf->Right = right;
}

bool TREParseTree::SplitPair(TRENode* a, TRENode* b) {
    if (a->Lo > b->Lo) std::swap(a, b);
    if (a->Hi < b->Lo || (a->Lo == b->Lo && a->Hi == b->Hi)) return false;

    const int aLo = a->Lo, aHi = a->Hi, bLo = b->Lo, bHi = b->Hi;
    const int lowHi = std::min(aHi, bHi);
    TRENode* lowPart = MakeLeafOrNil(aLo, bLo - 1);
    TRENode* mid = MakeLeafOrNil(bLo, lowHi);
    TRENode* highPart = MakeLeafOrNil(lowHi + 1, std::max(aHi, bHi));

    if (lowPart != nullptr) {
        if (aHi == bHi) {
            TurnIntoUnion(a, lowPart, mid);  // b is mid itself
        } else if (aHi > bHi) {
            TurnIntoUnion(a, MakeNode(reopUnion, lowPart, mid), highPart);  // b is mid itself
        } else {
            TurnIntoUnion(a, lowPart, mid);
            TurnIntoUnion(b, mid, highPart);
        }
    } else if (aHi > bHi) {
        TurnIntoUnion(a, mid, highPart);  // mid is b
    } else {
        TurnIntoUnion(b, mid, highPart);  // mid is a
    }
    return true;
}

void TREParseTree::MakeLeavesDisjoint() {
    std::size_t i = 0;
    while (i < FLeafList.size()) {
        bool split = false;
        for (std::size_t j = i + 1; j < FLeafList.size(); ++j) {
            if (SplitPair(FLeafList[j], FLeafList[i])) {
                split = true;
                break;
            }
        }
        if (!split) ++i;
    }
}

void TREParseTree::Clear() {
    FHeadNode = nullptr;
    FLeafList.clear();
    FLeafIndex.clear();
    FNodes.clear();
}

void TREParser::Run() {
    FParseTree.Clear();
    FDepth = 0;
    FScanner.GetToken();
    FParseTree.FHeadNode = ParseRegExp();
    if (FScanner.FToken != retkEnd) Fail(RegExpMessage::kExtraChars, FScanner.FPos);
    FParseTree.MakeLeavesDisjoint();
}

TRENode* TREParser::ParseRegExp() {
    TRENode* t = ParseTerm();
    while (FScanner.FToken == retkUnion) {
        FScanner.GetToken();
        TRENode* right = ParseTerm();
        t = FParseTree.MakeNode(reopUnion, t, right);
    }
    return t;
}

TRENode* TREParser::ParseTerm() {
    const auto endsTerm = [this] {
        const TREToken t = FScanner.FToken;
        return t == retkUnion || t == retkRPar || t == retkEnd;
    };
    if (endsTerm()) return FParseTree.MakeNode(reopEmpty);
    TRENode* t = ParseFactor();
    while (!endsTerm()) {
        TRENode* right = ParseFactor();
        t = FParseTree.MakeNode(reopConcat, t, right);
    }
    return t;
}

TRENode* TREParser::ParseFactor() {
    TRENode* p = ParsePrimary();
    switch (FScanner.FToken) {
    case retkStar: p = FParseTree.MakeNode(reopClosure, p); break;
    case retkPlus: p = FParseTree.MakeNode(reopConcat, p, FParseTree.MakeNode(reopClosure, p)); break;
    case retkQMark: p = FParseTree.MakeNode(reopUnion, p, FParseTree.MakeNode(reopEmpty)); break;
    default: return p;
    }
    FScanner.GetToken();
    return p;
}

TRENode* TREParser::ParsePrimary() {
    TRENode* p = nullptr;
    switch (FScanner.FToken) {
    case retkChar: p = FParseTree.MakeCharacterLeaves(FScanner.FCode, FScanner.FCode); break;
    case retkLPar:
        if (++FDepth > kMaxGroupDepth) Fail(RegExpMessage::kTooComplex, 0);
        FScanner.GetToken();
        p = ParseRegExp();
        if (FScanner.FToken != retkRPar) Fail(RegExpMessage::kNeedRightParen, FScanner.FPos);
        --FDepth;
        break;
    case retkLBra:
    case retkLBraNegative:
        p = FScanner.FToken == retkLBra ? ParseCharClass(FParseTree) : ParseNegativeCharClass();
        if (FScanner.FToken != retkRBra) Fail(RegExpMessage::kNeedRightBracket, FScanner.FPos);
        break;
    case retkDot: p = FParseTree.MakeAnyCharsNode(); break;
    case retkLHead: p = FParseTree.MakeLHeadNode(FScanner.FCode); break;
    case retkLTail: p = FParseTree.MakeLTailNode(FScanner.FCode); break;
    default: Fail(RegExpMessage::kNeedOperand, FScanner.FPos);
    }
    FScanner.GetToken();
    return p;
}

TRENode* TREParser::ParseCharClass(TREParseTree& tree) {
    const auto item = [&] {
        return tree.MakeCharacterLeaves(FScanner.FCode, FScanner.FToken == retkCharRange ? FScanner.FCodeTo : FScanner.FCode);
    };
    if (FScanner.GetToken() == retkRBra) Fail(RegExpMessage::kBadCharClass, FScanner.FPos);
    TRENode* r = item();
    while (FScanner.GetToken() != retkRBra) r = tree.MakeNode(reopUnion, r, item());
    return r;
}

TRENode* TREParser::ParseNegativeCharClass() {
    TREParseTree members;
    members.FHeadNode = ParseCharClass(members);
    members.MakeLeavesDisjoint();

    TREParseTree rest;
    rest.MakeAnyCharsNode();
    for (const TRENode* x : members.FLeafList) {
        std::size_t i = 0;
        while (i < rest.FLeafList.size()) {
            const TRENode* q = rest.FLeafList[i];
            if (q->Hi < x->Lo || q->Lo > x->Hi) {
                ++i;
                continue;
            }
            const int qLo = q->Lo, qHi = q->Hi;
            rest.RemoveLeaf(i);
            rest.MakeLeafOrNil(qLo, x->Lo - 1);
            rest.MakeLeafOrNil(x->Hi + 1, qHi);
        }
    }
    // A class that excludes every character of "." could never match: refuse it.
    if (rest.FLeafList.empty()) Fail(RegExpMessage::kBadCharClass, FScanner.FPos);

    TRENode* r = nullptr;
    for (const TRENode* leaf : rest.FLeafList) {
        TRENode* item = FParseTree.MakeLeaf(leaf->Lo, leaf->Hi);
        r = r == nullptr ? item : FParseTree.MakeNode(reopUnion, r, item);
    }
    return r;
}

}  // namespace xavo
