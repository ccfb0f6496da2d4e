// The screen-free side of replacing: every occurrence in byte text, output paths, the
// files a batch takes, and outputs that are never left half written.
#include "BatchReplace.h"
#include "Encoding.h"
#include "FileSizeLimit.h"
#include "SjisCodec.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

using namespace xavo;
using xavo::test::TTempDir;

namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Names in Directory, "." and ".." left out.
std::vector<std::string> Names(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReplaceAllBytes, ReplacesWhatTheForwardSearchFindsAndNothingElse) {
    struct Case {
        const char* Name;
        std::string Text, Find, Replacement;
        TFindOptions Options;
        std::size_t From;
        std::string Expected;
        int Count;
    };
    const std::string ha = "\x8E\x95", shi = "\x8E\xA6", hyo = "\x95\x5C";  // 歯 示 表
    const Case cases[] = {
        {"line ends of every kind and a missing final one are kept", "foo\r\nfoo\nx\rfoo", "foo", "barbaz", frMatchCase, 0,
         "barbaz\r\nbarbaz\nx\rbarbaz", 3},
        {"invalid bytes and a lone lead byte stay", "\xFF" "foo\x80\r\n\x81", "foo", "b", frMatchCase, 0, "\xFF" "b\x80\r\n\x81", 1},
        {"ASCII text ignores case without match case", "Foo fOO foo", "foo", "x", 0, 0, "x x x", 3},
        {"match case compares exactly", "Foo fOO foo", "foo", "x", frMatchCase, 0, "Foo fOO x", 1},
        {"never from the trail byte of a character", ha + "\\" + shi + " " + hyo + shi, hyo + shi, "!", 0, 0,
         ha + "\\" + shi + " !", 1},
        {"a double-byte text compares exactly", "\x82\x60\x82\x81", "\x82\x81", "b", 0, 0, "\x82\x60" "b", 1},
        {"a replacement is not searched again", "aa", "a", "aa", frMatchCase, 0, "aaaa", 2},
        {"occurrences do not overlap", "aaa", "aa", "b", frMatchCase, 0, "ba", 1},
        {"only from the given position on", "foo foo", "foo", "x", frMatchCase, 1, "foo x", 1},
        {"no occurrence: the same bytes", "a\r\nb\n", "zz", "y", 0, 0, "a\r\nb\n", 0},
        {"an empty text to find replaces nothing", "abc", "", "y", 0, 0, "abc", 0},
    };
    for (const Case& c : cases) {
        const TByteReplacement result = ReplaceAllBytes(c.Text, c.Find, c.Replacement, c.Options, c.From);
        EXPECT_EQ(result.Text, c.Expected) << c.Name;
        EXPECT_EQ(result.Count, c.Count) << c.Name;
    }
}

TEST(ReplaceAllInFile, ReplacesInEachFilesOwnEncoding) {
    struct Case {
        const char* Name;
        TFileEncoding Encoding;
        std::u16string Text, Find, Replacement, Expected;
        int Count;
        std::string Tail = {};  // raw bytes after the text, past what the detection reads
        bool Unencodable = false;  // left as it is: the encoding cannot store the replacement
    };
    const TFileEncoding utf8{TEncoding::Utf8}, eucJp{TEncoding::EucJp};
    const std::string late = std::string(70000, 'x') + "\xFF\xC3(";
    const Case cases[] = {
        {"UTF-8: a replacement Shift-JIS lacks is kept, ill-formed bytes too", utf8, u"日本語のテキスト\n日本語😀\r\n",
         u"日本", u"🎌", u"🎌語のテキスト\n🎌語😀\r\n", 2, late},
        {"EUC-JP", eucJp, u"東京から京都までの新幹線\n", u"京", u"都", u"東都から都都までの新幹線\n", 2},
        {"JIS", {TEncoding::Jis}, u"件名：テスト\r\n本文のテスト\r\n", u"テスト", u"試験", u"件名：試験\r\n本文の試験\r\n", 2},
        {"UTF-16 with a mark, case ignored", {TEncoding::Utf16Be, true}, u"ABC と abc", u"abc", u"x", u"x と x", 2},
        {"a '?' is not a character Shift-JIS lacks", utf8, u"😀¥?日本語の文章です", u"?", u"！", u"😀¥！日本語の文章です", 1},
        {"Shift-JIS as before", {}, u"漢字とかな\r\n", u"かな", u"カナ", u"漢字とカナ\r\n", 1},
        {"no occurrence: the same bytes", utf8, u"日本語のテキスト\n", u"英語", u"x", u"日本語のテキスト\n", 0, late},
        {"EUC-JP lacks an IBM kanji", eucJp, u"高橋さん\n", u"高", u"髙", u"高橋さん\n", 0, {}, true},
        {"EUC-JP lacks an emoji, however long the file", eucJp, u"手順1と手順2\n", u"1", u"🔟", u"手順1と手順2\n", 0, late, true},
        {"JIS lacks a character beyond the BMP", {TEncoding::Jis}, u"件名：吉野\r\n", u"吉", u"𠮷", u"件名：吉野\r\n", 0, {}, true},
        {"Shift-JIS lacks an emoji", {}, u"晴れのち曇り\r\n", u"晴れ", u"☀️", u"晴れのち曇り\r\n", 0, {}, true},
        {"Shift-JIS lacks the copyright sign", {}, u"(c) 2024", u"(c)", u"©", u"(c) 2024", 0, {}, true},
        {"no occurrence: nothing to tell", {}, u"晴れのち曇り\r\n", u"雨", u"☔", u"晴れのち曇り\r\n", 0},
    };
    for (const Case& c : cases) {
        const TByteReplacement result =
            ReplaceAllInFile(EncodeText(c.Text, c.Encoding) + c.Tail, EncodeSjis(c.Find), c.Replacement, frDown);
        EXPECT_EQ(result.Text, EncodeText(c.Expected, c.Encoding) + c.Tail) << c.Name;
        EXPECT_EQ(result.Count, c.Count) << c.Name;
        EXPECT_EQ(result.Unencodable, c.Unencodable) << c.Name;
        EXPECT_EQ(result.Encoding, c.Encoding) << c.Name;
    }
}

