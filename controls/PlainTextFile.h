// Plain-text files for the text view: bytes of a file -> lines of UTF-16 text with their
// byte lengths and line-end conventions, and back.
//
// CR LF, a lone LF and a lone CR each end a line. A file keeps the convention it had:
// the first break of the file is its convention (CR LF when it has none), and lines whose
// break differs are listed, so that an unedited text is written back byte for byte.
// Entry points: SplitPlainText, AppendLineEnd.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace xavo {

enum class TLineEnd : unsigned char { CrLf, Lf, Cr };

struct TPlainText {
    std::u16string Text;            // the lines decoded, joined by u'\n'
    std::vector<int> LineBytes;     // byte length of each line, break excluded (>= 1 entry)
    TLineEnd LineEnd = TLineEnd::CrLf;
    std::vector<std::pair<int, TLineEnd>> OtherEnds;  // (line, its break) where it differs

    // Records the break that ends the last line of LineBytes.
    void NoteLineEnd(TLineEnd kind) {
        const int line = static_cast<int>(LineBytes.size()) - 1;
        if (line == 0) LineEnd = kind;
        else if (kind != LineEnd) OtherEnds.emplace_back(line, kind);
    }
};

// The break that begins at Text[At] (a CR or an LF): its kind and the index after it.
template <typename Char>
std::pair<TLineEnd, std::size_t> LineEndAt(std::basic_string_view<Char> text, std::size_t at) {
    if (text[at] == Char('\n')) return {TLineEnd::Lf, at + 1};
    if (at + 1 < text.size() && text[at + 1] == Char('\n')) return {TLineEnd::CrLf, at + 2};
    return {TLineEnd::Cr, at + 1};
}

// Splits and decodes a file's bytes (any bytes; never fails).
TPlainText SplitPlainText(std::string_view bytes);

void AppendLineEnd(std::string& out, TLineEnd end);

}  // namespace xavo
