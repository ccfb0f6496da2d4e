// Batch replace on the offscreen window over the corpus's prose tree (2,197 files, 20 MB;
// $XAVOLINE_PROSE, by default the prose/ beside $XAVOLINE_CORPUS or /tmp/corpus/prose),
// against `cp -r` of the same tree in the same run: the batch reads, replaces and writes
// every file (each through a temporary file and a rename), so copying the tree is the
// floor it is measured against.
#include "BrowseDialog.h"
#include "DirTree.h"
#include "FmRepl.h"
#include "MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ProseDir() {
    if (const char* prose = std::getenv("XAVOLINE_PROSE")) return prose;
    if (const char* corpus = std::getenv("XAVOLINE_CORPUS")) return (fs::path(corpus).parent_path() / "prose").string();
    return "/tmp/corpus/prose";
}

// A fresh, empty directory for each copy and each batch; all are removed at the end, so
// no iteration creates files right after deleting a tree (which the file system makes
// slow for whoever comes next).
class TScratch {
public:
    TScratch() : FRoot(fs::temp_directory_path() / "xavoline-batch-bench") {
        fs::remove_all(FRoot);
        fs::create_directories(FRoot);
    }
    ~TScratch() { fs::remove_all(FRoot); }
    fs::path Fresh() {
        const fs::path dir = FRoot / std::to_string(++FCount);
        fs::create_directories(dir);
        return dir;
    }

private:
    fs::path FRoot;
    int FCount = 0;
};

std::size_t FilesIn(const fs::path& dir) {
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) count += entry.is_regular_file() ? 1 : 0;
    return count;
}

// Copies the prose tree into Dir; returns the seconds taken, or -1 when cp failed.
double CopyTree(const fs::path& dir) {
    const std::string command = "cp -r '" + ProseDir() + "/.' '" + dir.string() + "/'";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_CopyTree(benchmark::State& state) {
    if (!fs::is_directory(ProseDir())) return state.SkipWithError("no prose tree");
    TScratch scratch;
    fs::path last;
    for (auto _ : state) {
        state.PauseTiming();
        last = scratch.Fresh();
        std::system("sync");
        state.ResumeTiming();
        if (CopyTree(last) < 0) return state.SkipWithError("cp failed");
    }
    state.counters["files"] = static_cast<double>(FilesIn(last));
}

// Arg 0: a Japanese word (表示, exact bytes); 1: an ASCII word without match case (every
// letter compared through the case map). Each iteration first copies the tree with cp -r
// (outside the timing) so that "vs_cp" compares the two under the same load.
void BM_BatchReplace(benchmark::State& state) {
    if (!fs::is_directory(ProseDir())) return state.SkipWithError("no prose tree");
    const bool ascii = state.range(0) == 1;
    const QString find = ascii ? QStringLiteral("file") : QStringLiteral("表示");
    const QString replacement = ascii ? QStringLiteral("FILE") : QStringLiteral("ひょうじ");
    TScratch scratch;
    xavo::TFormOptions options;
    options.IniPath = (fs::temp_directory_path() / "xavoline-batch-bench.ini").string();
    auto form = std::make_unique<xavo::TForm1>(options);
    form->show();
    const xavo::TForm1Components& c = form->Components();
    if (!QTest::qWaitFor([&] { return c.DTView->Directory() != "?"; }, 5000)) return state.SkipWithError("no tree");
    c.DTView->SetDirectory(ProseDir() + "/");
    fs::path output;
    form->Dialogs().Execute = [&](QDialog& dialog) {
        auto& fmRepl = static_cast<xavo::TFmRepl&>(dialog);
        fmRepl.EdFind->setText(find);
        fmRepl.EdRepl->setText(replacement);
        fmRepl.CbMatchCase->setChecked(false);
        fmRepl.CbSubDir->setChecked(false);
        return true;
    };
    form->Dialogs().BrowseFolder = [&](xavo::TBrowseDialog& picker) {
        picker.SetDirectory(output.string());
        return true;
    };
    double copySeconds = 0, batchSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::system("sync");
        const double copy = CopyTree(scratch.Fresh());
        if (copy < 0) return state.SkipWithError("cp failed");
        copySeconds += copy;
        output = scratch.Fresh();
        std::system("sync");
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        c.ReplaceEx1->trigger();
        batchSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["files"] = static_cast<double>(FilesIn(output));
    state.counters["cp_ms"] = copySeconds * 1000 / static_cast<double>(state.iterations());
    state.counters["vs_cp"] = batchSeconds / copySeconds;
    form.reset();
    fs::remove(options.IniPath);
}

BENCHMARK(BM_CopyTree)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_BatchReplace)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
