// Directory reading on real temporary trees: which entries a listing returns, special files,
// links, link loops, unreadable directories, cancelling, attributes.
#include "Directory.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace xavo {
namespace {

using test::TTempDir;
using test::TUnprivileged;

// Fails the test program instead of letting it hang if a listing ever opens a FIFO.
class TNoHangGuard {
public:
    TNoHangGuard() { ::alarm(20); }
    ~TNoHangGuard() { ::alarm(0); }
};

std::vector<std::string> Names(const std::vector<std::string>& paths, const std::string& root) {
    std::vector<std::string> names;
    for (const std::string& p : paths) names.push_back(p.substr(0, root.size()) == root ? p.substr(root.size()) : p);
    return names;
}

std::vector<std::string> List(const TTempDir& tree, const std::string& mask, int* error = nullptr) {
    std::vector<std::string> paths;
    const int e = ListFiles(tree.Root(), TFileMask(mask), paths);
    if (error != nullptr) *error = e;
    return Names(paths, tree.Root());
}

class ListFilesTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* f : {"a.txt", "B.TXT", "c.log", "d.doc", "README", "archive.tar.gz", ".hidden.txt"})
            tree.File(f);
        tree.Dir("sub.txt");
        tree.File("sub.txt/inner.txt");
    }
    TTempDir tree;
};

TEST_F(ListFilesTest, MaskSelectsFilesAndSortsIgnoringCase) {
    const struct {
        const char* mask;
        std::vector<std::string> expected;
    } cases[] = {
        {"*.txt", {".hidden.txt", "a.txt", "B.TXT"}},
        {"*.txt;*.log", {".hidden.txt", "a.txt", "B.TXT", "c.log"}},
        {"*.txt;a*", {".hidden.txt", "a.txt", "archive.tar.gz", "B.TXT"}},  // a.txt once
        {"*.txt;*.TXT; *.txt", {".hidden.txt", "a.txt", "B.TXT"}},
        {"*.*", {".hidden.txt", "a.txt", "archive.tar.gz", "B.TXT", "c.log", "d.doc", "README"}},
        {"readme", {"README"}},
        {"?.doc", {"d.doc"}},
        {"*.none", {}},
        {"", {}},
        {";", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(List(tree, c.mask), c.expected) << "mask " << c.mask;
}

TEST_F(ListFilesTest, DirectoriesAndSpecialFilesAreNeverListed) {
    TNoHangGuard guard;
    tree.Fifo("pipe.txt");
    tree.Link("sub.txt", "dirlink.txt");
    tree.Link("missing", "dangling.txt");
    tree.Link("a.txt", "filelink.txt");
    tree.Link("pipe.txt", "pipelink.txt");
    const std::string socketPath = tree.Path("sock.txt");
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof addr.sun_path);
    socketPath.copy(addr.sun_path, socketPath.size());
    ASSERT_EQ(::bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);

    EXPECT_EQ(List(tree, "*.txt"), (std::vector<std::string>{".hidden.txt", "a.txt", "B.TXT", "filelink.txt"}));
    ::close(s);
}

TEST_F(ListFilesTest, ReplacesThePreviousContents) {
    std::vector<std::string> paths = {"stale"};
    EXPECT_EQ(ListFiles(tree.Root(), TFileMask("c.*"), paths), 0);
    EXPECT_EQ(paths, std::vector<std::string>{tree.Root() + "c.log"});
}

TEST_F(ListFilesTest, DirectoryWithoutTrailingSlashGivesTheSamePaths) {
    std::vector<std::string> paths;
    std::string dir = tree.Root();
    dir.pop_back();
    ListFiles(dir, TFileMask("c.log"), paths);
    EXPECT_EQ(paths, std::vector<std::string>{tree.Root() + "c.log"});
}

TEST(ListFiles, MissingDirectoryOrAFileGivesAnErrorAndNoPaths) {
    TTempDir tree;
    tree.File("plain");
    std::vector<std::string> paths = {"stale"};
    EXPECT_EQ(ListFiles(tree.Path("nothing/"), TFileMask("*.*"), paths), ENOENT);
    EXPECT_TRUE(paths.empty());
    EXPECT_EQ(ListFiles(tree.Path("plain/"), TFileMask("*.*"), paths), ENOTDIR);
    EXPECT_TRUE(paths.empty());
}

TEST(ListFiles, FifoGivenAsTheDirectoryDoesNotBlock) {
    TNoHangGuard guard;
    TTempDir tree;
    tree.Fifo("pipe");
    std::vector<std::string> paths;
    EXPECT_EQ(ListFiles(tree.Path("pipe"), TFileMask("*"), paths), ENOTDIR);
}

TEST(ListFiles, UnreadableDirectoryGivesAnEmptyList) {
    TTempDir tree;
    tree.Dir("closed");
    tree.File("closed/a.txt");
    ::chmod(tree.Path("closed").c_str(), 0);
    TUnprivileged user;
    if (!user.Ok()) GTEST_SKIP() << "cannot drop root privileges here";
    std::vector<std::string> paths;
    EXPECT_EQ(ListFiles(tree.Path("closed/"), TFileMask("*.*"), paths), EACCES);
    EXPECT_TRUE(paths.empty());
}

TEST(ForEachSubdirectory, ReportsDirectoriesAndLinksToThemWithAttributes) {
    TTempDir tree;
    tree.Dir("plain");
    tree.Dir(".hidden");
    tree.Dir("locked");
    tree.File("file");
    tree.Link("plain", "link");
    tree.Link("file", "filelink");
    tree.Fifo("pipe");
    ::chmod(tree.Path("locked").c_str(), 0555);
    TUnprivileged user;
    std::vector<std::pair<std::string, TSubdirectory>> seen;
    EXPECT_EQ(ForEachSubdirectory(tree.Root(), [&](const TSubdirectory& d) {
                  seen.emplace_back(std::string(d.Name), d);
                  return true;
              }), 0);
    std::sort(seen.begin(), seen.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].first, ".hidden");
    EXPECT_EQ(seen[0].second.Attributes, faDirectory | faHidden);
    EXPECT_EQ(seen[1].first, "link");
    EXPECT_TRUE(seen[1].second.IsLink);
    EXPECT_EQ(seen[2].first, "locked");
    if (user.Ok()) {
        EXPECT_EQ(seen[2].second.Attributes, faDirectory | faReadOnly);
    }
    EXPECT_EQ(seen[3].first, "plain");
    EXPECT_EQ(seen[3].second.Attributes, faDirectory);
    EXPECT_FALSE(seen[3].second.IsLink);
}

