// Which Japanese encoding a file is in, decided from its first bytes.
//
// In order: a byte-order mark (UTF-8, UTF-16 LE/BE); ISO-2022-JP when a designation escape
// is present and every byte is below 0x80; UTF-8 when the bytes are valid UTF-8 and hold a
// multi-byte sequence; no byte above 0x7F: Shift-JIS; else Shift-JIS or EUC-JP by the rule
// in Detect.cpp, made to hold on texts of a few characters. The guess never loses data:
// every decoder keeps bytes it cannot read (Encoding.h). Entry point: DetectEncoding.
#pragma once

#include "Encoding.h"

#include <cstddef>
#include <string_view>

namespace xavo {

// How much of a file the decision reads.
inline constexpr std::size_t kDetectionBytes = 64 * 1024;

// The encoding of a file that starts with Head. WholeFile: Head is all of the file (when it
// is only the start, a character cut at its end does not count against an encoding).
// Callers pass at most kDetectionBytes; more is read but not needed.
TFileEncoding DetectEncoding(std::string_view head, bool wholeFile = true);

// An encoding the user chose for a file that starts with Head, completed from the file's
// byte-order mark: UTF-16 takes the mark's byte order, UTF-8 and UTF-16 take Bom when the
// mark is there (and lose it when it is not). Other encodings are returned unchanged.
TFileEncoding WithFileMark(TFileEncoding chosen, std::string_view head);

}  // namespace xavo
