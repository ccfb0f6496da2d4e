// Textual widening of a pattern before it is parsed.
//
// Every run of ordinary characters outside classes is searched, left to right, for the
// words of the dictionaries; a word found is replaced by the group of all words of its
// dictionary group, "(w0|w1|...)" with metacharacters escaped. Synonyms are applied
// first, then the fuzzy-character table widens every ordinary character of the result.
// Entry point: TREPreProcessor::Run; the result is FProcessedRegExp.
#pragma once

#include "Scanner.h"

#include <cstdint>
#include <string>
#include <vector>

namespace xavo {

// A dictionary: ordered groups of ordered Shift-JIS words. The first group, and within
// it the first word, that matches wins.
using TREWordGroup = std::vector<std::string>;
using TREDictionary = std::vector<TREWordGroup>;
using TREDictionaryList = std::vector<const TREDictionary*>;  // not owned

// One token of the pattern; its text is the bytes StartPos .. EndPos - 1 (1-based).
struct TRETokenRecord {
    TREToken Kind;
    TCharCode CharCode;
    TCharCode CharCodeTo;
    int StartPos;
    int EndPos;
};

class TREPreProcessor {
public:
    // A widened pattern longer than this is refused with "正規表現が複雑すぎます" as soon as
    // it grows past it: a word of a large group repeated in a pattern would otherwise
    // multiply into gigabytes before the automaton's own limits are reached. Patterns this
    // long exceed those limits in practice anyway.
    static constexpr std::size_t kMaxWidenedBytes = 256 * 1024;

    explicit TREPreProcessor(const std::string& pattern = {}) : FScanner(pattern) {}

    void SetText(const std::string& pattern) { FScanner.SetText(pattern); }
    // Widens the pattern into FProcessedRegExp. Raises the scanner's ERegExpParser for a
    // malformed pattern, for a dictionary word ending in a lone lead byte, or past
    // kMaxWidenedBytes.
    void Run();

    std::string FProcessedRegExp;
    TREDictionaryList FSynonymDics;
    TREDictionaryList FFuzzyCharDics;
    bool FUseFuzzyCharDic = false;
    bool FUseSynonymDic = false;

private:
    void Rewrite(const TREDictionaryList& dics);
    void Tokenize();
    std::string TokenText(const TRETokenRecord& t) const;
    int MatchDics(const TREDictionaryList& dics, int i, int j);
    int MatchDic(const TREDictionary& dic, std::size_t dicIndex, int i, int j);
    int MatchWord(const std::string& word, int i, int j) const;
    void MakeReplacement(const TREWordGroup& group);
    void IndexFirstCodes(const TREDictionaryList& dics);

    // For long patterns, the words of each dictionary by their first code, in dictionary
    // order (group, then word): only those can match at a character. Empty: try all.
    struct TWordRef {
        TCharCode First;
        std::uint32_t Group;
        std::uint32_t Word;
        bool operator<(const TWordRef& other) const { return First < other.First; }
    };
    std::vector<std::vector<TWordRef>> FFirstCodeIndex;

    TREScanner FScanner;
    std::vector<TRETokenRecord> FTokenList;
    std::string FReplaceStr;
};

// The built-in table of Japanese character variants: 145 groups of CP932 words (width,
// case, kana, voiced marks, digit forms). Built once, immutable, safe to share.
const TREDictionary& FuzzyCharTable();

}  // namespace xavo
