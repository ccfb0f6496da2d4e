// Literal search on Shift-JIS byte text: the edge cases of the text view's find, the
// character-boundary rule, and a cross-check against a plain reference search.
#include "TextSearch.h"

#include "TextBuffer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace xavo {
namespace {

struct SearchCase {
    const char* name;
    std::string buffer;
    int selStart;
    int selLength;
    std::string pattern;
    TFindOptions options;
    int expected;
};

class SearchBufferTable : public testing::TestWithParam<SearchCase> {};

TEST_P(SearchBufferTable, FindsTheExpectedPosition) {
    const SearchCase& c = GetParam();
    EXPECT_EQ(SearchBuffer(c.buffer, c.selStart, c.selLength, c.pattern, c.options), c.expected) << c.name;
}

const SearchCase kEdgeCases[] = {
    {"forward match ending at the end", "xxabc", 0, 0, "abc", frDown, 2},
    {"backward match at position 0", "abcxx", 5, 0, "abc", 0, 0},
    {"forward from a selected match finds the next", "abc abc", 0, 3, "abc", frDown, 4},
    {"forward from the caret after a match", "abc abc", 3, 0, "abc", frDown, 4},
    {"backward from a selected match finds the previous", "abc abc", 4, 3, "abc", 0, 0},
    {"nothing after the last match", "abc abc", 4, 3, "abc", frDown, -1},
    {"empty buffer", "", 0, 0, "a", frDown, -1},
    {"pattern longer than the rest", "abc", 1, 0, "abc", frDown, -1},
    {"backward with too little text before", "abc", 2, 0, "abc", 0, -1},
    {"backward from past the end", "abc", 9, 0, "abc", 0, -1},
    {"case folded for an ASCII pattern", "xxABC", 0, 0, "abc", frDown, 2},
    {"case kept with frMatchCase", "xxABC", 0, 0, "abc", frDown | frMatchCase, -1},
    {"double-byte pattern compares exactly", "a\x83\x41", 0, 0, "A\x83\x41", frDown, -1},
    {"double-byte pattern found exactly", "A\x83\x41", 0, 0, "A\x83\x41", frDown, 0},
    // Whole words: the word the forward search starts in is skipped, even at position 0.
    {"whole word skips the word at 0", "abc abc", 0, 0, "abc", frDown | frWholeWord, 4},
    {"whole word, only word at 0", "abc", 0, 0, "abc", frDown | frWholeWord, -1},
    {"whole word needs a delimiter after", "x abcd abc", 0, 0, "abc", frDown | frWholeWord, 7},
    {"whole word inside a word is no match", "xabc", 0, 0, "abc", frDown | frWholeWord, -1},
    {"whole word backward", "abc abc", 7, 0, "abc", frWholeWord, 4},
    {"whole word backward to position 0", "abc abc", 4, 0, "abc", frWholeWord, 0},
    {"whole word backward skips a longer word", "abc abcd", 8, 0, "abc", frWholeWord, 0},
    // Matches start and end on character boundaries.
    {"backslash is not the trail byte of so", "\x83\x5C", 0, 0, "\\", frDown, -1},
    {"backslash after so", "\x83\x5C\\", 0, 0, "\\", frDown, 2},
    {"backslash backward skips the trail byte", "\\\x83\x5C", 3, 0, "\\", 0, 0},
    {"half-width katakana is found", "ab\xB1", 0, 0, "\xB1", frDown, 2},
    {"half-width katakana backward", "\xB1" "ab", 3, 0, "\xB1", 0, 0},
    {"katakana byte as a trail byte is skipped", "\x83\xB1\xB1", 0, 0, "\xB1", frDown, 2},
    {"letter as a trail byte is skipped", "\x83\x61", 0, 0, "a", frDown, -1},
    {"letter as a trail byte is no word start", " \x83\x41" "bc", 0, 0, "abc", frDown | frWholeWord, -1},
    {"match may not end inside a character", "\x83\x5C", 0, 0, "\x83", frDown, -1},
    {"a lone lead byte matches itself", "a\x83", 0, 0, "\x83", frDown, 1},
};

INSTANTIATE_TEST_SUITE_P(EdgeCases, SearchBufferTable, testing::ValuesIn(kEdgeCases));

// Where every character starts, walking from the beginning.
std::vector<bool> Boundaries(const std::string& text) {
    std::vector<bool> at(text.size() + 1, false);
    for (std::size_t i = 0; i < text.size(); i += static_cast<std::size_t>(SjisCharLength(text, i))) at[i] = true;
    at[text.size()] = true;
    return at;
}

// Random CP932-like text whose double-byte characters have trail bytes that are also
// letters, backslashes and lead bytes, so that byte matches inside characters abound.
std::string RandomText(std::mt19937& rng, std::size_t chars) {
    static const char* pieces[] = {"a", "A", "b", "\\", " ", "\r\n", "\xB1", "\x83\x5C", "\x83\x61", "\x83\x41",
                                   "\x88\x9F", "\x9F\x88", "\x83\xB1", "\xE0\x81", "\x81\x40", "\x83"};
    std::string s;
    for (std::size_t i = 0; i < chars; ++i) s += pieces[rng() % std::size(pieces)];
    return s;
}

TEST(CharBoundary, AgreesWithAWalkFromTheStart) {
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        const std::string text = RandomText(rng, rng() % 30);
        const std::vector<bool> expected = Boundaries(text);
        for (std::size_t pos = 0; pos <= text.size(); ++pos)
            ASSERT_EQ(IsCharBoundary(text, pos), expected[pos]) << round << " at " << pos;
    }
}

