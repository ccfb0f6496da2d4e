// Moves: nothing replaced unless asked, links kept as links, a directory never into its own
// subtree, the fall-backs for file systems without RENAME_NOREPLACE or hard links, and the
// copy across file systems (injected, and real when /dev/shm is another file system)
// keeping the data also when it fails half-way.
#include "FileMove.h"
#include "FileSizeLimit.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace xavo {
namespace {

using test::TTempDir;

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string LinkTarget(const std::string& path) {
    char target[256] = {};
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, static_cast<std::size_t>(n));
}

// The names in Dir, "." and ".." left out (to see that no temporary copy stayed behind).
std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(d);
    }
    return names;
}

// Calls that pretend source and destination lie on different file systems.
TMoveCalls AcrossFileSystems() {
    TMoveCalls calls = SystemMoveCalls();
    const auto real = calls.RenameNoReplace;
    const auto realRename = calls.Rename;
    // Only the move of the source crosses; the temporary copy is renamed really.
    calls.RenameNoReplace = [real](const std::string& from, const std::string& to) {
        return from.find("/src/") != std::string::npos ? EXDEV : real(from, to);
    };
    calls.Rename = [realRename](const std::string& from, const std::string& to) {
        return from.find("/src/") != std::string::npos ? EXDEV : realRename(from, to);
    };
    calls.Link = [](const std::string&, const std::string&) { return EXDEV; };
    return calls;
}

