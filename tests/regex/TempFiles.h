// A temporary directory for tests that need files, removed afterwards.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace xavo::testing {

class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        FPath = std::filesystem::temp_directory_path() /
                ("xavo-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(FPath);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes bytes to a file in the directory and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = (FPath / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string Path(const std::string& name) const { return (FPath / name).string(); }
    const std::filesystem::path& Root() const { return FPath; }

private:
    std::filesystem::path FPath;
};

}  // namespace xavo::testing
