// Caret notation for terminal output, see TerminalText.h.
#include "TerminalText.h"

#include <algorithm>

namespace xavo {

namespace {

bool IsShownEscaped(unsigned char b) { return b < 0x20 && b != '\t'; }

}  // namespace

void AppendForTerminal(std::string& out, std::string_view text) {
    std::size_t from = 0;
    for (;;) {
        const auto hit = std::find_if(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                                      [](char c) { return IsShownEscaped(static_cast<unsigned char>(c)); });
        const auto at = static_cast<std::size_t>(hit - text.begin());
        out.append(text, from, at - from);
        if (hit == text.end()) return;
        out += '^';
        out += static_cast<char>(static_cast<unsigned char>(*hit) + 0x40);
        from = at + 1;
    }
}

std::string ForTerminal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendForTerminal(out, text);
    return out;
}

}  // namespace xavo
