// Where the matches lie within one line that is known to match, for marking them.
//
// The search only tells which lines match; the spans are found afterwards, and only for
// the lines printed, by running the search program's DFA from each character of the line:
// leftmost first, the longest match from there, then on after it. Positions are byte
// offsets into the line (Shift-JIS), always on character boundaries.
// Entry point: FindMatchSpans.
#pragma once

#include "GrepProgram.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace xavo {

struct TMatchSpan {
    std::size_t Begin;  // first byte of the match
    std::size_t End;    // one past its last byte; End > Begin
};

// The matches of Program in Line (its text without the line end), left to right and not
// overlapping. A match may start at the line feed before the line ("^") or end on the one
// after it ("$"); those line feeds are not part of a span. A match that runs on into the
// next line is not found, and a lone lead byte at the end of the line is never part of one.
std::vector<TMatchSpan> FindMatchSpans(const TGrepProgram& program, std::string_view line);

}  // namespace xavo
