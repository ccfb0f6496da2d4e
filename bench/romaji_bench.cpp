// Romaji search: reading the dictionary, expanding inputs of 1 to 8 letters, and compiling
// the expansions (with and without fuzzy widening) as a GREP does, refusals included.
//   build/bench/romaji_bench
#include "Grep.h"
#include "Migemo.h"

#include <benchmark/benchmark.h>

#include <limits>

namespace {

void DictionaryLoad(benchmark::State& state) {
    for (auto _ : state) {
        xavo::TMigemo migemo;
        if (!migemo.Load()) state.SkipWithError("no dictionary");
    }
}
BENCHMARK(DictionaryLoad)->Unit(benchmark::kMillisecond)->Iterations(5);

xavo::TMigemo& LoadedMigemo() {
    static xavo::TMigemo migemo;
    migemo.MaxExpansionBytes = std::numeric_limits<std::size_t>::max();
    migemo.Load();
    return migemo;
}

void Expand(benchmark::State& state, const std::string& input) {
    xavo::TMigemo& migemo = LoadedMigemo();
    std::size_t bytes = 0;
    for (auto _ : state) bytes = migemo.Expand(input).size();
    state.counters["expansion_bytes"] = static_cast<double>(bytes);
}

// Expansion plus a compile in a fresh component (no cache), as the first GREP of a word.
// refused = 1 when the engine declines the pattern as too complex.
void ExpandAndCompile(benchmark::State& state, const std::string& input, bool fuzzy) {
    xavo::TMigemo& migemo = LoadedMigemo();  // no limit: what the engine makes of it
    std::size_t bytes = 0;
    std::size_t widened = 0;
    std::size_t states = 0;
    bool refused = false;
    for (auto _ : state) {
        const std::string expansion = migemo.Expand(input);
        bytes = expansion.size();
        xavo::TGrep grep;
        try {
            grep.SetUseFuzzyCharDic(fuzzy);
            grep.SetRegExp(expansion);
            widened = grep.CurrentPattern().size();
            states = grep.GetCurrentDFA().States().size();
        } catch (const xavo::ERegExpParser&) {
            refused = true;
        }
    }
    state.counters["expansion_bytes"] = static_cast<double>(bytes);
    state.counters["widened_bytes"] = static_cast<double>(widened);
    state.counters["dfa_states"] = static_cast<double>(states);
    state.counters["refused"] = refused ? 1 : 0;
}

#define ROMAJI_INPUTS(X) X(k) X(ka) X(kan) X(kanj) X(kanji) X(hyouji) X(kensaku) X(setsumei)
#define EXPAND(w) BENCHMARK_CAPTURE(Expand, w, #w)->Unit(benchmark::kMillisecond);
#define COMPILE(w)                                                                             \
    BENCHMARK_CAPTURE(ExpandAndCompile, w, #w, false)->Unit(benchmark::kMillisecond)->Iterations(3); \
    BENCHMARK_CAPTURE(ExpandAndCompile, w##_fuzzy, #w, true)->Unit(benchmark::kMillisecond)->Iterations(3);
ROMAJI_INPUTS(EXPAND)
ROMAJI_INPUTS(COMPILE)
// Several short words: the largest admitted expansions, and the first refused.
BENCHMARK_CAPTURE(ExpandAndCompile, k_k_fuzzy, "k k", true)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(ExpandAndCompile, s_s_fuzzy, "s s", true)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(ExpandAndCompile, a_i_u_e_o_fuzzy, "a i u e o", true)->Unit(benchmark::kMillisecond)->Iterations(3);
// Past the limit, compiled all the same: why the limit is where it is.
BENCHMARK_CAPTURE(ExpandAndCompile, k_k_k_fuzzy, "k k k", true)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(ExpandAndCompile, eight_k_fuzzy, "k k k k k k k k", true)->Unit(benchmark::kMillisecond)->Iterations(1);

// The refusal of an expansion past the limit: how long until "正規表現が複雑すぎます".
void Refusal(benchmark::State& state, const std::string& input) {
    static xavo::TMigemo migemo;
    migemo.Load();
    bool refused = false;
    for (auto _ : state) {
        try {
            migemo.Expand(input);
        } catch (const xavo::ERegExpParser&) {
            refused = true;
        }
    }
    state.counters["refused"] = refused ? 1 : 0;
}
BENCHMARK_CAPTURE(Refusal, k_k_k, "k k k")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(Refusal, twenty_k, "k k k k k k k k k k k k k k k k k k k k")->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
