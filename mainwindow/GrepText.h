// GREP bytes at the boundary with Qt text: a pattern typed in a field, and a result line
// as the results list shows it.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace xavo {

// Text encoded to Shift-JIS. Raises ERegExpParser (position: the byte where the character
// would stand, from 1) when Text holds a character Shift-JIS cannot store: encoded as "?",
// it would silently change the pattern's meaning.
std::string PatternToSjis(const QString& text);

// A pattern typed in a field with its Shift-JIS bytes, converted once per run: the blank
// check, the history's word and the pattern read Sjis. Characters Shift-JIS cannot store
// stand as "?" there; PatternToSjis refuses them.
struct TPatternText {
    explicit TPatternText(const QString& text);
    QString Text;
    std::string Sjis;
};
std::string PatternToSjis(const TPatternText& pattern);

// A result line for display: the path decoded as file names are (the locale's encoding),
// the line number and text as Shift-JIS. The path ends at the line's first " <digits>:"
// (display only: a path holding " 12:" itself shows its tail as Shift-JIS); a line
// without one is Shift-JIS throughout. The line's bytes are not changed.
QString ResultLineDisplayText(std::string_view line);

}  // namespace xavo
