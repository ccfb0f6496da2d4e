// Character helpers and scanner: escapes, classes, double-byte characters, errors.
#include "Scanner.h"

#include <gtest/gtest.h>

#include <vector>

namespace xavo {
namespace {

// Tokens of a whole pattern, each as kind and codes.
struct Tok {
    TREToken kind;
    TCharCode code;
    TCharCode to;
    bool operator==(const Tok&) const = default;
};

std::vector<Tok> Scan(const std::string& pattern) {
    TREScanner scanner(pattern);
    std::vector<Tok> out;
    for (;;) {
        const TREToken t = scanner.GetToken();
        out.push_back({t, scanner.FCode, t == retkCharRange ? scanner.FCodeTo : TCharCode{0}});
        if (t == retkEnd) return out;
    }
}

// The message and position of the error that scanning the pattern raises.
std::pair<std::string, int> ScanError(const std::string& pattern) {
    try {
        Scan(pattern);
    } catch (const ERegExpParser& e) {
        return {e.what(), e.Position};
    }
    return {"no error", -1};
}

TEST(CharHelpers, NextCharCombinesLeadAndTrailBytes) {
    const std::string s = "a\x83\x5c" "b";  // a ソ b
    int pos = 1;
    EXPECT_EQ(NextChar(s, pos), 'a');
    EXPECT_EQ(NextChar(s, pos), 0x835C);
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(NextChar(s, pos), 'b');
    EXPECT_EQ(NextChar(s, pos), 0);
    EXPECT_EQ(pos, 5);
    pos = 0;
    EXPECT_EQ(NextChar(s, pos), 0);
    EXPECT_EQ(pos, 0);
}

TEST(CharHelpers, LoneLeadByteAtTheEndIsAnError) {
    const std::string s = "ab\x82";
    int pos = 3;
    try {
        NextChar(s, pos);
        FAIL();
    } catch (const ERegExpParser& e) {
        EXPECT_STREQ(e.what(), "不正な２バイト文字コードです。");
        EXPECT_EQ(e.Position, 3);
    }
}

TEST(CharHelpers, StepBackSeesTrailBytesInContext) {
    // "\x82\xa0\x82" + "a": the byte before 'a' is a lead byte only by position.
    const std::string kana = "\x82\xa0\x83\x5c";  // あ ソ
    int pos = 5;
    StepBack(kana, pos);
    EXPECT_EQ(pos, 3);
    StepBack(kana, pos);
    EXPECT_EQ(pos, 1);
    StepBack(kana, pos);
    EXPECT_EQ(pos, 1);
    // 0x83 here is a trail byte (of 0x8183), so stepping back over 'a' moves one byte.
    const std::string trail = "\x81\x83" "a";
    pos = 4;
    StepBack(trail, pos);
    EXPECT_EQ(pos, 3);
    pos = 9;  // beyond the end + 1: unchanged
    StepBack(trail, pos);
    EXPECT_EQ(pos, 9);
}

TEST(CharHelpers, CodeToStrAndEscapeMetaChars) {
    EXPECT_EQ(CodeToStr('a'), "a");
    EXPECT_EQ(CodeToStr(0x835C), "\x83\x5c");
    EXPECT_EQ(CodeToStr(0x4142), "B");  // 0x41 is no lead byte: only the low byte
    EXPECT_EQ(EscapeMetaChars("^(|)+*?.[]$\\-a"), "\\^\\(\\|\\)\\+\\*\\?\\.\\[\\]\\$\\\\-a");
    // Trail bytes 0x5C, 0x5B, 0x5D and 0x7C belong to their characters: no backslash.
    EXPECT_EQ(EscapeMetaChars("\x83\x5c\x95\x5c\x94\x5c\x81\x5b\x81\x5d\x83\x7c"),
              "\x83\x5c\x95\x5c\x94\x5c\x81\x5b\x81\x5d\x83\x7c");
}

TEST(Scanner, Escapes) {
    struct Row {
        const char* pattern;
        std::vector<TCharCode> codes;
    };
    const Row rows[] = {
        {"\\x4142", {0x4142}},
        {"\\x41424", {0x4142, '4'}},
        {"\\x4g", {0x4, 'g'}},
        {"\\xFfFf", {0xFFFF}},
        {"\\177777", {0xFFFF}},
        {"\\1777777", {0xFFFF, '7'}},
        {"\\101", {'A'}},
        {"\\0", {0}},
        {"\\8", {'8'}},
        {"\\b\\r\\n\\t", {0x08, 0x0D, 0x0A, 0x09}},
        {"\\.\\\\\\]\\z", {'.', '\\', ']', 'z'}},
        {"\\\x83\x5c", {0x835C}},
    };
    for (const Row& row : rows) {
        std::vector<Tok> expected;
        for (const TCharCode c : row.codes) expected.push_back({retkChar, c, 0});
        expected.push_back({retkEnd, 0, 0});
        EXPECT_EQ(Scan(row.pattern), expected) << row.pattern;
    }
}

TEST(Scanner, OperatorsOutsideClasses) {
    const std::vector<Tok> expected = {
        {retkLHead, '^', 0}, {retkLPar, '(', 0},  {retkChar, 'a', 0}, {retkUnion, '|', 0},
        {retkRPar, ')', 0},  {retkStar, '*', 0},  {retkPlus, '+', 0}, {retkQMark, '?', 0},
        {retkDot, '.', 0},   {retkRBra, ']', 0},  {retkLTail, '$', 0}, {retkEnd, 0, 0},
    };
    EXPECT_EQ(Scan("^(a|)*+?.]$"), expected);
}

TEST(Scanner, ClassMembersAndRanges) {
    EXPECT_EQ(Scan("[a-]"), (std::vector<Tok>{{retkLBra, '[', 0}, {retkChar, 'a', 0},
                                              {retkChar, '-', 0}, {retkRBra, ']', 0}, {retkEnd, 0, 0}}));
    EXPECT_EQ(Scan("[-a]"), (std::vector<Tok>{{retkLBra, '[', 0}, {retkChar, '-', 0},
                                              {retkChar, 'a', 0}, {retkRBra, ']', 0}, {retkEnd, 0, 0}}));
    EXPECT_EQ(Scan("[\\]]"), (std::vector<Tok>{{retkLBra, '[', 0}, {retkChar, ']', 0},
                                               {retkRBra, ']', 0}, {retkEnd, 0, 0}}));
    EXPECT_EQ(Scan("[^a-z\\x30-\\x39]"),
              (std::vector<Tok>{{retkLBraNegative, '[', 0}, {retkCharRange, 'a', 'z'},
                                {retkCharRange, '0', '9'}, {retkRBra, ']', 0}, {retkEnd, 0, 0}}));
    // Metacharacters are members inside a class; "^" after the first position too.
    EXPECT_EQ(Scan("[(.^]"), (std::vector<Tok>{{retkLBra, '[', 0}, {retkChar, '(', 0}, {retkChar, '.', 0},
                                               {retkChar, '^', 0}, {retkRBra, ']', 0}, {retkEnd, 0, 0}}));
    // A double-byte character whose trail byte is "]" does not close the class.
    EXPECT_EQ(Scan("[\x81\x5d-\x94\x5c]"),
              (std::vector<Tok>{{retkLBra, '[', 0}, {retkCharRange, 0x815D, 0x945C},
                                {retkRBra, ']', 0}, {retkEnd, 0, 0}}));
}

TEST(Scanner, DoubleByteCharactersWithMetaTrailBytesAreOrdinary) {
    // ソ (0x835C), 表 (0x955C), 能 (0x945C), ー (0x815B), ］ (0x816E), ポ (0x837C)
    const std::string s = "\x83\x5c\x95\x5c\x94\x5c\x81\x5b\x81\x5d\x83\x7c";
    const std::vector<Tok> expected = {{retkChar, 0x835C, 0}, {retkChar, 0x955C, 0}, {retkChar, 0x945C, 0},
                                       {retkChar, 0x815B, 0}, {retkChar, 0x815D, 0}, {retkChar, 0x837C, 0},
                                       {retkEnd, 0, 0}};
    EXPECT_EQ(Scan(s), expected);
}

TEST(Scanner, ErrorsCarryMessageAndPosition) {
    struct Row {
        const char* pattern;
        const char* message;
        int position;
    };
    const Row rows[] = {
        {"ab\\", "\"\\\"の次には文字が必要です。", 4},
        {"\\xg", "不正な１６進数コード表記です。", 4},
        {"a\\x", "不正な１６進数コード表記です。", 4},
        {"\\200000", "不正な８進数コード表記です。", 8},
        {"[", "右ブラケット\"]\"が必要です", 2},
        {"[abc", "右ブラケット\"]\"が必要です", 5},
        {"[a-", "右ブラケット\"]\"が必要です", 4},
        {"[a", "右ブラケット\"]\"が必要です", 3},
        {"[z-a]", "不正なキャラクタ範囲です", 5},
        {"ab\x82", "不正な２バイト文字コードです。", 3},
        {"[\x82", "不正な２バイト文字コードです。", 2},
    };
    for (const Row& row : rows) {
        const auto [message, position] = ScanError(row.pattern);
        EXPECT_EQ(message, row.message) << row.pattern;
        EXPECT_EQ(position, row.position) << row.pattern;
    }
}

TEST(Scanner, SetTextAfterAnErrorInsideAClassStartsOutsideIt) {
    TREScanner scanner("[ab");
    scanner.GetToken();
    scanner.GetToken();
    EXPECT_THROW(scanner.GetToken(), ERegExpParser);
    scanner.SetText("a]");
    EXPECT_EQ(scanner.GetToken(), retkChar);
    EXPECT_EQ(scanner.GetToken(), retkRBra);
    EXPECT_EQ(scanner.GetToken(), retkEnd);
    EXPECT_EQ(scanner.GetToken(), retkEnd);
}

}  // namespace
}  // namespace xavo
