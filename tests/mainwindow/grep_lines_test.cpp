// Result lines written and read back for tag jumps, the jump order through the results
// list, the GREP bar's history, and the files of each GREP scope.
#include "GrepFiles.h"
#include "GrepHistory.h"
#include "ResultLine.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <set>

using namespace xavo;
using xavo::test::TTempDir;

namespace {

TEST(ResultLineTest, PathSpaceNumberColonText) {
    std::string out;
    AppendResultLine(out, "/d/a/b.txt", 12, "x:y");
    EXPECT_EQ(out, "/d/a/b.txt 12:x:y");
    out.clear();
    AppendResultLine(out, "/p", 2147483647, std::string("\x93\xfa\0z", 4));
    EXPECT_EQ(out, std::string("/p 2147483647:\x93\xfa\0z", 18));
    out.clear();
    AppendResultLine(out, "/p", 2147483653LL, "x");  // files of more than 2^31 lines
    EXPECT_EQ(out, "/p 2147483653:x");
}

// A fake file system for the parser: the set of existing files.
auto FilesAre(std::set<std::string> files) {
    return [files = std::move(files)](const std::string& path) { return files.count(path) != 0; };
}

TEST(ParseResultLineTest, FindsTheFileAmongNumberFields) {
    struct Case {
        const char* Line;
        std::set<std::string> Files;
        const char* File;
        int LineNo;
        const char* Text;
    } cases[] = {
        {"/d/a/b.txt 12:x:y", {"/d/a/b.txt"}, "/d/a/b.txt", 12, "x:y"},
        {"/My Texts/a b.txt 7:abc", {"/My Texts/a b.txt"}, "/My Texts/a b.txt", 7, "abc"},
        // The text holds " 12:" itself: the first field is the path's end.
        {"/t/a.txt 3:see line 12: here", {"/t/a.txt"}, "/t/a.txt", 3, "see line 12: here"},
        // The path holds " 12:": the longest prefix that is a file and is followed by a
        // number that fits wins, even when a shorter prefix is a file too.
        {"/t/x 12:y.txt 5:text", {"/t/x 12:y.txt"}, "/t/x 12:y.txt", 5, "text"},
        {"/t/x 1:y.txt 2:match", {"/t/x", "/t/x 1:y.txt"}, "/t/x 1:y.txt", 2, "match"},
        {"/t/x 99999999999:y 2:m", {"/t/x", "/t/x 99999999999:y"}, "/t/x 99999999999:y", 2, "m"},
        // No prefix is a file (a file since deleted): the first field.
        {"/gone/a.txt 4:b 9:c", {}, "/gone/a.txt", 4, "b 9:c"},
        {"/t/a.txt 0:first", {"/t/a.txt"}, "/t/a.txt", 0, "first"},
        {"/t/a.txt 007:x", {}, "/t/a.txt", 7, "x"},
        {"/t/a.txt 1:", {}, "/t/a.txt", 1, ""},
        {"/c:/a.txt 2:x", {"/c:/a.txt"}, "/c:/a.txt", 2, "x"},       // colons in the path
        {" 5:x", {}, "", 5, "x"},
    };
    for (const Case& c : cases) {
        const TTagJumpTarget target = ParseResultLine(c.Line, FilesAre(c.Files));
        EXPECT_EQ(target.File, c.File) << c.Line;
        EXPECT_EQ(target.LineNo, c.LineNo) << c.Line;
        EXPECT_EQ(target.Text, c.Text) << c.Line;
    }
}

TEST(ParseResultLineTest, PathEndIsTheFirstNumberField) {
    EXPECT_EQ(ResultLinePathEnd("/a b 12:c 3:d"), 4u);
    EXPECT_EQ(ResultLinePathEnd("/a:b 7:"), 4u);
    EXPECT_EQ(ResultLinePathEnd("no number: here"), std::string_view::npos);
    EXPECT_EQ(ResultLinePathEnd("/a 12"), std::string_view::npos);
}

TEST(ParseResultLineTest, LineIndexCountsFromZero) {
    EXPECT_EQ(ParseResultLine("/a 12:x", FilesAre({})).LineIndex(), 11);
    EXPECT_EQ(ParseResultLine("/a 1:x", FilesAre({})).LineIndex(), 0);
    EXPECT_EQ(ParseResultLine("/a 0:x", FilesAre({})).LineIndex(), 0);
}

TEST(ParseResultLineTest, NoNumberIsTheConversionError) {
    struct Case {
        const char* Line;
        const char* Text;  // quoted by the message
    } cases[] = {
        {"", ""},
        {"a header line", ""},
        {"/t/a.txt x:y", "x"},
        {"/t/a.txt 12", ""},
        {"/t/a.txt12:y", "/t/a.txt12"},
        {"/t/a.txt -3:y", "-3"},
        {"/t/a.txt 99999999999:y", "99999999999"},
    };
    for (const Case& c : cases) {
        try {
            ParseResultLine(c.Line, FilesAre({"/t/a.txt"}));
            ADD_FAILURE() << "no error for " << c.Line;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Text, c.Text);
        }
    }
}

