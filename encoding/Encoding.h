// The Japanese encodings of text files and their lossless conversion to and from Unicode.
//
// A file is bytes in one of Shift-JIS (CP932), EUC-JP, ISO-2022-JP, UTF-8 or UTF-16 (LE/BE),
// with or without a byte-order mark. DecodeText turns ANY byte string into UTF-16 and
// EncodeText(DecodeText(b, e), e) == b for every b and e, so a file opened and saved unedited
// keeps every byte. Entry points: DecodeText, EncodeText, EncodingName, ParseEncodingName;
// for the questions before a file is written: FindNonStandard, TUtf8Check.
//
// Bytes that form no character are kept as escape units:
//   Shift-JIS       the codec's private-use scheme (SjisCodec.h), unchanged.
//   all others      the byte b becomes the lone low surrogate U+DC00 + b. Valid text never
//                   decodes to a lone surrogate, so the escapes cannot be confused with it.
// EUC-JP and ISO-2022-JP share the CP932 table for JIS X 0208 (so the same kanji is the same
// code point whichever Japanese encoding a file uses) and ICU's table for JIS X 0212.
// A character whose bytes the encoder would write differently (a duplicate code, a JIS line
// not in the encoder's canonical form) is kept as escapes of its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace xavo {

enum class TEncoding : std::uint8_t { Sjis, EucJp, Jis, Utf8, Utf16Le, Utf16Be };

// An encoding as found in or chosen for one file. Bom: the file starts (or is to start) with
// the byte-order mark of its encoding (UTF-8 and UTF-16 only).
struct TFileEncoding {
    TEncoding Kind = TEncoding::Sjis;
    bool Bom = false;
    friend bool operator==(const TFileEncoding&, const TFileEncoding&) = default;
};

// A short name for messages and the status bar: "Shift-JIS", "EUC-JP", "JIS", "UTF-8",
// "UTF-8 (BOM)", "UTF-16LE", "UTF-16BE".
std::string EncodingName(TFileEncoding encoding);

// The encoding named on a command line: "sjis", "eucjp", "jis", "utf8", "utf16" (UTF-16 LE
// with a byte-order mark, the form Windows and Linux tools write). Case-insensitive. False
// for anything else, including "auto", which callers handle themselves.
bool ParseEncodingName(std::string_view name, TFileEncoding& encoding);

// The byte-order mark of Encoding ("" for encodings without one).
std::string_view ByteOrderMark(TEncoding kind);

// True for the escape units of the non-Shift-JIS encodings (U+DC00-U+DCFF).
constexpr bool IsByteEscape(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDCFF; }

// Decodes a whole file. When Encoding.Bom is set and the bytes start with the mark, the mark
// is not part of the text (a file without it decodes all its bytes as text, and
// EncodeText then writes the mark: pass Bom = false to keep such a file as it is).
// Never fails. Raises std::runtime_error only if ICU lacks a table (first use).
std::u16string DecodeText(std::string_view bytes, TFileEncoding encoding);

// Encodes text for a file, the mark first when Encoding.Bom. Escape units become their
// bytes; a character the encoding cannot store becomes '?' (two bytes "?" in UTF-16) and
// is counted in Unencodable (when given).
std::string EncodeText(std::u16string_view text, TFileEncoding encoding);
std::string EncodeText(std::u16string_view text, TFileEncoding encoding, std::size_t& unencodable);

// The index of the first UTF-16 unit of Text that Encoding stores only through an
// extension of its standard character sets, which other programs refuse or read as other
// characters; npos when there is none. EUC-JP: the vendor rows of the JIS X 0208 area
// (NEC's row 13 such as ①, IBM's rows 89-92) and the rows above JIS X 0212. ISO-2022-JP
// (which has neither JIS X 0212 nor half-width katakana) besides: every JIS X 0212
// character and half-width katakana. Never for the other encodings. A character the
// encoding cannot store at all, and the escape units of a file's own bytes, do not count.
std::size_t FindNonStandard(std::u16string_view text, TFileEncoding encoding);

// Tells whether bytes, given piece by piece (a character may straddle two pieces), are
// well-formed UTF-8, and whether they are UTF-8 text: well-formed and holding at least one
// multi-byte character. Pure ASCII is no evidence: it is as much Shift-JIS as UTF-8.
class TUtf8Check {
public:
    TUtf8Check() = default;
    explicit TUtf8Check(std::string_view bytes) { Add(bytes); }
    // Adds the next piece; false from the first ill-formed byte on (further pieces are not
    // looked at).
    bool Add(std::string_view piece);
    // After the last piece: a character cut by the end is ill-formed.
    bool WellFormed() const { return FWellFormed && FCarry.empty(); }
    bool IsText() const { return WellFormed() && FMultiByte; }

private:
    bool Scan(std::string_view bytes);

    std::string FCarry;  // the start of a character the next piece completes (at most 3 bytes)
    bool FWellFormed = true;
    bool FMultiByte = false;
};

// UTF-16 (with the escape units above or the Shift-JIS codec's) to UTF-8 for terminals and
// logs: an escape unit of either kind is written as U+FFFD.
std::string ToDisplayUtf8(std::u16string_view text, TFileEncoding encoding);

}  // namespace xavo
