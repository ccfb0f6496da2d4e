// Plain-text files in any encoding (see EncodedText.h).
#include "EncodedText.h"

#include "SjisCodec.h"

namespace xavo {
namespace {

// What QTextCursor::insertText turns into a block break besides CR and LF.
bool BreaksBlock(char16_t unit) { return unit == 0x2029 || unit == 0xFDD0 || unit == 0xFDD1; }

}  // namespace

TPlainText SplitEncodedText(std::string_view bytes, TFileEncoding encoding) {
    if (encoding.Kind == TEncoding::Sjis) return SplitPlainText(bytes);
    const std::u16string decoded = DecodeText(bytes, encoding);
    TPlainText result;
    result.Text.reserve(decoded.size());
    const TFileEncoding bare{encoding.Kind, false};
    std::size_t start = 0;
    for (;;) {
        const std::size_t lineFrom = result.Text.size();
        std::size_t end = start;
        for (; end < decoded.size() && decoded[end] != u'\r' && decoded[end] != u'\n'; ++end) {
            const char16_t unit = decoded[end];
            if (!BreaksBlock(unit)) {
                result.Text.push_back(unit);
                continue;
            }
            for (const char b : EncodeText(std::u16string_view(&unit, 1), bare))
                result.Text.push_back(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(b)));
        }
        result.LineBytes.push_back(static_cast<int>(SjisLength(std::u16string_view(result.Text).substr(lineFrom))));
        if (end == decoded.size()) break;
        const auto [kind, next] = LineEndAt(std::u16string_view(decoded), end);
        result.NoteLineEnd(kind);
        result.Text.push_back(u'\n');
        start = next;
    }
    return result;
}

std::size_t FindUnencodableIn(std::u16string_view text, TFileEncoding encoding) {
    if (encoding.Kind == TEncoding::Sjis) return FindUnencodable(text);
    const TFileEncoding bare{encoding.Kind, false};
    std::size_t unencodable = 0;
    EncodeText(text, bare, unencodable);
    if (unencodable == 0) return std::u16string_view::npos;
    // Rare (only when the user typed such a character): find it one character at a time.
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length =
            i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF ? 2 : 1;
        std::size_t count = 0;
        EncodeText(text.substr(i, length), bare, count);
        if (count > 0 && !(length == 1 && IsByteEscape(text[i]))) return i;
        i += length;
    }
    return 0;  // only the whole line fails: point at its start rather than stay silent
}

void AppendLineEnd(std::u16string& out, TLineEnd end) {
    switch (end) {
    case TLineEnd::CrLf: out += u"\r\n"; break;
    case TLineEnd::Lf: out += u'\n'; break;
    case TLineEnd::Cr: out += u'\r'; break;
    }
}

}  // namespace xavo
