// Patterns from Qt text and result lines for display, see GrepText.h.
#include "GrepText.h"

#include "PathText.h"
#include "ResultLine.h"
#include "Scanner.h"
#include "SjisQt.h"

#include <algorithm>
#include <limits>

namespace xavo {

std::string PatternToSjis(const QString& text) { return PatternToSjis(TPatternText(text)); }

TPatternText::TPatternText(const QString& text) : Text(text), Sjis(QStringToSjis(text)) {}

std::string PatternToSjis(const TPatternText& pattern) {
    const std::u16string_view units = View(pattern.Text);
    const std::size_t bad = FindUnencodable(units);
    if (bad != std::u16string_view::npos) {
        const std::size_t before = EncodeSjis(units.substr(0, bad)).size();
        const std::size_t position = std::min<std::size_t>(before + 1, std::numeric_limits<std::uint16_t>::max());
        throw ERegExpParser("Shift-JIS で表せない文字は検索できません", static_cast<std::uint16_t>(position));
    }
    return pattern.Sjis;
}

QString ResultLineDisplayText(std::string_view line) {
    const std::size_t pathEnd = ResultLinePathEnd(line);
    if (pathEnd == std::string_view::npos) return SjisToShownQString(line);
    QString text = SjisToShownQString(line.substr(pathEnd));  // 0xED40 shows as 纊
    // A character of a file in another encoding that Shift-JIS cannot hold was searched as
    // the reserved code; it shows as the replacement character.
    if (line.find(std::string_view("\x81\x7F", 2), pathEnd) != std::string_view::npos)
        text.replace(QStringLiteral(u"\uF801\u007F"), QString(QChar(0xFFFD)));
    return PathToQString(line.substr(0, pathEnd)) + text;
}

}  // namespace xavo
