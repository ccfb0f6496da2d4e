// The result line both front ends list: "<full path> <line number>:<the line's text>"
// (the command line converts the text for its output; see FileReport.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xavo {

// Appends the result line of Path's line LineNo with text Line to Out.
void AppendResultLine(std::string& out, std::string_view path, std::int64_t lineNo, std::string_view line);

}  // namespace xavo