TEST(ForEachSubdirectory, StopsWhenTheVisitorSaysSo) {
    TTempDir tree;
    for (const char* d : {"a", "b", "c"}) tree.Dir(d);
    int calls = 0;
    EXPECT_EQ(ForEachSubdirectory(tree.Root(), [&](const TSubdirectory&) { return ++calls < 2; }), 0);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(ForEachSubdirectory(tree.Path("none"), [](const TSubdirectory&) { return true; }), ENOENT);
}

TEST(Attributes, MapOntoNamesPermissionsAndFileKinds) {
    TTempDir tree;
    tree.File("plain");
    tree.File(".dot");
    tree.File("ro");
    tree.Dir("dir");
    tree.Fifo("pipe");
    ::chmod(tree.Path("ro").c_str(), 0444);
    TUnprivileged user;
    EXPECT_EQ(AttributesOf(tree.Path("plain")), faArchive);
    EXPECT_EQ(AttributesOf(tree.Path(".dot")), faArchive | faHidden);
    if (user.Ok()) {
        EXPECT_EQ(AttributesOf(tree.Path("ro")), faArchive | faReadOnly);
    }
    EXPECT_EQ(AttributesOf(tree.Path("dir/")), faDirectory);
    EXPECT_EQ(AttributesOf(tree.Path("pipe")), faSystem);
    EXPECT_EQ(AttributesOf(tree.Path("none")), 0);
    TFileId dir{}, viaLink{}, other{};
    tree.Link("dir", "dirlink");
    ASSERT_TRUE(FileIdOf(tree.Path("dir"), dir));
    ASSERT_TRUE(FileIdOf(tree.Path("dirlink/"), viaLink));
    ASSERT_TRUE(FileIdOf(tree.Path("plain"), other));
    EXPECT_EQ(dir, viaLink);
    EXPECT_FALSE(dir == other);
    EXPECT_FALSE(FileIdOf(tree.Path("none"), other));
    EXPECT_TRUE(IsDirectory(tree.Path("dir")));
    EXPECT_FALSE(IsDirectory(tree.Path("plain")));
    EXPECT_FALSE(IsDirectory(tree.Path("none")));
}

