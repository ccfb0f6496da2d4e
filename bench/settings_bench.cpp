// What the main window pays for its settings: reading them all at start and writing them
// all at close, key by key (one atomic file replacement per changed key) and in one batch.
#include "IniGT.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace xavo {
namespace {

const char* const kOptions[] = {"ShowQGC", "Fuzzy",      "WordWrap", "VertBar", "StatusBar", "HideLPanel",
                                "HalfScroll", "ToolBar", "AddDir",   "PlainText", "JAGREP"};

std::vector<std::string> List(const char* stem, int count, int generation) {
    std::vector<std::string> items;
    for (int i = 0; i < count; ++i) items.push_back(std::string(stem) + std::to_string(i + generation));
    return items;
}

// The settings of the main window: 8 + 21 + 31 + 31 + 4 + 4 + 16 + 1 keys.
void WriteAll(ZEziDE& ini, int generation) {
    ini.WriteWindowPos("WindowPos", "Main", {0, 1, -1, -1, 10 + generation, 20, 660, 547});
    ini.WriteStrings("GrepWord", "WordList", List("word", 20, generation));
    ini.WriteStrings("Setting", "SettingList", List("favourite", 30, generation));
    ini.WriteStrings("Path", "SettingPath", List("name@/home/user/dir@*.txt", 30, generation));
    ini.WriteFont("Font", "EditFont", {kDefaultFontFace, 10 + generation % 2, 0, clWindowText});
    ini.WriteFont("GFont", "GEditFont", {kDefaultFontFace, 9, 1, clWindowText});
    ini.WriteRawString("option", "GrepExe", "/usr/bin/qgrep");
    ini.WriteRawString("option", "GrepOpt", "-1+ -c -E");
    ini.WriteInteger("option", "Vbar", 269 + generation);
    ini.WriteInteger("option", "Hbar", 161);
    ini.WriteInteger("option", "DTVh", 143);
    for (const char* option : kOptions) ini.WriteBool("option", option, generation % 2 == 0);
    ini.WriteColor("option", "BackGround", clWindow);
    ini.WriteInteger("option", "GrepMode", 1);
}

void ReadAll(const ZEziDE& ini) {
    TWindowPlacement placement;
    ini.ReadWindowPos("WindowPos", "Main", placement);
    std::vector<std::string> words, names, paths;
    ini.ReadStrings("GrepWord", "WordList", words);
    ini.ReadStrings("Setting", "settingList", names);
    ini.ReadStrings("Path", "settingPath", paths);
    TFontSpec memoFont, grepFont;
    ini.ReadFont("Font", "EditFont", memoFont);
    ini.ReadFont("GFont", "GEditFont", grepFont);
    benchmark::DoNotOptimize(ini.ReadRawString("option", "GrepExe", ""));
    benchmark::DoNotOptimize(ini.ReadRawString("option", "GrepOpt", "-1+ -c -E"));
    for (const char* key : {"Vbar", "Hbar", "DTVh", "GrepMode"}) benchmark::DoNotOptimize(ini.ReadInteger("option", key, 0));
    for (const char* option : kOptions) benchmark::DoNotOptimize(ini.ReadBool("option", option, true));
    benchmark::DoNotOptimize(ini.ReadColor("option", "BackGround", clWindow));
}

// A settings file in a scratch directory, written once and left to age past the clock
// tick so that its cached copy is trusted.
std::string PreparedFile() {
    static const std::string path = [] {
        const std::string dir = (std::filesystem::temp_directory_path() / "xavoline-settings-bench").string();
        std::filesystem::create_directories(dir);
        const std::string file = dir + "/Xavoline.ini";
        ZEziDE ini(TProgramPlaces{dir + "/xavoline", dir + "/"});
        ini.SetFileName(file);
        TIniUpdate batch(ini.IniFile());
        WriteAll(ini, 0);
        batch.Commit();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return file;
    }();
    return path;
}

ZEziDE Store() {
    ZEziDE ini(TProgramPlaces{"/nonexistent/xavoline", "/nonexistent/"});
    ini.SetFileName(PreparedFile());
    return ini;
}

void BM_StartupReadAll(benchmark::State& state) {
    for (auto _ : state) {
        const ZEziDE ini = Store();  // a fresh store parses the file once
        ReadAll(ini);
    }
}
BENCHMARK(BM_StartupReadAll)->Unit(benchmark::kMicrosecond);

void BM_CloseWriteAllKeyByKey(benchmark::State& state) {
    ZEziDE ini = Store();
    int generation = 0;
    for (auto _ : state) WriteAll(ini, ++generation);
}
BENCHMARK(BM_CloseWriteAllKeyByKey)->Unit(benchmark::kMillisecond);

void BM_CloseWriteAllBatched(benchmark::State& state) {
    ZEziDE ini = Store();
    int generation = 0;
    for (auto _ : state) {
        TIniUpdate batch(ini.IniFile());
        WriteAll(ini, ++generation);
        batch.Commit();
    }
}
BENCHMARK(BM_CloseWriteAllBatched)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace xavo

BENCHMARK_MAIN();
