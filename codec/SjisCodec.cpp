// Tables of the Shift-JIS codec, built once from ICU's windows-31j converter, and the
// conversion loops over them. See SjisCodec.h for the private-use scheme.
#include "SjisCodec.h"

#include "SjisBytes.h"

#include <unicode/ucnv.h>

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <utility>

namespace xavo {
namespace {

constexpr char16_t kSingleByteBase = 0xF780;
constexpr char16_t kDuplicateBase = 0xE800;
constexpr char16_t kUnassignedBase = 0xEA00;
constexpr std::uint16_t kNoCode = 0xFFFF;  // encode table: no CP932 bytes

// Characters that JIS-based converters and Linux input methods give in another Unicode form
// than CP932 does (〜 U+301C where CP932 has ～ U+FF5E): encoded to CP932's character, so a
// pattern typed with them finds it. Decoding never gives them.
constexpr std::pair<char16_t, std::uint16_t> kOtherConvertersForms[] = {
    {u'\u301C', 0x8160}, {u'\u2212', 0x817C}, {u'\u2016', 0x8161},
    {u'\u00A2', 0x8191}, {u'\u00A3', 0x8192}, {u'\u00AC', 0x81CA},
};


struct TSjisTables {
    // Decoding: Single[b] for a byte that forms a character alone (or starts none);
    // Pair[lead << 8 | trail] for a two-byte character, 0 when Trail is outside the range.
    std::array<char16_t, 256> Single{};
    std::array<char16_t, 65536> Pair{};
    // Encoding: a byte (< 0x100), a lead << 8 | trail code, or kNoCode.
    std::array<std::uint16_t, 65536> Encode{};
    // Showing: the character of each duplicate code's escape (U+E800 + k).
    std::array<char16_t, kUnassignedBase - kDuplicateBase> Duplicate{};
};

struct TConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};

// The one UTF-16 unit ICU decodes Bytes to, or 0 when they are not exactly one character.
char16_t IcuDecode(UConverter* conv, const char* bytes, int length) {
    UChar out[4];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(conv);
    const int n = ucnv_toUChars(conv, out, 4, bytes, length, &status);
    return U_SUCCESS(status) && n == 1 ? static_cast<char16_t>(out[0]) : char16_t{0};
}

// The CP932 code ICU encodes Unit to (a byte or lead << 8 | trail), or kNoCode.
std::uint16_t IcuEncode(UConverter* conv, char16_t unit) {
    char out[4];
    UErrorCode status = U_ZERO_ERROR;
    const UChar in = unit;
    ucnv_reset(conv);
    const int n = ucnv_fromUChars(conv, out, 4, &in, 1, &status);
    if (U_FAILURE(status)) return kNoCode;
    if (n == 1) return static_cast<unsigned char>(out[0]);
    if (n == 2) return static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]));
    return kNoCode;
}