// The first (forward) or last (backward) position where Pattern lies on boundaries,
// comparing every candidate byte by byte.
int ReferenceSearch(const std::string& text, int from, const std::string& pattern, bool down, bool foldCase) {
    const std::vector<bool> at = Boundaries(text);
    const auto fold = [&](char c) { return foldCase && c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    const auto matches = [&](int c) {
        if (c < 0 || c + static_cast<int>(pattern.size()) > static_cast<int>(text.size())) return false;
        for (std::size_t i = 0; i < pattern.size(); ++i)
            if (fold(text[static_cast<std::size_t>(c) + i]) != fold(pattern[i])) return false;
        return at[static_cast<std::size_t>(c)] && at[static_cast<std::size_t>(c) + pattern.size()];
    };
    if (down) {
        for (int c = from; c + static_cast<int>(pattern.size()) <= static_cast<int>(text.size()); ++c)
            if (matches(c)) return c;
    } else {
        for (int c = from - static_cast<int>(pattern.size()); c >= 0; --c)
            if (matches(c)) return c;
    }
    return -1;
}

TEST(SearchBufferCrossCheck, AgreesWithTheReferenceOnRandomText) {
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        const std::string text = RandomText(rng, 1 + rng() % 40);
        const std::string pattern = RandomText(rng, 1 + rng() % 2);
        const int from = static_cast<int>(rng() % (text.size() + 1));
        const bool down = rng() % 2 == 0;
        const bool matchCase = rng() % 2 == 0;
        bool ascii = true;
        for (const char c : pattern) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        const TFindOptions options = (down ? frDown : 0u) | (matchCase ? frMatchCase : 0u);
        ASSERT_EQ(SearchBuffer(text, from, 0, pattern, options),
                  ReferenceSearch(text, from, pattern, down, !matchCase && ascii))
            << "round " << round;
    }
}


