// Codec throughput over the 100 MB corpus file (path in XAVOLINE_CORPUS, default
// /tmp/corpus/big.txt): Shift-JIS to UTF-16, UTF-16 back, Shift-JIS to UTF-8.
#include "BenchCorpus.h"
#include "SjisCodec.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {


void BM_DecodeSjis(benchmark::State& state) {
    const std::string& bytes = xavo::bench::CorpusBytes();
    if (bytes.empty()) return state.SkipWithError("corpus file missing");
    xavo::DecodeSjis("");  // tables built outside the timing
    for (auto _ : state) benchmark::DoNotOptimize(xavo::DecodeSjis(bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// The conversion loop alone, into a buffer allocated once.
void BM_DecodeSjisIntoBuffer(benchmark::State& state) {
    const std::string& bytes = xavo::bench::CorpusBytes();
    if (bytes.empty()) return state.SkipWithError("corpus file missing");
    std::vector<char16_t> units(bytes.size());
    for (auto _ : state) benchmark::DoNotOptimize(xavo::DecodeSjis(bytes, units.data()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_EncodeSjis(benchmark::State& state) {
    const std::string& bytes = xavo::bench::CorpusBytes();
    if (bytes.empty()) return state.SkipWithError("corpus file missing");
    const std::u16string text = xavo::DecodeSjis(bytes);
    for (auto _ : state) benchmark::DoNotOptimize(xavo::EncodeSjis(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_SjisToUtf8(benchmark::State& state) {
    const std::string& bytes = xavo::bench::CorpusBytes();
    if (bytes.empty()) return state.SkipWithError("corpus file missing");
    xavo::DecodeSjis("");
    for (auto _ : state) benchmark::DoNotOptimize(xavo::SjisToUtf8(bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

}  // namespace

BENCHMARK(BM_DecodeSjis)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSjisIntoBuffer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeSjis)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SjisToUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