TEST(ParseResultLineTest, ChecksRealFilesWithAnyBytesInTheirNames) {
    TTempDir tree;
    tree.Dir("my dir");
    const std::string odd = "my dir/\xff\xfe 3:odd.txt";  // not UTF-8, holds " 3:"
    tree.File(odd, "text");
    tree.File("plain.txt", "text");
    const std::string line = tree.Path(odd) + " 42:\x93\xfa\x96\x7b";
    const TTagJumpTarget target = ParseResultLine(line);
    EXPECT_EQ(target.File, tree.Path(odd));
    EXPECT_EQ(target.LineNo, 42);
    EXPECT_EQ(target.Text, "\x93\xfa\x96\x7b");
    EXPECT_TRUE(IsExistingFile(tree.Path("plain.txt")));
    EXPECT_FALSE(IsExistingFile(tree.Path("my dir")));  // a directory is not a file to open
    EXPECT_FALSE(IsExistingFile(tree.Path("missing.txt")));
}

TEST(JumpIndexTest, NoWrapAndNoSelectionMeansTheFirst) {
    struct Case {
        int Count, Selected, Next, Prev;
    } cases[] = {
        {0, -1, -1, -1},  // empty list: nothing
        {3, -1, 0, 0},    // none selected: the first line, both ways
        {3, 0, 1, -1},    // first line: no previous
        {3, 1, 2, 0},
        {3, 2, -1, 1},    // last line: no next
        {1, 0, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextJumpIndex(c.Count, c.Selected), c.Next) << c.Count << "/" << c.Selected;
        EXPECT_EQ(PrevJumpIndex(c.Count, c.Selected), c.Prev) << c.Count << "/" << c.Selected;
    }
}

TEST(GrepHistoryTest, NewestFirstOnceEachAtMostTwenty) {
    std::vector<std::string> history;
    for (int i = 0; i < 20; ++i) AddGrepHistoryWord(history, "w" + std::to_string(i));
    ASSERT_EQ(history.size(), 20u);
    EXPECT_EQ(history.front(), "w19");
    EXPECT_EQ(history.back(), "w0");

    AddGrepHistoryWord(history, "w20");  // the 21st drops the oldest
    ASSERT_EQ(history.size(), 20u);
    EXPECT_EQ(history.front(), "w20");
    EXPECT_EQ(history.back(), "w1");

    AddGrepHistoryWord(history, "w5");  // searched again: one entry, on top
    ASSERT_EQ(history.size(), 20u);
    EXPECT_EQ(history[0], "w5");
    EXPECT_EQ(history[1], "w20");
    EXPECT_EQ(std::count(history.begin(), history.end(), "w5"), 1);

    AddGrepHistoryWord(history, "W7");  // differs in case only: replaces the entry
    EXPECT_EQ(history[0], "W7");
    EXPECT_EQ(std::count(history.begin(), history.end(), "w7"), 0);
    EXPECT_EQ(history.size(), 20u);

    AddGrepHistoryWord(history, "\x82\x60\x82\x61");  // ＡＢ, then ａｂ replaces it
    AddGrepHistoryWord(history, "\x82\x81\x82\x82");
    EXPECT_EQ(history[0], "\x82\x81\x82\x82");
    EXPECT_NE(history[1], "\x82\x60\x82\x61");
}

