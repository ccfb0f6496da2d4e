// Masks and the order of file lists: wildcard rules, splitting of mask lists, case, UTF-8.
#include "FileMask.h"
#include "Paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace xavo {
namespace {

struct MaskCase {
    const char* mask;
    const char* name;
    bool expected;
};

TEST(MatchMask, WildcardTable) {
    const MaskCase cases[] = {
        // "*" and "?"
        {"*.txt", "a.txt", true},
        {"*.txt", ".txt", true},
        {"*.txt", "a.txt.bak", false},
        {"*.txt", "a.tx", false},
        {"a*", "a", true},
        {"a*b", "axxb", true},
        {"a*b", "axxbc", false},
        {"*a*a*", "banana", true},
        {"?.txt", "a.txt", true},
        {"?.txt", "ab.txt", false},
        {"??.txt", "ab.txt", true},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"*", "anything.at.all", true},
        // case folding on ASCII letters only
        {"*.TXT", "readme.txt", true},
        {"README.*", "readme", true},
        {"*.txt", "A.TXT", true},
        {"\xC3\xA9.txt", "\xC3\x89.txt", false},  // é vs É: not folded
        // the ".*" reading: "*.*" is every name, "x.*" also the bare "x"
        {"*.*", "noextension", true},
        {"*.*", ".hidden", true},
        {"*.*", "a.b.c", true},
        {"readme.*", "readme", true},
        {"readme.*", "readme.md", true},
        {"readme.*", "readmeX", false},
        {"a*.*", "abc", true},
        // one "?" is one UTF-8 character; stray bytes count one each
        {"?.txt", "\xE3\x81\x82.txt", true},
        {"??.txt", "\xE3\x81\x82.txt", false},
        {"*??", "\xE3\x81\x82", false},
        {"*?", "\xE3\x81\x82", true},
        {"?.txt", "\x82\xA0.txt", false},  // two Shift-JIS bytes are two characters here
        {"??.txt", "\x82\xA0.txt", true},
        // a mask never matches across "/" and never matches an empty name
        {"*/a", "x/a", false},
        {"*", "", false},
        {"", "a", false},
    };
    for (const MaskCase& c : cases) {
        EXPECT_EQ(MatchMask(c.mask, c.name), c.expected) << "mask " << c.mask << " name " << c.name;
    }
}

TEST(FileMask, SplitsAtSemicolonsTrimsBlanksAndDropsEmptyParts) {
    EXPECT_EQ(TFileMask("*.txt; *.log ;;\t*.c ").Parts(), (std::vector<std::string>{"*.txt", "*.log", "*.c"}));
    EXPECT_TRUE(TFileMask("").IsEmpty());
    EXPECT_TRUE(TFileMask(" ; ;").IsEmpty());
    EXPECT_TRUE(TFileMask().IsEmpty());
}

TEST(FileMask, MatchesWhenAnyPartMatches) {
    const TFileMask mask("*.txt;*.LOG");
    EXPECT_TRUE(mask.Matches("a.txt"));
    EXPECT_TRUE(mask.Matches("b.log"));
    EXPECT_FALSE(mask.Matches("c.doc"));
    EXPECT_FALSE(TFileMask("").Matches("a.txt"));
}

TEST(PathOrder, IgnoresAsciiCaseThenUsesByteOrder) {
    std::vector<std::string> paths = {"/d/b.txt", "/d/B.txt", "/d/a.txt", "/d/A.txt", "/d/_x",
                                      "/d/Zeta", "/d/alpha", "/d/\xE3\x81\x82", "/d/a"};
    SortPathsIgnoringCase(paths);
    EXPECT_EQ(paths, (std::vector<std::string>{"/d/_x", "/d/a", "/d/A.txt", "/d/a.txt", "/d/alpha",
                                               "/d/B.txt", "/d/b.txt", "/d/Zeta", "/d/\xE3\x81\x82"}));
}

TEST(PathOrder, ComparisonIsAStrictOrder) {
    EXPECT_EQ(ComparePathsIgnoringCase("abc", "abc"), 0);
    EXPECT_LT(ComparePathsIgnoringCase("ABC", "abc"), 0);
    EXPECT_GT(ComparePathsIgnoringCase("abc", "ABC"), 0);
    EXPECT_LT(ComparePathsIgnoringCase("ab", "ABC"), 0);  // the prefix first, whatever the case
    EXPECT_GT(ComparePathsIgnoringCase("aB", "Ab"), 0);  // tie broken at the first differing byte
    EXPECT_GT(ComparePathsIgnoringCase("\xFF", "a"), 0);  // bytes are unsigned
}

TEST(PathHelpers, TrailingSlashAndFileName) {
    EXPECT_EQ(WithTrailingSlash("/a"), "/a/");
    EXPECT_EQ(WithTrailingSlash("/a/"), "/a/");
    EXPECT_EQ(WithTrailingSlash("/"), "/");
    EXPECT_EQ(WithTrailingSlash(""), "");
    EXPECT_EQ(FileNameOf("/a/b.txt"), "b.txt");
    EXPECT_EQ(FileNameOf("b.txt"), "b.txt");
    EXPECT_EQ(FileNameOf("/a/"), "");
    EXPECT_EQ(WithoutTrailingSlash("/a//"), "/a");
    EXPECT_EQ(WithoutTrailingSlash("/"), "/");
    EXPECT_EQ(WithoutTrailingSlash("//"), "/");
    EXPECT_EQ(ParentDirectoryOf("/a/b"), "/a");
    EXPECT_EQ(ParentDirectoryOf("/a/b/"), "/a");
    EXPECT_EQ(ParentDirectoryOf("/a"), "/");
    EXPECT_EQ(ParentDirectoryOf("/"), "/");
    EXPECT_EQ(ParentDirectoryOf("name"), ".");
}

}  // namespace
}  // namespace xavo