std::unique_ptr<TSjisTables> BuildTables() {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, TConverterCloser> conv(ucnv_open("windows-31j", &status));
    if (U_FAILURE(status)) throw std::runtime_error("ICU converter windows-31j is not available");
    status = U_ZERO_ERROR;
    ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(conv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFallback(conv.get(), false);

    auto t = std::make_unique<TSjisTables>();
    t->Encode.fill(kNoCode);
    for (unsigned b = 0; b < 0x80; ++b) {
        t->Single[b] = static_cast<char16_t>(b);
        t->Encode[b] = static_cast<std::uint16_t>(b);
    }
    for (unsigned b = 0x80; b < 0x100; ++b) {
        const char byte = static_cast<char>(b);
        const char16_t u = IsLeadByte(b) ? char16_t{0} : IcuDecode(conv.get(), &byte, 1);
        t->Single[b] = u != 0 ? u : static_cast<char16_t>(kSingleByteBase + b);
        if (u != 0) t->Encode[u] = static_cast<std::uint16_t>(b);
    }
    for (unsigned b = 0; b < 0x100; ++b) t->Encode[kSingleByteBase + b] = static_cast<std::uint16_t>(b);

    // Two-byte codes in ascending order, so the escape numbering is fixed by the mapping.
    char16_t nextDuplicate = kDuplicateBase;
    char16_t nextUnassigned = kUnassignedBase;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLeadByte(lead)) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (!IsTrailByte(trail)) continue;
            const auto code = static_cast<std::uint16_t>(lead << 8 | trail);
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const char16_t u = IcuDecode(conv.get(), bytes, 2);
            char16_t unit;
            if (u == 0) {
                unit = nextUnassigned++;
            } else if (IcuEncode(conv.get(), u) != code) {
                if (nextDuplicate < kUnassignedBase) t->Duplicate[nextDuplicate - kDuplicateBase] = u;
                unit = nextDuplicate++;
            } else {
                unit = u;
            }
            t->Pair[code] = unit;
            t->Encode[unit] = code;
        }
    }
    if (nextDuplicate > kUnassignedBase || nextUnassigned >= kSingleByteBase)
        throw std::runtime_error("windows-31j table does not fit the reserved code points");
    for (const auto& [unit, code] : kOtherConvertersForms)
        if (t->Encode[unit] == kNoCode) t->Encode[unit] = code;
    return t;
}

const TSjisTables& Tables() {
    static const std::unique_ptr<TSjisTables> tables = BuildTables();
    return *tables;
}

// The character at I of P[0..N) as one UTF-16 unit, advancing I past its bytes.
// One table look-up per character: ASCII goes straight through; a lead byte tries the
// pair table (0 = the next byte is no trail byte), else the byte stands alone.
inline char16_t NextUnit(const TSjisTables& t, const unsigned char* p, std::size_t n, std::size_t& i) {
    const unsigned b = p[i++];
    if (b < 0x80) return static_cast<char16_t>(b);
    if (i < n) {  // rows of Pair that are not lead bytes are all 0
        const char16_t u = t.Pair[b << 8 | p[i]];
        if (u != 0) {
            ++i;
            return u;
        }
    }
    return t.Single[b];
}

// Appends Unit's CP932 bytes; returns false (appending kUnencodableByte) when it has none.
inline bool AppendSjis(const TSjisTables& t, char16_t unit, std::string& out) {
    const std::uint16_t code = t.Encode[unit];
    if (code == kNoCode) {
        out.push_back(kUnencodableByte);
        return false;
    }
    if (code > 0xFF) out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
    return true;
}

// Writes Unit (a BMP code point) as one to three UTF-8 bytes at W; returns the end.
inline char* PutUtf8(char16_t unit, char* w) {
    if (unit < 0x80) {
        *w++ = static_cast<char>(unit);
    } else if (unit < 0x800) {
        *w++ = static_cast<char>(0xC0 | unit >> 6);
        *w++ = static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        *w++ = static_cast<char>(0xE0 | unit >> 12);
        *w++ = static_cast<char>(0x80 | (unit >> 6 & 0x3F));
        *w++ = static_cast<char>(0x80 | (unit & 0x3F));
    }
    return w;
}

// The next code point of UTF-8 at Pos (advanced past it), or -1 for one maximal
// ill-formed subsequence (advanced past it): the Unicode "maximal subpart" rule, so a
// broken sequence swallows no byte that could start a good one.
long NextUtf8(std::string_view s, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned b0 = byte(pos++);
    if (b0 < 0x80) return static_cast<long>(b0);
    int extra;
    unsigned lo = 0x80, hi = 0xBF;
    long cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;   // no overlong forms
        if (b0 == 0xED) hi = 0x9F;   // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;   // nothing beyond U+10FFFF
    } else {
        return -1;
    }
    for (int k = 0; k < extra; ++k) {
        if (pos >= s.size()) return -1;
        const unsigned b = byte(pos);
        if (b < lo || b > hi) return -1;
        lo = 0x80;
        hi = 0xBF;
        cp = cp << 6 | (b & 0x3F);
        ++pos;
    }
    return cp;
}

}  // namespace

