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
#include <vector>

namespace xavo {

class TGrepProgram {
public:
    static constexpr std::int32_t kDead = -1;
    static constexpr std::int32_t kStart = 0;

    explicit TGrepProgram(const TRE_DFA& dfa);

    // The state after Code, or kDead: the DFA's step function.
    std::int32_t Step(std::int32_t state, TCharCode code) const {
        return FTable[static_cast<std::size_t>(state) * FClassCount + FCodeClass[code]];
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
    // Expected hits of the prefilter per million bytes of Japanese text (for tools).
    std::uint32_t PrefilterCost() const { return FPrefilterCost; }

private:
    void BuildTable(const TRE_DFA& dfa);
    void FindAcceptsAtEnd();
    void FindLineLocal();
    void ChoosePrefilter();

    std::vector<std::uint16_t> FCodeClass;  // code -> class, 65536 entries
    std::size_t FClassCount = 0;
    std::vector<std::int32_t> FTable;       // state * FClassCount + class -> state or kDead
    std::vector<TCharCode> FClassFirstCode; // a representative code of each class
    std::vector<std::uint8_t> FAccepting;
    std::vector<std::uint8_t> FAcceptsAtEnd;
    bool FLineLocal = false;
    bool FMatchesNothing = false;
    std::vector<unsigned char> FPrefilterBytes;
    std::uint32_t FPrefilterCost = 0;
};

// How often each byte occurs in Japanese Shift-JIS text, in parts per million.
extern const std::array<std::uint32_t, 256> kShiftJisByteFrequency;

}  // namespace xavo
