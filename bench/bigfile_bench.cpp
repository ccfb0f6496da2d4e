// The text view with files of any size and encoding, on the offscreen platform: opening
// (first screen painted), Ctrl+End, a jump to a line, FindText over the whole file, a page
// of scrolling, typing, and one line of 5 MB. Files: $XAVOLINE_BIG_FILE (a large file, in
// any encoding) and $XAVOLINE_50MB_FILE, made by bench/textview_big.sh; the 5 MB line is
// written to /tmp here. Resident memory after opening is reported as rss_MiB, its peak as
// peak_MiB (the process, the file's mapped pages included).
#include "ProcStatus.h"
#include "ShownMemo.h"
#include "TextView.h"
#include "XavoMemo.h"

#include <QApplication>
#include <QKeyEvent>
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string FileFrom(const char* variable) {
    const char* path = std::getenv(variable);
    return path != nullptr && std::filesystem::exists(path) ? path : std::string();
}

double ResidentMib() { return static_cast<double>(xavo::test::ProcStatusKib("VmRSS")) / 1024; }

// User and system time of the whole process (every thread), in milliseconds.
double ProcessCpuMs() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000 + static_cast<double>(t.tv_usec) / 1000; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

using xavo::bench::TShownMemo;

// The file: 0 the large file, 1 the 50 MB file.
void BM_OpenFirstScreen(benchmark::State& state) {
    const std::string path = FileFrom(state.range(0) == 0 ? "XAVOLINE_BIG_FILE" : "XAVOLINE_50MB_FILE");
    if (path.empty()) return state.SkipWithError("file missing (see bench/textview_big.sh)");
    double cpu = 0;
    int opened = 0;
    for (auto _ : state) {
        TShownMemo view;
        const double before = ProcessCpuMs();
        view.Memo.LoadFromFile(path);
        view.Paint();
        state.PauseTiming();
        cpu += ProcessCpuMs() - before;
        state.counters["process_cpu_ms"] = cpu / ++opened;
        state.counters["rss_MiB"] = ResidentMib();
        state.counters["peak_MiB"] = static_cast<double>(xavo::test::ProcStatusKib("VmHWM")) / 1024;
        state.counters["lines"] = static_cast<double>(view.Memo.LineCount());
        state.ResumeTiming();
    }
}

TShownMemo& BigMemo(bool wrap) {
    static TShownMemo* views[2] = {};
    TShownMemo*& view = views[wrap ? 1 : 0];
    if (view == nullptr) {
        view = new TShownMemo(wrap);
        view->Memo.LoadFromFile(FileFrom("XAVOLINE_BIG_FILE"));
        view->Paint();
    }
    return *view;
}

void BM_CtrlEndThenHome(benchmark::State& state) {
    if (FileFrom("XAVOLINE_BIG_FILE").empty()) return state.SkipWithError("file missing");
    TShownMemo& view = BigMemo(state.range(0) != 0);
    for (auto _ : state) {
        view.Key(Qt::Key_End, Qt::ControlModifier);
        view.Paint();
        state.PauseTiming();
        view.Key(Qt::Key_Home, Qt::ControlModifier);
        view.Paint();
        state.ResumeTiming();
    }
    state.counters["top"] = view.Memo.FirstVisibleLine();
}

// A jump to lines spread over the file, as the GREP jump does it: select the line, put it
// near the top, paint.
void BM_JumpToLine(benchmark::State& state) {
    if (FileFrom("XAVOLINE_BIG_FILE").empty()) return state.SkipWithError("file missing");
    TShownMemo& view = BigMemo(state.range(0) != 0);
    const std::int64_t lines = view.Memo.LineCount();
    std::uint64_t seed = 17;
    for (auto _ : state) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        const auto line = static_cast<std::int64_t>((seed >> 33) % static_cast<std::uint64_t>(lines));
        view.Memo.SetSelStart(view.Memo.LineIndex(line));
        view.Memo.SetSelLength(view.Memo.LineLength(view.Memo.SelStart()));
        view.Memo.ScrollLineToRow(line, 3);
        view.Paint();
    }
}

