// Listing speed of the file list control on a directory of 100,000 files: Update (listing,
// sorting, one model reset) and, shown on screen, Update up to the first painted frame.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "BigDirectory.h"
#include "ShellListBox.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <string>

namespace {

using xavo::bench::BigDirectory;

void BM_ShellListBoxUpdate100k(benchmark::State& state) {
    const std::string& root = BigDirectory().Root();
    xavo::TShellListBox list;
    list.SetMask("*.*");
    for (auto _ : state) {
        list.SetDirectory(root);
        benchmark::DoNotOptimize(list.Count());
    }
    state.counters["items"] = list.Count();
}
BENCHMARK(BM_ShellListBoxUpdate100k)->Unit(benchmark::kMillisecond);

void BM_ShellListBoxShown100k(benchmark::State& state) {
    const std::string& root = BigDirectory().Root();
    xavo::TShellListBox list;
    list.SetMask("*.txt;*.log");
    list.resize(300, 600);
    list.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        list.SetDirectory(root);
        QCoreApplication::processEvents();  // the delayed item layout
        list.repaint();
    }
    state.counters["items"] = list.Count();
}
BENCHMARK(BM_ShellListBoxShown100k)->Unit(benchmark::kMillisecond);

}  // namespace
