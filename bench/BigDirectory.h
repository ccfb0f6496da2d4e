// A directory of 100,000 empty files (90,000 "*.txt", 10,000 "*.log") and 20
// subdirectories, built once under $TMPDIR on first use and removed at exit.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace xavo::bench {

class TBigDirectory {
public:
    static constexpr int kFiles = 100000;

    TBigDirectory() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/xavo-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        FRoot = pattern + "/";
        for (int i = 0; i < kFiles; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "File_%06d.%s", (i * 7919) % kFiles, i % 10 == 0 ? "log" : "txt");
            const int fd = ::open((FRoot + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd >= 0) ::close(fd);
        }
        for (int i = 0; i < 20; ++i) ::mkdir((FRoot + "sub" + std::to_string(i)).c_str(), 0755);
    }
    ~TBigDirectory() {
        ::nftw(FRoot.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p), 0; }, 16,
               FTW_PHYS | FTW_DEPTH);
    }
    const std::string& Root() const { return FRoot; }

private:
    std::string FRoot;
};

inline const TBigDirectory& BigDirectory() {
    static const TBigDirectory directory;
    return directory;
}

}  // namespace xavo::bench
