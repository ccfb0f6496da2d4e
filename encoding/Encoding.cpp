// The lossless converters of each encoding. Every decoder emits, for each step, either a
// character that its encoder writes back as exactly the bytes consumed, or escape units of
// those bytes; ISO-2022-JP, whose bytes depend on a state, checks each line by encoding it.
#include "Encoding.h"

#include "JisTables.h"
#include "SjisCodec.h"

#include <algorithm>
#include <cctype>

namespace xavo {

using encoding_detail::JisTables;
using encoding_detail::kJisCells;
using encoding_detail::kNoPosition;
using encoding_detail::TJisSet;
using encoding_detail::TJisTables;
using encoding_detail::JisDesignation;
using encoding_detail::DecodeJisLine;

namespace {

constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kHalfKanaFirst = 0xFF61, kHalfKanaLast = 0xFF9F;
constexpr char16_t kYen = 0x00A5, kOverline = 0x203E;

char16_t Escape(unsigned char b) { return static_cast<char16_t>(kEscapeBase + b); }
unsigned char Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }
bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
bool InEucRange(unsigned b) { return b >= 0xA1 && b <= 0xFE; }
bool InJisRange(unsigned b) { return b >= 0x21 && b <= 0x7E; }

// Length of the valid UTF-8 sequence at Pos, or 0 when the bytes there are ill-formed
// (Bad receives the length of the maximal ill-formed subpart, at least 1).
std::size_t Utf8Sequence(std::string_view s, std::size_t pos, std::size_t& bad, char32_t& cp) {
    const unsigned b0 = Byte(s, pos);
    bad = 1;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    int extra;
    unsigned lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    for (int k = 1; k <= extra; ++k) {
        if (pos + k >= s.size()) return 0;
        const unsigned b = Byte(s, pos + k);
        if (b < lo || b > hi) return 0;
        lo = 0x80;
        hi = 0xBF;
        cp = cp << 6 | (b & 0x3F);
        bad = static_cast<std::size_t>(k) + 1;
    }
    return static_cast<std::size_t>(extra) + 1;
}

void AppendCodePoint(char32_t cp, std::u16string& out) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | cp >> 6));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | cp >> 12));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | cp >> 18));
        out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

namespace encoding_detail {

// The designation at S[i] (an ESC); its length, or 0 when it is none the program knows.
std::size_t JisDesignation(std::string_view s, std::size_t i, TJisSet& set) {
    const auto at = [&](std::size_t k) { return i + k < s.size() ? s[i + k] : '\0'; };
    if (at(1) == '(') {
        switch (at(2)) {
        case 'B': set = TJisSet::Ascii; return 3;
        case 'J': set = TJisSet::Roman; return 3;
        case 'I': set = TJisSet::Kana; return 3;
        default: return 0;
        }
    }
    if (at(1) == '$') {
        if (at(2) == '@' || at(2) == 'B') {
            set = TJisSet::X0208;
            return 3;
        }
        if (at(2) == '(' && at(3) == 'D') {
            set = TJisSet::X0212;
            return 4;
        }
    }
    return 0;
}

// Decodes one line (no CR or LF) from the set State, which it updates.
void DecodeJisLine(std::string_view s, TJisSet& state, std::u16string& out) {
    const TJisTables& t = JisTables();
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned b = Byte(s, i);
        const unsigned b1 = i + 1 < s.size() ? Byte(s, i + 1) : 0;
        TJisSet set;
        if (b == 0x1B) {
            if (const std::size_t n = JisDesignation(s, i, set); n != 0) {
                state = set;
                i += n;
                continue;
            }
        }
        char16_t unit = 0;
        std::size_t length = 1;
        if (b >= 0x80) {
            unit = 0;
        } else if (b < 0x21 || b == 0x7F) {
            unit = static_cast<char16_t>(b);
        } else if (state == TJisSet::Ascii) {
            unit = static_cast<char16_t>(b);
        } else if (state == TJisSet::Roman) {
            unit = b == 0x5C ? kYen : b == 0x7E ? kOverline : static_cast<char16_t>(b);
        } else if (state == TJisSet::Kana) {
            if (b <= 0x5F) unit = static_cast<char16_t>(kHalfKanaFirst + (b - 0x21));
        } else if (InJisRange(b1)) {
            const std::size_t pos = (b - 0x21) * kJisCells + (b1 - 0x21);
            unit = state == TJisSet::X0208 ? t.X0208Unit[pos] : t.X0212Unit[pos];
            length = 2;
        }
        if (unit == 0 && b != 0) {
            out.push_back(Escape(static_cast<unsigned char>(b)));
            ++i;
        } else {
            out.push_back(unit);
            i += length;
        }
    }
}

}  // namespace encoding_detail

