// Literal search on Shift-JIS byte text: the search behind the text view's FindText.
//
// Text comes in as bytes (CP932); positions are byte offsets from 0. A character is one
// byte, or a lead byte (0x81-0x9F, 0xE0-0xFC) followed by a trail byte (0x40-0x7E,
// 0x80-0xFC), exactly as the codec splits it. Entry point: SearchBuffer.
#pragma once

#include "FindOptions.h"

#include <cstddef>
#include <string_view>

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

}  // namespace xavo
