// The compiled-pattern component: widen, look up in a cache, compile on a miss.
//
// Setting RegExp runs the preprocessor, then looks the widened pattern up in a cache of
// 30 compiled DFAs (entry 0, the empty pattern, is permanent; new entries go in at 1; the
// last entry is evicted, so eviction is by age of insertion, not by use). A failed set
// leaves RegExp empty and entry 0 current. Matchers read GetCurrentDFA / NextState.
#pragma once

#include "Dfa.h"
#include "PreProcessor.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace xavo {

class TGrepProgram;

class TRegularExpression {
public:
    static constexpr int kCompiledRegExpListMax = 30;

    // The codes that "^" at the start and "$" at the end of a pattern consume; the
    // defaults are the plain component's reserved marks.
    explicit TRegularExpression(TCharCode lineHeadCode = kLineHeadMark, TCharCode lineTailCode = kLineTailMark);
    virtual ~TRegularExpression() = default;
    TRegularExpression(const TRegularExpression&) = delete;
    TRegularExpression& operator=(const TRegularExpression&) = delete;

    // The pattern as last set (before widening); empty after a failed set.
    const std::string& RegExp() const { return FPatternText; }
    // Widens and compiles Value. Raises ERegExpParser (message and byte position).
    void SetRegExp(const std::string& value) { StorePattern(value); }

    const TRE_DFA& GetCurrentDFA() const { return *FCompiledRegExpList[FCurrentIndex].Dfa; }
    bool IsSimple() const { return GetCurrentDFA().FRegExpIsSimple; }
    const std::string& GetSimpleRegExpStr() const { return GetCurrentDFA().FSimpleRegExpStr; }
    static const TRE_DFAState* NextState(const TRE_DFAState* state, TCharCode code) {
        return TRE_DFA::NextState(state, code);
    }

    // Widening switches; setting one compiles the current pattern again with it.
    bool UseFuzzyCharDic() const { return FPreProcessor.FUseFuzzyCharDic; }
    void SetUseFuzzyCharDic(bool value);
    bool UseSynonymDic() const { return FPreProcessor.FUseSynonymDic; }
    void SetUseSynonymDic(bool value);
    // The same switches without compiling again: the next pattern set is widened with them
    // (the current one keeps its widening until then).
    void SwitchFuzzyCharDic(bool value) { FPreProcessor.FUseFuzzyCharDic = value; }
    void SwitchSynonymDic(bool value) { FPreProcessor.FUseSynonymDic = value; }

    TCharCode GetLineHeadCode() const { return FLineHeadCode; }
    TCharCode GetLineTailCode() const { return FLineTailCode; }

    // The preprocessor's dictionary lists, for the owner to fill; they and the flags
    // take effect at the next StorePattern.
    TREDictionaryList& FuzzyCharDics() { return FPreProcessor.FFuzzyCharDics; }
    TREDictionaryList& SynonymDics() { return FPreProcessor.FSynonymDics; }

    // The widened pattern of the current entry and the cache's size, for tests and tools.
    const std::string& CurrentPattern() const { return FCompiledRegExpList[FCurrentIndex].Pattern; }
    int CurrentIndex() const { return FCurrentIndex; }
    int CacheSize() const { return static_cast<int>(FCompiledRegExpList.size()); }
    int CompileCount() const { return FCompileCount; }

protected:
    virtual void StorePattern(const std::string& value);
    virtual void Compile(const std::string& pattern);

    // The search program built from the current entry's DFA, kept with it (empty until a
    // subclass builds one; evicted with the entry).
    std::shared_ptr<const TGrepProgram>& CurrentProgram() { return FCompiledRegExpList[FCurrentIndex].Program; }

    TREPreProcessor FPreProcessor;

private:
    struct TCompiled {
        std::string Pattern;  // widened
        std::unique_ptr<TRE_DFA> Dfa;
        std::shared_ptr<const TGrepProgram> Program;
    };
    std::string FPatternText;
    std::vector<TCompiled> FCompiledRegExpList;
    int FCurrentIndex = 0;
    int FCompileCount = 0;
    TCharCode FLineHeadCode;
    TCharCode FLineTailCode;
};

}  // namespace xavo
