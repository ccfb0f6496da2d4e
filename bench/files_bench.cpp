// Listing speed of the file-system helpers on a directory of 100,000 files (90,000 "*.txt",
// 10,000 "*.log", a few subdirectories), built once under $TMPDIR and removed at exit.
#include "FileSystem.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

const TBigDirectory& BigDirectory() {
    static const TBigDirectory directory;
    return directory;
}

void BM_ListFiles100k(benchmark::State& state, const char* mask) {
    const std::string& root = BigDirectory().Root();
    const xavo::TFileMask fileMask(mask);
    std::vector<std::string> paths;
    for (auto _ : state) {
        xavo::ListFiles(root, fileMask, paths);
        benchmark::DoNotOptimize(paths.data());
    }
    state.counters["files"] = static_cast<double>(paths.size());
}
BENCHMARK_CAPTURE(BM_ListFiles100k, all, "*.*")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ListFiles100k, two_masks, "*.txt;*.log")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ListFiles100k, few, "*.log")->Unit(benchmark::kMillisecond);

void BM_CollectMatchingFiles100k(benchmark::State& state) {
    const std::string& root = BigDirectory().Root();
    const xavo::TFileMask fileMask("*.txt");
    std::vector<std::string> paths;
    for (auto _ : state) {
        paths.clear();
        xavo::CollectMatchingFiles(root, fileMask, {}, paths);
        benchmark::DoNotOptimize(paths.data());
    }
    state.counters["files"] = static_cast<double>(paths.size());
}
BENCHMARK(BM_CollectMatchingFiles100k)->Unit(benchmark::kMillisecond);

void BM_SortPaths100k(benchmark::State& state) {
    std::vector<std::string> unsorted;
    xavo::ListFiles(BigDirectory().Root(), xavo::TFileMask("*.*"), unsorted);
    std::reverse(unsorted.begin(), unsorted.end());
    for (auto _ : state) {
        std::vector<std::string> paths = unsorted;
        xavo::SortPathsIgnoringCase(paths);
        benchmark::DoNotOptimize(paths.data());
    }
}
BENCHMARK(BM_SortPaths100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
