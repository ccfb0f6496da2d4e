// Favourite entries and the decisions of a drop on the tree, without a window: default
// names at the root and below, names with "@" and with ァ (whose second byte is "@"),
// finding the first of two equal names, and the directory and file drops' paths.
#include "Favourites.h"
#include "TreeDrop.h"

#include <gtest/gtest.h>

namespace xavo {
namespace {

constexpr const char* kSmallA = "\x83\x40";  // ァ: its second byte is "@"

std::string S(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (std::string_view p : parts) s += p;
    return s;
}

TEST(Favourites, DefaultNamesAtTheRootAndBelow) {
    const struct {
        const char* directory;
        bool fullPath;
        const char* name;
    } cases[] = {
        {"/home/texts/", true, "/home/texts"},
        {"/home/texts/", false, "texts"},
        {"/", true, "/"},
        {"/", false, ""},
        {"/home/", false, "home"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.directory);
        EXPECT_EQ(DefaultFavouriteName(c.directory, c.fullPath), c.name);
    }
}

TEST(Favourites, EntriesSplitOnCharacterBoundariesAndKeepTheirParts) {
    const std::string utf8Dir = "/home/\xe3\x81\x82/";  // あ: its last byte would be a Shift-JIS lead byte
    const struct {
        std::string entry;
        TFavourite parts;
    } cases[] = {
        {"docs@/home/docs/@*.txt", {"docs", "/home/docs/", "*.txt"}},
        {S({kSmallA, "@/a/@*.txt;*.md"}), {kSmallA, "/a/", "*.txt;*.md"}},
        {"a@b@/x/@*", {"a", "b", "/x/@*"}},  // a name holding "@" ends there
        {"@/x/@", {"", "/x/", ""}},
        {"name@" + utf8Dir + "@*.txt", {"name", utf8Dir, "*.txt"}},
        {"broken", {"broken", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        const TFavourite parsed = ParseFavourite(c.entry);
        EXPECT_EQ(parsed.Name, c.parts.Name);
        EXPECT_EQ(parsed.Directory, c.parts.Directory);
        EXPECT_EQ(parsed.Mask, c.parts.Mask);
    }
    EXPECT_EQ(FavouriteEntry({"n", "/d/", "*.c"}), "n@/d/@*.c");
}

TEST(Favourites, FindTakesTheFirstEqualNameExactly) {
    const std::vector<std::string> list = {
        "Docs@/d1/@*", "docs@/d2/@*", "docs@/d3/@*", S({kSmallA, "@/k/@*"}), "a@b@/x/@*",
    };
    EXPECT_EQ(FindFavourite(list, "docs"), 1);
    EXPECT_EQ(FindFavourite(list, "Docs"), 0);
    EXPECT_EQ(FindFavourite(list, kSmallA), 3);
    EXPECT_EQ(FindFavourite(list, "a@b"), -1);  // its name part is "a"
    EXPECT_EQ(FindFavourite(list, "a"), 4);
    EXPECT_EQ(FindFavourite({}, ""), -1);
}

TEST(Favourites, RenamingKeepsDirectoryAndMask) {
    const std::string entry = S({"x", kSmallA, "@/a/b/@*.txt"});
    EXPECT_EQ(RenamedFavourite(entry, S({kSmallA, "y"})), S({kSmallA, "y@/a/b/@*.txt"}));
    EXPECT_EQ(RenamedFavourite("old@/a/@*", ""), "@/a/@*");
}

TEST(TreeDrop, DirectoryDrops) {
    using V = TDirectoryDropVerdict;
    const struct {
        const char* selected;
        const char* target;
        V verdict;
        const char* newPath;
    } cases[] = {
        {"/a/b/", "/x/", V::Ask, "/x/b/"},
        {"/a/b/", "/a/", V::SameParent, "/a/b/"},
        {"/a/b/", "/a/b/", V::SameDirectory, "/a/b/b/"},
        {"/a/", "/a/b/", V::Ask, "/a/b/a/"},  // into its own subtree: refused by the move
        {"/b/", "/", V::SameParent, "/b/"},
        {"/a/B/", "/a/b/", V::Ask, "/a/b/B/"},  // names differing in case are different
        {"/a/b/", "/", V::Ask, "/b/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.selected) + " onto " + c.target);
        const TDirectoryDrop drop = PlanDirectoryDrop(c.selected, c.target);
        EXPECT_EQ(drop.Verdict, c.verdict);
        EXPECT_EQ(drop.NewPath, c.newPath);
        EXPECT_EQ(drop.Destination, c.target);
    }
}

TEST(TreeDrop, FileTargetsAndTheExtensionRule) {
    EXPECT_EQ(FileDropTarget("/a/memo.txt", "/x/"), "/x/memo.txt");
    const struct {
        const char* entered;
        const char* source;
        const char* name;
    } cases[] = {
        {"old", "/a/memo.txt", "old.txt"},
        {"old.bak", "/a/memo.txt", "old.bak"},
        {"old.", "/a/memo.txt", "old."},
        {"old", "/a/README", "old"},
        {"old", "/a/archive.tar.gz", "old.gz"},
        {"sub.d/old", "/a/memo.txt", "sub.d/old.txt"},  // a dot in a directory is no extension
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entered);
        EXPECT_EQ(RenameTargetName(c.entered, c.source), c.name);
    }
}

}  // namespace
}  // namespace xavo
