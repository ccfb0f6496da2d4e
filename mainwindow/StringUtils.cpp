// Shift-JIS string utilities, see StringUtils.h.
#include "StringUtils.h"

#include "Scanner.h"

namespace xavo {

namespace {

constexpr unsigned char kFullWidthSpaceLead = 0x81;
constexpr unsigned char kFullWidthSpaceTrail = 0x40;

// Bytes of the character starting at Pos (1 or 2; a lead byte at the end stands alone).
std::size_t CharLength(std::string_view s, std::size_t pos) {
    return IsLeadByte(static_cast<unsigned char>(s[pos])) && pos + 1 < s.size() ? 2 : 1;
}

bool IsFullWidthSpaceAt(std::string_view s, std::size_t pos) {
    return pos + 1 < s.size() && static_cast<unsigned char>(s[pos]) == kFullWidthSpaceLead &&
           static_cast<unsigned char>(s[pos + 1]) == kFullWidthSpaceTrail;
}

// Position of the first character of S that Matches accepts, or npos.
template <typename Match>
std::size_t FindCharacter(std::string_view s, Match matches) {
    for (std::size_t pos = 0; pos < s.size(); pos += CharLength(s, pos))
        if (CharLength(s, pos) == 1 && matches(s[pos])) return pos;
    return std::string_view::npos;
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
    // Leading blanks are found walking forward; the end is judged on character starts,
    // so that ァ (0x83 0x40) is never mistaken for the tail of a full-width space.
    std::size_t begin = 0;
    while (begin < text.size()) {
        if (text[begin] == ' ')
            begin += 1;
        else if (IsFullWidthSpaceAt(text, begin))
            begin += 2;
        else
            break;
    }
    std::size_t end = begin;  // end of the last character that is not a blank
    for (std::size_t pos = begin; pos < text.size();) {
        const std::size_t length = CharLength(text, pos);
        const bool blank = text[pos] == ' ' || (length == 2 && IsFullWidthSpaceAt(text, pos));
        pos += length;
        if (!blank) end = pos;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string CutToken(std::string& s, std::string_view delimiters) {
    const std::size_t pos = FindCharacter(s, [&](char c) { return delimiters.find(c) != std::string_view::npos; });
    if (pos == std::string_view::npos) {
        std::string head = std::move(s);
        s.clear();
        return head;
    }
    std::string head = s.substr(0, pos);
    s.erase(0, pos + 1);
    return head;
}

std::string SplitFirst(std::string& s, char separator, bool& found) {
    const std::size_t pos = FindCharacter(s, [&](char c) { return c == separator; });
    found = pos != std::string_view::npos;
    if (!found) return s;
    std::string head = s.substr(0, pos);
    s.erase(0, pos + 1);
    return head;
}

int CompareTextIgnoringCase(std::string_view a, std::string_view b) {
    if (const int folded = CompareFolded(a, b); folded != 0) return folded;
    return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) { return CompareFolded(a, b) == 0; }

}  // namespace xavo
