// Compile time of typical patterns: parse, NFA, complete DFA.
//   build/bench/regex_bench
#include "Dfa.h"

#include <benchmark/benchmark.h>

namespace {

void Compile(benchmark::State& state, const std::string& pattern) {
    std::size_t states = 0;
    for (auto _ : state) {
        xavo::TREParser parser(pattern);
        parser.Run();
        xavo::TRE_NFA nfa(parser, 0x0A, 0x0A);
        nfa.Run();
        xavo::TRE_DFA dfa(nfa);
        dfa.Run();
        states = dfa.States().size();
        benchmark::DoNotOptimize(dfa.FStartState);
    }
    state.counters["dfa_states"] = static_cast<double>(states);
}

// 日本語の文字列処理 (10 characters)
const std::string kJapaneseWord = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8e\x9a\x97\xf1\x8f\x88\x97\x9d";

std::string TwentyAlternatives() {
    std::string p;
    const char* words[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel", "india",
                           "juliet", "kilo", "lima", "mike", "november", "oscar", "papa", "quebec", "romeo",
                           "sierra", "tango"};
    for (const char* w : words) p += (p.empty() ? "" : "|") + std::string(w);
    return p;
}

}  // namespace

BENCHMARK_CAPTURE(Compile, word, std::string("grep"));
BENCHMARK_CAPTURE(Compile, japanese_word_10, kJapaneseWord);
BENCHMARK_CAPTURE(Compile, class_heavy, std::string("^[A-Za-z_][A-Za-z0-9_]*[ \\t]*=[ \\t]*[^;\\n]+;$"));
BENCHMARK_CAPTURE(Compile, alternatives_20, TwentyAlternatives());
BENCHMARK_CAPTURE(Compile, dot_star_hiragana, std::string("[\x82\x9f-\x82\xf1]+.*[\x83\x40-\x83\x96]+"));

BENCHMARK_MAIN();
