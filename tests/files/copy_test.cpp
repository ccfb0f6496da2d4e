// Copies: contents, permissions and times kept, nothing replaced, special files refused,
// trees with links, and a copy into the source itself refused.
#include "FileCopy.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace xavo {
namespace {

using test::TTempDir;

TEST(CopyFile, KeepsContentPermissionsAndModificationTime) {
    TTempDir tree;
    std::string big(300000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31);
    tree.File("src", big);
    ::chmod(tree.Path("src").c_str(), 0640);
    const timespec times[2] = {{1000000, 0}, {1234567890, 500}};
    ::utimensat(AT_FDCWD, tree.Path("src").c_str(), times, 0);

    ASSERT_EQ(CopyFileNoReplace(tree.Path("src"), tree.Path("dst")), 0);
    EXPECT_EQ(test::ReadWhole(tree.Path("dst")), big);
    struct stat st {};
    ASSERT_EQ(::stat(tree.Path("dst").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
}

TEST(CopyFile, NeverReplacesAndRefusesWhatIsNotARegularFile) {
    TTempDir tree;
    tree.File("src", "new");
    tree.File("dst", "old");
    tree.Dir("dir");
    tree.Fifo("pipe");
    EXPECT_EQ(CopyFileNoReplace(tree.Path("src"), tree.Path("dst")), EEXIST);
    EXPECT_EQ(test::ReadWhole(tree.Path("dst")), "old");
    EXPECT_EQ(CopyFileNoReplace(tree.Path("dir"), tree.Path("d2")), EINVAL);
    EXPECT_EQ(CopyFileNoReplace(tree.Path("pipe"), tree.Path("p2")), EINVAL);  // must not block
    EXPECT_EQ(CopyFileNoReplace(tree.Path("none"), tree.Path("n2")), ENOENT);
    EXPECT_NE(::access(tree.Path("d2").c_str(), F_OK), 0);
    EXPECT_NE(::access(tree.Path("p2").c_str(), F_OK), 0);
}

TEST(CopyTree, CopiesDirectoriesFilesAndLinksButNoSpecialFiles) {
    TTempDir tree;
    tree.Dir("src");
    tree.File("src/a.txt", "A");
    tree.Dir("src/sub");
    tree.File("src/sub/b.txt", "B");
    tree.Link("..", "src/sub/up");
    tree.Fifo("src/pipe");
    tree.Dir("out");
    ASSERT_EQ(CopyTreeNoReplace(tree.Path("src"), tree.Path("out/src")), 0);
    EXPECT_EQ(test::ReadWhole(tree.Path("out/src/a.txt")), "A");
    EXPECT_EQ(test::ReadWhole(tree.Path("out/src/sub/b.txt")), "B");
    char target[16] = {};
    EXPECT_EQ(::readlink(tree.Path("out/src/sub/up").c_str(), target, sizeof target - 1), 2);
    EXPECT_STREQ(target, "..");
    EXPECT_NE(::access(tree.Path("out/src/pipe").c_str(), F_OK), 0);
    EXPECT_EQ(CopyTreeNoReplace(tree.Path("src"), tree.Path("out/src")), EEXIST);
}

TEST(CopyTree, RefusesACopyIntoTheSourceItself) {
    TTempDir tree;
    tree.Dir("src");
    tree.Dir("src/inner");
    EXPECT_EQ(CopyTreeNoReplace(tree.Path("src"), tree.Path("src/inner/src")), EINVAL);
    EXPECT_EQ(CopyTreeNoReplace(tree.Path("src/"), tree.Path("src/copy")), EINVAL);
    EXPECT_NE(::access(tree.Path("src/inner/src").c_str(), F_OK), 0);
}

TEST(CopyTree, CopiesASingleFileToo) {
    TTempDir tree;
    tree.File("one", "1");
    EXPECT_EQ(CopyTreeNoReplace(tree.Path("one"), tree.Path("two")), 0);
    EXPECT_EQ(test::ReadWhole(tree.Path("two")), "1");
}

}  // namespace
}  // namespace xavo
