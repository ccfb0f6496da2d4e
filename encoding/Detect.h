// Which Japanese encoding a file is in, decided where its text stops being ASCII.
//
// In order: a byte-order mark (UTF-8, UTF-16 LE/BE). Otherwise nothing is decided while only
// ASCII has been seen (ASCII reads the same in every encoding chosen from here): the decision
// is made on the kDetectionBytes from the first byte above 0x7F or the first designation
// escape of ISO-2022-JP, wherever in the file that lies. ISO-2022-JP when a designation is
// there and no byte is above 0x7F; UTF-8 when the bytes are overwhelmingly well-formed UTF-8
// with multi-byte sequences (a few ill-formed bytes, a cut last character, stay what they
// are: the decoders keep them as invalid bytes); else Shift-JIS or EUC-JP by the rule in
// Detect.cpp, made to hold on texts of a few characters. The guess never loses data: every
// decoder keeps bytes it cannot read (Encoding.h). Entry points: DecideEncoding,
// DetectEncoding, FindDecidingByte.
#pragma once

#include "Encoding.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace xavo {

// How much of a file the decision reads, from the byte where it starts.
inline constexpr std::size_t kDetectionBytes = 64 * 1024;

// The first position of Bytes where a decision could start: a byte above 0x7F, or an escape
// (0x1B) that may begin a designation (one cut by the end of Bytes included), or npos.
// Everything before it is ASCII. A few bytes per cycle: it runs over whole ASCII files.
std::size_t FindDecidingByte(std::string_view bytes);

// The encoding of a file whose bytes (or first bytes) are Bytes, or nothing while Bytes is
// all ASCII without a byte-order mark or a designation (the file may still turn out to be
// anything). WholeFile: Bytes runs to the end of the file (when it does not, a character
// cut at its end does not count against an encoding). FileStart: Bytes begins the file (a
// byte-order mark is looked for); a caller that has passed ASCII gives the rest from there.
// Reads Bytes up to kDetectionBytes past the deciding byte; give it the whole file when the
// whole file is at hand.
std::optional<TFileEncoding> DecideEncoding(std::string_view bytes, bool wholeFile = true, bool fileStart = true);

// Whether Bytes begins with a designation escape of ISO-2022-JP (complete).
bool StartsWithDesignation(std::string_view bytes);

// DecideEncoding, with Shift-JIS for a file that is all ASCII.
TFileEncoding DetectEncoding(std::string_view bytes, bool wholeFile = true);

// An encoding the user chose for a file that starts with Head, completed from the file's
// byte-order mark: UTF-16 takes the mark's byte order, UTF-8 and UTF-16 take Bom when the
// mark is there (and lose it when it is not). Other encodings are returned unchanged.
TFileEncoding WithFileMark(TFileEncoding chosen, std::string_view head);

}  // namespace xavo
