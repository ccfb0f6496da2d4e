// The byte classes of Shift-JIS (CP932), for code that walks bytes itself. Header only,
// without ICU or Qt, so that the engine and the settings store can use it too.
#pragma once

namespace xavo {

// True for the bytes that start a double-byte character.
constexpr bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// True for the bytes that can end a double-byte character after a lead byte.
constexpr bool IsTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

}  // namespace xavo
