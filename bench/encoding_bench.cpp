// Transcoder throughput over the corpus file (XAVOLINE_CORPUS, default /tmp/corpus/big.txt)
// converted to UTF-8 and EUC-JP in memory, in the engine's 100 KB blocks, beside the
// Shift-JIS codec's decoding of the original as a yardstick from the same run.
// Figures: MB/s of input bytes.
#include "BenchCorpus.h"
#include "Detect.h"
#include "Encoding.h"
#include "SjisCodec.h"
#include "SjisTranscoder.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBlock = 102400;

const std::string& CorpusIn(xavo::TEncoding kind) {
    static std::map<xavo::TEncoding, std::string> copies;
    auto it = copies.find(kind);
    if (it == copies.end()) {
        const std::string& sjis = xavo::bench::CorpusBytes();
        it = copies.emplace(kind, kind == xavo::TEncoding::Sjis ? sjis : xavo::EncodeText(xavo::DecodeSjis(sjis), {kind, false})).first;
    }
    return it->second;
}

void BM_Transcode(benchmark::State& state, xavo::TEncoding kind) {
    const std::string& bytes = CorpusIn(kind);
    if (bytes.empty()) return state.SkipWithError("corpus file missing");
    // Into a buffer of the caller's, as the search hands the engine's window over.
    std::string out(2 * kBlock + 64, '\0');
    for (auto _ : state) {
        xavo::TSjisTranscoder transcoder({kind, false});
        for (std::size_t pos = 0; pos < bytes.size(); pos += kBlock) {
            const std::size_t n = std::min(kBlock, bytes.size() - pos);
            std::string_view block = std::string_view(bytes).substr(pos, n);
            while (!block.empty()) {
                char* w = out.data();
                block.remove_prefix(transcoder.Transcode(block, pos + n == bytes.size(), w, out.data() + out.size()));
                benchmark::DoNotOptimize(w);
            }
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK_CAPTURE(BM_Transcode, utf8, xavo::TEncoding::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Transcode, eucjp, xavo::TEncoding::EucJp)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Transcode, jis, xavo::TEncoding::Jis)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Transcode, utf16le, xavo::TEncoding::Utf16Le)->Unit(benchmark::kMillisecond);

// Yardstick: the codec's Shift-JIS decoding of the original, block by block.
void BM_DecodeSjisBlocks(benchmark::State& state) {
    const std::string& bytes = CorpusIn(xavo::TEncoding::Sjis);
    if (bytes.empty()) return state.SkipWithError("corpus file missing");
    std::vector<char16_t> units(kBlock);
    for (auto _ : state) {
        for (std::size_t pos = 0; pos < bytes.size(); pos += kBlock)
            benchmark::DoNotOptimize(xavo::DecodeSjis(std::string_view(bytes).substr(pos, std::min(kBlock, bytes.size() - pos)), units.data()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_DecodeSjisBlocks)->Unit(benchmark::kMillisecond);

// Lossless decoding of a whole file for the view.
void BM_DecodeText(benchmark::State& state, xavo::TEncoding kind) {
    const std::string& bytes = CorpusIn(kind);
    if (bytes.empty()) return state.SkipWithError("corpus file missing");
    for (auto _ : state) benchmark::DoNotOptimize(xavo::DecodeText(bytes, {kind, false}));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK_CAPTURE(BM_DecodeText, utf8, xavo::TEncoding::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeText, eucjp, xavo::TEncoding::EucJp)->Unit(benchmark::kMillisecond);

// Detection of one file from its first 64 KB (the figure that matters: time per file).
void BM_Detect(benchmark::State& state, xavo::TEncoding kind) {
    const std::string& bytes = CorpusIn(kind);
    if (bytes.empty()) return state.SkipWithError("corpus file missing");
    const std::string_view head = std::string_view(bytes).substr(0, xavo::kDetectionBytes);
    for (auto _ : state) benchmark::DoNotOptimize(xavo::DetectEncoding(head, false));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * head.size()));
}
BENCHMARK_CAPTURE(BM_Detect, sjis, xavo::TEncoding::Sjis);
BENCHMARK_CAPTURE(BM_Detect, eucjp, xavo::TEncoding::EucJp);
BENCHMARK_CAPTURE(BM_Detect, utf8, xavo::TEncoding::Utf8);

}  // namespace

BENCHMARK_MAIN();
