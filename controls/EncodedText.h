// Plain-text files in any of the Japanese encodings for the text view: a file's bytes ->
// lines of UTF-16 text (as SplitPlainText gives them for Shift-JIS), and the checks and
// line ends for writing the text back in its encoding.
//
// Line byte lengths stay Shift-JIS lengths whatever the file's encoding: the view counts
// its positions in the Shift-JIS bytes of the text. Entry points: SplitEncodedText,
// FindUnencodableIn.
#pragma once

#include "Encoding.h"
#include "PlainTextFile.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace xavo {

// Splits and decodes a file's bytes read in Encoding (any bytes; never fails). Units the
// text document would take as a paragraph break (U+2029, U+FDD0, U+FDD1) are kept as the
// escape units of their bytes, so the line structure is exactly the file's and the text
// is written back unchanged.
TPlainText SplitEncodedText(std::string_view bytes, TFileEncoding encoding);

// The index of the first UTF-16 unit of Text that Encoding cannot store (EncodeText would
// write '?' for it), or npos.
std::size_t FindUnencodableIn(std::u16string_view text, TFileEncoding encoding);

// The units of a line end, for text that is encoded afterwards.
void AppendLineEnd(std::u16string& out, TLineEnd end);

}  // namespace xavo
