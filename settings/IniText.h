// Byte-level helpers for Shift-JIS values of the INI store (internal to settings/).
//
// Limits on values and face names are in bytes, but a cut must not leave half of a
// double-byte character behind: it would glue onto whatever text follows it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xavo::ini_text {

constexpr bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Length of the longest prefix of S of at most Limit bytes that does not split a
// double-byte character (a lead byte at the very end of S counts as one character).
constexpr std::size_t CutLength(std::string_view s, std::size_t limit) {
    if (s.size() <= limit) return s.size();
    std::size_t i = 0;
    while (i < limit) {
        const std::size_t step = IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
        if (i + step > limit) break;
        i += step;
    }
    return i;
}

// The look-up form of a section or key name: ASCII letters lowered, the trail bytes of
// double-byte characters left alone (they may fall in the letter range).
inline std::string Fold(std::string_view name) {
    std::string out(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c)) {
            ++i;
        } else if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + ('a' - 'A'));
        }
    }
    return out;
}

}  // namespace xavo::ini_text
