// Text bound for a terminal. A terminal obeys control characters: an escape sequence in a
// matched line or a file name could retitle, clear or reprogram the user's terminal. Such
// text is shown with its C0 controls (all but TAB) in caret notation, "^[" for ESC.
// Shift-JIS and UTF-8 never use those bytes inside a character, so escaping goes byte by
// byte. Entry points: AppendForTerminal, ForTerminal.
#pragma once

#include <string>
#include <string_view>

namespace xavo {

// Appends Text to Out with every C0 control but TAB in caret notation.
void AppendForTerminal(std::string& out, std::string_view text);

// Text with every C0 control but TAB in caret notation.
std::string ForTerminal(std::string_view text);

}  // namespace xavo
