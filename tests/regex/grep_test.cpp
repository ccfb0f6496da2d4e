// The line reader and the GREP component: line ends, blocks, NUL, cancel, anchors, and
// the same results from the plain loops and the fast search.
#include "Grep.h"
#include "GrepSearch.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xavo {
namespace {

using namespace std::string_literals;
using test::TTempDir;
using Lines = std::vector<std::pair<int, std::string>>;

// Files of more than 2^31 lines exist (a log of empty lines is 2 GB); their numbers must not wrap.
static_assert(sizeof(RE_LineInfo_t::LineNo) == 8 && std::is_signed_v<decltype(RE_LineInfo_t::LineNo)>);

TEST(TxtFile, StreamOfAFileWithoutFinalLineEnd) {
    TTempDir dir;
    std::atomic<bool> cancel{false};
    TTxtFile file(dir.File("a.txt", "abc"), cancel);
    EXPECT_EQ(file.ReadChar(), '\n');
    EXPECT_EQ(file.ReadChar(), 'a');
    EXPECT_EQ(file.ReadChar(), 'b');
    EXPECT_EQ(file.ReadChar(), 'c');
    EXPECT_EQ(file.ReadAheadChar(), '\n');
    EXPECT_EQ(file.ReadAheadChar(), 0);
    EXPECT_EQ(file.ReadAheadChar(), 0);
    EXPECT_THROW(file.ReadChar(), EEndOfFile);
    EXPECT_THROW(file.ReadChar(), EEndOfFile);
}

TEST(TxtFile, LineEndsNulAndDoubleByteAcrossBlocks) {
    TTempDir dir;
    std::atomic<bool> cancel{false};
    // Block size 3: the bytes of あ (82 A0) straddle the boundary after "ab".
    TTxtFile file(dir.File("a.txt", "ab\x82\xa0\r\nx\0y\rz"s), cancel, {}, 3);
    const TCharCode expected[] = {'\n', 'a', 'b', 0x82A0, '\n', 'x', ' ', 'y', '\n', 'z'};
    for (const TCharCode c : expected) EXPECT_EQ(file.ReadChar(), c);
    RE_LineInfo_t info;
    file.GetLine(info);
    EXPECT_EQ(info.Line, "z");
    EXPECT_EQ(info.LineNo, 3);
    EXPECT_THROW(file.ReadChar(), EEndOfFile);
}

TEST(TxtFile, OpenErrors) {
    TTempDir dir;
    std::atomic<bool> cancel{false};
    try {
        TTxtFile file(dir.Path("missing.txt"), cancel);
        FAIL();
    } catch (const EFileNotFound& e) {
        EXPECT_EQ(e.what(), dir.Path("missing.txt"));
    }
    EXPECT_THROW(TTxtFile(dir.File("empty.txt", ""), cancel), EEndOfFile);
    EXPECT_THROW(TTxtFile(dir.Root(), cancel), EInOutError);  // a directory cannot be read
}

// Both search paths of TGrep, so that every test checks both.
class GrepBoth : public ::testing::TestWithParam<bool> {
protected:
    Lines Run(const std::string& pattern, const std::string& text, bool fuzzy = false, std::size_t block = 102400) {
        TGrep grep;
        grep.UseReferenceLoops = GetParam();
        grep.BlockSize = block;
        grep.SetUseFuzzyCharDic(fuzzy);
        grep.SetRegExp(pattern);
        Lines lines;
        grep.OnMatch = [&](TGrep&, const RE_LineInfo_t& info) { lines.emplace_back(info.LineNo, info.Line); };
        grep.GrepProc(FDir.File("t.txt", text));
        return lines;
    }
    TTempDir FDir;
};

TEST_P(GrepBoth, LineEndConventions) {
    EXPECT_EQ(Run(".", "a\r\nb\rc\n"), (Lines{{1, "a"}, {2, "b"}, {3, "c"}}));
    EXPECT_EQ(Run("x", "a\r\r\nx"), (Lines{{3, "x"}}));
    EXPECT_EQ(Run("b", "a\nb"), (Lines{{2, "b"}}));
}

TEST_P(GrepBoth, AnchorsAlone) {
    const std::string text = "one\r\n\r\nthree\r\n";
    EXPECT_EQ(Run("^", text), (Lines{{1, "one"}, {2, ""}, {3, "three"}}));
    EXPECT_EQ(Run("$", text), (Lines{{1, "one"}, {2, ""}, {3, "three"}}));
    EXPECT_EQ(Run("^$", text), (Lines{{2, ""}}));
    EXPECT_EQ(Run("a$", "xa\nya"), (Lines{{1, "xa"}, {2, "ya"}}));  // no final line end needed
    EXPECT_EQ(Run("^th", text), (Lines{{3, "three"}}));
}

TEST_P(GrepBoth, EachLineOnceInOrder) {
    EXPECT_EQ(Run("a", "aaa\nb\naXa\n"), (Lines{{1, "aaa"}, {3, "aXa"}}));
    EXPECT_EQ(Run("a*", "xyz\nbab\n"), (Lines{{2, "bab"}}));  // a match consumes a character
    EXPECT_EQ(Run("", "abc\n"), Lines{});
    EXPECT_EQ(Run("a", ""), Lines{});
}

TEST_P(GrepBoth, CaseAndFuzzy) {
    const std::string text = "ABC\nabc\n\x82\x60\x82\x61\x82\x62\nAbc\n";  // ABC, abc, ＡＢＣ, Abc
    EXPECT_EQ(Run("ABC", text), (Lines{{1, "ABC"}}));
    EXPECT_EQ(Run("ABC", text, true).size(), 4u);
}

TEST_P(GrepBoth, NulSpacesAndLongLines) {
    EXPECT_EQ(Run("a b", "a\0b\n"s), (Lines{{1, "a b"}}));
    const std::string longLine = std::string(150000, 'x') + "needle" + std::string(150000, 'y');
    const Lines found = Run("needle", "first\n" + longLine + "\nlast\n", false, 4096);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].first, 2);
    EXPECT_EQ(found[0].second, longLine);
}

