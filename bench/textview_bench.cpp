// The text view and the results list with large inputs, on the offscreen platform:
// opening a 50 MB Shift-JIS file (first screen painted), position queries on
// its last line, FindText over all of it, and a million appends to the results list.
// The 50 MB file is cut from the corpus (XAVOLINE_CORPUS, default /tmp/corpus/big.txt).
#include "BenchCorpus.h"
#include "Rtf.h"
#include "TextListBox.h"
#include "XavoMemo.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr std::size_t kFileBytes = 50u << 20;


// The first 50 MB of the corpus, ending after a line break, as a file of its own.
const std::string& FiftyMegabyteFile() {
    static const std::string path = [] {
        const std::string& corpus = xavo::bench::CorpusBytes();
        const std::size_t end = corpus.find('\n', std::min(kFileBytes, corpus.size()));
        const std::string file = "/tmp/xavoline-bench-50mb.txt";
        std::ofstream(file, std::ios::binary) << corpus.substr(0, end == std::string::npos ? corpus.size() : end + 1);
        return file;
    }();
    return path;
}

struct TShownMemo {
    xavo::TXavoMemo Memo;
    explicit TShownMemo(bool wrap = false) {
        Memo.SetPlainText(true);
        Memo.SetWordWrap(wrap);
        Memo.resize(800, 600);
        Memo.show();
        QCoreApplication::processEvents();
    }
};

// Arg: word wrap off (0) or on (1).
void BM_OpenFileFirstScreen(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    TShownMemo view(state.range(0) != 0);
    for (auto _ : state) {
        view.Memo.LoadFromFile(FiftyMegabyteFile());
        view.Memo.viewport()->repaint();  // the first screen, painted
    }
}

// Opening the file again while the whole previous text is in the view (it is dropped first).
void BM_OpenFileFirstScreenReplacing(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    TShownMemo view;
    for (auto _ : state) {
        state.PauseTiming();
        view.Memo.LoadFromFile(FiftyMegabyteFile());
        state.ResumeTiming();
        view.Memo.LoadFromFile(FiftyMegabyteFile());
        view.Memo.viewport()->repaint();
    }
}

TShownMemo& LoadedMemo() {
    static TShownMemo* view = [] {
        auto* v = new TShownMemo;
        v->Memo.LoadFromFile(FiftyMegabyteFile());
        return v;
    }();
    return *view;
}

void BM_LineIndexOfLastLine(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    xavo::TXavoMemo& memo = LoadedMemo().Memo;
    const std::int64_t last = memo.LineCount() - 1;
    for (auto _ : state) benchmark::DoNotOptimize(memo.LineIndex(last));
}

void BM_LineFromCharAtTheEnd(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    xavo::TXavoMemo& memo = LoadedMemo().Memo;
    const std::int64_t end = memo.GetTextLen();
    for (auto _ : state) benchmark::DoNotOptimize(memo.LineFromChar(end));
}

void BM_SelStartOnTheLastLine(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    xavo::TXavoMemo& memo = LoadedMemo().Memo;
    const std::int64_t position = memo.LineIndex(memo.LineCount() - 1);
    for (auto _ : state) {
        memo.SetSelStart(position);
        benchmark::DoNotOptimize(memo.SelStart());
    }
}

// A text that is not in the file, so the search runs over all 50 MB. Arg 0: exact bytes
// (a double-byte pattern); arg 1: an ASCII pattern matched without regard to case.
void BM_FindTextWholeFile(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    xavo::TXavoMemo& memo = LoadedMemo().Memo;
    const std::string pattern = state.range(0) == 0 ? std::string("\x82\xA0\x82\xA0\x82\xA0\x82\xA0") : std::string("zqxjzqxj");
    for (auto _ : state) {
        memo.SetSelStart(0);
        benchmark::DoNotOptimize(memo.FindText(pattern, xavo::frDown));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * memo.GetTextLen());
}

// The first search after an edit: the text is in pieces now, read in windows.
void BM_FindTextAfterAnEdit(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    xavo::TXavoMemo& memo = LoadedMemo().Memo;
    for (auto _ : state) {
        state.PauseTiming();
        memo.SetSelStart(0);
        memo.SetSelText("x");
        memo.Undo();
        memo.SetSelStart(0);
        state.ResumeTiming();
        benchmark::DoNotOptimize(memo.FindText(std::string("\x82\xA0\x82\xA0\x82\xA0\x82\xA0"), xavo::frDown));
    }
}

// Typing in the middle of the 50 MB text: a character (arg 0) or a line break (arg 1),
// then a position query, which brings the line index up to date.
void BM_EditInTheMiddle(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    xavo::TXavoMemo& memo = LoadedMemo().Memo;
    const std::int64_t middle = memo.LineIndex(memo.LineCount() / 2);
    const std::string typed = state.range(0) == 0 ? "x" : "\r\n";
    for (auto _ : state) {
        memo.SetSelStart(middle);
        memo.SetSelText(typed);
        benchmark::DoNotOptimize(memo.LineIndex(memo.LineCount() - 1));
        state.PauseTiming();
        memo.Undo();
        state.ResumeTiming();
    }
}

