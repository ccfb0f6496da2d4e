// Small text helpers shared by the main window and its dialogs, on Shift-JIS bytes.
//
// A lead byte and the byte after it are one character and are never split; a lead byte
// that ends the text is a character of its own. Entry points: TrimSpaces, CutToken,
// SplitFirst, ExpandLongPath, ShiftIsDown, CompareTextIgnoringCase.
#pragma once

#include <string>
#include <string_view>

namespace xavo {

// Text without the half-width spaces and full-width spaces (0x81 0x40) at either end. A
// 0x40 that is the second byte of another character (ァ is 0x83 0x40) is not a space.
std::string TrimSpaces(std::string_view text);

// The text of S before its first character that is one of Delimiters (single bytes); that
// text and the delimiter are removed from S. Without a delimiter, all of S is returned and
// S becomes empty. Bytes of double-byte characters never count as delimiters.
std::string CutToken(std::string& s, std::string_view delimiters);

// The text of S before the first Separator that starts a character: that text and the
// separator are removed from S and Found is true. Without one, all of S is returned, S is
// left as it was and Found is false.
std::string SplitFirst(std::string& s, char separator, bool& found);

// The path spelled as the file system stores it: made absolute against the current
// directory and normalised (no "." or ".." components, no repeated "/"); symbolic links
// are kept, not resolved. A path that names nothing is expanded all the same.
std::string ExpandLongPath(std::string_view path);

// True while a Shift key is held down (asked of the window system, not of an event).
bool ShiftIsDown();

// Three-way comparison of texts character by character, letters folded to one case: ASCII
// and the full-width Latin, Greek and Cyrillic letters. A double-byte character counts
// whole (its trail byte is never taken for a letter). Texts equal when folded are ordered
// by their bytes, so only equal texts compare 0. Returns <0, 0 or >0.
int CompareTextIgnoringCase(std::string_view a, std::string_view b);

// True when A and B differ at most in the case of their letters (as above).
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace xavo
