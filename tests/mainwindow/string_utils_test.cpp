// The main window's string utilities on Shift-JIS bytes: trimming, cutting at a delimiter
// and comparing ignoring case, with double-byte characters never split.
#include "StringUtils.h"

#include <gtest/gtest.h>

using namespace xavo;

namespace {

// Shift-JIS bytes of a few characters used below.
const std::string kWideSpace = "\x81\x40";  // full-width space
const std::string kSmallA = "\x83\x40";     // ァ: its trail byte is the space's
const std::string kSo = "\x83\x5C";         // ソ: its trail byte is a backslash
const std::string kHyo = "\x95\x5C";        // 表

TEST(TrimSpacesTest, RemovesHalfAndFullWidthSpacesAtBothEnds) {
    struct Case {
        std::string In, Out;
    } cases[] = {
        {"", ""},
        {"   ", ""},
        {kWideSpace + " " + kWideSpace, ""},
        {"  abc  ", "abc"},
        {kWideSpace + "abc" + kWideSpace + " ", "abc"},
        {"a b" + kWideSpace + "c", "a b" + kWideSpace + "c"},  // inner blanks stay
        {"abc" + kSmallA, "abc" + kSmallA},                    // ァ is not a space
        {kSmallA + " ", kSmallA},
        {"\x83" "@" + std::string(" "), kSmallA},              // same bytes written otherwise
        {"x\x81", "x\x81"},                                    // a lone lead byte at the end
        {"\x81", "\x81"},
    };
    for (const Case& c : cases) EXPECT_EQ(TrimSpaces(c.In), c.Out) << c.In;
}

TEST(TrimSpacesTest, TrailingSpaceBytesInsideACharacterStay) {
    // 0x83 0x40 0x40: ァ then '@'; 0x81 0x81 0x40: a character then '@' — never a full-width space.
    EXPECT_EQ(TrimSpaces("\x88\x9f\x81\x40"), "\x88\x9f");           // 亜 + full-width space
    EXPECT_EQ(TrimSpaces("\x81\x81\x40"), "\x81\x81\x40");          // ＝ then '@'
    EXPECT_EQ(TrimSpaces("\x81\x81\x40 "), "\x81\x81\x40");
}

TEST(CutTokenTest, CutsAtTheFirstDelimiterCharacter) {
    std::string s = "a:b:c";
    EXPECT_EQ(CutToken(s, ":"), "a");
    EXPECT_EQ(s, "b:c");
    EXPECT_EQ(CutToken(s, ":"), "b");
    EXPECT_EQ(CutToken(s, ":"), "c");
    EXPECT_EQ(s, "");
    EXPECT_EQ(CutToken(s, ":"), "");

    s = "key=value;rest";
    EXPECT_EQ(CutToken(s, ";="), "key");
    EXPECT_EQ(s, "value;rest");
}

TEST(CutTokenTest, SkipsTheTrailByteOfADoubleByteCharacter) {
    std::string s = kSo + "\\x\\y";
    EXPECT_EQ(CutToken(s, "\\"), kSo);
    EXPECT_EQ(s, "x\\y");
    s = kHyo + kHyo;
    EXPECT_EQ(CutToken(s, "\\"), kHyo + kHyo);
    EXPECT_EQ(s, "");
}

TEST(SplitFirstTest, FoundOrLeftAsItWas) {
    bool found = false;
    std::string s = "name@dir@mask";
    EXPECT_EQ(SplitFirst(s, '@', found), "name");
    EXPECT_TRUE(found);
    EXPECT_EQ(s, "dir@mask");

    s = "no separator";
    EXPECT_EQ(SplitFirst(s, '@', found), "no separator");
    EXPECT_FALSE(found);
    EXPECT_EQ(s, "no separator");

    // 0x82 0x40 is not a character start for '@' (0x40 is its trail byte).
    s = "\x82\x40" "x@y";
    EXPECT_EQ(SplitFirst(s, '@', found), "\x82\x40" "x");
    EXPECT_TRUE(found);
    EXPECT_EQ(s, "y");
    s = std::string("\x83\x40");
    EXPECT_EQ(SplitFirst(s, '@', found), "\x83\x40");
    EXPECT_FALSE(found);
}

TEST(CompareTextIgnoringCaseTest, FoldsAsciiAndFullWidthLetters) {
    const std::pair<std::string, std::string> same[] = {
        {"GREP", "grep"},
        {"\x82\x60\x82\x61", "\x82\x81\x82\x82"},  // ＡＢ / ａｂ
        {"\x83\x9f", "\x83\xbf"},                  // Α / α
        {"\x84\x40", "\x84\x70"},                  // А / а
        {"\x84\x4f", "\x84\x80"},                  // О / о (after the gap at 0x847F)
        {"\x84\x60", "\x84\x91"},                  // Я / я
    };
    for (const auto& [a, b] : same) {
        EXPECT_TRUE(SameTextIgnoringCase(a, b)) << a << " / " << b;
        EXPECT_NE(CompareTextIgnoringCase(a, b), 0);  // equal folded, ordered by bytes
        EXPECT_EQ(CompareTextIgnoringCase(a, b), -CompareTextIgnoringCase(b, a));
    }
    // A trail byte in 'A'..'Z' is no letter: ソ (0x83 0x5C) vs 0x83 0x7C differ; 0x83 0x41 vs 0x83 0x61 too.
    EXPECT_FALSE(SameTextIgnoringCase("\x83\x41", "\x83\x61"));
    EXPECT_FALSE(SameTextIgnoringCase("abc", "abcd"));
    EXPECT_LT(CompareTextIgnoringCase("abc", "ABCD"), 0);
    EXPECT_LT(CompareTextIgnoringCase("Apple", "banana"), 0);
    EXPECT_EQ(CompareTextIgnoringCase("same", "same"), 0);
}

}  // namespace
