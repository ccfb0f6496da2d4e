// Literal search on Shift-JIS byte text: the search behind the text view's FindText, over
// one byte string (SearchBuffer) or a whole document read in windows (FindInBuffer,
// FindAllInBuffer).
//
// Text comes in as bytes (CP932); positions are byte offsets from 0 (view positions in a
// document). A character is one byte, or a lead byte (0x81-0x9F, 0xE0-0xFC) followed by a
// trail byte (0x40-0x7E, 0x80-0xFC), exactly as the codec splits it. Entry points:
// SearchBuffer, FindInBuffer, FindAllInBuffer.
#pragma once

#include "FindOptions.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace xavo {

// Bytes (1 or 2) of the character that starts at Pos (< text.size()).
int SjisCharLength(std::string_view text, std::size_t pos);

// True when Pos (0..size) is not inside a double-byte character. Looks back only over the
// run of lead-range bytes before Pos, so it costs O(1) on ordinary text.
bool IsCharBoundary(std::string_view text, std::size_t pos);

// Word bytes are 0-9, A-Z, a-z; every other byte is a delimiter.
constexpr bool IsWordByte(unsigned char b) {
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// The position of Pattern in Buffer, searching from the selection (SelStart, SelLength,
// bytes): forward (frDown) from its end, backward from SelStart - pattern length.
// Without frMatchCase an all-ASCII pattern matches ASCII letters of either case; a
// pattern with any byte >= 0x80 compares exactly. frWholeWord moves each candidate to a
// word start first and wants a delimiter (or the end) after the match. A match always
// starts and ends on a character boundary. Returns -1 when there is none.
int SearchBuffer(std::string_view buffer, int selStart, int selLength, std::string_view pattern,
                 TFindOptions options);

class TTextBuffer;

// How much of a document one search reads at a time (whole lines when they fit).
inline constexpr std::int64_t kSearchWindow = 16 << 20;

// The character boundary at or before Position of Buffer (a break's second byte gives
// its first), clamped to the text.
std::int64_t CharStartIn(const TTextBuffer& buffer, std::int64_t position);

// SearchBuffer over a whole document from a selection (view positions), reading it in
// windows of about Window bytes of whole lines; positions and boundaries are exact. A '?'
// of the pattern never matches a foreign unit (a character the bytes only stand in for).
// Returns the match start or -1.
std::int64_t FindInBuffer(const TTextBuffer& buffer, std::string_view pattern, std::int64_t selStart,
                          std::int64_t selLength, TFindOptions options, std::int64_t window = kSearchWindow);

// Every match that forward searches find one after the other from From on, each resuming
// after the previous match (so none overlap), as FindInBuffer finds them, in one pass over
// the text. Progress (when given) is told how far the pass has come, in view bytes of
// Length, after each window; when it returns false the pass stops: Cancelled, no matches.
struct TFoundAll {
    std::vector<std::int64_t> Starts;
    bool Cancelled = false;
};
TFoundAll FindAllInBuffer(const TTextBuffer& buffer, std::string_view pattern, std::int64_t from, TFindOptions options,
                          const std::function<bool(std::int64_t done, std::int64_t length)>& progress = {},
                          std::int64_t window = kSearchWindow);

}  // namespace xavo
