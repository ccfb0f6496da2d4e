// In-place completion of the GREP bar, on Shift-JIS bytes and without a screen.
// Entry point: FindCompletion, used by TComboBox98.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace xavo {

// Text with ASCII letters a-z turned to upper case. Double-byte characters are stepped
// over whole, so a trail byte in a-z is never changed.
std::string UpperAsciiLetters(std::string_view sjis);

// The index of the first item that begins with Text, ASCII letters compared without
// regard to case, or -1. The prefix must end on a character boundary of the item.
// CompleteWith receives the item's bytes after the prefix (only when an item is found).
int FindCompletion(std::string_view text, const std::vector<std::string>& items, std::string& completeWith);

}  // namespace xavo
