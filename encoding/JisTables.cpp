// Builds the JIS tables once: JIS X 0208 through the Shift-JIS codec (plus ICU's
// windows-31j to fold duplicate codes), JIS X 0212 from ICU's EUC-JP converter.
#include "JisTables.h"

#include "Encoding.h"
#include "SjisCodec.h"

#include <unicode/ucnv.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace xavo::encoding_detail {
namespace {

struct TConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using TConverter = std::unique_ptr<UConverter, TConverterCloser>;

TConverter OpenStrict(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    TConverter conv(ucnv_open(name, &status));
    if (U_FAILURE(status)) throw std::runtime_error(std::string("ICU converter ") + name + " is not available");
    status = U_ZERO_ERROR;
    ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFallback(conv.get(), false);
    return conv;
}

// The one BMP code point ICU decodes Bytes to, or 0.
char16_t IcuDecode(UConverter* conv, const char* bytes, int length) {
    UChar out[4];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(conv);
    const int n = ucnv_toUChars(conv, out, 4, bytes, length, &status);
    if (U_FAILURE(status) || n != 1 || (out[0] >= 0xD800 && out[0] <= 0xDFFF)) return 0;
    return static_cast<char16_t>(out[0]);
}

// The Shift-JIS code the codec writes for a real character, or 0 (no character, an escape,
// or a byte that is no character by itself).
std::uint16_t CodecSjis(char16_t unit) {
    if (unit < 0x80) return unit;
    if (IsSjisEscape(unit) || (unit >= 0xD800 && unit <= 0xDFFF)) return 0;
    std::size_t unencodable = 0;
    const std::string bytes = EncodeSjis(std::u16string_view(&unit, 1), unencodable);
    if (unencodable != 0) return 0;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    if (bytes.size() == 1) return b0 >= 0xA1 && b0 <= 0xDF ? b0 : 0;
    return static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>(bytes[1]));
}

std::unique_ptr<TJisTables> Build() {
    auto t = std::make_unique<TJisTables>();
    t->X0208Of.fill(kNoPosition);
    t->X0212Of.fill(kNoPosition);
    for (unsigned u = 0; u < 0x10000; ++u) t->UnicodeSjis[u] = CodecSjis(static_cast<char16_t>(u));

    const TConverter windows31j = OpenStrict("windows-31j");
    for (unsigned row = 0; row < kJisCells; ++row) {
        for (unsigned cell = 0; cell < kJisCells; ++cell) {
            const auto pos = static_cast<std::uint16_t>(row * kJisCells + cell);
            const std::uint16_t code = JisToSjisCode(row, cell);
            const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
            const char16_t unit = DecodeSjis(std::string_view(bytes, 2))[0];
            t->X0208Unit[pos] = unit;
            t->X0208Of[unit] = pos;
            // The engine sees the character's preferred code; unassigned codes hold nothing.
            const char16_t real = IsSjisEscape(unit) ? IcuDecode(windows31j.get(), bytes, 2) : unit;
            t->X0208Sjis[pos] = real != 0 ? t->UnicodeSjis[real] : std::uint16_t{0};
        }
    }

    const TConverter eucJp = OpenStrict("EUC-JP");
    for (unsigned row = 0; row < kJisCells; ++row) {
        for (unsigned cell = 0; cell < kJisCells; ++cell) {
            const auto pos = static_cast<std::uint16_t>(row * kJisCells + cell);
            const char bytes[3] = {static_cast<char>(0x8F), static_cast<char>(0xA1 + row), static_cast<char>(0xA1 + cell)};
            const char16_t unit = IcuDecode(eucJp.get(), bytes, 3);
            if (unit == 0) continue;
            t->X0212Sjis[pos] = t->UnicodeSjis[unit];
            // Kept as a character only where the encoder would choose this position again.
            if (unit < 0x80 || (unit >= 0xFF61 && unit <= 0xFF9F) || IsByteEscape(unit) ||
                t->X0208Of[unit] != kNoPosition || t->X0212Of[unit] != kNoPosition)
                continue;
            t->X0212Unit[pos] = unit;
            t->X0212Of[unit] = pos;
        }
    }
    return t;
}

}  // namespace

namespace {

// Two words per row, bit c for cell c; generated from X0208Sjis (a test holds them equal).
constexpr std::uint64_t kX0208Cells[kJisCells][2] = {
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xf800fe01fe003fffULL, 0x0000000021fe03ffULL},
    {0x03ffffff01ff8000ULL, 0x0000000003ffffffULL},    {0xffffffffffffffffULL, 0x000000000007ffffULL},
    {0xffffffffffffffffULL, 0x00000000003fffffULL},    {0x00ffffff00ffffffULL, 0x0000000000000000ULL},
    {0xffff0001ffffffffULL, 0x000000000001ffffULL},    {0x00000000ffffffffULL, 0x0000000000000000ULL},
    {0x0000000000000000ULL, 0x0000000000000000ULL},    {0x0000000000000000ULL, 0x0000000000000000ULL},
    {0x0000000000000000ULL, 0x0000000000000000ULL},    {0x0000000000000000ULL, 0x0000000000000000ULL},
    {0xc03fffffbfffffffULL, 0x000000000fffffffULL},    {0x0000000000000000ULL, 0x0000000000000000ULL},
    {0x0000000000000000ULL, 0x0000000000000000ULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0x0007ffffffffffffULL, 0x0000000000000000ULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0x000000000000003fULL, 0x0000000000000000ULL},
    {0x0000000000000000ULL, 0x0000000000000000ULL},    {0x0000000000000000ULL, 0x0000000000000000ULL},
    {0x0000000000000000ULL, 0x0000000000000000ULL},    {0x0000000000000000ULL, 0x0000000000000000ULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fffffffULL},
    {0xffffffffffffffffULL, 0x000000003fffffffULL},    {0xffffffffffffffffULL, 0x000000003fff3fffULL},
    {0x0000000000000000ULL, 0x0000000000000000ULL},    {0x0000000000000000ULL, 0x0000000000000000ULL},
};

}  // namespace

bool HoldsX0208Character(unsigned row, unsigned cell) {
    return row < kJisCells && cell < kJisCells && (kX0208Cells[row][cell / 64] >> (cell % 64) & 1) != 0;
}

const TJisTables& JisTables() {
    static const std::unique_ptr<TJisTables> tables = Build();
    return *tables;
}

}  // namespace xavo::encoding_detail