std::size_t DecodeSjis(std::string_view bytes, char16_t* out) {
    const TSjisTables& t = Tables();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t o = 0;
    for (std::size_t i = 0; i < bytes.size();) out[o++] = NextUnit(t, p, bytes.size(), i);
    return o;
}

std::u16string DecodeSjis(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    out.resize(DecodeSjis(bytes, out.data()));
    return out;
}

std::string EncodeSjis(std::u16string_view text, std::size_t& unencodable) {
    const TSjisTables& t = Tables();
    std::string out;
    out.reserve(text.size() * 2);
    unencodable = 0;
    for (const char16_t u : text)
        if (!AppendSjis(t, u, out)) ++unencodable;
    return out;
}

std::string EncodeSjis(std::u16string_view text) {
    std::size_t ignored;
    return EncodeSjis(text, ignored);
}

std::size_t FindUnencodable(std::u16string_view text) {
    const TSjisTables& t = Tables();
    for (std::size_t i = 0; i < text.size(); ++i)
        if (t.Encode[text[i]] == kNoCode) return i;
    return std::u16string_view::npos;
}

int SjisLength(char16_t unit) {
    const std::uint16_t code = Tables().Encode[unit];
    return code > 0xFF && code != kNoCode ? 2 : 1;
}

std::size_t SjisLength(std::u16string_view text) {
    const TSjisTables& t = Tables();
    std::size_t n = 0;
    for (const char16_t u : text) {
        const std::uint16_t code = t.Encode[u];
        n += code > 0xFF && code != kNoCode ? 2 : 1;
    }
    return n;
}

bool IsSjisEscape(char16_t unit) {
    if (unit >= kSingleByteBase && unit < kSingleByteBase + 0x100) return true;
    if (unit < kDuplicateBase || unit >= kSingleByteBase) return false;
    const std::uint16_t code = Tables().Encode[unit];
    return code != kNoCode && code > 0xFF;
}

namespace {

inline char16_t Shown(const TSjisTables& t, char16_t unit) {
    return unit >= kDuplicateBase && unit < kUnassignedBase ? t.Duplicate[unit - kDuplicateBase] : unit;
}

template <bool kShown>
std::string ToUtf8(std::string_view bytes) {
    const TSjisTables& t = Tables();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    // Characters go to a small local buffer first: appending byte by byte to the string
    // costs a capacity check per byte.
    char buffer[1 << 14];
    std::size_t i = 0;
    while (i < bytes.size()) {
        char* w = buffer;
        while (i < bytes.size() && w + 3 <= buffer + sizeof buffer) {
            const char16_t unit = NextUnit(t, p, bytes.size(), i);
            w = PutUtf8(kShown ? Shown(t, unit) : unit, w);
        }
        out.append(buffer, w);
    }
    return out;
}

}  // namespace

std::string SjisToUtf8(std::string_view bytes) { return ToUtf8<false>(bytes); }

std::string SjisToShownUtf8(std::string_view bytes) { return ToUtf8<true>(bytes); }

char16_t ShownUnit(char16_t unit) { return Shown(Tables(), unit); }

std::u16string ShownText(std::u16string_view text) {
    const TSjisTables& t = Tables();
    std::u16string out(text);
    for (char16_t& unit : out) unit = Shown(t, unit);
    return out;
}

std::string Utf8ToSjis(std::string_view utf8, std::size_t& replaced) {
    const TSjisTables& t = Tables();
    std::string out;
    out.reserve(utf8.size());
    replaced = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const long cp = NextUtf8(utf8, pos);
        if (cp < 0 || cp > 0xFFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kUnencodableByte);
            ++replaced;
        } else if (!AppendSjis(t, static_cast<char16_t>(cp), out)) {
            ++replaced;
        }
    }
    return out;
}

std::string Utf8ToSjis(std::string_view utf8) {
    std::size_t ignored;
    return Utf8ToSjis(utf8, ignored);
}

}  // namespace xavo
