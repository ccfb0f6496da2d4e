// The one Shift-JIS (CP932, Windows-31J mapping) <-> Unicode codec of the program.
//
// Bytes come in as std::string / std::string_view; Unicode goes out as UTF-16
// (std::u16string) or UTF-8 (std::string). Decoding is lossless for ANY byte string:
// EncodeSjis(DecodeSjis(b)) == b and Utf8ToSjis(SjisToUtf8(b)) == b. The tables are built
// once from ICU's windows-31j converter on first use (thread-safe); no converter is
// called per character. Entry points: DecodeSjis, EncodeSjis, SjisToUtf8, Utf8ToSjis.
//
// Reserved private-use code points (never produced for valid CP932, which maps its
// user-defined area 0xF040-0xF9FC to U+E000-U+E757):
//   U+F780 + b (U+F780-U+F87F)  the single byte b. Decoding yields these only for a
//       byte 0x80-0xFF that starts no character: 0x80, 0xA0, 0xFD-0xFF, and a lead byte
//       that is last in the input or followed by a byte outside the trail range
//       (0x40-0x7E, 0x80-0xFC); that following byte is decoded on its own. Encoding
//       maps every one of them, U+F780-U+F7FF included, back to its byte.
//   U+E800 + k (U+E800-U+E98D)  the k-th (ascending) of the 398 duplicate two-byte codes
//       that the mapping folds onto another code: both 0x8790 and 0x81E0 mean U+2252,
//       encoding picks 0x81E0, so 0x8790 decodes to a code point of this block.
//   U+EA00 + k (U+EA00-U+F08B)  the k-th (ascending) of the 1676 unassigned two-byte codes
//       (a lead byte and a byte of the trail range with no character), kept whole.
// One deliberate difference from ICU's table: bytes 0x00-0x7F decode to U+0000-U+007F
// unchanged (ICU's windows-31j swaps 0x1A, 0x1C and 0x7F, which Windows does not). And six
// characters that other converters give in another form (〜 U+301C, − U+2212, ‖ U+2016,
// ¢ U+00A2, £ U+00A3, ¬ U+00AC) encode to CP932's character (～ － ∥ ￠ ￡ ￢); decoding gives
// CP932's form, so encoding stays the inverse of decoding.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xavo {

// The byte written for a UTF-16 unit (or, from UTF-8, a code point) that CP932 cannot
// store: Unicode outside the mapping (e.g. U+00A5, U+2014, emoji), lone surrogates and
// private-use code points outside the blocks above. A character outside the BMP is two
// UTF-16 units and so becomes two of these in EncodeSjis (one in Utf8ToSjis).
inline constexpr char kUnencodableByte = '?';

// Decodes Shift-JIS bytes to UTF-16, one unit per character (see the reserved blocks).
// Never fails. Raises std::runtime_error only if ICU cannot provide windows-31j (first use).
std::u16string DecodeSjis(std::string_view bytes);

// As DecodeSjis, writing into Out, which must hold at least bytes.size() units; returns
// the number of units written. For callers that decode into their own buffer.
std::size_t DecodeSjis(std::string_view bytes, char16_t* out);

// Encodes UTF-16 to Shift-JIS. Each unit that cannot be stored becomes kUnencodableByte;
// Unencodable (when given) receives how many units that was, so a caller can warn before
// writing text that would not read back the same.
std::string EncodeSjis(std::u16string_view text);
std::string EncodeSjis(std::u16string_view text, std::size_t& unencodable);

// The index of the first UTF-16 unit of Text that EncodeSjis cannot store, or npos.
std::size_t FindUnencodable(std::u16string_view text);

// Number of Shift-JIS bytes EncodeSjis writes for one unit (1 or 2) or for a whole text.
// These are the byte positions of the text: an unencodable unit counts one byte.
int SjisLength(char16_t unit);
std::size_t SjisLength(std::u16string_view text);

// True for the reserved private-use code points above (U+F780-U+F87F and the two blocks
// of two-byte codes). Such a unit stands for raw bytes, not for a character: written next
// to other bytes it may combine with them differently when read again.
bool IsSjisEscape(char16_t unit);

// Shift-JIS bytes to UTF-8 (through DecodeSjis's code points; lossless, never fails).
std::string SjisToUtf8(std::string_view bytes);

// What a unit of DecodeSjis shows on screen and in printed text: a duplicate code's escape
// (U+E800 block) shows as its character (0xED40 as 纊, as 0xFA5C does), every other unit as
// itself. For drawing and printing only: the shown text is not lossless (EncodeSjis writes
// the preferred code for the character).
char16_t ShownUnit(char16_t unit);
// Text with every unit through ShownUnit (one unit for each).
std::u16string ShownText(std::u16string_view text);
// SjisToUtf8 for printing: duplicate codes print as their characters.
std::string SjisToShownUtf8(std::string_view bytes);

// UTF-8 to Shift-JIS. Code points CP932 cannot store, and each maximal ill-formed
// subsequence of the input (bad lead byte, missing continuation, overlong form, surrogate,
// beyond U+10FFFF), become one kUnencodableByte; Replaced (when given) receives how many.
std::string Utf8ToSjis(std::string_view utf8);
std::string Utf8ToSjis(std::string_view utf8, std::size_t& replaced);

}  // namespace xavo
