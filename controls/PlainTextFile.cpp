// Splitting a plain-text file into lines (see PlainTextFile.h).
#include "PlainTextFile.h"

#include "SjisCodec.h"

namespace xavo {

TPlainText SplitPlainText(std::string_view bytes) {
    TPlainText result;
    result.Text.resize(bytes.size());
    char16_t* out = result.Text.data();
    std::size_t written = 0;
    std::size_t start = 0;
    // CR and LF are never trail bytes, so cutting the bytes at them never splits a
    // character and each line can be decoded on its own.
    for (;;) {
        std::size_t end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        written += DecodeSjis(bytes.substr(start, end - start), out + written);
        result.LineBytes.push_back(static_cast<int>(end - start));
        if (end == bytes.size()) break;
        const auto [kind, next] = LineEndAt(bytes, end);
        result.NoteLineEnd(kind);
        out[written++] = u'\n';
        start = next;
    }
    result.Text.resize(written);
    return result;
}

void AppendLineEnd(std::string& out, TLineEnd end) {
    switch (end) {
    case TLineEnd::CrLf: out += "\r\n"; break;
    case TLineEnd::Lf: out += '\n'; break;
    case TLineEnd::Cr: out += '\r'; break;
    }
}

}  // namespace xavo
