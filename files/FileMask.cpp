// Wildcard matching of file names, see FileMask.h.
#include "FileMask.h"

#include "Paths.h"

namespace xavo {

namespace {

// Length of the character starting at Pos: a whole well-formed UTF-8 sequence, else one byte.
std::size_t CharLength(std::string_view s, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    std::size_t len = 1;
    if (lead >= 0xC2 && lead <= 0xDF) len = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) len = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) len = 4;
    if (len == 1 || pos + len > s.size()) return 1;
    for (std::size_t i = 1; i < len; ++i) {
        if ((static_cast<unsigned char>(s[pos + i]) & 0xC0) != 0x80) return 1;
    }
    return len;
}

// Glob matching with one backtrack point: the most recent "*" and the name position it has
// swallowed up to. Every step moves by whole characters of the name, so "?" and "*" never
// split a multi-byte character. Linear in practice, quadratic at worst.
bool MatchWildcards(std::string_view pattern, std::string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
            continue;
        }
        if (p < pattern.size()) {
            if (pattern[p] == '?') {
                ++p;
                n += CharLength(name, n);
                continue;
            }
            if (FoldAsciiCase(pattern[p]) == FoldAsciiCase(name[n])) {
                ++p;
                ++n;
                continue;
            }
        }
        if (starP == std::string_view::npos) return false;
        p = starP + 1;
        starN += CharLength(name, starN);
        n = starN;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::string_view TrimBlanks(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

bool MatchMask(std::string_view part, std::string_view name) {
    if (part.empty() || name.empty() || part.find('/') != std::string_view::npos) return false;
    if (MatchWildcards(part, name)) return true;
    return part.size() >= 2 && part.substr(part.size() - 2) == ".*" &&
           MatchWildcards(part.substr(0, part.size() - 2), name);
}

TFileMask::TFileMask(std::string_view maskList) {
    while (!maskList.empty()) {
        const std::size_t semi = maskList.find(';');
        const std::string_view part = TrimBlanks(maskList.substr(0, semi));
        if (!part.empty()) FParts.emplace_back(part);
        if (semi == std::string_view::npos) break;
        maskList.remove_prefix(semi + 1);
    }
}

bool TFileMask::Matches(std::string_view name) const {
    for (const std::string& part : FParts) {
        if (MatchMask(part, name)) return true;
    }
    return false;
}

}  // namespace xavo
