// The one place that decides whether text can be written in a file's encoding as it is:
// saving the text view and batch replace ask it before they write.
// Entry point: FindUnencodableIn.
#pragma once

#include "Encoding.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace xavo {

// The index of the first UTF-16 unit of Text that Encoding cannot store (EncodeText would
// write '?' for it), or npos. In the encodings other than Shift-JIS a byte escape
// (U+DC00-U+DCFF, a byte the file held that formed no character) counts as stored: it is
// written back as its byte.
std::size_t FindUnencodableIn(std::u16string_view text, TFileEncoding encoding);

}  // namespace xavo
