// The viewer's screen-free decisions and the window program's command line.
#include "StartArguments.h"
#include "TempDir.h"
#include "ViewerLogic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace xavo {
namespace {

TEST(MaskForFile, StarAndTheLastComponentsExtension) {
    const struct {
        const char* path;
        const char* mask;
    } cases[] = {
        {"/doc/a.html", "*.html"}, {"/doc/README", "*"},      {"/d.x/README", "*"},
        {"a.tar.gz", "*.gz"},      {"/x/.profile", "*.profile"}, {"/x/name.", "*."},
        {"memo.TXT", "*.TXT"},
    };
    for (const auto& c : cases) EXPECT_EQ(MaskForFile(c.path), c.mask) << c.path;
}

TEST(FileSteps, NextAndPreviousStopAtTheEnds) {
    const struct {
        int index, count, next, previous;
    } cases[] = {
        {-1, 3, 0, -1},   // no selection: next takes the first, previous does nothing
        {0, 3, 1, -1},
        {1, 3, 2, 0},
        {2, 3, -1, 1},    // the last item
        {-1, 0, -1, -1},  // an empty list
        {0, 1, -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NextFileIndex(c.index, c.count), c.next) << c.index << "/" << c.count;
        EXPECT_EQ(PrevFileIndex(c.index, c.count), c.previous) << c.index << "/" << c.count;
    }
}

TEST(CaretKeys, StopBeforeTheFirstCharacterAndAfterTheLastLine) {
    using K = TCaretKey;
    // "abc\r\ndef\r\n": three view lines, the last empty, so the list has two.
    const TCaretPlace start{0, 0, 3, 2, false};
    const TCaretPlace firstLineMiddle{0, 1, 3, 2, false};
    const TCaretPlace lastTextLineMiddle{1, 1, 3, 2, false};
    const TCaretPlace lastTextLineEnd{1, 3, 3, 2, false};
    const TCaretPlace afterFinalBreak{2, 0, 0, 2, false};
    // "a\r\n\r\n": the list's last line is empty, so line 1 is not the last.
    const TCaretPlace emptyLineBeforeEnd{1, 0, 0, 2, true};
    const TCaretPlace emptyText{0, 0, 0, 0, false};
    const struct {
        const char* name;
        TCaretPlace place;
        K key;
        bool discard;
    } cases[] = {
        {"start left", start, K::Left, true},
        {"start up", start, K::Up, true},
        {"start page up", start, K::PageUp, true},
        {"start right", start, K::Right, false},
        {"start down", start, K::Down, false},
        {"first line left", firstLineMiddle, K::Left, false},
        {"first line up", firstLineMiddle, K::Up, true},
        {"last line down", lastTextLineMiddle, K::Down, true},
        {"last line page down", lastTextLineMiddle, K::PageDown, true},
        {"last line right", lastTextLineMiddle, K::Right, false},
        {"last line up", lastTextLineMiddle, K::Up, false},
        {"end right", lastTextLineEnd, K::Right, true},
        {"after break down", afterFinalBreak, K::Down, true},
        {"after break right", afterFinalBreak, K::Right, true},
        {"after break left", afterFinalBreak, K::Left, false},
        {"empty line before end down", emptyLineBeforeEnd, K::Down, false},
        {"empty text down", emptyText, K::Down, true},
        {"empty text right", emptyText, K::Right, true},
        {"other keys pass", start, K::Other, false},
    };
    for (const auto& c : cases) EXPECT_EQ(DiscardCaretKey(c.key, c.place), c.discard) << c.name;
}

TEST(Paging, AScreenfulOrHalfOneUnlessTheTextFits) {
    EXPECT_EQ(PagingSteps(100, 30, false), 30);
    EXPECT_EQ(PagingSteps(100, 30, true), 15);
    EXPECT_EQ(PagingSteps(100, 31, true), 15);
    EXPECT_EQ(PagingSteps(30, 30, false), 30);
    EXPECT_EQ(PagingSteps(29, 30, false), 0);
    EXPECT_EQ(PagingSteps(20, 30, true), 0);
    EXPECT_EQ(PagingSteps(0, 0, false), 0);
}

TEST(ShowableFiles, OnlyRegularFilesAreShown) {
    test::TTempDir dir;
    const std::string file = dir.File("a.txt", "x");
    std::filesystem::create_directory(dir.Path("sub.txt"));
    ASSERT_EQ(::mkfifo(dir.Path("pipe.txt").c_str(), 0600), 0);
    std::filesystem::create_symlink(file, dir.Path("link.txt"));
    EXPECT_TRUE(IsShowableFile(file));
    EXPECT_TRUE(IsShowableFile(dir.Path("link.txt")));
    EXPECT_FALSE(IsShowableFile(dir.Path("sub.txt")));
    EXPECT_FALSE(IsShowableFile(dir.Path("pipe.txt")));  // reading it would block
    EXPECT_FALSE(IsShowableFile(dir.Path("missing.txt")));
    EXPECT_FALSE(IsShowableFile(""));
}

TEST(ProcessDirectory, IsTheCurrentDirectoryWithItsSlash) {
    EXPECT_EQ(ProcessDirectory(), std::filesystem::current_path().string() + "/");
}

TEST(StartArguments, IniOptionFileAndErrors) {
    const struct {
        std::vector<std::string> args;
        std::string ini;
        std::optional<std::string> file;
        bool help;
        bool error;
    } cases[] = {
        {{}, "", std::nullopt, false, false},
        {{"memo.txt"}, "", "memo.txt", false, false},
        {{"--ini", "/tmp/x.ini", "a.txt"}, "/tmp/x.ini", "a.txt", false, false},
        {{"a.txt", "--ini=x.ini"}, "x.ini", "a.txt", false, false},
        {{"a.txt", "b.txt"}, "", "a.txt", false, false},        // one file is shown
        {{"--", "--ini"}, "", "--ini", false, false},           // a file named like an option
        {{"-"}, "", "-", false, false},
        {{"--help"}, "", std::nullopt, true, false},
        {{"--ini"}, "", std::nullopt, false, true},
        {{"--ini="}, "", std::nullopt, false, true},
        {{"--bogus", "a.txt"}, "", std::nullopt, false, true},
    };
    for (const auto& c : cases) {
        const TStartArguments got = ParseStartArguments(c.args);
        const std::string name = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(got.IniPath, c.ini) << name;
        EXPECT_EQ(got.FileArgument, c.file) << name;
        EXPECT_EQ(got.Help, c.help) << name;
        EXPECT_EQ(!got.Error.empty(), c.error) << name;
    }
    EXPECT_NE(StartUsageText().find("--ini PATH"), std::string::npos);
}

}  // namespace
}  // namespace xavo
