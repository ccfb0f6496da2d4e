// The vector scans against plain loops on random text, with and without wide vectors.
#include "ByteScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace xavo {
namespace {

// Random text over a small alphabet, so that every byte of interest turns up often.
std::string RandomText(std::mt19937& random, std::size_t size) {
    static const unsigned char alphabet[] = {'a', 'b', 'A', 'B', '\r', '\n', '\0', 0x82, 0x83, 0xa0, 0x5c, 'e', 0x41 | 0x80};
    std::string text(size, ' ');
    for (char& c : text) c = static_cast<char>(alphabet[random() % sizeof alphabet]);
    return text;
}

class ByteScans : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { UseWideVectors(GetParam()); }
    void TearDown() override { UseWideVectors(true); }
};

TEST_P(ByteScans, AgreeWithPlainLoops) {
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        const std::string text = RandomText(random, random() % 300);
        const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
        const auto* end = begin + text.size();
        const std::size_t from = text.empty() ? 0 : random() % text.size();

        std::size_t lineFeeds = 0;
        for (const char c : text) lineFeeds += c == '\n';
        EXPECT_EQ(CountLineFeeds(begin, end), lineFeeds);

        std::size_t breaks = 0, pairs = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool pair = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
            pairs += pair;
            breaks += text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'));
        }
        const TLineBreakCount breakCount = CountLineBreaks(begin, end);
        EXPECT_EQ(breakCount.Breaks, breaks);
        EXPECT_EQ(breakCount.CrLfs, pairs);

        // Normalising: NUL to space, lone CR to LF; the count is of the result.
        std::string normalized = text + '\0';
        std::string expected = text;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (expected[i] == '\0') expected[i] = ' ';
            if (expected[i] == '\r' && (i + 1 == expected.size() || text[i + 1] != '\n')) expected[i] = '\n';
        }
        auto* data = reinterpret_cast<unsigned char*>(normalized.data());
        const std::size_t counted = NormalizeText(data, data + text.size());
        EXPECT_EQ(normalized.substr(0, text.size()), expected);
        EXPECT_EQ(counted, static_cast<std::size_t>(std::count(expected.begin(), expected.end(), '\n')));

        const TByteFinder bytes({0x5c, '\r'});
        const auto* byteHit = bytes.Find(begin + from, end);
        const auto* plainByte = begin + from;
        while (plainByte < end && *plainByte != 0x5c && *plainByte != '\r') ++plainByte;
        EXPECT_EQ(byteHit, plainByte);

        const std::string needle = random() % 2 ? "\x82\xa0" : "a\x83\x5c" "b";
        const TLiteralFinder literal(needle, 0, needle.size() - 1);
        const auto found = text.find(needle, from);
        EXPECT_EQ(literal.Find(begin + from, end), found == std::string::npos ? end : begin + found);

        // A word whatever the case of its letters: "aB" and "Ab" are the same word.
        const TFoldedLiteralFinder word("ab", 0, 1);
        const unsigned char* plainWord = begin + from;
        for (; plainWord + 2 <= end; ++plainWord)
            if ((plainWord[0] | 0x20) == 'a' && (plainWord[1] | 0x20) == 'b') break;
        EXPECT_EQ(word.Find(begin + from, end), plainWord + 2 <= end ? plainWord : end);

        // Sets of every layout the vector compares unroll for, and one too large for them.
        static const std::vector<std::vector<std::uint16_t>> kCodeSets = {
            {'e', 0x82a0, 0x835c, 0x8383},
            {0x82a0},
            {'e', 'a', 'B', '\r', 0x82, 0xa0},
            {'A', 0x8341, 0x82a0, 0x82a1, 0x825c, 0x8283, 0x8241, 0x8242},
            {0x82a0, 0x8341, 0x835c, 0x83a0, 0x8383, 0x8341},
            {'a', 'b', 'e', 'A', 'B', '\r', 0x82, 0x83, 0x5c, 0x835c},
            {0x82a0, 0x835c, 0xa05c},
        };
        for (const std::vector<std::uint16_t>& set : kCodeSets) {
            const auto holds = [&set](std::uint16_t code) { return std::find(set.begin(), set.end(), code) != set.end(); };
            const auto plainFind = [&](const unsigned char* p) {
                for (; p < end; ++p)
                    if (holds(*p) || (end - p >= 2 && *p >= 0x80 && holds(static_cast<std::uint16_t>(p[0] << 8 | p[1]))))
                        return p;
                return end;
            };
            TCodeSetFinder codes(set);
            EXPECT_EQ(codes.Find(begin + from, end), plainFind(begin + from));
            // Moving forward hit by hit finds every hit, in order.
            codes.Forget();
            for (const unsigned char* p = begin;; ++p) {
                const unsigned char* hit = codes.Find(p, end);
                ASSERT_EQ(hit, plainFind(p));
                if ((p = hit) == end) break;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(VectorWidths, ByteScans, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Wide" : "Narrow"; });

}  // namespace
}  // namespace xavo
