// Listing speed of the file-system helpers on a directory of 100,000 files.
#include "BigDirectory.h"
#include "FileSystem.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using xavo::bench::BigDirectory;

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
