// The compile pipeline and the cache of compiled patterns.
#include "RegularExpression.h"

namespace xavo {

TRegularExpression::TRegularExpression(TCharCode lineHeadCode, TCharCode lineTailCode)
    : FLineHeadCode(lineHeadCode), FLineTailCode(lineTailCode) {
    FCompiledRegExpList.push_back(TCompiled{});
    FCurrentIndex = 0;
    Compile(std::string());
}

void TRegularExpression::SetUseFuzzyCharDic(bool value) {
    FPreProcessor.FUseFuzzyCharDic = value;
    StorePattern(FPatternText);
}

void TRegularExpression::SetUseSynonymDic(bool value) {
    FPreProcessor.FUseSynonymDic = value;
    StorePattern(FPatternText);
}

void TRegularExpression::StorePattern(const std::string& value) {
    std::string copy = value;
    FPreProcessor.SetText(value);
    FPreProcessor.Run();  // a widening error leaves everything as it was
    const std::string& pattern = FPreProcessor.FProcessedRegExp;
    try {
        FCurrentIndex = -1;
        for (std::size_t i = 0; i < FCompiledRegExpList.size(); ++i)
            if (FCompiledRegExpList[i].Pattern == pattern) {
                FCurrentIndex = static_cast<int>(i);
                break;
            }
        if (FCurrentIndex == -1) {
            if (FCompiledRegExpList.size() >= kCompiledRegExpListMax) FCompiledRegExpList.pop_back();
            FCompiledRegExpList.insert(FCompiledRegExpList.begin() + 1, TCompiled{pattern, nullptr, nullptr});
            FCurrentIndex = 1;
            Compile(pattern);
        }
        FPatternText = std::move(copy);
    } catch (...) {
        FCurrentIndex = 0;
        FPatternText.clear();
        throw;
    }
}

void TRegularExpression::Compile(const std::string& pattern) {
    try {
        TREParser parser(pattern);
        parser.Run();
        TRE_NFA nfa(parser, FLineHeadCode, FLineTailCode);
        nfa.Run();
        auto dfa = std::make_unique<TRE_DFA>(nfa);
        dfa->Run();
        FCompiledRegExpList[static_cast<std::size_t>(FCurrentIndex)].Dfa = std::move(dfa);
        ++FCompileCount;
    } catch (...) {
        FCompiledRegExpList.erase(FCompiledRegExpList.begin() + FCurrentIndex);
        FCurrentIndex = 0;
        throw;
    }
}

}  // namespace xavo
