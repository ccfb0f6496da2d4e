// Scratch directories and whole-file helpers for the settings tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace xavo::test {

// A fresh directory under $TMPDIR, removed (permissions restored first) at the end.
class TTempDir {
public:
    TTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "xavoline-settings-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        FPath = pattern + "/";
    }
    ~TTempDir() {
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(FPath, ec)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(FPath, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    // The directory, ending in "/", or a path inside it.
    std::string operator()(const std::string& name = {}) const { return FPath + name; }

    // Names of the directory's entries (to see that no temporary file was left).
    std::vector<std::string> Entries(const std::string& sub = {}) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(FPath + sub)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private:
    std::string FPath;
};

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteWhole(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// Permission bits do not stop root; tests of refused writes that rely on them skip then.
inline bool PermissionsBindUs() { return geteuid() != 0; }

}  // namespace xavo::test
