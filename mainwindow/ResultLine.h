// Result lines of a GREP and the tag jump's reading of them.
//
// A result line is "<full path> <line number>:<the line's text>", bytes throughout (the
// path as the file system spells it, the text in Shift-JIS: a Shift-JIS file's own bytes,
// another encoding's line as the search read it). Reading one back
// finds where the path ends: at the last " <digits>:" whose prefix is an existing file,
// so that paths and texts holding spaces, colons or " 12:" still name the right file.
// Plain C++. Entry points: AppendResultLine (ResultText.h), ParseResultLine, ResultLinePathEnd,
// NextJumpIndex, PrevJumpIndex.
#pragma once

#include "IniGT.h"  // EConvertError
#include "ResultText.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace xavo {

// Where a result line jumps to.
struct TTagJumpTarget {
    std::string File;         // path bytes
    std::int32_t LineNo = 0;  // as written; 0 and 1 both mean the first line
    std::string Text;         // the text part (after the number's colon)
    // The line to show, counted from 0.
    std::int32_t LineIndex() const { return LineNo > 0 ? LineNo - 1 : LineNo; }
};

// Where the path of a result line ends at the latest: the position of its first
// " <digits>:", or npos when it has none.
std::size_t ResultLinePathEnd(std::string_view line);

// True for a path that names an existing regular file (links followed).
bool IsExistingFile(const std::string& path);

// Splits Line at the last " <decimal digits>:" whose prefix IsFile accepts and whose
// number fits, or at the first one when no prefix does. Raises EConvertError (its Text:
// the word before the line's first colon, empty without a colon) when the line holds no
// " <digits>:", and (its Text: the digits) when the number does not fit in 32 bits.
TTagJumpTarget ParseResultLine(std::string_view line,
                               const std::function<bool(const std::string&)>& isFile = IsExistingFile);

// The line the next-line jump selects, given the list's size and its selected index (-1
// for none): the one after the selected line, the first when none is selected, -1 (no
// jump) on an empty list or at the last line.
int NextJumpIndex(int count, int selected);

// The line the previous-line jump selects: the one before the selected line, the first
// when none is selected, -1 (no jump) on an empty list or at the first line.
int PrevJumpIndex(int count, int selected);

}  // namespace xavo
