// Synonym dictionary files: line ends, empty words, atomic replacement, clear errors.
#include "SynonymFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace xavo {
namespace {

namespace fs = std::filesystem;

class SynonymFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = fs::temp_directory_path() / ("xavo-syn-" + std::to_string(::getpid()));
        fs::create_directories(FDir);
    }
    void TearDown() override { fs::remove_all(FDir); }
    std::string Path(const char* name) const { return (FDir / name).string(); }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    fs::path FDir;
};

TEST(SynonymText, LineEnds) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitSynonymText("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitSynonymText("a\r\n"), (V{"a"}));
    EXPECT_EQ(SplitSynonymText("a\r\n\r\nb\r\n"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitSynonymText(""), V{});
    EXPECT_EQ(SplitSynonymText("\x94\x4c\r\n\x83\x6c\x83\x52"), (V{"\x94\x4c", "\x83\x6c\x83\x52"}));
}

TEST_F(SynonymFileTest, WriteThenReadRoundTripsWithCrLf) {
    const std::vector<std::string> words = {"\x94\x4c", "\x83\x6c\x83\x52", "cat", ""};
    WriteSynonymFile(Path("d.txt"), words);
    EXPECT_EQ(Slurp(Path("d.txt")), "\x94\x4c\r\n\x83\x6c\x83\x52\r\ncat\r\n\r\n");
    EXPECT_EQ(ReadSynonymFile(Path("d.txt")), words);
}

TEST_F(SynonymFileTest, MissingFileIsAnErrorNamingIt) {
    try {
        ReadSynonymFile(Path("none.txt"));
        FAIL();
    } catch (const ESynonymFile& e) {
        EXPECT_NE(std::string(e.what()).find(Path("none.txt") + " を読み込めません"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ReadSynonymFile(FDir.string()), ESynonymFile);  // a directory
}

TEST_F(SynonymFileTest, FailedWriteKeepsTheOldDictionary) {
    WriteSynonymFile(Path("d.txt"), {"old", "words"});
    // The target's directory cannot hold a temporary file: a regular file stands in its way.
    EXPECT_THROW(WriteSynonymFile(Path("d.txt") + "/x.txt", {"a", "b"}), ESynonymFile);
    // A directory where the file should be cannot be replaced by rename.
    fs::create_directories(Path("sub.txt"));
    EXPECT_THROW(WriteSynonymFile(Path("sub.txt"), {"a", "b"}), ESynonymFile);
    EXPECT_EQ(ReadSynonymFile(Path("d.txt")), (std::vector<std::string>{"old", "words"}));
    // No temporary files are left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(FDir)) ++entries;
    EXPECT_EQ(entries, 2);
}

TEST_F(SynonymFileTest, ReplacingKeepsPermissionsAndFollowsLinks) {
    WriteSynonymFile(Path("d.txt"), {"a"});
    ::chmod(Path("d.txt").c_str(), 0640);
    fs::create_symlink(Path("d.txt"), Path("link.txt"));
    WriteSynonymFile(Path("link.txt"), {"b", "c"});
    EXPECT_TRUE(fs::is_symlink(Path("link.txt")));
    EXPECT_EQ(ReadSynonymFile(Path("d.txt")), (std::vector<std::string>{"b", "c"}));
    struct stat st{};
    ::stat(Path("d.txt").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace xavo