// Small windows force every match near a window's edge; the answer must be that of one
// search over the whole view text.
TEST(FindInBuffer, WindowedFindAgreesWithTheWholeText) {
    const std::string so = "\x83\x5C";
    const std::vector<std::string> texts = {
        "abc " + so + "\\ ABC\r\nxabc abcx\r\n\r\nabc",
        "abc\nab\nc abc\rabc\r\n" + so + "abc\n",
        std::string(300, 'a') + "\n" + so + so + "\\\\abc",
        [&] {  // one long line of words, double-byte characters whose trail is a backslash, and lead-range runs
            std::string line;
            for (int i = 0; i < 40; ++i) line += (i % 3 ? "abc " : "xabc") + so + "\x88\x9F\x88\x9F" + (i % 5 ? "\\" : "abc");
            return line;
        }(),
    };
    const std::vector<std::string> patterns = {"abc", "ABC", "\\", "a", "c\r\na", so};
    std::mt19937 random(17);
    for (const std::string& text : texts) {
        const TTextBuffer buffer{TFileBytes(std::string(text))};
        const std::string whole = buffer.Text();
        for (const std::string& pattern : patterns)
            for (const TFindOptions options : {0u, unsigned(frDown), unsigned(frDown | frMatchCase), unsigned(frWholeWord),
                                               unsigned(frDown | frWholeWord)})
                for (int trial = 0; trial < 40; ++trial) {
                    const int start = static_cast<int>(random() % (whole.size() + 1));
                    const int length = static_cast<int>(random() % 4);
                    const int expected = SearchBuffer(whole, start, length, pattern, options);
                    for (const std::int64_t window : {1, 5, 64})
                        ASSERT_EQ(FindInBuffer(buffer, pattern, start, length, options, window), expected)
                            << "text " << (&text - texts.data()) << " pattern " << pattern << " options " << options
                            << " from " << start << "+" << length << " window " << window;
                }
        // Every match of successive forward searches, in one pass.
        for (const std::string& pattern : patterns)
            for (const TFindOptions options : {unsigned(frDown), unsigned(frDown | frMatchCase), unsigned(frDown | frWholeWord)}) {
                std::vector<std::int64_t> expected;
                for (int at = 0;;) {
                    const int hit = SearchBuffer(whole, at, 0, pattern, options);
                    if (hit < 0) break;
                    expected.push_back(hit);
                    at = hit + static_cast<int>(pattern.size());
                }
                for (const std::int64_t window : {1, 5, 64})
                    ASSERT_EQ(FindAllInBuffer(buffer, pattern, 0, options, {}, window).Starts, expected)
                        << "pattern " << pattern << " window " << window;
            }
    }
}

TEST(FindInBuffer, AQuestionMarkNeverMatchesAForeignUnit) {
    const TTextBuffer buffer(ToSjisText(u"¥?a¥b?"));
    EXPECT_EQ(FindInBuffer(buffer, "?", 0, 0, frDown), 1);
    EXPECT_EQ(FindInBuffer(buffer, "?", 2, 0, frDown), 5);
    EXPECT_EQ(FindInBuffer(buffer, "?", 5, 0, 0), 1);
    EXPECT_EQ(FindInBuffer(buffer, "?b", 0, 0, frDown), -1);
    EXPECT_EQ(FindAllInBuffer(buffer, "?", 0, frDown).Starts, (std::vector<std::int64_t>{1, 5}));
    EXPECT_EQ(FindInBuffer(buffer, "a", 0, 0, frDown), 2);
}

TEST(FindAllInBuffer, ProgressIsToldAndMayStopThePass) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "line foo\r\n";
    const TTextBuffer buffer{TFileBytes(std::string(text))};
    std::vector<std::int64_t> told;
    const TFoundAll all = FindAllInBuffer(buffer, "foo", 0, frDown, [&](std::int64_t done, std::int64_t length) {
        EXPECT_EQ(length, buffer.Length());
        told.push_back(done);
        return true;
    }, 1000);
    EXPECT_EQ(all.Starts.size(), 1000u);
    EXPECT_FALSE(all.Cancelled);
    EXPECT_GT(told.size(), 5u);
    EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
    EXPECT_EQ(told.back(), buffer.Length());
    const TFoundAll stopped = FindAllInBuffer(buffer, "foo", 0, frDown, [](std::int64_t, std::int64_t) { return false; }, 1000);
    EXPECT_TRUE(stopped.Cancelled);
    EXPECT_TRUE(stopped.Starts.empty());
}

}  // namespace
}  // namespace xavo
