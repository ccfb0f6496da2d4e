// Result lines and the tag jump's reading of them, see ResultLine.h.
#include "ResultLine.h"

#include "FileSystem.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <optional>

namespace xavo {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// One " <digits>:" in a result line: the space's position and the digits.
struct TNumberField {
    std::size_t Space;
    std::string_view Digits;
};

// The first " <digits>:" at or after From.
std::optional<TNumberField> FindNumberField(std::string_view line, std::size_t from) {
    for (std::size_t space = line.find(' ', from); space != std::string_view::npos; space = line.find(' ', space + 1)) {
        std::size_t end = space + 1;
        while (end < line.size() && IsDigit(line[end])) ++end;
        if (end > space + 1 && end < line.size() && line[end] == ':')
            return TNumberField{space, line.substr(space + 1, end - space - 1)};
    }
    return std::nullopt;
}

bool IsLineNumber(std::string_view digits) {
    decltype(TTagJumpTarget::LineNo) number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return error == std::errc() && end == digits.data() + digits.size();
}

[[noreturn]] void ThrowNotAnInteger(std::string_view text) {
    throw EConvertError(std::string(text));
}

// The word that would have had to be a number in a line without a number field.
std::string_view WordBeforeFirstColon(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return {};
    const std::string_view head = line.substr(0, colon);
    const std::size_t space = head.rfind(' ');
    return space == std::string_view::npos ? head : head.substr(space + 1);
}

}  // namespace

std::size_t ResultLinePathEnd(std::string_view line) {
    const std::optional<TNumberField> field = FindNumberField(line, 0);
    return field ? field->Space : std::string_view::npos;
}

bool IsExistingFile(const std::string& path) { return (AttributesOf(path) & faArchive) != 0; }

TTagJumpTarget ParseResultLine(std::string_view line, const std::function<bool(const std::string&)>& isFile) {
    std::optional<TNumberField> field = FindNumberField(line, 0);
    if (!field) ThrowNotAnInteger(WordBeforeFirstColon(line));
    // Paths may hold " 12:" themselves: the longest prefix that is a file and is followed
    // by a usable number wins, so a file "x" does not hide "x 1:y.txt" beside it. No path
    // is longer than PATH_MAX, which also bounds the look-ups on a long line.
    for (std::optional<TNumberField> f = field; f && f->Space < PATH_MAX; f = FindNumberField(line, f->Space + 1)) {
        if (IsLineNumber(f->Digits) && isFile(std::string(line.substr(0, f->Space)))) field = f;
    }
    std::int32_t number = 0;
    const char* const first = field->Digits.data();
    const char* const last = first + field->Digits.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last) ThrowNotAnInteger(field->Digits);
    TTagJumpTarget target;
    target.File = std::string(line.substr(0, field->Space));
    target.LineNo = number;
    target.Text = std::string(line.substr(field->Space + 1 + field->Digits.size() + 1));
    return target;
}

int NextJumpIndex(int count, int selected) {
    if (count <= 0 || selected >= count - 1) return -1;
    return selected < 0 ? 0 : selected + 1;
}

int PrevJumpIndex(int count, int selected) {
    if (count <= 0 || selected == 0) return -1;
    return selected < 0 ? 0 : std::min(selected, count) - 1;
}

}  // namespace xavo
