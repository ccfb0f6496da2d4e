// A class is written out again member by member as \xHHHH escapes, so that added members
// can never join a neighbouring "-" into a range.
#include "CaseFold.h"

#include "Scanner.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace xavo {

namespace {

bool IsLower(TCharCode c) { return c >= 'a' && c <= 'z'; }
bool IsUpper(TCharCode c) { return c >= 'A' && c <= 'Z'; }

std::string Escaped(TCharCode code) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%04X", static_cast<unsigned>(code));
    return text;
}

void AddRange(std::string& out, TCharCode lo, TCharCode hi) {
    out += Escaped(lo);
    if (hi != lo) out += '-' + Escaped(hi);
}

// The range Lo..Hi and the other case of the letters in it.
void AddFoldedRange(std::string& out, TCharCode lo, TCharCode hi) {
    AddRange(out, lo, hi);
    constexpr TCharCode kCaseBit = 'a' - 'A';
    for (const auto& [first, last, shifted] : {std::tuple{TCharCode{'a'}, TCharCode{'z'}, false},
                                               std::tuple{TCharCode{'A'}, TCharCode{'Z'}, true}}) {
        const TCharCode from = std::max(lo, first), to = std::min(hi, last);
        if (from > to) continue;
        if (shifted)
            AddRange(out, static_cast<TCharCode>(from + kCaseBit), static_cast<TCharCode>(to + kCaseBit));
        else
            AddRange(out, static_cast<TCharCode>(from - kCaseBit), static_cast<TCharCode>(to - kCaseBit));
    }
}

}  // namespace

std::string FoldAsciiCase(const std::string& pattern) {
    TREScanner scanner(pattern);
    std::string out;
    bool inClass = false;
    for (;;) {
        const int start = scanner.FPos;
        const TREToken token = scanner.GetToken();
        const std::string text = pattern.substr(static_cast<std::size_t>(start - 1),
                                                static_cast<std::size_t>(scanner.FPos - start));
        switch (token) {
        case retkEnd:
            return out;
        case retkLBra:
        case retkLBraNegative:
            inClass = true;
            out += text;
            break;
        case retkRBra:
            inClass = false;
            out += text;
            break;
        case retkCharRange:
            AddFoldedRange(out, scanner.FCode, scanner.FCodeTo);
            break;
        case retkChar:
            if (inClass) {
                AddFoldedRange(out, scanner.FCode, scanner.FCode);
            } else if (IsLower(scanner.FCode) || IsUpper(scanner.FCode)) {
                const char c = static_cast<char>(scanner.FCode);
                out += '[';
                out += static_cast<char>(c | 0x20);
                out += static_cast<char>(c & ~0x20);
                out += ']';
            } else {
                out += text;
            }
            break;
        default:
            out += text;
            break;
        }
    }
}

}  // namespace xavo