TEST(MoveToPath, WithinAFileSystem) {
    struct Case {
        const char* name;
        const char* source;
        const char* destination;
        bool overwrite;
        int error;
        const char* contentAfter;  // of the destination; nullptr: the destination is absent
    };
    const Case cases[] = {
        {"no clash", "src/a.txt", "dst/a.txt", false, 0, "A"},
        {"a new name", "src/a.txt", "dst/new.bak", false, 0, "A"},
        {"a clash is refused", "src/a.txt", "dst/taken.txt", false, EEXIST, "old"},
        {"a clash overwritten", "src/a.txt", "dst/taken.txt", true, 0, "A"},
        {"a directory is never overwritten", "src/a.txt", "dst/sub", true, EISDIR, nullptr},
        {"no source", "src/none.txt", "dst/none.txt", false, ENOENT, nullptr},
        {"no destination directory", "src/a.txt", "dst/none/a.txt", false, ENOENT, nullptr},
        {"onto itself with overwrite", "src/a.txt", "src/a.txt", true, 0, "A"},
        {"onto itself without", "src/a.txt", "src/a.txt", false, EEXIST, "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir tree;
        tree.Dir("src");
        tree.Dir("dst");
        tree.Dir("dst/sub");
        tree.File("src/a.txt", "A");
        tree.File("dst/taken.txt", "old");
        EXPECT_EQ(MoveToPath(tree.Path(c.source), tree.Path(c.destination), c.overwrite), c.error);
        const bool moved = c.error == 0 && std::string(c.source) != c.destination;
        EXPECT_EQ(Exists(tree.Path("src/a.txt")), !moved);
        if (c.contentAfter != nullptr) {
            EXPECT_EQ(test::ReadWhole(tree.Path(c.destination)), c.contentAfter);
        } else if (std::string(c.destination) != "dst/sub") {
            EXPECT_FALSE(Exists(tree.Path(c.destination)));
        }
    }
}

TEST(MoveToPath, DirectoriesMoveWholeButNeverIntoThemselves) {
    TTempDir tree;
    tree.Dir("a");
    tree.Dir("a/b");
    tree.File("a/b/f.txt", "F");
    tree.Dir("x");
    tree.Dir("x/b");  // an empty directory of the same name: rename(2) alone would replace it

    EXPECT_EQ(MoveToDir(tree.Path("a/b/"), tree.Path("x/"), true), EEXIST);
    EXPECT_EQ(MoveToDir(tree.Path("a"), tree.Path("a/b"), false), EINVAL);
    EXPECT_EQ(MoveToDir(tree.Path("a"), tree.Path("a"), false), EINVAL);
    EXPECT_EQ(test::ReadWhole(tree.Path("a/b/f.txt")), "F");

    ::rmdir(tree.Path("x/b").c_str());
    EXPECT_EQ(MoveToDir(tree.Path("a/b/"), tree.Path("x"), false), 0);
    EXPECT_EQ(test::ReadWhole(tree.Path("x/b/f.txt")), "F");
    EXPECT_FALSE(Exists(tree.Path("a/b")));
}

TEST(MoveToPath, LinksMoveAsLinks) {
    TTempDir tree;
    tree.Dir("src");
    tree.Dir("dst");
    tree.Dir("target");
    tree.File("target/t.txt", "T");
    tree.Link("../target", "src/dirlink");
    tree.Link("nowhere", "src/dangling");
    for (const char* name : {"dirlink", "dangling"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(MoveToDir(tree.Path("src/") + name, tree.Path("dst"), false), 0);
        EXPECT_TRUE(IsLink(tree.Path("dst/") + name));
        EXPECT_FALSE(Exists(tree.Path("src/") + name));
    }
    EXPECT_EQ(LinkTarget(tree.Path("dst/dirlink")), "../target");
    EXPECT_EQ(test::ReadWhole(tree.Path("target/t.txt")), "T");  // what the link named stays where it was
}

TEST(MoveToPath, FallsBackWhereTheFileSystemCannotRefuseToReplace) {
    for (const bool hardLinks : {true, false}) {
        SCOPED_TRACE(hardLinks ? "link and unlink" : "reserved name");
        TTempDir tree;
        tree.Dir("src");
        tree.Dir("src/d");
        tree.Dir("dst");
        tree.File("src/a.txt", "A");
        tree.File("src/b.txt", "B");
        tree.File("dst/b.txt", "old");
        tree.Dir("dst/d");
        TMoveCalls calls = SystemMoveCalls();
        calls.RenameNoReplace = [](const std::string&, const std::string&) { return EINVAL; };
        if (!hardLinks) calls.Link = [](const std::string&, const std::string&) { return EPERM; };

        EXPECT_EQ(MoveToDir(tree.Path("src/a.txt"), tree.Path("dst"), false, calls), 0);
        EXPECT_EQ(test::ReadWhole(tree.Path("dst/a.txt")), "A");
        EXPECT_FALSE(Exists(tree.Path("src/a.txt")));
        EXPECT_EQ(MoveToDir(tree.Path("src/b.txt"), tree.Path("dst"), false, calls), EEXIST);
        EXPECT_EQ(test::ReadWhole(tree.Path("dst/b.txt")), "old");
        EXPECT_EQ(test::ReadWhole(tree.Path("src/b.txt")), "B");
        EXPECT_EQ(MoveToDir(tree.Path("src/d"), tree.Path("dst"), false, calls), EEXIST);
        EXPECT_TRUE(Exists(tree.Path("src/d")));
        ::rmdir(tree.Path("dst/d").c_str());
        EXPECT_EQ(MoveToDir(tree.Path("src/d"), tree.Path("dst"), false, calls), 0);
        EXPECT_FALSE(Exists(tree.Path("src/d")));
    }
}

TEST(MoveToPath, AcrossFileSystemsCopiesFlushesThenRemovesTheSource) {
    TTempDir tree;
    tree.Dir("src");
    tree.Dir("dst");
    std::string big(300000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    tree.File("src/big.bin", big);
    ::chmod(tree.Path("src/big.bin").c_str(), 0640);
    const timespec times[2] = {{1000000, 0}, {1234567890, 0}};
    ::utimensat(AT_FDCWD, tree.Path("src/big.bin").c_str(), times, 0);
    tree.Link("big.bin", "src/link");
    tree.File("src/taken.txt", "new");
    tree.File("dst/taken.txt", "old");
    tree.Dir("src/dir");
    const TMoveCalls calls = AcrossFileSystems();

    EXPECT_EQ(MoveToDir(tree.Path("src/big.bin"), tree.Path("dst"), false, calls), 0);
    EXPECT_EQ(test::ReadWhole(tree.Path("dst/big.bin")), big);
    struct stat st {};
    ASSERT_EQ(::stat(tree.Path("dst/big.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
    EXPECT_FALSE(Exists(tree.Path("src/big.bin")));

    EXPECT_EQ(MoveToDir(tree.Path("src/link"), tree.Path("dst"), false, calls), 0);
    EXPECT_EQ(LinkTarget(tree.Path("dst/link")), "big.bin");

    EXPECT_EQ(MoveToDir(tree.Path("src/taken.txt"), tree.Path("dst"), false, calls), EEXIST);
    EXPECT_EQ(test::ReadWhole(tree.Path("dst/taken.txt")), "old");
    EXPECT_EQ(MoveToDir(tree.Path("src/taken.txt"), tree.Path("dst"), true, calls), 0);
    EXPECT_EQ(test::ReadWhole(tree.Path("dst/taken.txt")), "new");

    EXPECT_EQ(MoveToDir(tree.Path("src/dir"), tree.Path("dst"), false, calls), EXDEV);
    EXPECT_TRUE(Exists(tree.Path("src/dir")));
    EXPECT_EQ(Names(tree.Path("dst")).size(), 3u);  // big.bin, link, taken.txt: no temporary left
}

TEST(MoveToPath, AcrossFileSystemsAFailureKeepsTheSourceAndLeavesNoCopy) {
    TTempDir tree;
    tree.Dir("src");
    tree.Dir("dst");
    const std::string big(200000, 'b');
    tree.File("src/big.bin", big);
    tree.File("src/a.txt", "A");

    {   // The copy fails half-way: writes beyond 64 KiB are refused (EFBIG, also for root).
        int error = 0;
        {
            const test::TFileSizeLimit limit(65536);
            error = MoveToDir(tree.Path("src/big.bin"), tree.Path("dst"), false, AcrossFileSystems());
        }
        EXPECT_EQ(error, EFBIG);
    }
    EXPECT_EQ(test::ReadWhole(tree.Path("src/big.bin")), big);
    EXPECT_TRUE(Names(tree.Path("dst")).empty());

    // The source cannot be removed after the copy is in place: the copy goes again.
    TMoveCalls calls = AcrossFileSystems();
    const auto unlink = calls.Unlink;
    calls.Unlink = [unlink](const std::string& path) { return path.find("/src/") != std::string::npos ? EBUSY : unlink(path); };
    EXPECT_EQ(MoveToDir(tree.Path("src/a.txt"), tree.Path("dst"), false, calls), EBUSY);
    EXPECT_EQ(test::ReadWhole(tree.Path("src/a.txt")), "A");
    EXPECT_TRUE(Names(tree.Path("dst")).empty());
}

TEST(MoveToPath, AcrossFileSystemsASourceChangedMeanwhileIsKeptBesideTheCopy) {
    // Another program changes the source while it is copied: saved anew (write and rename,
    // a new inode), rewritten in place (another size), or only touched (another time).
    const struct {
        const char* Name;
        void (*Change)(const TTempDir&, const std::string&);
    } cases[] = {
        {"saved anew", [](const TTempDir& tree, const std::string& source) {
             tree.File("newer", "new version");
             ::rename(tree.Path("newer").c_str(), source.c_str());
         }},
        {"rewritten", [](const TTempDir& tree, const std::string&) { tree.File("src/a.txt", "new version"); }},
        {"touched", [](const TTempDir&, const std::string& source) {
             const timespec times[2] = {{0, UTIME_OMIT}, {1234567890, 0}};
             ::utimensat(AT_FDCWD, source.c_str(), times, 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir tree;
        tree.Dir("src");
        tree.Dir("dst");
        const std::string source = tree.File("src/a.txt", "old");
        const timespec times[2] = {{1000000, 0}, {1000000, 0}};
        ::utimensat(AT_FDCWD, source.c_str(), times, 0);
        struct stat before {};
        ::stat(source.c_str(), &before);
        TMoveCalls calls = AcrossFileSystems();
        const auto rename = calls.RenameNoReplace;
        // The copy is complete when it is renamed into place: the change comes just before.
        calls.RenameNoReplace = [&, rename](const std::string& from, const std::string& to) {
            if (from.find("/src/") == std::string::npos) c.Change(tree, source);
            return rename(from, to);
        };
        EXPECT_EQ(MoveToDir(source, tree.Path("dst"), false, calls), kMoveSourceChanged);
        EXPECT_EQ(test::ReadWhole(tree.Path("dst/a.txt")), "old");
        struct stat after {};
        ASSERT_EQ(::stat(source.c_str(), &after), 0) << "the changed source was removed";
        if (after.st_ino == before.st_ino && after.st_size == before.st_size) EXPECT_EQ(test::ReadWhole(source), "old");
        else EXPECT_EQ(test::ReadWhole(source), "new version");
        EXPECT_EQ(Names(tree.Path("dst")).size(), 1u);
    }
}

TEST(MoveToPath, ReallyAcrossFileSystemsWhenThereAreTwo) {
    TTempDir tree;
    tree.File("a.txt", "A");
    std::string other = "/dev/shm/xavo-move-XXXXXX";
    if (::mkdtemp(other.data()) == nullptr) GTEST_SKIP() << "no second file system at /dev/shm";
    struct stat here {}, shm {};
    ::stat(tree.Root().c_str(), &here);
    ::stat(other.c_str(), &shm);
    if (here.st_dev == shm.st_dev) {
        ::rmdir(other.c_str());
        GTEST_SKIP() << "/dev/shm is on the same file system";
    }
    const int error = MoveToDir(tree.Path("a.txt"), other, false);
    const std::string moved = test::ReadWhole(other + "/a.txt");
    const std::size_t there = Names(other).size();  // the file and no temporary copy
    ::unlink((other + "/a.txt").c_str());
    ::rmdir(other.c_str());
    EXPECT_EQ(error, 0);
    EXPECT_EQ(moved, "A");
    EXPECT_EQ(there, 1u);
    EXPECT_FALSE(Exists(tree.Path("a.txt")));
}

}  // namespace
}  // namespace xavo