TEST(BatchOutput, MirrorsTheRelativePathUnderTheChosenDirectory) {
    struct Case {
        std::string Chosen, SourceDirectory, Source, Expected;
    };
    const Case cases[] = {
        {"/out", "/src/", "/src/a.txt", "/out/a.txt"},
        {"/out/", "/src/", "/src/x/b.txt", "/out/x/b.txt"},
        {"/", "/src/", "/src/a.txt", "/a.txt"},  // the root plays the drive root
        {"/", "/", "/x/a.txt", "/x/a.txt"},
        {"/src", "/src/", "/src/a.txt", "/src/a.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BatchOutputPath(c.SourceDirectory, c.Source, BatchOutputRoot(c.Chosen)), c.Expected) << c.Chosen;
}

TEST(CollectBatchFiles, TakesTheMaskedFilesOfTheDirectoryAndWithRecursionBelowIt) {
    TTempDir tree;
    tree.File("b.txt");
    tree.File("A.TXT");
    tree.File(".hidden.txt");
    tree.File("c.log");
    tree.File("d.dat");
    tree.Dir("sub");
    tree.File("sub/e.txt");
    tree.Dir("sub/deeper");
    tree.File("sub/deeper/f.txt");
    tree.Fifo("fifo.txt");
    const std::string r = tree.Root();
    EXPECT_EQ(CollectBatchFiles(r, "*.txt", false), (std::vector<std::string>{r + ".hidden.txt", r + "A.TXT", r + "b.txt"}));
    EXPECT_EQ(CollectBatchFiles(r, "*.txt", true),
              (std::vector<std::string>{r + ".hidden.txt", r + "A.TXT", r + "b.txt", r + "sub/e.txt", r + "sub/deeper/f.txt"}));
    EXPECT_EQ(CollectBatchFiles(r, "*.log; *.dat", false), (std::vector<std::string>{r + "c.log", r + "d.dat"}));
}

TEST(BatchOutputFiles, DirectoriesAreMadeFromTheTopDownAndFilesReplacedWhole) {
    TTempDir tree;
    const std::string out = tree.Path("out/x/y/b.txt");
    CreateParentDirectories(out);
    WriteOutputFile(out, "new", false);
    EXPECT_EQ(Read(out), "new");

    tree.File("kept.txt", "old");
    ::chmod(tree.Path("kept.txt").c_str(), 0640);
    WriteOutputFile(tree.Path("kept.txt"), "replaced", false);
    EXPECT_EQ(Read(tree.Path("kept.txt")), "replaced");
    struct stat st {};
    ASSERT_EQ(::stat(tree.Path("kept.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    tree.File("plain", "x");
    EXPECT_THROW(CreateParentDirectories(tree.Path("plain/sub/a.txt")), EBatchReplaceError);
    tree.Dir("adir");
    EXPECT_THROW(WriteOutputFile(tree.Path("adir"), "x", false), EBatchReplaceError);
    EXPECT_EQ(Names(tree.Root()), (std::vector<std::string>{"adir", "kept.txt", "out", "plain"}));
}

TEST(BatchOutputFiles, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    TTempDir tree;
    tree.File("a.txt", "old");
    tree.File("b.txt", "old");
    ::link(tree.Path("b.txt").c_str(), tree.Path("b-link.txt").c_str());  // rewritten in place
    for (const char* name : {"a.txt", "b.txt", "new.txt"}) {
        const std::string path = tree.Path(name);
        try {
            const test::TFileSizeLimit limit(4096);
            WriteOutputFile(path, std::string(9000, 'n'), true);
            ADD_FAILURE() << "the write should fail: " << name;
        } catch (const EBatchReplaceError& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos);
        }
    }
    EXPECT_EQ(Read(tree.Path("a.txt")), "old");
    EXPECT_EQ(Read(tree.Path("b.txt")), "old");
    EXPECT_EQ(Names(tree.Root()), (std::vector<std::string>{"a.txt", "b-link.txt", "b.txt"}));
}

TEST(BatchOutputFiles, TheSameDirectoryIsRecognisedThroughLinks) {
    TTempDir tree;
    tree.Dir("src");
    tree.Dir("other");
    tree.Link(tree.Path("src"), "link");
    EXPECT_TRUE(IsSameDirectory(tree.Path("src"), tree.Path("src/")));
    EXPECT_TRUE(IsSameDirectory(tree.Path("link"), tree.Path("src/")));
    EXPECT_FALSE(IsSameDirectory(tree.Path("other"), tree.Path("src/")));
    EXPECT_FALSE(IsSameDirectory(tree.Path("missing"), tree.Path("missing")));
}

}  // namespace
