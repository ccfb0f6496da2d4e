// The window's GREP against the command-line grep on the same files: a recursive GREP of
// the corpus (every *.txt below it) with about a million matching lines, run by
// TGrepRunner into a shown results list until the last line is in, by the main window
// itself (Enter in its GREP bar), and by xavoline-grep -j1 writing to /dev/null. Also the
// GREP run on the GUI thread (the engine's idle hook letting events through), for
// comparison, and the longest the event loop waited.
// Corpus: $XAVOLINE_CORPUS_DIR or /tmp/corpus. Offscreen unless QT_QPA_PLATFORM says otherwise.
#include "ComboBox98.h"
#include "DirTree.h"
#include "Grep.h"
#include "GrepFiles.h"
#include "GrepRunner.h"
#include "MainWindow.h"
#include "ResultLine.h"
#include "SjisCodec.h"
#include "TextListBox.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// "ー|の": 955,368 lines of the corpus.
const char* const kPattern = "ー|の";

std::string CorpusDirectory() {
    const char* dir = std::getenv("XAVOLINE_CORPUS_DIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp/corpus";
}

// The longest gap between two turns of the event loop while it runs.
class TStallMeter {
public:
    TStallMeter() {
        FTimer.setInterval(0);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            FLongest = std::max(FLongest, FClock.restart());
        });
    }
    void Start() {
        FLongest = 0;
        FClock.start();
        FTimer.start();
    }
    qint64 Stop() {
        FTimer.stop();
        return std::max(FLongest, FClock.elapsed());
    }

private:
    QTimer FTimer;
    QElapsedTimer FClock;
    qint64 FLongest = 0;
};

// A window holding the results list, shown as the main window shows it.
struct TWindow {
    QWidget Window;
    xavo::TTextListBox List{&Window};
    TWindow() {
        List.resize(800, 300);
        Window.resize(800, 300);
        Window.show();
        QCoreApplication::processEvents();
    }
};

void BM_WindowGrepWorkerThread(benchmark::State& state) {
    TWindow window;
    xavo::TGrep grep;
    xavo::TGrepRunner runner(grep, window.List);
    runner.SetBusyWindow(&window.Window);
    TStallMeter stalls;
    qint64 longest = 0;
    const xavo::TGrepTarget target{xavo::TGrepScope::Recursive, CorpusDirectory(), "*.txt"};
    for (auto _ : state) {
        stalls.Start();
        runner.Start(target, xavo::Utf8ToSjis(kPattern), false);
        runner.WaitForDone();
        window.List.FlushPending();
        window.List.repaint();
        longest = std::max(longest, stalls.Stop());
    }
    if (window.List.Count() == 0) state.SkipWithError("no lines found: is the corpus there?");
    state.counters["lines"] = window.List.Count();
    state.counters["files"] = static_cast<double>(runner.GrepFiles().size());
    state.counters["max_stall_ms"] = static_cast<double>(longest);
}
BENCHMARK(BM_WindowGrepWorkerThread)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same GREP on the GUI thread: the engine's OnIdle processes pending events.
void BM_WindowGrepIdleHook(benchmark::State& state) {
    TWindow window;
    xavo::TGrep grep;
    TStallMeter stalls;
    qint64 longest = 0;
    std::string line;
    const std::string* path = nullptr;
    grep.OnMatch = [&](xavo::TGrep&, const xavo::RE_LineInfo_t& info) {
        line.clear();
        xavo::AppendResultLine(line, *path, info.LineNo, info.Line);
        window.List.Add(std::string_view(line));
    };
    grep.OnIdle = [] { QCoreApplication::processEvents(); };
    for (auto _ : state) {
        stalls.Start();
        window.List.Clear();
        grep.SetRegExp(xavo::Utf8ToSjis(kPattern));
        const std::vector<std::string> files =
            xavo::CollectGrepFiles({xavo::TGrepScope::Recursive, CorpusDirectory(), "*.txt"});
        for (const std::string& file : files) {
            path = &file;
            grep.GrepProc(file);
        }
        window.List.FlushPending();
        window.List.repaint();
        longest = std::max(longest, stalls.Stop());
    }
    state.counters["lines"] = window.List.Count();
    state.counters["max_stall_ms"] = static_cast<double>(longest);
}
BENCHMARK(BM_WindowGrepIdleHook)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The main window's own GREP: the word typed in its GREP bar and Enter pressed there, the
// scope "with subdirectories" on the corpus directory, fuzzy search and the jump after the
// run off, until the last line is in the list and painted.
void BM_MainWindowBarGrep(benchmark::State& state) {
    const std::string ini = (std::filesystem::temp_directory_path() / ("xavoline-bench-" + std::to_string(::getpid()) + ".ini")).string();
    {
        xavo::TFormOptions options;
        options.IniPath = ini;
        xavo::TForm1 form(options);
        const xavo::TForm1Components& c = form.Components();
        form.show();
        QElapsedTimer shown;
        shown.start();
        while (c.DTView->Directory() == "?" && shown.elapsed() < 5000) QCoreApplication::processEvents();
        c.DTView->SetDirectory(CorpusDirectory());
        c.PmGrepRec->setChecked(true);
        if (c.PmGFuzzy->isChecked()) c.PmGFuzzy->trigger();
        if (c.MmJAGrep->isChecked()) c.MmJAGrep->trigger();
        c.EdGrep->setEditText(QString::fromUtf8(kPattern));
        TStallMeter stalls;
        qint64 longest = 0;
        for (auto _ : state) {
            stalls.Start();
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
            c.EdGrep->setFocus();
            QApplication::sendEvent(c.EdGrep->lineEdit(), &enter);
            form.GrepRunner().WaitForDone();
            c.LbGrep->FlushPending();
            c.LbGrep->repaint();
            longest = std::max(longest, stalls.Stop());
        }
        if (c.LbGrep->Count() == 0) state.SkipWithError("no lines found: is the corpus there?");
        state.counters["lines"] = c.LbGrep->Count();
        state.counters["max_stall_ms"] = static_cast<double>(longest);
    }
    std::filesystem::remove(ini);
}
BENCHMARK(BM_MainWindowBarGrep)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// xavoline-grep -j1 over the same files; Arg 0: UTF-8 output (the default), 1: the bytes.
void BM_CommandLineGrepOneJob(benchmark::State& state) {
    const std::string command = std::string("'") + XAVOLINE_GREP_PROGRAM + "' -r -j1 --mask='*.txt'" +
                                (state.range(0) != 0 ? " --output=sjis '" : " '") + kPattern + "' '" +
                                CorpusDirectory() + "' > /dev/null";
    for (auto _ : state) {
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("xavoline-grep failed");
    }
}
BENCHMARK(BM_CommandLineGrepOneJob)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
