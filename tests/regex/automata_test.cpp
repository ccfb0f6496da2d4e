// NFA and DFA shapes, simple-string detection, limits, and matching through the DFA.
#include "RegexTestUtil.h"

#include <gtest/gtest.h>

namespace xavo {
namespace {

using testing::Compiled;
using testing::DumpDfa;
using testing::DumpNfa;

constexpr TCharCode kLF = 0x0A;

std::string NfaDump(const std::string& pattern, TCharCode head = kLineHeadMark, TCharCode tail = kLineTailMark) {
    TREParser parser(pattern);
    parser.Run();
    TRE_NFA nfa(parser, head, tail);
    nfa.Run();
    return DumpNfa(nfa);
}

TEST(Nfa, ShapesAndAnchors) {
    struct Row {
        const char* pattern;
        TCharCode anchor;
        const char* nfa;
    };
    const Row rows[] = {
        {"", kLineHeadMark, "0>1:e"},
        {"a", kLineHeadMark, "0>1:a"},
        {"^a", kLF, "0>2:0A 2>1:a"},
        {"^a", kLineHeadMark, "0>2:FFFD 2>1:a"},
        {"a$", kLF, "0>2:a 2>1:0A"},
        {"a^", kLF, "0>2:a 2>1:^"},
        {"$a", kLF, "0>2:$ 2>1:a"},
        {"a*", kLF, "0>2:e 2>1:e 2>3:a 3>2:e"},
        {"^a|^b", kLF, "0>3:0A 0>2:0A 2>1:a 3>1:b"},
        {"(^a|b)c", kLF, "0>2:b 0>3:0A 2>1:c 3>2:a"},
        {"(^a)*", kLF, "0>2:e 2>1:e 2>4:^ 3>2:e 4>3:a"},
        {"x*^a", kLF, "0>4:e 2>1:a 3>2:^ 4>3:e 4>5:x 5>4:e"},
        {"a$|b$", kLF, "0>3:b 0>2:a 2>1:0A 3>1:0A"},
    };
    for (const Row& row : rows) EXPECT_EQ(NfaDump(row.pattern, row.anchor, row.anchor), row.nfa) << row.pattern;
}

TEST(Nfa, ExplosiveNestingIsRefused) {
    // Every "+" repeats its operand, so nesting doubles the automaton each time.
    std::string p = "a";
    for (int i = 0; i < 40; ++i) p = "(" + p + ")+";
    try {
        Compiled c(p);
        FAIL();
    } catch (const ERegExpParser& e) {
        EXPECT_STREQ(e.what(), "正規表現が複雑すぎます");
        EXPECT_EQ(e.Position, 0);
    }
}

TEST(Dfa, ShapesOfSmallPatterns) {
    struct Row {
        const char* pattern;
        const char* dfa;
    };
    const Row rows[] = {
        {"", "0*[]"},
        {"a", "0[a>1] 1*[]"},
        {"a*", "0*[a>1] 1*[a>1]"},
        {"ab|ac", "0[a>1] 1[b>2,c>2] 2*[]"},
        {"[ab]c", "0[a>1,b>1] 1[c>2] 2*[]"},
        {"a(b|c)*", "0[a>1] 1*[b>2,c>2] 2*[b>2,c>2]"},
        // The move made last is turned into a state first: c before b from state 1.
        {"(a|ab)(c|bcd)", "0[a>1] 1[b>3,c>2] 2*[] 3[b>5,c>4] 4*[d>2] 5[c>6] 6[d>2]"},
    };
    for (const Row& row : rows) EXPECT_EQ(DumpDfa(Compiled(row.pattern).dfa), row.dfa) << row.pattern;
}

TEST(Dfa, SimpleStringDetection) {
    struct Row {
        const char* pattern;
        bool simple;
        const char* str;
    };
    const Row rows[] = {
        {"abc", true, "abc"},
        {"a[b]c", true, "abc"},
        {"(abc)", true, "abc"},
        {"", true, ""},
        {"\x83\x5c\x95\x5c", true, "\x83\x5c\x95\x5c"},
        {"^abc", true, "\nabc"},
        {"abc$", true, "abc\n"},
        {"[ab]c", false, ""},
        {"a|b", false, ""},
        {"ab*", false, ""},
        {"a.", false, ""},
        {"a?", false, ""},
        {"abc|abc", true, "abc"},  // the subset construction merges the two branches
        // Codes that no text reads as: not a string of text bytes.
        {"\\x4161", false, ""},
        {"^\\x080a", false, ""},
        {"a\\x82", false, ""},
    };
    for (const Row& row : rows) {
        Compiled c(row.pattern, kLF, kLF);
        EXPECT_EQ(c.dfa.FRegExpIsSimple, row.simple) << row.pattern;
        EXPECT_EQ(c.dfa.FSimpleRegExpStr, row.str) << row.pattern;
    }
}

TEST(Dfa, AnchorCodeOverlappingAClassRangeTakesTheLowerRange) {
    // "^" leaves the start state on 0A; the class 01-20 also covers 0A and sorts first.
    Compiled c("^a|[\\x01-\\x20]b", kLF, kLF);
    const TRE_DFAState* st = TRE_DFA::NextState(c.dfa.FStartState, kLF);
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(TRE_DFA::NextState(st, 'a'), nullptr);
    EXPECT_NE(TRE_DFA::NextState(st, 'b'), nullptr);
}

TEST(Dfa, SubsetExplosionIsRefusedQuickly) {
    std::string p = "(a|b)*a";
    for (int i = 0; i < 20; ++i) p += "(a|b)";
    try {
        Compiled c(p);
        FAIL();
    } catch (const ERegExpParser& e) {
        EXPECT_STREQ(e.what(), "正規表現が複雑すぎます");
        EXPECT_EQ(e.Position, 0);
    }
    // Ten steps back (2^11 states) is still an ordinary pattern.
    std::string ok = "(a|b)*a";
    for (int i = 0; i < 10; ++i) ok += "(a|b)";
    EXPECT_NO_THROW(Compiled c(ok));
}

// Codes of a CP932 byte string.
std::vector<TCharCode> Codes(const std::string& s) {
    std::vector<TCharCode> out;
    int pos = 1;
    while (pos <= static_cast<int>(s.size())) out.push_back(NextChar(s, pos));
    return out;
}

// Whether a run from some position of LF + text + LF succeeds (anchors are line feeds).
bool Search(const TRE_DFA& dfa, const std::string& text) {
    std::vector<TCharCode> codes = Codes(text);
    codes.insert(codes.begin(), kLF);
    codes.push_back(kLF);
    for (std::size_t start = 0; start < codes.size(); ++start) {
        const TRE_DFAState* st = dfa.FStartState;
        for (std::size_t i = start; i < codes.size(); ++i) {
            st = TRE_DFA::NextState(st, codes[i]);
            if (st == nullptr) break;
            if (st->Accepted) return true;
        }
    }
    return false;
}

TEST(Matching, TableOfPatternsAndTexts) {
    struct Row {
        const char* pattern;
        const char* text;
        bool match;
    };
    const Row rows[] = {
        {"abc", "xxabcxx", true},
        {"abc", "ab", false},
        {"abc", "ABC", false},
        {"a*", "xyz", false},  // a match consumes at least one code
        {"a*", "xay", true},
        {"", "anything", false},
        {"()", "anything", false},
        {"^abc", "abcd", true},
        {"^abc", "xabc", false},
        {"abc$", "xabc", true},
        {"abc$", "abcx", false},
        {"^$", "", true},
        {"^$", "x", false},
        {"^", "x", true},
        {"$", "", true},
        {"a^b", "a^b", true},
        {"a$b", "a$b", true},
        {"a.c", "abc", true},
        {"a.c", "a\rc", false},
        {"a.c", "a\x83\x5c" "c", true},  // a double-byte character is one code
        {"\x83\x5c", "\x83\x5c", true},
        {"\\\\", "\x83\x5c", false},   // the trail byte 5C is no backslash
        {"\\x5c", "\x95\x5c", false},
        {"[\\x5c]", "\x94\x5c", false},
        {"[^a]", "\n", false},
        {"[^a]", "b", true},
        {"[^a]", "a", false},
        {"[\x82\xa0-\x82\xf1]+", "\x83\x41", false},  // hiragana range, katakana text
        {"[\x82\xa0-\x82\xf1]+", "x\x82\xa9y", true},
        {"(ab|cd)+e", "abcdabe", true},
        {"(ab|cd)+e", "abce", false},
        {"colou?r", "color", true},
        {"colou?r", "colour", true},
        {"colou?r", "colouur", false},
        {"\\x41\\102C", "ABC", true},
        {"a\\nb", "a", false},
        {"[\\x01-\\x20]b", " b", true},
    };
    for (const Row& row : rows) {
        Compiled c(row.pattern, kLF, kLF);
        EXPECT_EQ(Search(c.dfa, row.text), row.match) << row.pattern << " on " << row.text;
    }
}

}  // namespace
}  // namespace xavo