TEST_P(GrepBoth, DoubleByteCharactersAreNeverSplit) {
    // ソ is 83 5C: neither "\" nor a character starting at its trail byte may match.
    const std::string text = "\x83\x5c\n\\\n\x83\x5c\x83\x5c\n";
    EXPECT_EQ(Run("\\\\", text), (Lines{{2, "\\"}}));
    EXPECT_EQ(Run("\x83\x5c", text), (Lines{{1, "\x83\x5c"}, {3, "\x83\x5c\x83\x5c"}}));
    for (std::size_t block : {1u, 2u, 3u, 5u})  // characters across block boundaries
        EXPECT_EQ(Run("\x83\x5c\x83\x5c", text, false, block), (Lines{{3, "\x83\x5c\x83\x5c"}})) << block;
}

TEST_P(GrepBoth, ACharacterMatchesUnderEveryCodeItHas) {
    // 纊 is 0xFA5C and 0xED40, ¬ is 0x81CA, 0xEEF9 and 0xFA54, ≒ is 0x81E0 and 0x8790; the
    // file's bytes stay as they are.
    const std::string text = "\xFA\x5C\n\xED\x40\nx\n\x81\xCA\n\xEE\xF9\n\xFA\x54\n\x87\x90\n\x81\xE0\n";
    const struct {
        std::string Pattern;
        std::vector<int> Lines;
    } rows[] = {
        {"\xFA\x5C", {1, 2}},
        {"\xED\x40", {1, 2}},
        {"^[\xFA\x5C]$", {1, 2}},
        {"^[^\xFA\x5Cx\x81\xCA\x81\xE0]$", {}},  // a negated class leaves out every code
        {"\xEE\xF9", {4, 5, 6}},
        {"[\xFA\x50-\xFA\x5C]", {1, 2, 4, 5, 6}},  // Ⅶ..纊 takes ¬ (0xFA54) and 纊 with them
        {"\x87\x90", {7, 8}},
        {"\\xed40", {1, 2}},
    };
    for (const auto& row : rows) {
        std::vector<int> found;
        for (const auto& [lineNo, line] : Run(row.Pattern, text)) found.push_back(static_cast<int>(lineNo));
        EXPECT_EQ(found, row.Lines) << row.Pattern;
    }
    EXPECT_EQ(Run("\xED\x40", text)[1].second, "\xED\x40");
}

