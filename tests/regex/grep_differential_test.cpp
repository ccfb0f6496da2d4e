// The fast search against the plain loops on generated patterns and Shift-JIS texts:
// every reported line, number and text must be the same. Small blocks put characters,
// CR LF pairs and lines across block boundaries; some texts are whole blocks long.
//
// With XAVOLINE_FUZZ_SECONDS=N the comparison goes on with fresh seeds for N seconds (the
// seed of a failure is printed; XAVOLINE_FUZZ_SEED=S repeats one).
#include "Grep.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>

namespace xavo {
namespace {

using Lines = std::vector<std::pair<int, std::string>>;

// Pieces of text: line ends of every kind, NUL, lone lead bytes, trail bytes 5C and 7C,
// half-width katakana with voicing marks, and characters the patterns use.
const char* const kTextPieces[] = {
    "a",    "b",    "c",    "ab",   " ",        "\r",       "\n",       "\r\n",     "\r\n",     "\n",
    "A",    "\\",   "|",    "^",    "$",        ".",        "x",        "\x83\x5c", "\x83\x7c", "\x82\xa0",
    "\xb1", "\xde", "\xb6", "\x82", "\x81\x5b", "\x82\x60", "\x82\xa9", "\xe0",     "\xfc\xfc", "\x83\x4b"};

// Pieces of patterns, anchors and line-feed escapes included anywhere.
const char* const kPatternAtoms[] = {
    "a", "b", "c", "x", "A", "\\\\", "\\|", "\\^", "\\$", "\\.", " ", "\\n", "\\r", "\\0", "\x83\x5c",
    "\x83\x7c", "\x82\xa0", "\xb1", "\xb6\xde", "\x82\xa9", "\x81\x5b", "\\x820a", "\\x8220", ".",
    // Codes that no text reads as: a high byte that is no lead byte, a lone lead byte.
    "\\x4161", "\\x080a", "\\x82", "\\xe0", "\\xfd41", "\\x0d"};
// Patterns that can match nothing at all.
const char* const kEmptyPatterns[] = {"", "()", "|", "(|)", "()*"};
const char* const kPatternClasses[] = {"[ab]", "[^a]", "[\\x00-\\x20]", "[\\n\\r]", "[\x82\x9f-\x82\xf1]",
                                       "[^\\n]", "[\\x80-\\xff]", "[a-c\x83\x40-\x83\x96]", "[^\x83\x5c]"};

class Generator {
public:
    explicit Generator(unsigned seed) : FRandom(seed) {}
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(FRandom); }

    std::string Text() {
        std::string text;
        const int pieces = Pick(60);
        for (int i = 0; i < pieces; ++i) {
            if (Pick(40) == 0)
                text += std::string(static_cast<std::size_t>(20 + Pick(120)), 'y');  // a long line
            else if (Pick(30) == 0)
                text += static_cast<char>(Pick(256));
            else
                text += kTextPieces[Pick(std::size(kTextPieces))];
        }
        if (Pick(3) == 0) text += "\x82";  // a lone lead byte at the very end
        if (Pick(4) == 0 && !text.empty()) {
            // Whole blocks of the small sizes, so that the last read finds nothing.
            const std::size_t whole = (text.size() + 15) / 16 * 16;
            text += std::string(whole - text.size(), Pick(2) == 0 ? 'y' : '\n');
        }
        return text;
    }

    std::string Pattern(int depth = 2) {
        if (depth == 2 && Pick(40) == 0) return kEmptyPatterns[Pick(std::size(kEmptyPatterns))];
        std::string p = Pick(4) == 0 ? "^" : "";
        const int n = 1 + Pick(3);
        for (int i = 0; i < n; ++i) {
            std::string f;
            switch (Pick(depth > 0 ? 7 : 5)) {
            case 0: f = kPatternClasses[Pick(std::size(kPatternClasses))]; break;
            case 5: f = "(" + Pattern(depth - 1) + "|" + Pattern(depth - 1) + ")"; break;
            case 6: f = "(" + Pattern(depth - 1) + ")"; break;
            default: f = kPatternAtoms[Pick(std::size(kPatternAtoms))];
            }
            switch (Pick(7)) {
            case 0: f += "*"; break;
            case 1: f += "+"; break;
            case 2: f += "?"; break;
            default: break;
            }
            p += f;
        }
        if (Pick(4) == 0) p += "$";
        return p;
    }

private:
    std::mt19937 FRandom;
};

Lines Search(TGrep& grep, const std::string& path, bool reference, std::size_t block) {
    grep.UseReferenceLoops = reference;
    grep.BlockSize = block;
    Lines lines;
    grep.OnMatch = [&](TGrep&, const RE_LineInfo_t& info) { lines.emplace_back(info.LineNo, info.Line); };
    grep.GrepProc(path);
    return lines;
}

struct TRoundCount {
    int Compared = 0;
    int WithReports = 0;
};

// Compares both paths on Texts generated texts, Patterns patterns each.
void CompareRounds(unsigned seed, int texts, int patterns, TRoundCount& count) {
    test::TTempDir dir;
    Generator gen(seed);
    const std::size_t blocks[] = {1, 2, 3, 7, 16, 64, 102400};
    for (int t = 0; t < texts; ++t) {
        const std::string text = gen.Text();
        const std::string path = dir.File("t" + std::to_string(t) + ".txt", text);
        for (int k = 0; k < patterns; ++k) {
            TGrep grep;
            const std::string pattern = gen.Pattern();
            try {
                grep.SetUseFuzzyCharDic(gen.Pick(3) == 0);
                grep.SetRegExp(pattern);
            } catch (const ERegExpParser&) {
                continue;
            }
            const Lines expected = Search(grep, path, true, blocks[gen.Pick(std::size(blocks))]);
            const Lines actual = Search(grep, path, false, blocks[gen.Pick(std::size(blocks))]);
            ASSERT_EQ(actual, expected) << "seed " << seed << " pattern " << ::testing::PrintToString(pattern)
                                        << " fuzzy " << grep.UseFuzzyCharDic() << " text "
                                        << ::testing::PrintToString(text);
            ++count.Compared;
            count.WithReports += !expected.empty();
        }
    }
}

TEST(GrepDifferential, FastSearchReportsWhatThePlainLoopsReport) {
    TRoundCount count;
    CompareRounds(20261207, 160, 30, count);
    EXPECT_GT(count.Compared, 3000);
    EXPECT_GT(count.WithReports, 600);
}

TEST(GrepDifferential, FuzzForAWhile) {
    const char* seconds = std::getenv("XAVOLINE_FUZZ_SECONDS");
    const char* fixedSeed = std::getenv("XAVOLINE_FUZZ_SEED");
    if (seconds == nullptr && fixedSeed == nullptr) GTEST_SKIP() << "XAVOLINE_FUZZ_SECONDS not set";
    TRoundCount count;
    if (fixedSeed != nullptr) {
        CompareRounds(static_cast<unsigned>(std::strtoul(fixedSeed, nullptr, 10)), 20, 30, count);
        return;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(seconds));
    std::random_device device;
    int rounds = 0;
    while (std::chrono::steady_clock::now() < until && !HasFatalFailure()) {
        CompareRounds(device(), 20, 30, count);
        ++rounds;
    }
    std::printf("fuzzed %d rounds, %d comparisons, %d with reports\n", rounds, count.Compared, count.WithReports);
}

}  // namespace
}  // namespace xavo