class CollectTest : public testing::Test {
protected:
    void SetUp() override {
        tree.File("z.txt");
        tree.File("a.txt");
        tree.File("skip.log");
        tree.Dir("sub");
        tree.File("sub/m.txt");
        tree.Dir("sub/deeper");
        tree.File("sub/deeper/.h.txt");
        tree.Dir("Another");
        tree.File("Another/n.TXT");
    }
    std::vector<std::string> Collect(const TCollectOptions& options = {}, const std::string& mask = "*.txt") {
        std::vector<std::string> paths;
        EXPECT_TRUE(CollectMatchingFiles(tree.Root(), TFileMask(mask), options, paths));
        return Names(paths, tree.Root());
    }
    TTempDir tree;
};

TEST_F(CollectTest, FilesFirstThenSubdirectoriesDepthFirst) {
    EXPECT_EQ(Collect(), (std::vector<std::string>{"a.txt", "z.txt", "Another/n.TXT", "sub/m.txt",
                                                   "sub/deeper/.h.txt"}));
}

TEST_F(CollectTest, AppendsWithoutRecursionWhenAsked) {
    std::vector<std::string> paths = {"kept"};
    TCollectOptions options;
    options.Recurse = false;
    EXPECT_TRUE(CollectMatchingFiles(tree.Root(), TFileMask("*.txt"), options, paths));
    EXPECT_EQ(Names(paths, tree.Root()), (std::vector<std::string>{"kept", "a.txt", "z.txt"}));
}

TEST_F(CollectTest, AttributeMaskSelectsByAttributeWord) {
    TCollectOptions options;
    options.Attributes = faHidden;
    EXPECT_EQ(Collect(options), std::vector<std::string>{"sub/deeper/.h.txt"});
    options.Attributes = faSystem;  // regular files never carry it
    EXPECT_TRUE(Collect(options).empty());
}

TEST_F(CollectTest, FollowsLinksToDirectoriesButEntersEachDirectoryOnce) {
    TNoHangGuard guard;
    tree.Link("..", "sub/deeper/up");                // a loop back to sub
    tree.Link(tree.Path("sub"), "linked");          // a second way into sub
    tree.Link("nowhere", "broken");
    tree.Fifo("sub/fifo.txt");
    const std::vector<std::string> names = Collect();
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "z.txt", "Another/n.TXT", "linked/m.txt",
                                               "linked/deeper/.h.txt"}));
}

TEST_F(CollectTest, LinkToTheStartingDirectoryDoesNotRepeatIt) {
    TNoHangGuard guard;
    tree.Link(tree.Root(), "self");
    EXPECT_EQ(Collect().size(), 5u);
}

TEST_F(CollectTest, UnreadableDirectoriesAreReportedAndSkipped) {
    tree.Dir("closed");
    tree.File("closed/secret.txt");
    ::chmod(tree.Path("closed").c_str(), 0);
    TUnprivileged user;
    if (!user.Ok()) GTEST_SKIP() << "cannot drop root privileges here";
    std::vector<std::pair<std::string, int>> reported;
    TCollectOptions options;
    options.OnUnreadable = [&](const std::string& dir, int error) { reported.emplace_back(dir, error); };
    const std::vector<std::string> names = Collect(options);
    EXPECT_EQ(names.size(), 5u);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], std::make_pair(tree.Path("closed/"), EACCES));
}

TEST(Collect, MissingStartingDirectoryIsReported) {
    TTempDir tree;
    int error = 0;
    TCollectOptions options;
    options.OnUnreadable = [&](const std::string&, int e) { error = e; };
    std::vector<std::string> paths;
    EXPECT_TRUE(CollectMatchingFiles(tree.Path("none"), TFileMask("*"), options, paths));
    EXPECT_EQ(error, ENOENT);
    EXPECT_TRUE(paths.empty());
}

TEST_F(CollectTest, OnDirectorySeesEachDirectoryAndCanCancel) {
    std::vector<std::string> seen;
    TCollectOptions options;
    options.OnDirectory = [&](const std::string& dir) {
        seen.push_back(dir.substr(tree.Root().size()));
        return seen.size() < 3;
    };
    std::vector<std::string> paths;
    EXPECT_FALSE(CollectMatchingFiles(tree.Root(), TFileMask("*.txt"), options, paths));
    EXPECT_EQ(seen, (std::vector<std::string>{"", "Another/", "sub/"}));
    EXPECT_EQ(Names(paths, tree.Root()), (std::vector<std::string>{"a.txt", "z.txt", "Another/n.TXT"}));
}

}  // namespace
}  // namespace xavo
