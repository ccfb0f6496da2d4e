// Tables shared by the EUC-JP and ISO-2022-JP converters and the Shift-JIS transcoder,
// built once on first use (thread-safe) from the Shift-JIS codec and ICU's EUC-JP table.
//
// A JIS X 0208 or JIS X 0212 position is an index row * 94 + cell (row and cell from 0),
// i.e. the bytes 0x21 + row, 0x21 + cell of ISO-2022-JP or 0xA1 + row, 0xA1 + cell of EUC-JP.
// JIS X 0208 is mapped through Shift-JIS arithmetic and the CP932 table, so a kanji has the
// same code point in every Japanese encoding the program reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace xavo::encoding_detail {

inline constexpr int kJisCells = 94;
inline constexpr int kJisPositions = kJisCells * kJisCells;
inline constexpr std::uint16_t kNoPosition = 0xFFFF;

struct TJisTables {
    // Decoding: the code point of each position (the codec's escapes for CP932's duplicate
    // and unassigned codes; 0 for a JIS X 0212 position no character round-trips through).
    std::array<char16_t, kJisPositions> X0208Unit{};
    std::array<char16_t, kJisPositions> X0212Unit{};
    // Encoding: the position a code point is written at, or kNoPosition.
    std::array<std::uint16_t, 65536> X0208Of{};
    std::array<std::uint16_t, 65536> X0212Of{};
    // Transcoding: the Shift-JIS code the engine sees for a position or a code point (a
    // byte < 0x100 or lead << 8 | trail); 0 when Shift-JIS holds no such character.
    // Duplicate codes fold onto CP932's preferred one, so "≒" is 0x81E0 from any file.
    std::array<std::uint16_t, kJisPositions> X0208Sjis{};
    std::array<std::uint16_t, kJisPositions> X0212Sjis{};
    std::array<std::uint16_t, 65536> UnicodeSjis{};
};

const TJisTables& JisTables();

// Whether the JIS X 0208 position Row, Cell holds a character (X0208Sjis != 0), from a
// constant table: detection asks it for every EUC-JP pair and must not build the tables
// (a millisecond of converters) for each Shift-JIS file.
bool HoldsX0208Character(unsigned row, unsigned cell);

// The Shift-JIS code of the JIS X 0208 position Row, Cell (0-based) by the standard
// arithmetic (rows 0-93 give lead bytes 0x81-0x9F and 0xE0-0xEF).
constexpr std::uint16_t JisToSjisCode(unsigned row, unsigned cell) {
    const unsigned j1 = row + 0x21, j2 = cell + 0x21;
    const unsigned lead = ((j1 + 1) >> 1) + (j1 < 0x5F ? 0x70 : 0xB0);
    const unsigned trail = (j1 & 1) != 0 ? j2 + (j2 < 0x60 ? 0x1F : 0x20) : j2 + 0x7E;
    return static_cast<std::uint16_t>(lead << 8 | trail);
}

// The character sets of ISO-2022-JP, in the order of their designations.
enum class TJisSet : std::uint8_t { Ascii, Roman, Kana, X0208, X0212 };

// The designation starting at S[I] (an ESC): its length and Set, or 0 when the bytes there
// are none the program knows (ESC ( B/J/I, ESC $ @/B, ESC $ ( D).
std::size_t JisDesignation(std::string_view s, std::size_t i, TJisSet& set);

// Decodes one line of ISO-2022-JP (no CR or LF) from the set State, which it updates;
// bytes that form no character become escape units. Lenient: no check of canonical form.
void DecodeJisLine(std::string_view s, TJisSet& state, std::u16string& out);

}  // namespace xavo::encoding_detail
