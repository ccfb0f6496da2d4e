// A compiled pattern prepared for searching files fast, owned and immutable, so that
// several threads may search with one program while the component's cache moves on.
//
// It holds the DFA as a dense table over code classes, and what the search needs to
// skip text: whether every match lies within one line ("line-local"), and a set of bytes
// of which every match must contain one (the prefilter), chosen as the rarest cut of the
// automaton using byte frequencies of Japanese Shift-JIS text.
#pragma once

#include "Dfa.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xavo {

class TGrepProgram {
public:
    static constexpr std::int32_t kDead = -1;
    static constexpr std::int32_t kStart = 0;

    explicit TGrepProgram(const TRE_DFA& dfa);

    // The state after Code, or kDead: the DFA's step function.
    std::int32_t Step(std::int32_t state, TCharCode code) const {
        return FTable[static_cast<std::size_t>(state) * FClassCount + ClassOf(code)];
    }
    // The same step through a code class, for tables indexed by class.
    std::size_t ClassOf(TCharCode code) const {
        return FClassRows[static_cast<std::size_t>(FRowOfHighByte[code >> 8]) * 256 + (code & 0xFF)];
    }
    std::size_t ClassCount() const { return FClassCount; }
    std::int32_t StepClass(std::int32_t state, std::size_t codeClass) const {
        return FTable[static_cast<std::size_t>(state) * FClassCount + codeClass];
    }
    bool Accepting(std::int32_t state) const { return FAccepting[static_cast<std::size_t>(state)] != 0; }
    // Whether a run standing in State when the text has ended (and the look-ahead reads 0
    // for ever) reaches an accepting state.
    bool AcceptsAtEnd(std::int32_t state) const { return FAcceptsAtEnd[static_cast<std::size_t>(state)] != 0; }
    std::size_t StateCount() const { return FAccepting.size(); }

    // True when no run can consume a line feed except as its first code or as the code that
    // makes it accept: every match then lies within one line and its line feeds.
    bool IsLineLocal() const { return FLineLocal; }
    // True when no text can match at all (the empty pattern).
    bool MatchesNothing() const { return FMatchesNothing; }

    // Bytes of which every match contains at least one (within its line), or empty when no
    // set is selective enough to be worth searching for.
    const std::vector<unsigned char>& PrefilterBytes() const { return FPrefilterBytes; }
    // Character codes of which every match contains one, or empty; found by their bytes.
    const std::vector<std::uint16_t>& PrefilterCodes() const { return FPrefilterCodes; }
    // An ASCII word that every match of ASCII characters only holds in some case of its
    // letters, or empty; when present, every other match holds one of PrefilterCodes, and
    // candidates are found by both. The offsets of its two rarest letters.
    const std::string& FoldedWord() const { return FFoldedWord; }
    std::size_t FoldedWordFirst() const { return FFoldedWordFirst; }
    std::size_t FoldedWordSecond() const { return FFoldedWordSecond; }
    // The state that every match passes and leaves by a code of the byte set, or -1: a
    // candidate is only worth deciding when the automaton, started in this state at the
    // candidate's character, can accept before the end of the line.
    std::int32_t PrefilterState() const { return FPrefilterState; }
    // Expected hits of the prefilter per million bytes of Japanese text (for tools).
    std::uint32_t PrefilterCost() const { return FPrefilterCost; }
    // A byte string that every match contains (within its line), or empty; better than
    // the byte set when present. LiteralFirst and LiteralSecond are the offsets of its
    // two rarest bytes.
    const std::string& Literal() const { return FLiteral; }
    std::size_t LiteralFirst() const { return FLiteralFirst; }
    std::size_t LiteralSecond() const { return FLiteralSecond; }

private:
    void BuildTable(const TRE_DFA& dfa);
    void FindAcceptsAtEnd();
    void FindLineLocal();
    void ChoosePrefilter();

    // Code -> class in two steps, small enough to stay in the first-level cache: the high
    // byte picks a row of 256 classes; high bytes whose rows are alike share one.
    std::array<std::uint8_t, 256> FRowOfHighByte{};
    std::vector<std::uint16_t> FClassRows;
    std::size_t FClassCount = 0;
    std::vector<std::int32_t> FTable;       // state * FClassCount + class -> state or kDead
    std::vector<TCharCode> FClassFirstCode; // a representative code of each class
    std::vector<std::uint8_t> FAccepting;
    std::vector<std::uint8_t> FAcceptsAtEnd;
    bool FLineLocal = false;
    bool FMatchesNothing = false;
    std::vector<unsigned char> FPrefilterBytes;
    std::vector<std::uint16_t> FPrefilterCodes;
    std::uint32_t FPrefilterCost = 0;
    std::int32_t FPrefilterState = -1;
    std::string FFoldedWord;
    std::size_t FFoldedWordFirst = 0;
    std::size_t FFoldedWordSecond = 0;
    std::string FLiteral;
    std::size_t FLiteralFirst = 0;
    std::size_t FLiteralSecond = 0;
};

// How often each byte occurs in Japanese Shift-JIS text, in parts per million.
extern const std::array<std::uint32_t, 256> kShiftJisByteFrequency;
// How often a character code occurs in Japanese Shift-JIS text, per million bytes (a
// small figure for rare double-byte characters).
std::uint32_t ShiftJisCodeFrequency(TCharCode code);

}  // namespace xavo
