// The lossless converters: known bytes of each encoding, and byte-exact round trips of any
// bytes, valid or not. Also what a file written in EUC-JP or JIS holds beyond the standard
// sets (checked against glibc's converters), and the UTF-8 check made before writing.
#include "EncodingTestUtil.h"
#include "JisTables.h"
#include "SjisCodec.h"

#include <gtest/gtest.h>

#include <random>

#include <iconv.h>

namespace xavo {
namespace {

using testing::AllEncodings;
using testing::In;
using testing::U16;

TEST(Encoding, WritesKnownBytes) {
    struct Case {
        TFileEncoding Encoding;
        const char* Text;
        std::string Bytes;
    } cases[] = {
        {{TEncoding::Sjis, false}, "あ漢ｱ", "\x82\xA0\x8A\xBF\xB1"},
        {{TEncoding::EucJp, false}, "あ漢ｱ", "\xA4\xA2\xB4\xC1\x8E\xB1"},
        {{TEncoding::EucJp, false}, "丂", "\x8F\xB0\xA1"},  // JIS X 0212
        {{TEncoding::EucJp, false}, "①～", "\xAD\xA1\xA1\xC1"},  // NEC row 13; CP932's wave dash
        {{TEncoding::Jis, false}, "aあ漢\r\nｱb", "a\x1B$B$\"4A\x1B(B\r\n\x1B(I1\x1B(Bb"},
        {{TEncoding::Jis, false}, "¥", "\x1B(J\x5C\x1B(B"},
        {{TEncoding::Utf8, true}, "あ", "\xEF\xBB\xBF\xE3\x81\x82"},
        {{TEncoding::Utf16Le, true}, "aあ😀", std::string("\xFF\xFE" "a\0\x42\x30\x3D\xD8\x00\xDE", 10)},
        {{TEncoding::Utf16Be, false}, "aあ", std::string("\0a\x30\x42", 4)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeText(U16(c.Text), c.Encoding), c.Bytes) << EncodingName(c.Encoding) << " " << c.Text;
        EXPECT_EQ(DecodeText(c.Bytes, c.Encoding), U16(c.Text)) << EncodingName(c.Encoding) << " " << c.Text;
    }
}

TEST(Encoding, CountsWhatAnEncodingCannotStore) {
    std::size_t unencodable = 0;
    EXPECT_EQ(EncodeText(U16("a😀€b"), {TEncoding::EucJp, false}, unencodable), "a??b");
    EXPECT_EQ(unencodable, 2u);
    EXPECT_EQ(EncodeText(U16("😀"), {TEncoding::Jis, false}, unencodable), "?");
    EXPECT_EQ(unencodable, 1u);
    EXPECT_EQ(EncodeText(u"\xD800" u"a", {TEncoding::Utf8, false}, unencodable), "?a");  // a lone high surrogate
    EXPECT_EQ(unencodable, 1u);
}

// Bytes that are valid and invalid in the encodings, to cut random files from.
std::string RandomBytes(std::mt19937& rng, std::size_t length, TEncoding kind) {
    static const std::string pieces[] = {
        "a", "\r\n", "\n", "\r", std::string(1, '\0'), "\x1B", "\x1B$B", "\x1B$@", "\x1B(B", "\x1B(J", "\x1B(I",
        "\x1B$(D", "$\"", "4A", "\x8E", "\x8F", "\xA4\xA2", "\xB4\xC1", "\x82\xA0", "\x81\x7F", "\xE3\x81\x82",
        "\xF0\x9F\x98\x80", "\xED\xA0\x80", "\xC0\xAF", "\xFF", "\xFE", "\x3D\xD8", "\x00\xDE", "\x00\xDC", "\x80",
    };
    std::string out;
    while (out.size() < length) {
        if (rng() % 3 == 0) out.push_back(static_cast<char>(rng() % 256));
        else out += pieces[rng() % std::size(pieces)];
    }
    if (kind == TEncoding::Jis && rng() % 2 == 0)
        for (char& c : out) c = static_cast<char>(c & 0x7F);  // 7-bit, as JIS files are
    return out;
}

TEST(Encoding, RoundTripsAnyBytesInEveryEncoding) {
    std::mt19937 rng(18);
    for (const TFileEncoding e : AllEncodings()) {
        for (int round = 0; round < 3000; ++round) {
            std::string bytes = RandomBytes(rng, rng() % 40, e.Kind);
            if (e.Bom) bytes.insert(0, ByteOrderMark(e.Kind));
            const std::u16string text = DecodeText(bytes, e);
            ASSERT_EQ(EncodeText(text, e), bytes) << EncodingName(e) << " round " << round;
        }
    }
}

TEST(Encoding, RoundTripsEveryDoubleByteCode) {
    // Every pair of bytes of the EUC-JP and JIS ranges, and every JIS X 0212 position.
    std::string euc, jis = "\x1B$B", euc3;
    for (unsigned a = 0xA1; a <= 0xFE; ++a) {
        for (unsigned b = 0xA1; b <= 0xFE; ++b) {
            euc += {static_cast<char>(a), static_cast<char>(b)};
            jis += {static_cast<char>(a - 0x80), static_cast<char>(b - 0x80)};
            euc3 += {'\x8F', static_cast<char>(a), static_cast<char>(b)};
        }
    }
    jis += "\x1B(B";
    for (const auto& [bytes, kind] : {std::pair{euc, TEncoding::EucJp}, std::pair{euc3, TEncoding::EucJp},
                                      std::pair{jis, TEncoding::Jis}}) {
        const std::u16string text = DecodeText(bytes, {kind, false});
        EXPECT_EQ(EncodeText(text, {kind, false}), bytes);
    }
    // JIS X 0208 needs no escapes: every position is one code point.
    EXPECT_EQ(DecodeText(euc, {TEncoding::EucJp, false}).size(), euc.size() / 2);
    EXPECT_EQ(DecodeText(jis, {TEncoding::Jis, false}).size(), euc.size() / 2);
}

TEST(Encoding, KeepsTheBytesOfNonCanonicalJisLines) {
    const std::string lines[] = {
        "\x1B$@$\"\x1B(B",            // the old kanji designation
        "\x1B$B$\"",                  // no return to ASCII at the end of the file
        "\x1B$B$\"\r\n$$\x1B(B",      // a set carried over the line end
        "\x1B(B\x1B(Babc",            // a redundant designation
    };
    for (const std::string& bytes : lines) {
        const std::u16string text = DecodeText(bytes, {TEncoding::Jis, false});
        EXPECT_EQ(EncodeText(text, {TEncoding::Jis, false}), bytes);
    }
    // The canonical line before a broken one still reads as text.
    const std::u16string mixed = DecodeText("\x1B$B$\"\x1B(B\n\x1B$@$$", {TEncoding::Jis, false});
    EXPECT_EQ(mixed.substr(0, 2), u"あ\n");
}

TEST(Encoding, DecodesInvalidBytesToEscapesOnly) {
    // A valid text decodes without escapes; each bad byte is one escape unit.
    const std::u16string sentence = U16("これは試験です。ｶﾀｶﾅ ①\r\n");
    for (const TFileEncoding e : AllEncodings()) {
        if (e.Kind == TEncoding::Sjis) continue;
        const std::u16string text = DecodeText(EncodeText(sentence, e), e);
        EXPECT_EQ(text, sentence) << EncodingName(e);
    }
    EXPECT_EQ(DecodeText("a\xFF" "b", {TEncoding::Utf8, false}), u"a\xDCFF" u"b");
    EXPECT_EQ(DecodeText("\xA4", {TEncoding::EucJp, false}), u"\xDCA4");
    EXPECT_EQ(DecodeText(std::string("\x00\xDC", 2), {TEncoding::Utf16Le, false}), u"\xDC00\xDCDC");
    EXPECT_EQ(ToDisplayUtf8(DecodeText("a\xFF", {TEncoding::Utf8, false}), {TEncoding::Utf8, false}), "a\xEF\xBF\xBD");
}

// --- What other programs read back ---------------------------------------------------

// Whether glibc's converter reads Bytes of Encoding back as exactly one character, refusing
// nothing and passing no escape sequence through as text.
bool OtherProgramsRead(const std::string& bytes, const char* encoding) {
    const iconv_t cd = ::iconv_open("UTF-32LE", encoding);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in = bytes;
    char out[64];
    char* inp = in.data();
    char* outp = out;
    std::size_t inLeft = in.size(), outLeft = sizeof out;
    const bool converted = ::iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<std::size_t>(-1) &&
                           ::iconv(cd, nullptr, nullptr, &outp, &outLeft) != static_cast<std::size_t>(-1);
    ::iconv_close(cd);
    const std::size_t units = (sizeof out - outLeft) / 4;
    const auto first = static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8;
    return converted && units == 1 && first != 0x1B;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) out += "0123456789abcdef"[static_cast<unsigned char>(c) >> 4], out += "0123456789abcdef"[c & 15];
    return out;
}

TEST(Encoding, AsksOnlyAboutWhatOtherProgramsCannotRead) {
    // Every character EUC-JP and ISO-2022-JP store: read back by glibc's converters exactly
    // when FindNonStandard passes it.
    const struct {
        TEncoding Kind;
        const char* Name;
    } encodings[] = {{TEncoding::EucJp, "EUC-JP"}, {TEncoding::Jis, "ISO-2022-JP"}};
    const iconv_t probe = ::iconv_open("UTF-32LE", "ISO-2022-JP");
    if (probe == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no glibc converters";
    ::iconv_close(probe);
    for (const auto& e : encodings) {
        const TFileEncoding encoding{e.Kind, false};
        int standard = 0, extensions = 0;
        for (unsigned u = 0x80; u < 0x10000; ++u) {
            const char16_t unit = static_cast<char16_t>(u);
            if ((u >= 0xD800 && u <= 0xDFFF) || IsSjisEscape(unit)) continue;
            std::size_t unencodable = 0;
            const std::string bytes = EncodeText(std::u16string_view(&unit, 1), encoding, unencodable);
            if (unencodable != 0) continue;
            const bool asked = FindNonStandard(std::u16string_view(&unit, 1), encoding) == 0;
            ASSERT_EQ(OtherProgramsRead(bytes, e.Name), !asked) << e.Name << " U+" << std::hex << u << " " << Hex(bytes);
            ++(asked ? extensions : standard);
        }
        EXPECT_GT(standard, 6000) << e.Name;
        EXPECT_GT(extensions, 80) << e.Name;
    }
}

TEST(Encoding, FindsTheFirstNonStandardCharacter) {
    const TFileEncoding euc{TEncoding::EucJp, false}, jis{TEncoding::Jis, false};
    const struct {
        TFileEncoding Encoding;
        std::u16string Text;
        std::size_t At;
    } cases[] = {
        {euc, U16("漢字ｶﾞ丂"), std::u16string::npos},  // half-width katakana and JIS X 0212 are EUC-JP's own
        {euc, U16("a①"), 1},                          // NEC row 13
        {euc, U16("ab纊"), std::u16string::npos},      // JIS X 0212 holds it
        {euc, U16("x\xe2\x85\xb0"), 1},                // ⅰ: IBM's rows
        {jis, U16("漢ｶﾞ"), 1},
        {jis, U16("丂"), 0},
        {jis, U16("¥‾～"), std::u16string::npos},       // JIS X 0201 Roman, CP932's wave dash
        {jis, u"\xDCAD\xDCA1", std::u16string::npos},  // a file's own bytes
        {euc, U16("😀①"), 2},                         // after what EUC-JP cannot store at all
        {{TEncoding::Sjis, false}, U16("①ｶ"), std::u16string::npos},
        {{TEncoding::Utf8, false}, U16("①ｶ"), std::u16string::npos},
    };
    for (const auto& c : cases) EXPECT_EQ(FindNonStandard(c.Text, c.Encoding), c.At) << EncodingName(c.Encoding);
}

TEST(Encoding, TellsUtf8TextInAnyPieces) {
    const struct {
        std::string Bytes;
        bool WellFormed, Text;
    } cases[] = {
        {"", true, false},
        {"plain ascii\r\n", true, false},
        {"\xEF\xBB\xBF", true, true},                            // a mark alone
        {"caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x98\x80.", true, true},
        {"caf\xC3\xA9 \xE6\x97", false, false},                  // cut in its last character
        {"\x95\x5C\x8E\xA6", false, false},                      // Shift-JIS
        {"\xC3\xA9\xFF", false, false},
        {"\xE0\x80\x80", false, false},                          // overlong
        {"\xED\xA0\x80", false, false},                          // a surrogate
        {"\xF4\x90\x80\x80", false, false},                      // past U+10FFFF
        {"\xE6\x97\xA5\x80", false, false},                      // a stray continuation byte
    };
    for (const auto& c : cases) {
        for (std::size_t cut1 = 0; cut1 <= c.Bytes.size(); ++cut1) {
            for (std::size_t cut2 = cut1; cut2 <= c.Bytes.size(); ++cut2) {
                TUtf8Check check;
                check.Add(std::string_view(c.Bytes).substr(0, cut1));
                check.Add(std::string_view(c.Bytes).substr(cut1, cut2 - cut1));
                check.Add(std::string_view(c.Bytes).substr(cut2));
                EXPECT_EQ(check.WellFormed(), c.WellFormed) << c.Bytes << " cut at " << cut1 << ", " << cut2;
                EXPECT_EQ(check.IsText(), c.Text) << c.Bytes << " cut at " << cut1 << ", " << cut2;
            }
        }
    }
}

}  // namespace
}  // namespace xavo