TEST_P(GrepBoth, LoneLeadByteTakesTheLineFeed) {
    // Line 1 ends in a lone lead byte, which reads the line feed as its trail byte: the
    // "^" of line 2 finds no line feed of its own, and a code starting at that lead byte
    // belongs to line 2.
    EXPECT_EQ(Run("^b", "a\x82\nb\n"), Lines{});
    EXPECT_EQ(Run("^b", "a\x82\nb\nb\n"), (Lines{{3, "b"}}));
    EXPECT_EQ(Run("\\x820a", "a\x82\nb\n"), (Lines{{2, "b"}}));
    // Once line 1 is reported, the scan resumes at its line feed.
    EXPECT_EQ(Run("a|^b", "a\x82\nb\n"), (Lines{{1, "a\x82"}, {2, "b"}}));
    // At the end of the file it takes the last line feed, and a run goes on into what the
    // look-ahead reads past the end, where the prefilter sees nothing.
    for (const std::string& text : {"a\nb\x82"s, "a\nb\x82\n"s, "a\nb\x82\r\n"s}) {
        EXPECT_EQ(Run("^[^a]*\\0", text), (Lines{{2, "b\x82"}})) << text;
        EXPECT_EQ(Run("b\\x820a\\0", text, false, 2), (Lines{{2, "b\x82"}})) << text;
    }
}

TEST_P(GrepBoth, MissingFileRaisesItsName) {
    TGrep grep;
    grep.UseReferenceLoops = GetParam();
    grep.SetRegExp("a");
    grep.OnMatch = [](TGrep&, const RE_LineInfo_t&) {};
    try {
        grep.GrepProc(FDir.Path("none.txt"));
        FAIL();
    } catch (const EFileNotFound& e) {
        EXPECT_EQ(e.what(), FDir.Path("none.txt"));
    }
}

TEST_P(GrepBoth, AFileWhoseReadWouldWaitIsReportedNotWaitedFor) {
    // A pipe whose writer stays silent stands for /proc/kmsg or a stalled device file.
    const std::string path = FDir.Path("silent");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int writer = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    TGrep grep;
    grep.UseReferenceLoops = GetParam();
    grep.SetRegExp("a");
    grep.OnMatch = [](TGrep&, const RE_LineInfo_t&) {};
    auto search = std::async(std::launch::async, [&] { grep.GrepProc(path); });
    const bool ended = search.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    ::close(writer);  // lets a read that did wait end, so that the test can report it
    ASSERT_TRUE(ended) << "the search waited for data";
    EXPECT_THROW(search.get(), EWouldBlock);
}

TEST_P(GrepBoth, CancelFromOnMatchAndFromTheIdleHook) {
    TGrep grep;
    grep.UseReferenceLoops = GetParam();
    grep.BlockSize = 64;
    grep.SetRegExp("x");
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "line x\n";
    const std::string path = FDir.File("c.txt", text);

    int reported = 0;
    grep.OnMatch = [&](TGrep& sender, const RE_LineInfo_t&) {
        if (++reported == 3) sender.Cancel = true;
    };
    EXPECT_THROW(grep.GrepProc(path), EGrepCancel);
    EXPECT_EQ(reported, 3);  // raised when the next line was about to be reported

    int idleCalls = 0;
    reported = 0;
    grep.OnMatch = [&](TGrep&, const RE_LineInfo_t&) { ++reported; };
    grep.OnIdle = [&] {
        if (++idleCalls == 2) grep.Cancel = true;
    };
    EXPECT_THROW(grep.GrepProc(path), EGrepCancel);  // Cancel was reset at the start
    EXPECT_LT(reported, 3);
}

TEST_P(GrepBoth, FuzzyOnAfterThePatternWasSet) {
    TGrep grep;
    grep.UseReferenceLoops = GetParam();
    grep.SetRegExp("ABC");
    grep.SetUseFuzzyCharDic(true);
    Lines lines;
    grep.OnMatch = [&](TGrep&, const RE_LineInfo_t& info) { lines.emplace_back(info.LineNo, info.Line); };
    grep.GrepProc(FDir.File("f.txt", "abc\n"));
    EXPECT_EQ(lines, (Lines{{1, "abc"}}));
}

