// Parse trees: grammar, interned leaves, negated classes, disjoint leaves, errors.
#include "RegexTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace xavo {
namespace {

using testing::DumpTree;
using testing::ParseDump;

TEST(Parser, GrammarShapes) {
    struct Row {
        const char* pattern;
        const char* tree;
    };
    const Row rows[] = {
        {"", "()"},
        {"a|", "alt(a,())"},
        {"()", "()"},
        {"(|a)", "alt((),a)"},
        {"ab?", "cat(a,alt(b,()))"},
        {"a+", "cat(a,star(a))"},
        {"a*b", "cat(star(a),b)"},
        {"a|b|c", "alt(alt(a,b),c)"},
        {"abc", "cat(cat(a,b),c)"},
        {"^a$", "cat(cat(^,a),$)"},
        {"a^b", "cat(cat(a,^),b)"},
        {".", "alt(alt({01-09},{0B-0C}),{0E-FCFC})"},
        {"[abc]", "alt(alt(a,b),c)"},
        {"\x83\x5c", "835C"},
        {"[^a]", "alt(alt(alt({01-09},{0B-0C}),{0E-`}),{b-FCFC})"},
        {"[^\\x00-\\x1f]", "{20-FCFC}"},
        {"[^\\x01-\\x09]", "alt({0B-0C},{0E-FCFC})"},
    };
    for (const Row& row : rows) EXPECT_EQ(ParseDump(row.pattern), row.tree) << row.pattern;
}

TEST(Parser, PlusSharesOneLeafForBothUses) {
    TREParser parser("a+");
    parser.Run();
    const TRENode* head = parser.FParseTree.FHeadNode;
    ASSERT_EQ(head->Kind, reopConcat);
    EXPECT_EQ(head->Left, head->Right->Left);
    EXPECT_EQ(parser.FParseTree.FLeafList.size(), 1u);
}

TEST(Parser, OverlappingClassesBecomeDisjointSharedLeaves) {
    TREParser parser("[a-z][m-q]");
    parser.Run();
    EXPECT_EQ(DumpTree(parser.FParseTree.FHeadNode), "cat(alt(alt({a-l},{m-q}),{r-z}),{m-q})");
    std::vector<std::string> leaves;
    for (const TRENode* leaf : parser.FParseTree.FLeafList) leaves.push_back(testing::RangeName(leaf->Lo, leaf->Hi));
    EXPECT_EQ(leaves, (std::vector<std::string>{"{m-q}", "{a-l}", "{r-z}"}));
    // Both uses of m-q are one node.
    const TRENode* head = parser.FParseTree.FHeadNode;
    EXPECT_EQ(head->Left->Left->Right, head->Right);
}

TEST(Parser, LeavesArePairwiseDisjointAfterParsing) {
    const char* patterns[] = {".[\\x01-\\x7f]", "[a-z][m-q][a-c][b-x]", "[^a-c][b-d].x", "[\\x00-\\xffff]a[b-b]",
                              "[\x82\x9f-\x82\xf1][\x82\xa0-\x82\xa9][\x82\xa0]"};
    for (const char* p : patterns) {
        TREParser parser(p);
        parser.Run();
        const auto& leaves = parser.FParseTree.FLeafList;
        for (std::size_t i = 0; i < leaves.size(); ++i) {
            EXPECT_EQ(leaves[i]->Kind, reopCharRange);
            for (std::size_t j = i + 1; j < leaves.size(); ++j)
                EXPECT_TRUE(leaves[i]->Hi < leaves[j]->Lo || leaves[j]->Hi < leaves[i]->Lo)
                    << p << ": " << i << " and " << j;
        }
    }
}

TEST(Parser, DotAgainstAsciiRangeSplitsEverythingThatOverlaps) {
    // Both operands end up built from the same six leaves covering 01-FCFC.
    TREParser parser(".[\\x01-\\x7f]");
    parser.Run();
    std::vector<std::pair<int, int>> ranges;
    for (const TRENode* leaf : parser.FParseTree.FLeafList) ranges.emplace_back(leaf->Lo, leaf->Hi);
    std::sort(ranges.begin(), ranges.end());
    EXPECT_EQ(ranges, (std::vector<std::pair<int, int>>{
                          {0x01, 0x09}, {0x0A, 0x0A}, {0x0B, 0x0C}, {0x0D, 0x0D}, {0x0E, 0x7F}, {0x80, 0xFCFC}}));
}

TEST(Parser, ErrorsCarryMessageAndPosition) {
    struct Row {
        const char* pattern;
        const char* message;
        int position;
    };
    const Row rows[] = {
        {"a)", "正規表現に余分な文字があります", 3},
        {"(a))", "正規表現に余分な文字があります", 5},
        {"(a", "右(閉じ)括弧が必要です", 3},
        {"*a", "普通の文字、または左括弧\"(\"が必要です", 2},
        {"a**", "普通の文字、または左括弧\"(\"が必要です", 4},
        {"a+?", "普通の文字、または左括弧\"(\"が必要です", 4},
        {"a|*", "普通の文字、または左括弧\"(\"が必要です", 4},
        {"+", "普通の文字、または左括弧\"(\"が必要です", 2},
        {"a]", "普通の文字、または左括弧\"(\"が必要です", 3},
        {"[]", "不正なキャラクタクラス指定です。", 3},
        {"[^]", "不正なキャラクタクラス指定です。", 4},
        // A negated class that leaves nothing of "." could never match.
        {"[^\\x01-\\xfcfc]", "不正なキャラクタクラス指定です。", 15},
        {"x[^\\x00-\\xffff]", "不正なキャラクタクラス指定です。", 16},
        {"[z-a]", "不正なキャラクタ範囲です", 5},
    };
    for (const Row& row : rows) {
        try {
            ParseDump(row.pattern);
            ADD_FAILURE() << row.pattern << " parsed";
        } catch (const ERegExpParser& e) {
            EXPECT_STREQ(e.what(), row.message) << row.pattern;
            EXPECT_EQ(e.Position, row.position) << row.pattern;
        }
    }
}

TEST(Parser, DeepNestingIsRefusedInsteadOfOverflowingTheStack) {
    const std::string deep = std::string(100000, '(') + "a" + std::string(100000, ')');
    try {
        ParseDump(deep);
        FAIL();
    } catch (const ERegExpParser& e) {
        EXPECT_STREQ(e.what(), "正規表現が複雑すぎます");
        EXPECT_EQ(e.Position, 0);
    }
    // Moderate nesting still works.
    EXPECT_EQ(ParseDump(std::string(500, '(') + "a" + std::string(500, ')')), "a");
}

TEST(Parser, ParserIsReusableAfterAnError) {
    TREParser parser("(a");
    EXPECT_THROW(parser.Run(), ERegExpParser);
    parser.FScanner.SetText("ab");
    parser.Run();
    EXPECT_EQ(DumpTree(parser.FParseTree.FHeadNode), "cat(a,b)");
}

}  // namespace
}  // namespace xavo
