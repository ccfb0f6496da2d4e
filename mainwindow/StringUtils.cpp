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

}  // namespace xavo