// A text not in the file: the search runs over all of it. Arg: 0 a double-byte pattern
// (exact bytes), 1 an ASCII pattern without regard to case.
std::string AbsentPattern(std::int64_t kind) {
    return kind == 0 ? std::string("\x82\xA0\x82\xA1\x82\xA0\x82\xA1") : std::string("zqxjzqxj");
}

void BM_FindTextWholeFile(benchmark::State& state) {
    if (FileFrom("XAVOLINE_BIG_FILE").empty()) return state.SkipWithError("file missing");
    TShownMemo& view = BigMemo(false);
    const std::string pattern = AbsentPattern(state.range(0));
    bool found = false;
    for (auto _ : state) {
        view.Memo.SetSelStart(0);
        found = view.Memo.FindText(pattern, xavo::frDown);
    }
    if (found) return state.SkipWithError("the pattern is in the file");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * view.Memo.GetTextLen());
}

// The same over the 50 MB file. Arg: pattern as above.
void BM_FindText50MB(benchmark::State& state) {
    const std::string path = FileFrom("XAVOLINE_50MB_FILE");
    if (path.empty()) return state.SkipWithError("file missing");
    TShownMemo view;
    view.Memo.LoadFromFile(path);
    const std::string pattern = AbsentPattern(state.range(0));
    bool found = false;
    for (auto _ : state) {
        view.Memo.SetSelStart(0);
        found = view.Memo.FindText(pattern, xavo::frDown);
    }
    if (found) return state.SkipWithError("the pattern is in the file");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * view.Memo.GetTextLen());
}

// One frame of Page Down (the caret and the view move a page, then paint). Arg: wrap.
void BM_PageDownFrame(benchmark::State& state) {
    if (FileFrom("XAVOLINE_BIG_FILE").empty()) return state.SkipWithError("file missing");
    TShownMemo& view = BigMemo(state.range(0) != 0);
    view.Memo.SetSelStart(view.Memo.LineIndex(view.Memo.LineCount() / 3));
    view.Memo.ScrollToLine(view.Memo.LineCount() / 3);
    view.Paint();
    for (auto _ : state) {
        view.Key(Qt::Key_PageDown);
        view.Paint();
    }
}

// Typing a character in the middle of the file, then painting. Arg: wrap.
void BM_TypeAKey(benchmark::State& state) {
    if (FileFrom("XAVOLINE_BIG_FILE").empty()) return state.SkipWithError("file missing");
    TShownMemo& view = BigMemo(state.range(0) != 0);
    view.Memo.SetSelStart(view.Memo.LineIndex(view.Memo.LineCount() / 2) + 2);
    for (auto _ : state) {
        view.Key(Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        view.Paint();
    }
    while (view.Memo.CanUndo()) view.Memo.Undo();
}

// Replace all: a word found some hundreds of times in the large file ("zebra": 94 times
// per copy of the corpus) replaced in one pass, then undone (the undo is not timed).
void BM_ReplaceAllWholeFile(benchmark::State& state) {
    if (FileFrom("XAVOLINE_BIG_FILE").empty()) return state.SkipWithError("file missing");
    TShownMemo& view = BigMemo(false);
    std::int64_t count = 0;
    for (auto _ : state) {
        view.Memo.SetSelStart(0);
        count = view.Memo.ReplaceAll("zebra", u"ZEBRA!", xavo::frDown | xavo::frMatchCase);
        view.Paint();
        state.PauseTiming();
        view.Memo.Undo();
        state.ResumeTiming();
    }
    state.counters["replaced"] = static_cast<double>(count);
}

// A file of one 5 MB line (Japanese text with spaces), first screen. Arg: wrap.
void BM_LongLineFirstScreen(benchmark::State& state) {
    const std::string path = "/tmp/xavoline-bench-5mb-line.txt";
    if (!std::filesystem::exists(path)) {
        std::string line;
        while (line.size() < (5u << 20)) line += "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6 text ";
        std::ofstream(path, std::ios::binary) << line;
    }
    for (auto _ : state) {
        TShownMemo view(state.range(0) != 0);
        view.Memo.LoadFromFile(path);
        view.Paint();
        state.PauseTiming();
        view.Key(Qt::Key_End);
        view.Paint();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_OpenFirstScreen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_CtrlEndThenHome)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_JumpToLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_FindTextWholeFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FindText50MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PageDownFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_TypeAKey)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_ReplaceAllWholeFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LongLineFirstScreen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
