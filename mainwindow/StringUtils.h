// The main window's small string utilities on Shift-JIS bytes: trimming blanks and cutting
// a text at a delimiter. A lead byte and its trail byte are one character and are never
// split, so a delimiter byte that is the second byte of a double-byte character is not a
// delimiter. Plain C++; positions are bytes. Entry points: TrimSpaces, CutToken, SplitFirst,
// CompareTextIgnoringCase.
#pragma once

#include <string>
#include <string_view>

namespace xavo {

// Text without the half-width spaces and full-width spaces (0x81 0x40) at either end.
// A trailing 0x40 that is the second byte of another double-byte character stays.
std::string TrimSpaces(std::string_view text);

// The text of S before its first character that is one of Delimiters (single bytes);
// that text and the delimiter are removed from S. Without a delimiter, returns all of S
// and empties S.
std::string CutToken(std::string& s, std::string_view delimiters);

// The text of S before the first Separator that starts a character; that text and the
// separator are removed from S and Found is set. Without one, returns all of S, leaves S
// as it was and clears Found.
std::string SplitFirst(std::string& s, char separator, bool& found);

// Three-way comparison of texts character by character, letters folded to one case: ASCII
// and the full-width Latin, Greek and Cyrillic letters. A double-byte character counts
// whole (its trail byte is never taken for a letter). Texts equal when folded are ordered
// by their bytes, so only equal texts compare 0. Returns <0, 0 or >0.
int CompareTextIgnoringCase(std::string_view a, std::string_view b);

// True when A and B differ at most in the case of their letters (as above).
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace xavo
