// Text helpers on Shift-JIS bytes (see StringUtils.h). ShiftIsDown lives in ShiftIsDown.cpp,
// the only part that asks the window system.
#include "StringUtils.h"

#include "Paths.h"
#include "Scanner.h"

#include <utility>

namespace xavo {
namespace {

// Bytes taken by the character that starts at At.
std::size_t CharLength(std::string_view s, std::size_t at) {
    return IsLeadByte(static_cast<unsigned char>(s[at])) && at + 1 < s.size() ? 2 : 1;
}

bool IsSpaceChar(std::string_view s, std::size_t at, std::size_t length) {
    if (length == 1) return s[at] == ' ';
    return static_cast<unsigned char>(s[at]) == 0x81 && s[at + 1] == 0x40;
}

// The code of one character with upper-case letters folded to lower case.
TCharCode FoldCase(TCharCode c) {
    if (c >= 'A' && c <= 'Z') return static_cast<TCharCode>(c + 0x20);
    if (c >= 0x8260 && c <= 0x8279) return static_cast<TCharCode>(c + 0x21);  // Ａ..Ｚ -> ａ..ｚ
    if (c >= 0x839F && c <= 0x83B6) return static_cast<TCharCode>(c + 0x20);  // Α..Ω -> α..ω
    // А..Я -> а..я; the lower-case run skips 0x847F, which is not a trail byte.
    if (c >= 0x8440 && c <= 0x844E) return static_cast<TCharCode>(c + 0x30);
    if (c >= 0x844F && c <= 0x8460) return static_cast<TCharCode>(c + 0x31);
    return c;
}

// The character at Pos, and Pos moved past it.
TCharCode NextCode(std::string_view s, std::size_t& pos) {
    const std::size_t length = CharLength(s, pos);
    const auto lead = static_cast<unsigned char>(s[pos]);
    pos += length;
    return length == 1 ? lead : static_cast<TCharCode>(lead << 8 | static_cast<unsigned char>(s[pos - 1]));
}

int CompareFolded(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const TCharCode x = FoldCase(NextCode(a, i));
        const TCharCode y = FoldCase(NextCode(b, j));
        if (x != y) return x < y ? -1 : 1;
    }
    if (i < a.size()) return 1;
    return j < b.size() ? -1 : 0;
}

}  // namespace

std::string TrimSpaces(std::string_view text) {
    std::size_t keepBegin = std::string_view::npos;
    std::size_t keepEnd = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = CharLength(text, at);
        if (!IsSpaceChar(text, at, length)) {
            if (keepBegin == std::string_view::npos) keepBegin = at;
            keepEnd = at + length;
        }
        at += length;
    }
    if (keepBegin == std::string_view::npos) return {};
    return std::string(text.substr(keepBegin, keepEnd - keepBegin));
}

std::string CutToken(std::string& s, std::string_view delimiters) {
    for (std::size_t at = 0; at < s.size();) {
        const std::size_t length = CharLength(s, at);
        if (length == 1 && delimiters.find(s[at]) != std::string_view::npos) {
            std::string head = s.substr(0, at);
            s.erase(0, at + 1);
            return head;
        }
        at += length;
    }
    return std::exchange(s, std::string());
}

std::string SplitFirst(std::string& s, char separator, bool& found) {
    for (std::size_t at = 0; at < s.size();) {
        if (s[at] == separator) {
            std::string head = s.substr(0, at);
            s.erase(0, at + 1);
            found = true;
            return head;
        }
        at += CharLength(s, at);
    }
    found = false;
    return s;
}

std::string ExpandLongPath(std::string_view path) { return AbsolutePath(path); }

int CompareTextIgnoringCase(std::string_view a, std::string_view b) {
    if (const int folded = CompareFolded(a, b); folded != 0) return folded;
    return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) { return CompareFolded(a, b) == 0; }


}  // namespace xavo
