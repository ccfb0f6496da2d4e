// Saving the text view's bytes under faults: past the file-size limit nothing is lost or
// left behind, whether the file is replaced by rename, rewritten in place (hard links) or new.
#include "TextFileIo.h"

#include "FileSizeLimit.h"

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

}  // namespace
}  // namespace xavo
