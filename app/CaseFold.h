// Letter case of ASCII letters in a pattern, for the command line's -i.
//
// The pattern is rewritten so that each ASCII letter, outside a class or inside one,
// stands for both its cases; every other character (full-width letters included) keeps
// its meaning. Entry point: FoldAsciiCase.
#pragma once

#include <string>

namespace xavo {

// Pattern (Shift-JIS, the syntax of the engine) with ASCII letters of either case
// matching both. Raises ERegExpParser for a malformed pattern, as the scanner does.
std::string FoldAsciiCase(const std::string& pattern);

}  // namespace xavo
