// The text view's document core on the corpus file ($XAVOLINE_CORPUS, default
// /tmp/corpus/big.txt) and, when $XAVOLINE_CORPUS_1G names one, a 1 GB file: opening and
// indexing it against `wc -l` on the same cached file, line and position queries, reading
// a screenful, and edits. bench/textbuf.sh makes the 1 GB file and runs this.
#include "BenchCorpus.h"
#include "TextBuffer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

namespace {

std::string CorpusPath(bool big) {
    const char* path = std::getenv(big ? "XAVOLINE_CORPUS_1G" : "XAVOLINE_CORPUS");
    if (path != nullptr) return path;
    return big ? std::string() : "/tmp/corpus/big.txt";
}

bool Readable(const std::string& path) { return !path.empty() && ::access(path.c_str(), R_OK) == 0; }

double ResidentMiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The file opened and indexed: the whole cost before the first line can be shown.
void BM_OpenAndIndex(benchmark::State& state) {
    const std::string path = CorpusPath(state.range(0) != 0);
    if (!Readable(path)) return state.SkipWithError("file missing");
    std::int64_t lines = 0, bytes = 0;
    double resident = 0;
    for (auto _ : state) {
        const double before = ResidentMiB();
        xavo::TTextBuffer buffer(xavo::TFileBytes::Open(path));
        lines = buffer.LineCount();
        bytes = buffer.RawLength();
        resident = ResidentMiB() - before;
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["resident_MiB"] = resident;
}
BENCHMARK(BM_OpenAndIndex)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);

// `wc -l` on the same (cached) file, process start included, as a user runs it.
void BM_WcLines(benchmark::State& state) {
    const std::string path = CorpusPath(state.range(0) != 0);
    if (!Readable(path)) return state.SkipWithError("file missing");
    const std::string command = "wc -l < '" + path + "' > /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) return state.SkipWithError("wc failed");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(xavo::TFileBytes::Open(path).Size()));
}
BENCHMARK(BM_WcLines)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2);

// The corpus file opened once per program, optionally after Edits random edits.
const xavo::TTextBuffer& Document(int edits) {
    static std::unique_ptr<xavo::TTextBuffer> documents[2];
    auto& document = documents[edits != 0];
    if (!document) {
        document = std::make_unique<xavo::TTextBuffer>(xavo::TFileBytes::Open(CorpusPath(false)));
        std::mt19937_64 random(3);
        for (int i = 0; i < edits; ++i) {
            const auto at = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(document->Length()));
            document->Replace(at, static_cast<std::int64_t>(random() % 3), i % 2 == 0 ? "\x82\xa0x" : "line\r\nbreak");
        }
    }
    return *document;
}

void BM_LineFromChar(benchmark::State& state) {
    if (!Readable(CorpusPath(false))) return state.SkipWithError("file missing");
    const xavo::TTextBuffer& document = Document(static_cast<int>(state.range(0)));
    std::mt19937_64 random(1);
    const auto length = static_cast<std::uint64_t>(document.Length());
    for (auto _ : state) benchmark::DoNotOptimize(document.LineFromChar(static_cast<std::int64_t>(random() % length)));
}
BENCHMARK(BM_LineFromChar)->Arg(0)->Arg(10000);

void BM_LineIndex(benchmark::State& state) {
    if (!Readable(CorpusPath(false))) return state.SkipWithError("file missing");
    const xavo::TTextBuffer& document = Document(static_cast<int>(state.range(0)));
    std::mt19937_64 random(2);
    const auto lines = static_cast<std::uint64_t>(document.LineCount());
    for (auto _ : state) benchmark::DoNotOptimize(document.LineIndex(static_cast<std::int64_t>(random() % lines)));
}
BENCHMARK(BM_LineIndex)->Arg(0)->Arg(10000);

// A screenful: 60 lines from a random line on, as the view would fetch them.
void BM_ReadScreen(benchmark::State& state) {
    if (!Readable(CorpusPath(false))) return state.SkipWithError("file missing");
    const xavo::TTextBuffer& document = Document(static_cast<int>(state.range(0)));
    std::mt19937_64 random(4);
    const auto lines = static_cast<std::uint64_t>(document.LineCount() - 60);
    for (auto _ : state) {
        const auto first = static_cast<std::int64_t>(random() % lines);
        benchmark::DoNotOptimize(document.LineTexts(first, 60));
    }
}
BENCHMARK(BM_ReadScreen)->Arg(0)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Typing: one byte inserted at a random place of the 100 MB document (pieces accumulate).
void BM_InsertByte(benchmark::State& state) {
    const std::string path = CorpusPath(false);
    if (!Readable(path)) return state.SkipWithError("file missing");
    xavo::TTextBuffer document(xavo::TFileBytes::Open(path));
    std::mt19937_64 random(5);
    for (auto _ : state) {
        const auto at = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(document.Length()));
        document.Insert(at, "a");
    }
}
BENCHMARK(BM_InsertByte);

// A replace-all: every occurrence of a word replaced in one undo group, then undone.
void BM_ReplaceAllAndUndo(benchmark::State& state) {
    const std::string path = CorpusPath(false);
    if (!Readable(path)) return state.SkipWithError("file missing");
    xavo::TTextBuffer document(xavo::TFileBytes::Open(path));
    const xavo::TFileBytes file = xavo::TFileBytes::Open(path);
    const std::string_view raw = file.View();
    const std::string word = "Debian";
    std::vector<std::int64_t> hits;  // view positions, found on the unedited view text
    for (std::size_t at = raw.find(word); at != std::string_view::npos && hits.size() < 20000; at = raw.find(word, at + 1))
        hits.push_back(static_cast<std::int64_t>(at));  // the corpus breaks are CR LF: view = raw
    for (auto _ : state) {
        document.BeginUndoGroup();
        for (auto it = hits.rbegin(); it != hits.rend(); ++it) document.Replace(*it, static_cast<std::int64_t>(word.size()), "DEBIAN!");
        document.EndUndoGroup();
        document.Undo();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(hits.size()));
    state.counters["replacements"] = static_cast<double>(hits.size());
}
BENCHMARK(BM_ReplaceAllAndUndo)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
