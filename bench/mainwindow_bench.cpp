// The main window on the offscreen platform: start-up with no settings file, a usual one
// and a very large one (construction with the settings read; and until the window is shown
// with its tree and file list filled), the settings written at close, and a click in the
// file list on a 50 MB file (one load per click, the window back in the event loop after
// the first screen). The 50 MB files are cut from the corpus (XAVOLINE_CORPUS, default
// /tmp/corpus/big.txt).
#include "BenchCorpus.h"
#include "MainWindow.h"
#include "ShellListBox.h"
#include "XavoMemo.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

const fs::path& BenchDir() {
    static const fs::path dir = [] {
        const fs::path d = fs::temp_directory_path() / "xavoline-mainwindow-bench";
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// A settings file with Favourites favourites, 20 GREP words, 8 recent masks and every
// option; 0 favourites and no words means no file at all.
std::string IniWith(int favourites) {
    const fs::path path = BenchDir() / ("settings-" + std::to_string(favourites) + ".ini");
    fs::remove(path);
    if (favourites == 0) return path.string();
    std::ofstream out(path, std::ios::binary);
    out << "[WindowPos]\r\nMain.Flags=0\r\nMain.Show=1\r\nMain.MaxX=-1\r\nMain.MaxY=-1\r\n"
           "Main.X=10\r\nMain.Y=10\r\nMain.XSize=810\r\nMain.YSize=610\r\n";
    out << "[GrepWord]\r\nWordList.Count=20\r\n";
    for (int i = 0; i < 20; ++i) out << "WordList." << i << "=word" << i << "\r\n";
    out << "[Setting]\r\nSettingList.Count=" << favourites << "\r\n";
    for (int i = 0; i < favourites; ++i) out << "SettingList." << i << "=favourite " << i << "\r\n";
    out << "[Path]\r\nSettingPath.Count=" << favourites << "\r\n";
    for (int i = 0; i < favourites; ++i) out << "SettingPath." << i << "=favourite " << i << "@/home/user/texts/" << i << "/@*.txt\r\n";
    out << "[Font]\r\nEditFont.Name=IPAGothic\r\nEditFont.Size=10\r\nEditFont.Style=0\r\nEditFont.Color=0x80000008\r\n";
    out << "[GFont]\r\nGEditFont.Name=IPAGothic\r\nGEditFont.Size=9\r\nGEditFont.Style=0\r\nGEditFont.Color=0x80000008\r\n";
    out << "[option]\r\nGrepExe=\r\nGrepOpt=-1+ -c -E\r\nVbar=300\r\nHbar=180\r\nDTVh=150\r\nGrepMode=1\r\n"
           "ShowQGC=1\r\nFuzzy=1\r\nWordWrap=1\r\nVertBar=0\r\nStatusBar=1\r\nHideLPanel=0\r\nHalfScroll=0\r\n"
           "ToolBar=1\r\nAddDir=1\r\nPlainText=1\r\nJAGREP=1\r\nBackGround=0x80000005\r\n";
    out << "[KeepFileNames]\r\n";
    for (int i = 1; i <= 8; ++i) out << "FileName" << i << "=*." << i << "\r\n";
    return path.string();
}

// Runs with the bench directory (holding no text files) as the current directory.
struct TInBenchDir {
    fs::path Old = fs::current_path();
    TInBenchDir() { fs::current_path(BenchDir()); }
    ~TInBenchDir() { fs::current_path(Old); }
};

std::unique_ptr<xavo::TForm1> NewForm(const std::string& ini) {
    xavo::TFormOptions options;
    options.IniPath = ini;
    return std::make_unique<xavo::TForm1>(options);
}

// Arg: favourites in the settings file (0: no file).
void BM_StartupReadSettings(benchmark::State& state) {
    const TInBenchDir inDir;
    const std::string ini = IniWith(static_cast<int>(state.range(0)));
    const std::string content = fs::exists(ini) ? std::string(std::istreambuf_iterator<char>(std::ifstream(ini, std::ios::binary).rdbuf()), {}) : "";
    for (auto _ : state) {
        auto form = NewForm(ini);
        state.PauseTiming();
        form.reset();  // the recent masks are saved here; put the file back as it was
        if (!content.empty()) std::ofstream(ini, std::ios::binary | std::ios::trunc) << content;
        else fs::remove(ini);
        state.ResumeTiming();
    }
    state.counters["ini_bytes"] = static_cast<double>(content.size());
}

// Construction, then shown until the tree has been read and the file list filled.
void BM_StartupUntilShown(benchmark::State& state) {
    const TInBenchDir inDir;
    const std::string ini = IniWith(static_cast<int>(state.range(0)));
    const std::string listed = BenchDir().string() + "/";
    for (auto _ : state) {
        auto form = NewForm(ini);
        form->show();
        QElapsedTimer waited;
        waited.start();
        while (form->Components().SLBox->Directory() != listed && waited.elapsed() < 5000)
            QCoreApplication::processEvents();
        if (form->Components().SLBox->Directory() != listed) state.SkipWithError("the tree was not filled");
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
}

// The settings written when the window closes: one option differs from the file, so the
// file is replaced once.
void BM_CloseWriteSettings(benchmark::State& state) {
    const TInBenchDir inDir;
    const std::string ini = IniWith(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto form = NewForm(ini);
        form->show();
        QCoreApplication::processEvents();
        form->Components().MmHalfScroll->trigger();
        state.ResumeTiming();
        form->close();
        state.PauseTiming();
        form.reset();
        state.ResumeTiming();
    }
}


// A directory with two 50 MB files cut from the corpus.
std::string FiftyMegabyteDir() {
    const fs::path dir = BenchDir() / "fifty";
    fs::create_directories(dir);
    const std::string& corpus = xavo::bench::CorpusBytes();
    const std::size_t end = corpus.find('\n', std::min<std::size_t>(50u << 20, corpus.size()));
    const std::string text = corpus.substr(0, end == std::string::npos ? corpus.size() : end + 1);
    for (const char* name : {"a.txt", "b.txt"})
        if (!fs::exists(dir / name) || fs::file_size(dir / name) != text.size())
            std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << text;
    return dir.string();
}

// A click on the other file of the list: from the press until the window is back in the
// event loop with the first screen painted. The text goes on loading between clicks.
void BM_ClickFiftyMegabyteFile(benchmark::State& state) {
    if (xavo::bench::CorpusBytes().empty()) return state.SkipWithError("corpus file missing");
    const std::string dir = FiftyMegabyteDir();
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    auto form = NewForm(IniWith(0));
    form->show();
    xavo::TShellListBox* list = form->Components().SLBox;
    if (!QTest::qWaitFor([&] { return list->Count() == 2; }, 5000)) return state.SkipWithError("no list");
    QSignalSpy loads(form.get(), &xavo::TForm1::fileOpened);
    int row = 0;
    for (auto _ : state) {
        const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        form->Components().Memo->viewport()->repaint();
        state.PauseTiming();
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();  // some of the rest loads
        row = 1 - row;
        state.ResumeTiming();
    }
    state.counters["loads_per_click"] = static_cast<double>(loads.size()) / static_cast<double>(state.iterations());
    form.reset();
    fs::current_path(old);
}

}  // namespace

BENCHMARK(BM_StartupReadSettings)->Arg(0)->Arg(30)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupUntilShown)->Arg(0)->Arg(30)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CloseWriteSettings)->Arg(30)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ClickFiftyMegabyteFile)->Unit(benchmark::kMillisecond)->Iterations(6);
