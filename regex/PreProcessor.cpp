// Pattern widening with synonym dictionaries and the fuzzy-character table.
#include "PreProcessor.h"

#include <algorithm>

namespace xavo {

namespace {

[[noreturn]] void TooComplex() { throw ERegExpParser(RegExpMessage::kTooComplex, 0); }

// Below this many characters in a pattern, trying every word costs less than an index.
constexpr std::size_t kIndexFromTokens = 64;

}  // namespace

void TREPreProcessor::Run() {
    FProcessedRegExp = FScanner.FSourceText;
    if (FUseSynonymDic) {
        Rewrite(FSynonymDics);
        FScanner.SetText(FProcessedRegExp);
    }
    if (FUseFuzzyCharDic) Rewrite(FFuzzyCharDics);
}

void TREPreProcessor::Tokenize() {
    FTokenList.clear();
    FScanner.SetText(FScanner.FSourceText);
    for (;;) {
        const int start = FScanner.FPos;
        const TREToken kind = FScanner.GetToken();
        FTokenList.push_back({kind, FScanner.FCode, FScanner.FCodeTo, start, FScanner.FPos});
        if (kind == retkEnd) return;
    }
}

std::string TREPreProcessor::TokenText(const TRETokenRecord& t) const {
    return FScanner.FSourceText.substr(static_cast<std::size_t>(t.StartPos - 1),
                                       static_cast<std::size_t>(t.EndPos - t.StartPos));
}

void TREPreProcessor::IndexFirstCodes(const TREDictionaryList& dics) {
    FFirstCodeIndex.clear();
    if (FTokenList.size() < kIndexFromTokens) return;
    for (const TREDictionary* dic : dics) {
        std::vector<TWordRef>& refs = FFirstCodeIndex.emplace_back();
        for (std::size_t g = 0; g < dic->size(); ++g) {
            const TREWordGroup& group = (*dic)[g];
            for (std::size_t w = 0; w < group.size(); ++w) {
                if (group[w].empty()) continue;  // never matches
                if (group[w].size() == 1 && IsLeadByte(static_cast<unsigned char>(group[w][0]))) {
                    FFirstCodeIndex.clear();  // raises once tried: try every word in order
                    return;
                }
                int pos = 1;
                const TCharCode first = NextChar(group[w], pos);
                refs.push_back({first, static_cast<std::uint32_t>(g), static_cast<std::uint32_t>(w)});
            }
        }
        std::stable_sort(refs.begin(), refs.end());  // keeps dictionary order among equal codes
    }
}

void TREPreProcessor::Rewrite(const TREDictionaryList& dics) {
    std::string result;
    Tokenize();
    IndexFirstCodes(dics);
    const auto append = [&](const std::string& text) {
        if (result.size() + text.size() > kMaxWidenedBytes) TooComplex();
        result += text;
    };
    const int count = static_cast<int>(FTokenList.size());
    bool inClass = false;
    int i = 0;
    while (i < count) {
        const TRETokenRecord& t = FTokenList[static_cast<std::size_t>(i)];
        if (t.Kind == retkLBra || t.Kind == retkLBraNegative) inClass = true;
        if (t.Kind == retkRBra) inClass = false;
        if (t.Kind != retkChar || inClass) {
            append(TokenText(t));
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < count && FTokenList[static_cast<std::size_t>(j)].Kind == retkChar) ++j;
        while (i < j) {
            const int r = MatchDics(dics, i, j);
            if (r == -1) {
                append(TokenText(FTokenList[static_cast<std::size_t>(i)]));
                ++i;
            } else {
                append(FReplaceStr);
                i = r;
            }
        }
    }
    FProcessedRegExp = std::move(result);
}

int TREPreProcessor::MatchDics(const TREDictionaryList& dics, int i, int j) {
    for (std::size_t d = 0; d < dics.size(); ++d) {
        const int r = MatchDic(*dics[d], d, i, j);
        if (r != -1) return r;
    }
    return -1;
}

int TREPreProcessor::MatchDic(const TREDictionary& dic, std::size_t dicIndex, int i, int j) {
    if (dicIndex < FFirstCodeIndex.size()) {
        const std::vector<TWordRef>& refs = FFirstCodeIndex[dicIndex];
        const TWordRef key{FTokenList[static_cast<std::size_t>(i)].CharCode, 0, 0};
        for (auto [at, last] = std::equal_range(refs.begin(), refs.end(), key); at != last; ++at) {
            const TREWordGroup& group = dic[at->Group];
            const int r = MatchWord(group[at->Word], i, j);
            if (r == -1) continue;
            MakeReplacement(group);
            return r;
        }
        return -1;
    }
    for (const TREWordGroup& group : dic) {
        for (const std::string& word : group) {
            const int r = MatchWord(word, i, j);
            if (r == -1) continue;
            MakeReplacement(group);
            return r;
        }
    }
    return -1;
}

void TREPreProcessor::MakeReplacement(const TREWordGroup& group) {
    std::string replacement(1, '(');
    for (std::size_t k = 0; k < group.size(); ++k) {
        if (k > 0) replacement += '|';
        replacement += EscapeMetaChars(group[k]);
        if (replacement.size() > kMaxWidenedBytes) TooComplex();
    }
    replacement += ')';
    FReplaceStr = std::move(replacement);
}

int TREPreProcessor::MatchWord(const std::string& word, int i, int j) const {
    if (word.empty()) return -1;
    int pos = 1;
    while (pos <= static_cast<int>(word.size())) {
        const TCharCode ch = NextChar(word, pos);
        if (i == j || ch != FTokenList[static_cast<std::size_t>(i)].CharCode) return -1;
        ++i;
    }
    return i;
}

}  // namespace xavo
