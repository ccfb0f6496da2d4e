// The string helpers on Shift-JIS bytes: double-byte characters are never split, so a
// second byte that looks like a space, a delimiter or a separator is left alone.
#include "StringUtils.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace xavo {
namespace {

// Bytes: full-width space, ァ (second byte 0x40, the same as "@"), 表 (second byte "\").
constexpr const char* kWideSpace = "\x81\x40";
constexpr const char* kSmallA = "\x83\x40";
constexpr const char* kOmote = "\x95\x5c";

std::string S(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (std::string_view p : parts) s += p;
    return s;
}

TEST(TrimSpaces, RemovesHalfAndFullWidthSpacesAtBothEndsOnly) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"   ", ""},
        {S({kWideSpace, " ", kWideSpace}), ""},
        {" a b ", "a b"},
        {S({kWideSpace, "abc", kWideSpace, kWideSpace}), "abc"},
        {S({"ab", kSmallA}), S({"ab", kSmallA})},                     // ァ is not a space
        {S({kSmallA, " "}), kSmallA},
        {S({" ", kSmallA, kWideSpace}), kSmallA},
        {S({"x", kWideSpace, "y"}), S({"x", kWideSpace, "y"})},       // inner spaces stay
        {"a\x81", "a\x81"},                                            // a lone lead byte at the end
        {S({"\x81", kWideSpace}), S({"\x81", kWideSpace})},          // 0x81 0x81 pairs, then a plain "@"
    };
    for (const auto& c : cases) EXPECT_EQ(TrimSpaces(c.in), c.out) << c.in;
}

TEST(CutToken, CutsAtTheFirstDelimiterThatIsACharacter) {
    const struct {
        std::string in, delimiters, head, rest;
    } cases[] = {
        {"a:b:c", ":", "a", "b:c"},
        {"abc", ":", "abc", ""},
        {"", ":", "", ""},
        {":x", ":", "", "x"},
        {"a b:c", ": ", "a", "b:c"},
        {S({kOmote, "\\x"}), "\\", kOmote, "x"},                        // 表 holds a "\" byte
        {S({kOmote, kOmote}), "\\", S({kOmote, kOmote}), ""},
        {"C:\\d\\a.txt 12:text:more", ":", "C", "\\d\\a.txt 12:text:more"},
    };
    for (const auto& c : cases) {
        std::string s = c.in;
        EXPECT_EQ(CutToken(s, c.delimiters), c.head) << c.in;
        EXPECT_EQ(s, c.rest) << c.in;
    }
}

TEST(SplitFirst, SplitsAtTheFirstSeparatorOnACharacterBoundary) {
    const struct {
        std::string in;
        bool found;
        std::string head, rest;
    } cases[] = {
        {"name@/dir/@*.txt", true, "name", "/dir/@*.txt"},
        {"@x", true, "", "x"},
        {"plain", false, "plain", "plain"},   // not found: S stays as it was
        {"", false, "", ""},
        {S({kSmallA, "@x"}), true, kSmallA, "x"},
        {S({"a", kSmallA, kSmallA}), false, S({"a", kSmallA, kSmallA}), S({"a", kSmallA, kSmallA})},
    };
    for (const auto& c : cases) {
        std::string s = c.in;
        bool found = !c.found;
        EXPECT_EQ(SplitFirst(s, '@', found), c.head) << c.in;
        EXPECT_EQ(found, c.found) << c.in;
        EXPECT_EQ(s, c.rest) << c.in;
    }
}

TEST(ExpandLongPath, MakesAbsoluteAndNormalisedWithoutResolvingLinks) {
    test::TTempDir dir;
    const std::string root = dir.Root().substr(0, dir.Root().size() - 1);
    std::filesystem::create_directories(dir.Path("real"));
    dir.File("real/memo.txt", "x");
    std::filesystem::create_directory_symlink(dir.Path("real"), dir.Path("link"));

    const std::string old = std::filesystem::current_path().string();
    ASSERT_EQ(::chdir(root.c_str()), 0);
    EXPECT_EQ(ExpandLongPath("real/./memo.txt"), root + "/real/memo.txt");
    EXPECT_EQ(ExpandLongPath("link/../real//memo.txt"), root + "/real/memo.txt");
    EXPECT_EQ(ExpandLongPath("link/memo.txt"), root + "/link/memo.txt");  // the link stays
    EXPECT_EQ(ExpandLongPath("missing.txt"), root + "/missing.txt");
    EXPECT_EQ(ExpandLongPath("/"), "/");
    ASSERT_EQ(::chdir(old.c_str()), 0);
}

TEST(CompareTextIgnoringCase, FoldsAsciiAndFullWidthLetters) {
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
}  // namespace xavo