namespace {

// --- UTF-8 ---

std::u16string DecodeUtf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t bad;
        char32_t cp;
        const std::size_t n = Utf8Sequence(s, pos, bad, cp);
        if (n != 0) {
            AppendCodePoint(cp, out);
            pos += n;
        } else {
            for (std::size_t k = 0; k < bad; ++k) out.push_back(Escape(Byte(s, pos + k)));
            pos += bad;
        }
    }
    return out;
}

std::string EncodeUtf8(std::u16string_view text, std::size_t& unencodable) {
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) {
            AppendUtf8(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00), out);
            ++i;
        } else if (IsByteEscape(u)) {
            out.push_back(static_cast<char>(u - kEscapeBase));
        } else if (IsHigh(u) || IsLow(u)) {
            out.push_back('?');
            ++unencodable;
        } else {
            AppendUtf8(u, out);
        }
    }
    return out;
}

// --- UTF-16 ---

std::u16string DecodeUtf16(std::string_view s, bool bigEndian) {
    std::u16string out;
    out.reserve(s.size() / 2 + 1);
    const auto unitAt = [&](std::size_t i) {
        return bigEndian ? static_cast<char16_t>(Byte(s, i) << 8 | Byte(s, i + 1))
                         : static_cast<char16_t>(Byte(s, i + 1) << 8 | Byte(s, i));
    };
    std::size_t i = 0;
    for (; i + 1 < s.size(); i += 2) {
        const char16_t u = unitAt(i);
        if (IsHigh(u) && i + 3 < s.size() && IsLow(unitAt(i + 2))) {
            out.push_back(u);
            out.push_back(unitAt(i + 2));
            i += 2;
        } else if (IsHigh(u) || IsLow(u)) {
            out.push_back(Escape(Byte(s, i)));
            out.push_back(Escape(Byte(s, i + 1)));
        } else {
            out.push_back(u);
        }
    }
    if (i < s.size()) out.push_back(Escape(Byte(s, i)));
    return out;
}

std::string EncodeUtf16(std::u16string_view text, bool bigEndian, std::size_t& unencodable) {
    std::string out;
    out.reserve(text.size() * 2);
    const auto put = [&](char16_t u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) {
            put(u);
            put(text[++i]);
        } else if (IsByteEscape(u)) {
            out.push_back(static_cast<char>(u - kEscapeBase));
        } else if (IsHigh(u) || IsLow(u)) {
            put(u'?');
            ++unencodable;
        } else {
            put(u);
        }
    }
    return out;
}

// --- EUC-JP ---

std::u16string DecodeEucJp(std::string_view s) {
    const TJisTables& t = JisTables();
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned b = Byte(s, i);
        const unsigned b1 = i + 1 < s.size() ? Byte(s, i + 1) : 0;
        if (b < 0x80) {
            out.push_back(static_cast<char16_t>(b));
            ++i;
        } else if (b == 0x8E && b1 >= 0xA1 && b1 <= 0xDF) {
            out.push_back(static_cast<char16_t>(kHalfKanaFirst + (b1 - 0xA1)));
            i += 2;
        } else if (b == 0x8F && InEucRange(b1) && i + 2 < s.size() && InEucRange(Byte(s, i + 2)) &&
                   t.X0212Unit[(b1 - 0xA1) * kJisCells + (Byte(s, i + 2) - 0xA1)] != 0) {
            out.push_back(t.X0212Unit[(b1 - 0xA1) * kJisCells + (Byte(s, i + 2) - 0xA1)]);
            i += 3;
        } else if (InEucRange(b) && InEucRange(b1)) {
            out.push_back(t.X0208Unit[(b - 0xA1) * kJisCells + (b1 - 0xA1)]);
            i += 2;
        } else {
            out.push_back(Escape(static_cast<unsigned char>(b)));
            ++i;
        }
    }
    return out;
}

std::string EncodeEucJp(std::u16string_view text, std::size_t& unencodable) {
    const TJisTables& t = JisTables();
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (IsByteEscape(u)) {
            out.push_back(static_cast<char>(u - kEscapeBase));
        } else if (u >= kHalfKanaFirst && u <= kHalfKanaLast) {
            out.push_back(static_cast<char>(0x8E));
            out.push_back(static_cast<char>(0xA1 + (u - kHalfKanaFirst)));
        } else if (const std::uint16_t p = t.X0208Of[u]; p != kNoPosition) {
            out.push_back(static_cast<char>(0xA1 + p / kJisCells));
            out.push_back(static_cast<char>(0xA1 + p % kJisCells));
        } else if (const std::uint16_t q = t.X0212Of[u]; q != kNoPosition) {
            out.push_back(static_cast<char>(0x8F));
            out.push_back(static_cast<char>(0xA1 + q / kJisCells));
            out.push_back(static_cast<char>(0xA1 + q % kJisCells));
        } else {
            if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) ++i;  // one '?' per character
            out.push_back('?');
            ++unencodable;
        }
    }
    return out;
}

