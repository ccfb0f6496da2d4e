// Saving the text view's bytes under faults: past the file-size limit nothing is lost or
// left behind, whether the file is replaced by rename, rewritten in place (hard links) or new.
// A saved file keeps its owner, group, mode and links.
#include "TextFileIo.h"

#include "FileSizeLimit.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace xavo {
namespace {

namespace fs = std::filesystem;
using test::TFileSizeLimit;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }


TEST(WriteFileBytes, PastTheSizeLimitNothingIsLostOrLeftBehind) {
    enum TKind { Single, HardLinked, New };
    const struct {
        TKind Kind;
        std::size_t OldSize;
        std::size_t NewSize;
        int Error;
    } cases[] = {
        {Single, 100, 200, 0},       {Single, 100, 9000, EFBIG},
        {HardLinked, 100, 200, 0},   {HardLinked, 3000, 10, 0},
        {HardLinked, 100, 9000, EFBIG}, {HardLinked, 3000, 5000, EFBIG},
        {New, 0, 200, 0},            {New, 0, 9000, EFBIG},
    };
    for (const auto& c : cases) {
        const fs::path dir = fs::temp_directory_path() / ("xavoline-io-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directory(dir);
        const fs::path file = dir / "doc.txt";
        const std::string old(c.OldSize, 'o');
        std::string fresh;
        for (std::size_t i = 0; i < c.NewSize; ++i) fresh += static_cast<char>('a' + i % 26);
        if (c.Kind != New) WriteAll(file, old);
        if (c.Kind == HardLinked) fs::create_hard_link(file, dir / "link.txt");
        const std::size_t filesBefore = c.Kind == New ? 0 : c.Kind == HardLinked ? 2 : 1;
        int error = -1;
        {
            const TFileSizeLimit limit(4096);
            error = WriteFileBytes(file.string(), fresh);
        }
        const std::string label = std::to_string(c.Kind) + "/" + std::to_string(c.OldSize) + "/" + std::to_string(c.NewSize);
        EXPECT_EQ(error, c.Error) << label;
        const std::size_t files = static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
        if (c.Error == 0) {
            EXPECT_EQ(ReadAll(file), fresh) << label;
            EXPECT_EQ(files, std::max<std::size_t>(filesBefore, 1)) << label;
        } else {
            EXPECT_EQ(fs::exists(file), c.Kind != New) << label;
            if (c.Kind != New) {
                EXPECT_EQ(ReadAll(file), old) << label;
            }
            EXPECT_EQ(files, filesBefore) << label;  // no temporary file
        }
        if (c.Kind == HardLinked) {
            EXPECT_TRUE(fs::equivalent(file, dir / "link.txt")) << label;  // still one file
            EXPECT_EQ(ReadAll(dir / "link.txt"), ReadAll(file)) << label;
        }
        fs::remove_all(dir);
    }
}

TEST(WriteFileBytes, KeepsOwnerGroupModeAndLinks) {
    // Run as an ordinary user where the tests run as root, so that a rename would give the
    // file the saving user's own group; root's group 0 stays among the user's groups.
    enum TOwner { Ours, OursInOurOtherGroup, OursInAStrangersGroup, AnotherUsers };
    constexpr gid_t kStranger = 4242;
    const struct {
        TOwner Owner;
        mode_t Mode;
        bool Linked;
    } cases[] = {
        {Ours, 0640, false}, {Ours, 0604, true}, {OursInOurOtherGroup, 0660, false},
        {OursInAStrangersGroup, 0664, false}, {AnotherUsers, 0666, false},
    };
    if (::geteuid() != 0) GTEST_SKIP() << "setting up other owners and groups needs root";
    for (const auto& c : cases) {
        test::TTempDir dir;
        const std::string file = dir.File("doc.txt", "old");
        if (c.Linked) ::link(file.c_str(), dir.Path("link.txt").c_str());
        const uid_t user = test::TTempDir::kUnprivilegedId;
        const uid_t owner = c.Owner == AnotherUsers ? kStranger : user;
        const gid_t group = c.Owner == OursInOurOtherGroup ? 0 : c.Owner == OursInAStrangersGroup ? kStranger : user;
        ASSERT_EQ(::chown(file.c_str(), owner, group), 0);
        ASSERT_EQ(::chmod(file.c_str(), c.Mode), 0);
        struct stat before {}, after {};
        ::stat(file.c_str(), &before);
        int error = -1;
        {
            const test::TUnprivileged unprivileged;
            ASSERT_TRUE(unprivileged.Ok());
            error = WriteFileBytes(file, "new");
        }
        const std::string label = std::to_string(c.Owner) + "/" + std::to_string(c.Mode);
        EXPECT_EQ(error, 0) << label;
        EXPECT_EQ(ReadAll(file), "new") << label;
        ::stat(file.c_str(), &after);
        EXPECT_EQ(after.st_uid, before.st_uid) << label;
        EXPECT_EQ(after.st_gid, before.st_gid) << label;
        EXPECT_EQ(after.st_mode, before.st_mode) << label;
        EXPECT_EQ(after.st_nlink, before.st_nlink) << label;
        if (c.Linked) {
            EXPECT_EQ(after.st_ino, before.st_ino) << label;
        }
        EXPECT_EQ(dir.Entries().size(), c.Linked ? 2u : 1u) << label;  // no temporary file
    }
}

}  // namespace
}  // namespace xavo
