// Line positions of the text view: the Fenwick index against a plain sum under random
// edits, unit <-> byte maps of single lines, and splitting files into lines.
#include "LineIndex.h"
#include "PlainTextFile.h"
#include "SjisCodec.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

namespace xavo {
namespace {

std::int64_t NaiveStart(const std::vector<int>& lengths, int line) {
    std::int64_t sum = 0;
    for (int i = 0; i < line; ++i) sum += lengths[static_cast<std::size_t>(i)] + 2;
    return sum;
}

void ExpectSameAs(const TLineIndex& index, const std::vector<int>& lengths) {
    ASSERT_EQ(index.LineCount(), static_cast<int>(lengths.size()));
    for (int line = 0; line <= index.LineCount(); ++line) ASSERT_EQ(index.Start(line), NaiveStart(lengths, line)) << line;
    // Every position, the two break bytes included, belongs to its line.
    for (int line = 0; line < index.LineCount(); ++line) {
        const std::int64_t start = NaiveStart(lengths, line);
        const int last = line + 1 < index.LineCount() ? lengths[static_cast<std::size_t>(line)] + 1
                                                       : lengths[static_cast<std::size_t>(line)];
        for (int offset = 0; offset <= last; ++offset) ASSERT_EQ(index.LineOf(start + offset), line) << line;
    }
    EXPECT_EQ(index.TextLength(), NaiveStart(lengths, index.LineCount()) - 2);
}

TEST(LineIndex, FollowsRandomEdits) {
    std::mt19937 rng(3);
    std::vector<int> lengths = {0};
    TLineIndex index;
    ExpectSameAs(index, lengths);
    for (int round = 0; round < 400; ++round) {
        const int first = static_cast<int>(rng() % lengths.size());
        const int count = 1 + static_cast<int>(rng() % std::min<std::size_t>(3, lengths.size() - static_cast<std::size_t>(first)));
        std::vector<int> replacement(1 + rng() % 3);
        for (int& n : replacement) n = static_cast<int>(rng() % 7);
        if (rng() % 2 == 0) replacement.resize(static_cast<std::size_t>(count));  // same count: point updates
        index.Replace(first, count, replacement);
        lengths.erase(lengths.begin() + first, lengths.begin() + first + count);
        lengths.insert(lengths.begin() + first, replacement.begin(), replacement.end());
        ASSERT_NO_FATAL_FAILURE(ExpectSameAs(index, lengths)) << round;
    }
}

TEST(LineIndex, OutOfRangePositionsClamp) {
    TLineIndex index;
    index.Assign({3, 0, 5});
    EXPECT_EQ(index.LineOf(-4), 0);
    EXPECT_EQ(index.LineOf(1000), 2);
    EXPECT_EQ(index.Start(99), index.Start(3));
    index.Assign({});
    EXPECT_EQ(index.LineCount(), 1);
    EXPECT_EQ(index.TextLength(), 0);
}

TEST(LineMap, MapsUnitsAndBytesOfShortAndLongLines) {
    // so, a, half-width a, and a lone lead byte: 2, 1, 1, 1 bytes.
    const std::u16string piece = DecodeSjis("\x83\x5C" "a\xB1\x83");
    for (const int repeat : {1, 700}) {  // 700 pieces cross several checkpoints
        std::u16string text;
        for (int i = 0; i < repeat; ++i) text += piece;
        const TLineMap map(text);
        ASSERT_EQ(map.Bytes(), 5 * repeat);
        int bytes = 0;
        for (int unit = 0; unit <= map.Units(); ++unit) {
            ASSERT_EQ(map.BytesBefore(unit), bytes) << unit;
            ASSERT_EQ(map.UnitAt(bytes), unit) << unit;
            if (unit == map.Units()) break;
            const int width = SjisLength(text[static_cast<std::size_t>(unit)]);
            if (width == 2) {
                ASSERT_EQ(map.UnitAt(bytes + 1), unit) << "inside a character";
            }
            bytes += width;
        }
        EXPECT_EQ(map.UnitAt(-1), 0);
        EXPECT_EQ(map.UnitAt(bytes + 9), map.Units());
    }
}

TEST(PlainTextFile, SplitsEveryLineEndAndKeepsTheConvention) {
    const struct {
        std::string bytes;
        std::u16string text;
        std::vector<int> lineBytes;
        TLineEnd lineEnd;
        std::vector<std::pair<int, TLineEnd>> others;
    } rows[] = {
        {"", u"", {0}, TLineEnd::CrLf, {}},
        {"a", u"a", {1}, TLineEnd::CrLf, {}},
        {"a\r\n\x83\x5C\r\n", u"a\n\u30BD\n", {1, 2, 0}, TLineEnd::CrLf, {}},
        {"a\nb\n", u"a\nb\n", {1, 1, 0}, TLineEnd::Lf, {}},
        {"a\rb", u"a\nb", {1, 1}, TLineEnd::Cr, {}},
        {"a\nb\r\nc\rd\n", u"a\nb\nc\nd\n", {1, 1, 1, 1, 0}, TLineEnd::Lf, {{1, TLineEnd::CrLf}, {2, TLineEnd::Cr}}},
        {"\n\r", u"\n\n", {0, 0, 0}, TLineEnd::Lf, {{1, TLineEnd::Cr}}},
        {"\x83\r\n", u"\uF803\n", {1, 0}, TLineEnd::CrLf, {}},  // a lead byte before a break stands alone
    };
    for (const auto& row : rows) {
        const TPlainText split = SplitPlainText(row.bytes);
        EXPECT_EQ(split.Text, row.text) << row.bytes;
        EXPECT_EQ(split.LineBytes, row.lineBytes) << row.bytes;
        EXPECT_EQ(split.LineEnd, row.lineEnd) << row.bytes;
        EXPECT_EQ(split.OtherEnds, row.others) << row.bytes;
    }
}

}  // namespace
}  // namespace xavo