// --- ISO-2022-JP ---

constexpr std::string_view kDesignation[] = {"\x1B(B", "\x1B(J", "\x1B(I", "\x1B$B", "\x1B$(D"};

// Encodes one line (no CR or LF) from the ASCII set, back to it at the end: the canonical
// form the decoder checks each line against.
void EncodeJisLine(std::u16string_view text, std::string& out, std::size_t& unencodable) {
    const TJisTables& t = JisTables();
    TJisSet state = TJisSet::Ascii;
    const auto use = [&](TJisSet set) {
        if (state != set) out += kDesignation[static_cast<int>(set)];
        state = set;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (IsByteEscape(u)) {
            out.push_back(static_cast<char>(u - kEscapeBase));
        } else if (u < 0x80) {
            if (state != TJisSet::Roman || u == 0x5C || u == 0x7E) use(TJisSet::Ascii);
            out.push_back(static_cast<char>(u));
        } else if (u == kYen || u == kOverline) {
            use(TJisSet::Roman);
            out.push_back(u == kYen ? '\x5C' : '\x7E');
        } else if (u >= kHalfKanaFirst && u <= kHalfKanaLast) {
            use(TJisSet::Kana);
            out.push_back(static_cast<char>(0x21 + (u - kHalfKanaFirst)));
        } else if (const std::uint16_t p = t.X0208Of[u]; p != kNoPosition) {
            use(TJisSet::X0208);
            out.push_back(static_cast<char>(0x21 + p / kJisCells));
            out.push_back(static_cast<char>(0x21 + p % kJisCells));
        } else if (const std::uint16_t q = t.X0212Of[u]; q != kNoPosition) {
            use(TJisSet::X0212);
            out.push_back(static_cast<char>(0x21 + q / kJisCells));
            out.push_back(static_cast<char>(0x21 + q % kJisCells));
        } else {
            if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) ++i;
            use(TJisSet::Ascii);
            out.push_back('?');
            ++unencodable;
        }
    }
    use(TJisSet::Ascii);
}

std::u16string DecodeJis(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    TJisSet state = TJisSet::Ascii;
    std::string check;
    std::size_t i = 0;
    while (i <= s.size()) {
        std::size_t end = i;
        while (end < s.size() && s[end] != '\n' && s[end] != '\r') ++end;
        const std::string_view line = s.substr(i, end - i);
        const std::size_t mark = out.size();
        DecodeJisLine(line, state, out);
        check.clear();
        std::size_t ignored = 0;
        EncodeJisLine(std::u16string_view(out).substr(mark), check, ignored);
        if (check != line) {
            // Not the canonical form (another designation, a set carried over the line end,
            // a redundant escape...): the line's bytes are kept as they are.
            out.resize(mark);
            for (const char c : line) out.push_back(Escape(static_cast<unsigned char>(c)));
        }
        if (end == s.size()) break;
        out.push_back(static_cast<char16_t>(s[end]));
        i = end + 1;
    }
    return out;
}

std::string EncodeJis(std::u16string_view text, std::size_t& unencodable) {
    std::string out;
    out.reserve(text.size() * 2);
    std::size_t i = 0;
    for (;;) {
        std::size_t end = i;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r') ++end;
        EncodeJisLine(text.substr(i, end - i), out, unencodable);
        if (end == text.size()) break;
        out.push_back(static_cast<char>(text[end]));
        i = end + 1;
    }
    return out;
}

}  // namespace

std::string EncodingName(TFileEncoding encoding) {
    switch (encoding.Kind) {
    case TEncoding::Sjis: return "Shift-JIS";
    case TEncoding::EucJp: return "EUC-JP";
    case TEncoding::Jis: return "JIS";
    case TEncoding::Utf8: return encoding.Bom ? "UTF-8 (BOM)" : "UTF-8";
    case TEncoding::Utf16Le: return "UTF-16LE";
    case TEncoding::Utf16Be: return "UTF-16BE";
    }
    return "Shift-JIS";
}

bool ParseEncodingName(std::string_view name, TFileEncoding& encoding) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "sjis") encoding = {TEncoding::Sjis, false};
    else if (lower == "eucjp") encoding = {TEncoding::EucJp, false};
    else if (lower == "jis") encoding = {TEncoding::Jis, false};
    else if (lower == "utf8") encoding = {TEncoding::Utf8, false};
    else if (lower == "utf16") encoding = {TEncoding::Utf16Le, true};
    else return false;
    return true;
}

std::string_view ByteOrderMark(TEncoding kind) {
    switch (kind) {
    case TEncoding::Utf8: return "\xEF\xBB\xBF";
    case TEncoding::Utf16Le: return "\xFF\xFE";
    case TEncoding::Utf16Be: return "\xFE\xFF";
    default: return {};
    }
}

