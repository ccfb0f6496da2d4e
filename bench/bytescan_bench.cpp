// Throughput of the byte scans over 8 MiB of Shift-JIS-like text holding no hit, so that
// each figure is the vector loop itself. Arg 0: 16-byte vectors, 1: 32-byte where present.
//   build/bench/bytescan_bench
#include "ByteScan.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Kana and ASCII letters, lines of 40 to 80 bytes, every third line ending in CR LF.
const std::vector<unsigned char>& Text() {
    static const std::vector<unsigned char> text = [] {
        std::mt19937 random(21);
        std::vector<unsigned char> t;
        t.reserve((8u << 20) + 64);
        std::size_t lines = 0;
        while (t.size() < (8u << 20)) {
            const std::size_t length = 40 + random() % 41;
            for (std::size_t n = 0; n < length;) {
                if (random() % 3 == 0) {
                    t.push_back(static_cast<unsigned char>('a' + random() % 20));
                    ++n;
                } else {
                    t.push_back(0x82);
                    t.push_back(static_cast<unsigned char>(0x9f + random() % 80));
                    n += 2;
                }
            }
            if (++lines % 3 == 0) t.push_back('\r');
            t.push_back('\n');
        }
        t.push_back('\n');  // the readable byte after the end
        return t;
    }();
    return text;
}

const unsigned char* Begin() { return Text().data(); }
const unsigned char* End() { return Text().data() + Text().size() - 1; }

void SetWidth(benchmark::State& state) {
    state.SetLabel(xavo::UseWideVectors(state.range(0) != 0) ? "32" : "16");
    state.SetBytesProcessed(0);
}

void Finish(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (End() - Begin()));
    xavo::UseWideVectors(true);
}

void ByteSet(benchmark::State& state) {
    SetWidth(state);
    const xavo::TByteFinder finder({'@', '#', '~', '%'});
    for (auto _ : state) benchmark::DoNotOptimize(finder.Find(Begin(), End()));
    Finish(state);
}

void CodeSet(benchmark::State& state) {
    SetWidth(state);
    // Two singles and two leads with absent trails: every lead 0x82 is a near miss.
    xavo::TCodeSetFinder finder({'@', '#', 0x8240, 0x8241, 0x8341});
    for (auto _ : state) {
        finder.Forget();
        benchmark::DoNotOptimize(finder.Find(Begin(), End()));
    }
    Finish(state);
}

void Literal(benchmark::State& state) {
    SetWidth(state);
    const xavo::TLiteralFinder finder("ab\x82\x40", 0, 3);
    for (auto _ : state) benchmark::DoNotOptimize(finder.Find(Begin(), End()));
    Finish(state);
}

void FoldedLiteral(benchmark::State& state) {
    SetWidth(state);
    const xavo::TFoldedLiteralFinder finder("xyzzy", 0, 2);
    for (auto _ : state) benchmark::DoNotOptimize(finder.Find(Begin(), End()));
    Finish(state);
}

void LineFeeds(benchmark::State& state) {
    SetWidth(state);
    for (auto _ : state) benchmark::DoNotOptimize(xavo::CountLineFeeds(Begin(), End()));
    Finish(state);
}

void LineBreaks(benchmark::State& state) {
    SetWidth(state);
    for (auto _ : state) benchmark::DoNotOptimize(xavo::CountLineBreaks(Begin(), End()).Breaks);
    Finish(state);
}

// Includes copying the text afresh, since the scan rewrites it.
void Normalize(benchmark::State& state) {
    SetWidth(state);
    std::vector<unsigned char> copy(Text());
    for (auto _ : state) {
        std::memcpy(copy.data(), Begin(), copy.size());
        benchmark::DoNotOptimize(xavo::NormalizeText(copy.data(), copy.data() + copy.size() - 1));
    }
    Finish(state);
}

}  // namespace

BENCHMARK(ByteSet)->Arg(0)->Arg(1);
BENCHMARK(CodeSet)->Arg(0)->Arg(1);
BENCHMARK(Literal)->Arg(0)->Arg(1);
BENCHMARK(FoldedLiteral)->Arg(0)->Arg(1);
BENCHMARK(LineFeeds)->Arg(0)->Arg(1);
BENCHMARK(LineBreaks)->Arg(0)->Arg(1);
BENCHMARK(Normalize)->Arg(0)->Arg(1);
BENCHMARK_MAIN();
