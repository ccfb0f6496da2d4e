// Completion of the GREP bar on Shift-JIS bytes.
#include "Completion.h"

#include <gtest/gtest.h>

namespace xavo {
namespace {

TEST(UpperAsciiLetters, TouchesSingleByteLettersOnly) {
    EXPECT_EQ(UpperAsciiLetters("abcXYZ09"), "ABCXYZ09");
    EXPECT_EQ(UpperAsciiLetters("\x83\x61z"), "\x83\x61Z");  // trail byte 'a' stays
    EXPECT_EQ(UpperAsciiLetters("\xB1" "a"), "\xB1" "A");
    EXPECT_EQ(UpperAsciiLetters("a\x83"), "A\x83");           // a lone lead byte at the end
}

TEST(FindCompletion, TakesTheFirstItemThatBeginsWithTheText) {
    const std::vector<std::string> items = {"abcdef", "abc", "xyz"};
    const struct {
        std::string text;
        int index;
        std::string completeWith;
    } rows[] = {
        {"ab", 0, "cdef"},
        {"abc", 0, "def"},       // the earlier, longer item wins
        {"ABC", 0, "def"},       // case of ASCII letters does not matter
        {"abcdef", 0, ""},       // equal text: an empty completion
        {"", 0, "abcdef"},       // the empty text matches the first item whole
        {"xy", 2, "z"},
        {"q", -1, "unchanged"},
        {"abcdefg", -1, "unchanged"},
    };
    for (const auto& row : rows) {
        std::string completeWith = "unchanged";
        EXPECT_EQ(FindCompletion(row.text, items, completeWith), row.index) << row.text;
        EXPECT_EQ(completeWith, row.completeWith) << row.text;
    }
}

TEST(FindCompletion, NeverMatchesHalfACharacterOrAFoldedTrailByte) {
    std::string completeWith;
    // 0x8341 and 0x8361 differ only in a trail byte that is a letter: different characters.
    EXPECT_EQ(FindCompletion("\x83\x61", {"\x83\x41xyz"}, completeWith), -1);
    EXPECT_EQ(FindCompletion("\x83\x41", {"\x83\x41xyz"}, completeWith), 0);
    EXPECT_EQ(completeWith, "xyz");
    // A text ending in a lone lead byte does not complete into the middle of a character.
    EXPECT_EQ(FindCompletion("\x83", {"\x83\x5C"}, completeWith), -1);
}

}  // namespace
}  // namespace xavo