void BM_ResultsListMillionAppends(benchmark::State& state) {
    const std::string& corpus = xavo::bench::CorpusBytes();
    if (corpus.empty()) return state.SkipWithError("corpus file missing");
    // Result lines as the GREP writes them: path, line number, the line's text.
    std::vector<std::string> lines;
    lines.reserve(1000000);
    std::size_t at = 0;
    while (lines.size() < 1000000) {
        std::size_t end = corpus.find("\r\n", at);
        if (end == std::string::npos) at = 0, end = corpus.find("\r\n", 0);
        lines.push_back("/home/user/docs/big.txt " + std::to_string(lines.size() + 1) + ":" + corpus.substr(at, std::min<std::size_t>(end - at, 200)));
        at = end + 2;
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto* list = new xavo::TTextListBox;
        list->resize(800, 200);
        list->show();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        for (const std::string& line : lines) list->Add(line);
        list->FlushPending();
        list->viewport()->repaint();
        QCoreApplication::processEvents();
        state.PauseTiming();
        state.counters["extent"] = list->HorizontalExtent();
        delete list;
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_OpenFileFirstScreen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenFileFirstScreenReplacing)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_LineIndexOfLastLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LineFromCharAtTheEnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SelStartOnTheLastLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindTextWholeFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindTextAfterAnEdit)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EditInTheMiddle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResultsListMillionAppends)->Unit(benchmark::kMillisecond)->Iterations(2);

// Hostile RTF: one paragraph of alternating {\b ab}{\i cd} runs (Arg: pairs of runs;
// 75,000 pairs are about 1 MB; 0: an ordinary 1 MB document instead), loaded into the
// view (second Arg 1: and painted); a long font name used by 20,000 runs, read; a
// document of Arg distinct fonts, written.
namespace {

std::string AlternatingRunsRtf(std::int64_t pairs) {
    std::string rtf = "{\\rtf1\\ansi ";
    for (std::int64_t i = 0; i < pairs; ++i) rtf += "{\\b ab}{\\i cd}";
    return rtf + "}";
}

// About 1 MB as a word processor writes it: paragraphs of Japanese text (\'hh bytes) with a
// bold or coloured word now and then.
std::string ParagraphsRtf() {
    std::string rtf = "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}{\\colortbl ;\\red255\\green0\\blue0;}\\f0 ";
    while (rtf.size() < (1u << 20)) {
        for (int sentence = 0; sentence < 8; ++sentence) {
            for (int c = 0; c < 30; ++c) rtf += "\\'82\\'" + std::string(c % 2 ? "a0" : "a2");
            rtf += sentence % 3 == 0 ? "{\\b \\'8a\\'bf\\'8e\\'9a}" : "{\\cf1 \\'90\\'d4}";
        }
        rtf += "\\par\r\n";
    }
    return rtf + "}";
}

void BM_OpenRtfAlternatingRuns(benchmark::State& state) {
    const std::string path = "/tmp/xavoline-bench-runs.rtf";
    std::ofstream(path, std::ios::binary) << (state.range(0) == 0 ? ParagraphsRtf() : AlternatingRunsRtf(state.range(0)));
    TShownMemo view;
    view.Memo.SetPlainText(false);
    for (auto _ : state) {
        view.Memo.LoadFromFile(path);
        if (state.range(1) != 0) view.Memo.viewport()->repaint();
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}

void BM_ReadRtfLongFontName(benchmark::State& state) {
    std::string rtf = "{\\rtf1{\\fonttbl{\\f1 " + std::string(65536, 'N') + ";}}";
    for (int i = 0; i < 10000; ++i) rtf += "{\\f1\\b ab}{\\f1\\i cd}";
    rtf += "}";
    for (auto _ : state) benchmark::DoNotOptimize(xavo::ReadRtf(rtf));
    state.counters["bytes"] = static_cast<double>(rtf.size());
}

void BM_WriteRtfDistinctFonts(benchmark::State& state) {
    xavo::TRtfDocument doc;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        xavo::TRtfCharFormat format;
        format.FontName = u"Font " + std::u16string(std::to_string(i).begin(), std::to_string(i).end());
        doc.Append(u"x", format);
    }
    for (auto _ : state) benchmark::DoNotOptimize(xavo::WriteRtf(doc));
}

// One result line of 30 MB (a file that is one line), added to the results list and drawn.
void BM_ResultsListHugeLine(benchmark::State& state) {
    const std::string line = "/tmp/one-line.txt 1:" + std::string(30u << 20, 'x');
    for (auto _ : state) {
        xavo::TTextListBox list;
        list.resize(800, 200);
        list.show();
        list.Add(line);
        list.FlushPending();
        list.viewport()->repaint();
        QCoreApplication::processEvents();
        state.counters["extent"] = list.HorizontalExtent();
    }
}

}  // namespace

BENCHMARK(BM_ResultsListHugeLine)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_OpenRtfAlternatingRuns)->ArgsProduct({{0, 1000, 8000, 75000}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ReadRtfLongFontName)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteRtfDistinctFonts)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(1);
