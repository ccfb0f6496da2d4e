// Atomic replacement of a file: what the replaced file keeps (bits, link), what a new one
// gets (the umask, its directory), and that no temporary file is left.
#include "AtomicFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace xavo {
namespace {

using test::ReadWhole;
using test::TTempDir;
using test::WriteWhole;

TEST(AtomicFile, KeepsPermissionsAndFollowsLinks) {
    TTempDir dir;
    WriteWhole(dir.Path("a.ini"), "old");
    chmod(dir.Path("a.ini").c_str(), 0640);
    symlink(dir.Path("a.ini").c_str(), dir.Path("link.ini").c_str());
    ReplaceFileAtomically(dir.Path("link.ini"), "new");
    struct stat st {};
    lstat(dir.Path("link.ini").c_str(), &st);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    stat(dir.Path("a.ini").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadWhole(dir.Path("a.ini")), "new");
    auto entries = dir.Entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"a.ini", "link.ini"}));
}

TEST(AtomicFile, NewFileFollowsTheUmaskAndMayCreateItsDirectory) {
    TTempDir dir;
    const mode_t old = umask(027);
    ReplaceFileAtomically(dir.Path("new.ini"), "x");
    EXPECT_THROW(ReplaceFileAtomically(dir.Path("cfg/xavoline/a.ini"), "x"), std::system_error);
    ReplaceFileAtomically(dir.Path("cfg/xavoline/a.ini"), "x", true);
    umask(old);
    struct stat st {};
    stat(dir.Path("new.ini").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    stat(dir.Path("cfg/xavoline").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0700u & ~027u);
    EXPECT_EQ(ReadWhole(dir.Path("cfg/xavoline/a.ini")), "x");
}

}  // namespace
}  // namespace xavo