TEST_P(GrepBoth, PatternsThatRunOnAfterTheEnd) {
    // \0 is never in the text, but the look-ahead reads 0 after the end of the file.
    EXPECT_EQ(Run("a\\n\\0", "xa\nya"), (Lines{{2, "ya"}}));
    // A run that loops on 0 for ever after the end must stop.
    EXPECT_EQ(Run("a\\n\\0*b", "xa\nya"), Lines{});
    EXPECT_EQ(Run("a\\nb", "xa\nb\n"), (Lines{{1, "xa"}}));
}

TEST_P(GrepBoth, PatternsOfNothingOnFilesOfWholeBlocks) {
    // The window is emptied while the last block is read: a file of whole blocks ends on
    // a read of nothing, after which the end of the stream is still decided.
    for (const char* pattern : {"", "()", "|", "(|)"}) {
        for (const std::string& text : {"abc\n"s, "abcd"s, "ab\r\n"s, "abc\r"s, "\x82\xa0" "ab"s}) {
            for (const std::size_t block : {1, 2, 4}) EXPECT_EQ(Run(pattern, text, false, block), Lines{}) << pattern;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndFast, GrepBoth, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "PlainLoops" : "FastSearch"; });

// A pattern that crosses line ends, run from every line: the exact search follows all its
// runs at once, so its work is a multiple of the text (each run was followed alone, and the
// work grew with the square of the text), and it looks at the cancel flag while it works,
// also once the whole file has been read.
TEST(GrepSearch, APatternAcrossLineEndsIsBoundedAndCanBeCancelled) {
    TTempDir dir;
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "a line " + std::to_string(i) + "\n";
    const std::string path = dir.File("t.txt", text);
    TGrep grep;
    const struct {
        const char* Pattern;
        std::size_t Found;
    } rows[] = {
        {"a(.|\\n)*z", 0},          // every run goes to the end, and fails there
        {"a(.|\\n)*\\n\\n", 0},   // and here too
        {"9\\na", 9999},           // a line ending in 9 before one starting with a
        {"(.|\\n)*99999\\n", 100000}, // every run reaches the last line
    };
    for (const auto& row : rows) {
        grep.SetRegExp(row.Pattern);
        ASSERT_FALSE(grep.Program()->IsLineLocal()) << row.Pattern;
        std::atomic<bool> cancel{false};
        TGrepSearch search(*grep.Program(), cancel, {});
        std::size_t found = 0;
        search.Run(path, [&](const RE_LineInfo_t&) { ++found; });
        EXPECT_EQ(found, row.Found) << row.Pattern;
        EXPECT_LE(search.ExactSteps(), 4 * text.size()) << row.Pattern;
    }
    // The whole file in one block: the cancel set by the idle hook once that block is read
    // (its first call) is seen while the runs go on.
    grep.SetRegExp("a(.|\\n)*z");
    std::atomic<bool> cancel{false};
    int idle = 0;
    TGrepSearch search(*grep.Program(), cancel, [&] { cancel = ++idle > 1; }, text.size() + 1);
    EXPECT_THROW(search.Run(path, [](const RE_LineInfo_t&) {}), EGrepCancel);
    EXPECT_EQ(idle, 2);
}

TEST(Grep, SearchProgramsAreKeptWithTheirPatterns) {
    TGrep grep;
    grep.SetRegExp("abc");
    const std::shared_ptr<const TGrepProgram> abc = grep.Program();
    const int compiled = grep.CompileCount();
    // A switch alone compiles nothing; the next pattern is widened with it.
    grep.SwitchFuzzyCharDic(true);
    EXPECT_EQ(grep.CompileCount(), compiled);
    EXPECT_EQ(grep.Program(), abc);
    grep.SetRegExp("abc");
    EXPECT_NE(grep.Program(), abc);
    grep.SwitchFuzzyCharDic(false);
    grep.SetRegExp("abc");
    EXPECT_EQ(grep.Program(), abc);  // found in the cache with its program
    EXPECT_EQ(grep.CompileCount(), compiled + 1);
    // Evicted, the pattern is compiled again and gets a program of its own.
    for (int i = 0; i < TRegularExpression::kCompiledRegExpListMax; ++i) grep.SetRegExp("p" + std::to_string(i));
    grep.SetRegExp("abc");
    EXPECT_NE(grep.Program(), abc);
    EXPECT_FALSE(grep.Program()->MatchesNothing());
}

}  // namespace
}  // namespace xavo
