// Pattern widening with synonym dictionaries and the fuzzy-character table.
#include "PreProcessor.h"

namespace xavo {

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

void TREPreProcessor::Rewrite(const TREDictionaryList& dics) {
    std::string result;
    Tokenize();
    const int count = static_cast<int>(FTokenList.size());
    bool inClass = false;
    int i = 0;
    while (i < count) {
        const TRETokenRecord& t = FTokenList[static_cast<std::size_t>(i)];
        if (t.Kind == retkLBra || t.Kind == retkLBraNegative) inClass = true;
        if (t.Kind == retkRBra) inClass = false;
        if (t.Kind != retkChar || inClass) {
            result += TokenText(t);
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < count && FTokenList[static_cast<std::size_t>(j)].Kind == retkChar) ++j;
        while (i < j) {
            const int r = MatchDics(dics, i, j);
            if (r == -1) {
                result += TokenText(FTokenList[static_cast<std::size_t>(i)]);
                ++i;
            } else {
                result += FReplaceStr;
                i = r;
            }
        }
    }
    FProcessedRegExp = std::move(result);
}

int TREPreProcessor::MatchDics(const TREDictionaryList& dics, int i, int j) {
    for (const TREDictionary* dic : dics) {
        const int r = MatchDic(*dic, i, j);
        if (r != -1) return r;
    }
    return -1;
}

int TREPreProcessor::MatchDic(const TREDictionary& dic, int i, int j) {
    for (const TREWordGroup& group : dic) {
        for (const std::string& word : group) {
            const int r = MatchWord(word, i, j);
            if (r == -1) continue;
            std::string replacement(1, '(');
            for (std::size_t k = 0; k < group.size(); ++k) {
                if (k > 0) replacement += '|';
                replacement += EscapeMetaChars(group[k]);
            }
            replacement += ')';
            FReplaceStr = std::move(replacement);
            return r;
        }
    }
    return -1;
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
