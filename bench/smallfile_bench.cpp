// The text view with a small file (100 KB of the corpus, Shift-JIS), on the offscreen
// platform: opening and painting it, a key typed and painted, an undo and painted, a find
// over all of it, and the memory the open file takes. Written against the view's public
// interface only, so the same source measures earlier builds for comparison. Files: the
// corpus ($XAVOLINE_CORPUS); the 100 KB file is written to /tmp here. The view comes from ShownMemo.h.
#include "BenchCorpus.h"
#include "ShownMemo.h"

#include <QApplication>
#include <QKeyEvent>
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

namespace {

// The corpus's first 100 KB, ending after a line break.
const std::string& SmallFile() {
    static const std::string path = [] {
        const std::string& corpus = xavo::bench::CorpusBytes();
        const std::size_t end = corpus.find('\n', std::min<std::size_t>(100 * 1024, corpus.size()));
        const std::string file = "/tmp/xavoline-bench-100kb.txt";
        std::ofstream(file, std::ios::binary) << corpus.substr(0, end == std::string::npos ? corpus.size() : end + 1);
        return file;
    }();
    return path;
}

long ResidentKib() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
    }
    return 0;
}

using xavo::bench::TShownMemo;

// Arg: word wrap.
void BM_SmallOpenAndPaint(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    TShownMemo view(state.range(0) != 0);
    for (auto _ : state) {
        view.Memo.LoadFromFile(SmallFile());
        view.Paint();
    }
}

void BM_SmallTypeAKeyAndPaint(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    TShownMemo view(state.range(0) != 0);
    view.Memo.LoadFromFile(SmallFile());
    view.Memo.setFocus();
    view.Memo.SetSelStart(view.Memo.LineIndex(view.Memo.LineCount() / 2) + 2);
    view.Paint();
    for (auto _ : state) {
        view.Key(Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        view.Paint();
    }
}

void BM_SmallUndoAndPaint(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    TShownMemo view(state.range(0) != 0);
    view.Memo.LoadFromFile(SmallFile());
    view.Memo.SetSelStart(view.Memo.LineIndex(view.Memo.LineCount() / 2) + 2);
    for (auto _ : state) {
        state.PauseTiming();
        view.Memo.SetSelText("x");
        view.Paint();
        state.ResumeTiming();
        view.Memo.Undo();
        view.Paint();
    }
}

// A text not in the file: the search runs to its end.
void BM_SmallFindAndPaint(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    TShownMemo view(false);
    view.Memo.LoadFromFile(SmallFile());
    for (auto _ : state) {
        view.Memo.SetSelStart(0);
        benchmark::DoNotOptimize(view.Memo.FindText(std::string("zqxjzqxj"), xavo::frDown));
        view.Paint();
    }
}

// Resident memory the shown file adds to an empty shown view (KiB, after painting).
void BM_SmallMemory(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    for (auto _ : state) {
        TShownMemo view(true);
        view.Paint();
        const long before = ResidentKib();
        view.Memo.LoadFromFile(SmallFile());
        view.Paint();
        QCoreApplication::processEvents();
        state.counters["added_KiB"] = static_cast<double>(ResidentKib() - before);
    }
}

}  // namespace

BENCHMARK(BM_SmallOpenAndPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallTypeAKeyAndPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallUndoAndPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallFindAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmallMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
