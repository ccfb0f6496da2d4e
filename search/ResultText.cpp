#include "ResultText.h"

#include <charconv>

namespace xavo {

void AppendResultLine(std::string& out, std::string_view path, std::int64_t lineNo, std::string_view line) {
    char number[24];
    const auto [end, error] = std::to_chars(number, number + sizeof number, lineNo);
    (void)error;  // 24 characters hold any 64-bit number
    out.append(path);
    out += ' ';
    out.append(number, end);
    out += ':';
    out.append(line);
}

}  // namespace xavo