std::u16string DecodeText(std::string_view bytes, TFileEncoding encoding) {
    const std::string_view mark = ByteOrderMark(encoding.Kind);
    if (encoding.Bom && !mark.empty() && bytes.substr(0, mark.size()) == mark) bytes.remove_prefix(mark.size());
    switch (encoding.Kind) {
    case TEncoding::Sjis: return DecodeSjis(bytes);
    case TEncoding::EucJp: return DecodeEucJp(bytes);
    case TEncoding::Jis: return DecodeJis(bytes);
    case TEncoding::Utf8: return DecodeUtf8(bytes);
    case TEncoding::Utf16Le: return DecodeUtf16(bytes, false);
    case TEncoding::Utf16Be: return DecodeUtf16(bytes, true);
    }
    return DecodeSjis(bytes);
}

std::string EncodeText(std::u16string_view text, TFileEncoding encoding, std::size_t& unencodable) {
    unencodable = 0;
    std::string body;
    switch (encoding.Kind) {
    case TEncoding::Sjis: body = EncodeSjis(text, unencodable); break;
    case TEncoding::EucJp: body = EncodeEucJp(text, unencodable); break;
    case TEncoding::Jis: body = EncodeJis(text, unencodable); break;
    case TEncoding::Utf8: body = EncodeUtf8(text, unencodable); break;
    case TEncoding::Utf16Le: body = EncodeUtf16(text, false, unencodable); break;
    case TEncoding::Utf16Be: body = EncodeUtf16(text, true, unencodable); break;
    }
    if (!encoding.Bom) return body;
    return std::string(ByteOrderMark(encoding.Kind)) + body;
}

std::string EncodeText(std::u16string_view text, TFileEncoding encoding) {
    std::size_t ignored;
    return EncodeText(text, encoding, ignored);
}

std::size_t FindNonStandard(std::u16string_view text, TFileEncoding encoding) {
    if (encoding.Kind != TEncoding::EucJp && encoding.Kind != TEncoding::Jis) return std::u16string_view::npos;
    const bool jis = encoding.Kind == TEncoding::Jis;
    const TJisTables& t = JisTables();
    // Rows from 0: JIS X 0208 assigns rows 0-7 and 15-83; JIS X 0212 none above 76.
    constexpr int kX0208Gap = 8, kX0208Resumes = 15, kX0208End = 84, kX0212End = 77;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u < 0x80 || IsByteEscape(u)) continue;
        if (u >= kHalfKanaFirst && u <= kHalfKanaLast) {
            if (jis) return i;
        } else if (const std::uint16_t p = t.X0208Of[u]; p != kNoPosition) {
            const int row = p / kJisCells;
            if ((row >= kX0208Gap && row < kX0208Resumes) || row >= kX0208End) return i;
        } else if (const std::uint16_t q = t.X0212Of[u]; q != kNoPosition) {
            if (jis || q / kJisCells >= kX0212End) return i;
        }
    }
    return std::u16string_view::npos;
}

bool TUtf8Check::Add(std::string_view piece) {
    if (!FWellFormed) return false;
    if (!FCarry.empty()) {
        // The carried start of a character is completed from the piece's first bytes.
        const unsigned lead = static_cast<unsigned char>(FCarry[0]);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const std::size_t take = std::min(length - FCarry.size(), piece.size());
        const std::string character = FCarry + std::string(piece.substr(0, take));
        piece.remove_prefix(take);
        FCarry.clear();
        if (!Scan(character) || !FCarry.empty()) return FWellFormed;
    }
    return Scan(piece);
}

bool TUtf8Check::Scan(std::string_view bytes) {
    std::size_t at = 0, bad;
    char32_t cp;
    while (at < bytes.size()) {
        if (Byte(bytes, at) < 0x80) {
            ++at;
            continue;
        }
        if (const std::size_t n = Utf8Sequence(bytes, at, bad, cp); n != 0) {
            FMultiByte = true;
            at += n;
        } else if (at + bad == bytes.size() && Byte(bytes, at) >= 0xC2 && Byte(bytes, at) <= 0xF4) {
            FCarry.assign(bytes.substr(at));  // a character the next piece may complete
            return true;
        } else {
            FWellFormed = false;
            return false;
        }
    }
    return true;
}

std::string ToDisplayUtf8(std::u16string_view text, TFileEncoding encoding) {
    std::string out;
    out.reserve(text.size() * 3);
    const bool sjis = encoding.Kind == TEncoding::Sjis;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) {
            AppendUtf8(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00), out);
            ++i;
        } else if (IsHigh(u) || IsLow(u) || (sjis && IsSjisEscape(u))) {
            AppendUtf8(0xFFFD, out);
        } else {
            AppendUtf8(u, out);
        }
    }
    return out;
}

}  // namespace xavo
