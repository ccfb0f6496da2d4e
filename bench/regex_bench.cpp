// Compile time of typical patterns: parse, NFA, complete DFA.
//   build/bench/regex_bench
#include "Dfa.h"
#include "RegularExpression.h"

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

// 日本語の文字列処理系 (10 characters)
const std::string kJapaneseWord =
    "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x95\xb6\x8e\x9a\x97\xf1\x8f\x88\x97\x9d\x8c\x6e";
// データベースファイル (10 characters, kana that the table widens)
const std::string kKanaWord = "\x83\x66\x81\x5b\x83\x5e\x83\x78\x81\x5b\x83\x58\x83\x74\x83\x40\x83\x43\x83\x8b";
// "Version 2.0 の設定ファイルを読み込みます。OK!" (30 characters: ASCII, digits, kana, kanji)
const std::string kMixed30 =
    "Version 2\\.0 \x82\xcc\x90\xdd\x92\xe8\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xf0\x93\xc7"
    "\x82\xdd\x8d\x9e\x82\xdd\x82\xdc\x82\xb7\x81\x42OK!";

// Widening with the fuzzy table plus compiling, without the cache's help.
void CompileFuzzy(benchmark::State& state, const std::string& pattern) {
    std::size_t states = 0;
    std::size_t widened = 0;
    for (auto _ : state) {
        xavo::TRegularExpression re(0x0A, 0x0A);
        re.FuzzyCharDics().push_back(&xavo::FuzzyCharTable());
        re.SetUseFuzzyCharDic(true);
        re.SetRegExp(pattern);
        states = re.GetCurrentDFA().States().size();
        widened = re.CurrentPattern().size();
    }
    state.counters["dfa_states"] = static_cast<double>(states);
    state.counters["widened_bytes"] = static_cast<double>(widened);
}

std::string TwentyAlternatives() {
    std::string p;
    const char* words[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel", "india",
                           "juliet", "kilo", "lima", "mike", "november", "oscar", "papa", "quebec", "romeo",
                           "sierra", "tango"};
    for (const char* w : words) p += (p.empty() ? "" : "|") + std::string(w);
    return p;
}

// A pattern whose subset construction explodes: how long until it is refused.
void RefuseExplosion(benchmark::State& state) {
    std::string pattern = "(a|b)*a";
    for (int i = 0; i < 20; ++i) pattern += "(a|b)";
    for (auto _ : state) {
        try {
            xavo::TRegularExpression re;
            re.SetRegExp(pattern);
        } catch (const xavo::ERegExpParser&) {
        }
    }
}

// A synonym group of 45 KB holding "a", and a pattern of 2,000 "a": each would become the
// whole group. How long until the widening is refused (argument: fuzzy off/on).
void RefuseWidening(benchmark::State& state) {
    xavo::TREDictionary synonyms(1);
    synonyms[0].push_back("a");
    for (int i = 0; synonyms[0].size() < 4500; ++i) synonyms[0].push_back("w" + std::to_string(i) + "xyz");
    const std::string pattern(2000, 'a');
    for (auto _ : state) {
        try {
            xavo::TRegularExpression re(0x0A, 0x0A);
            re.SynonymDics().push_back(&synonyms);
            re.FuzzyCharDics().push_back(&xavo::FuzzyCharTable());
            re.SetUseSynonymDic(true);
            re.SetUseFuzzyCharDic(state.range(0) != 0);
            re.SetRegExp(pattern);
        } catch (const xavo::ERegExpParser&) {
        }
    }
}

// Scanning a class of N characters, or N "[": the scanner must stay linear.
void ScanClass(benchmark::State& state, bool brackets) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::string pattern = brackets ? std::string(n, '[') : "[";
    if (!brackets)
        for (std::size_t i = 0; i < n; ++i) pattern += "\x82\xa0";  // あ
    if (!brackets) pattern += "]";
    for (auto _ : state) {
        xavo::TREScanner scanner(pattern);
        try {
            while (scanner.GetToken() != xavo::retkEnd) {
            }
        } catch (const xavo::ERegExpParser&) {
        }
    }
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(RefuseExplosion)->Unit(benchmark::kMillisecond);
BENCHMARK(RefuseWidening)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScanClass, class_chars, false)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ScanClass, open_brackets, true)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Compile, word, std::string("grep"));
BENCHMARK_CAPTURE(Compile, japanese_word_10, kJapaneseWord);
BENCHMARK_CAPTURE(Compile, class_heavy, std::string("^[A-Za-z_][A-Za-z0-9_]*[ \\t]*=[ \\t]*[^;\\n]+;$"));
BENCHMARK_CAPTURE(Compile, alternatives_20, TwentyAlternatives());
BENCHMARK_CAPTURE(CompileFuzzy, fuzzy_japanese_word_10, kJapaneseWord);
BENCHMARK_CAPTURE(CompileFuzzy, fuzzy_kana_word_10, kKanaWord);
BENCHMARK_CAPTURE(CompileFuzzy, fuzzy_mixed_30, kMixed30);
BENCHMARK_CAPTURE(Compile, dot_star_hiragana, std::string("[\x82\x9f-\x82\xf1]+.*[\x83\x40-\x83\x96]+"));

BENCHMARK_MAIN();