TEST(GrepTargetTest, NoTargetMeansNothingToSearch) {
    EXPECT_FALSE(MakeGrepTarget(0, "", "/l/", "/t/", "*.txt"));
    EXPECT_FALSE(MakeGrepTarget(3, "/l/a.txt", "/l/", "/t/", "*.txt"));
    EXPECT_FALSE(MakeGrepTarget(-1, "/l/a.txt", "/l/", "/t/", "*.txt"));
    const auto one = MakeGrepTarget(0, "/l/a.txt", "/l/", "/t/", "*.txt");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->Scope, TGrepScope::SelectedFile);
    EXPECT_EQ(one->Path, "/l/a.txt");
    EXPECT_EQ(MakeGrepTarget(1, "", "/l/", "/t/", "*.txt")->Path, "/l/");  // the list's directory
    EXPECT_EQ(MakeGrepTarget(2, "", "/l/", "/t/", "*.txt")->Path, "/t/");  // the tree's
}

TEST(CollectGrepFilesTest, EachScopeSortedIgnoringCase) {
    TTempDir tree;
    tree.File("a.txt");
    tree.File("z.txt");
    tree.File("B.TXT");
    tree.File(".hidden.txt");
    tree.File("note.log");
    tree.Dir("sub");
    tree.File("sub/m.txt");
    tree.Dir("sub/deeper");
    tree.File("sub/deeper/c.txt");
    tree.Fifo("pipe.txt");  // never searched: reading it would block
    const std::string root = tree.Root();

    EXPECT_EQ(CollectGrepFiles({TGrepScope::Recursive, root, "*.txt"}),
              (std::vector<std::string>{root + ".hidden.txt", root + "a.txt", root + "B.TXT", root + "sub/deeper/c.txt",
                                        root + "sub/m.txt", root + "z.txt"}));
    EXPECT_EQ(CollectGrepFiles({TGrepScope::Directory, root, "*.txt"}),
              (std::vector<std::string>{root + ".hidden.txt", root + "a.txt", root + "B.TXT", root + "z.txt"}));
    EXPECT_EQ(CollectGrepFiles({TGrepScope::Directory, root, "*.log;b.*"}),
              (std::vector<std::string>{root + "B.TXT", root + "note.log"}));
    EXPECT_EQ(CollectGrepFiles({TGrepScope::SelectedFile, root + "sub/m.txt", "*.log"}),
              (std::vector<std::string>{root + "sub/m.txt"}));  // the mask does not apply
    EXPECT_TRUE(CollectGrepFiles({TGrepScope::SelectedFile, root + "gone.txt", "*"}).empty());
    EXPECT_TRUE(CollectGrepFiles({TGrepScope::SelectedFile, root + "sub", "*"}).empty());
    EXPECT_TRUE(CollectGrepFiles({TGrepScope::SelectedFile, root + "pipe.txt", "*"}).empty());
    EXPECT_TRUE(CollectGrepFiles({TGrepScope::Directory, root + "missing/", "*"}).empty());
}

TEST(CollectGrepFilesTest, ALinkLoopIsEnteredOnceAndCancelStopsEarly) {
    TTempDir tree;
    tree.Dir("d");
    tree.File("d/a.txt");
    tree.Link(tree.Root(), "d/up");  // d/up/d/up/... leads back to the root
    const std::vector<std::string> files = CollectGrepFiles({TGrepScope::Recursive, tree.Root(), "*.txt"});
    EXPECT_EQ(files, (std::vector<std::string>{tree.Path("d/a.txt")}));

    std::atomic<bool> cancel{true};
    EXPECT_TRUE(CollectGrepFiles({TGrepScope::Recursive, tree.Root(), "*.txt"}, &cancel).empty());
}

}  // namespace
