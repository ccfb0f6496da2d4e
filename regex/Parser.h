// Parse tree and parser of (already widened) patterns.
//
// TREParser::Run turns a pattern into a TREParseTree: alternation, concatenation,
// "*", "+", "?", groups, classes, ".", "^" and "$". Range leaves are interned, so the
// tree is a DAG; MakeLeavesDisjoint then splits ranges until any two leaves are equal
// or disjoint, which the automata rely on. Errors raise ERegExpParser (Scanner.h).
#pragma once

#include "Scanner.h"

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

namespace xavo {

enum TREOperator : std::uint8_t {
    reopCharRange,
    reopLHead,
    reopLTail,
    reopConcat,
    reopUnion,
    reopClosure,
    reopEmpty,
};

// One node. Range leaves and anchors use Lo/Hi; inner nodes use Left/Right.
struct TRENode {
    TREOperator Kind = reopEmpty;
    TCharCode Lo = 0;
    TCharCode Hi = 0;
    TRENode* Left = nullptr;
    TRENode* Right = nullptr;
};

// Owns every node it makes; nodes keep their addresses until Clear.
class TREParseTree {
public:
    TREParseTree() = default;
    TREParseTree(const TREParseTree&) = delete;
    TREParseTree& operator=(const TREParseTree&) = delete;
    virtual ~TREParseTree() = default;

    TRENode* MakeNode(TREOperator kind, TRENode* left = nullptr, TRENode* right = nullptr);
    // The one leaf for (lo, hi), made on first use.
    TRENode* MakeLeaf(TCharCode lo, TCharCode hi);
    // The codes lo..hi and every other code of their characters (a character CP932 holds
    // under two or three codes, such as 0xFA5C and 0xED40 for 纊): what a pattern's
    // character or range matches.
    TRENode* MakeCharacterLeaves(TCharCode lo, TCharCode hi);
    // nullptr when hi < lo.
    TRENode* MakeLeafOrNil(int lo, int hi);
    TRENode* MakeLHeadNode(TCharCode code);
    TRENode* MakeLTailNode(TCharCode code);
    // "." : every code from 0x01 to 0xFCFC except line feed and carriage return.
    virtual TRENode* MakeAnyCharsNode();
    // Splits ranges until every two leaves are equal or disjoint.
    void MakeLeavesDisjoint();
    // Takes a range leaf out of the leaf list (and the intern index) for good.
    void RemoveLeaf(std::size_t index);
    void Clear();

    TRENode* FHeadNode = nullptr;
    std::vector<TRENode*> FLeafList;  // the range leaves, in creation order

private:
    bool SplitPair(TRENode* a, TRENode* b);
    void TurnIntoUnion(TRENode* leaf, TRENode* left, TRENode* right);
    static std::uint32_t Key(TCharCode lo, TCharCode hi) { return std::uint32_t{hi} << 16 | lo; }

    std::deque<TRENode> FNodes;  // owns every node
    std::unordered_map<std::uint32_t, TRENode*> FLeafIndex;
};

class TREParser {
public:
    explicit TREParser(const std::string& pattern) : FScanner(pattern) {}

    // Parses the whole pattern into FParseTree. Raises ERegExpParser.
    void Run();

    TREParseTree FParseTree;
    TREScanner FScanner;

private:
    TRENode* ParseRegExp();
    TRENode* ParseTerm();
    TRENode* ParseFactor();
    TRENode* ParsePrimary();
    TRENode* ParseCharClass(TREParseTree& tree);
    TRENode* ParseNegativeCharClass();

    int FDepth = 0;  // group nesting, bounded so that deep nesting cannot exhaust the stack
};

}  // namespace xavo
