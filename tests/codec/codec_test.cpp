// The Shift-JIS codec: exhaustive round trips over every one- and two-byte input, the
// private-use scheme, known characters, unencodable text and the UTF-8 side.
#include "SjisCodec.h"
#include "SjisDuplicates.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>

namespace xavo {
namespace {

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (const int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

bool IsLead(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail(unsigned b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

TEST(SjisCodecExhaustive, EverySingleByteRoundTripsAsOneUnit) {
    for (unsigned b = 0; b < 256; ++b) {
        const std::string in = Bytes({static_cast<int>(b)});
        const std::u16string u = DecodeSjis(in);
        ASSERT_EQ(u.size(), 1u) << b;
        EXPECT_EQ(EncodeSjis(u), in) << b;
        EXPECT_EQ(SjisLength(u[0]), 1) << b;
        if (b < 0x80) EXPECT_EQ(u[0], b) << "ASCII and controls unchanged: " << b;
        else if (b >= 0xA1 && b <= 0xDF) EXPECT_EQ(u[0], 0xFF61 + (b - 0xA1)) << b;
        else EXPECT_EQ(u[0], 0xF780 + b) << "no character starts with " << b;
    }
}

TEST(SjisCodecExhaustive, EveryTwoByteSequenceRoundTrips) {
    for (unsigned code = 0; code < 0x10000; ++code) {
        const unsigned lead = code >> 8, trail = code & 0xFF;
        const std::string in = Bytes({static_cast<int>(lead), static_cast<int>(trail)});
        const std::u16string u = DecodeSjis(in);
        ASSERT_EQ(EncodeSjis(u), in) << std::hex << code;
        ASSERT_EQ(SjisLength(u), 2u) << std::hex << code;
        ASSERT_EQ(u.size(), IsLead(lead) && IsTrail(trail) ? 1u : 2u) << std::hex << code;
    }
}

// Every character (valid, duplicate, unassigned or single byte) has its own unit, so the
// reserved blocks never collide with each other or with real CP932 characters.
TEST(SjisCodecExhaustive, CharactersDecodeToDistinctUnitsInTheirBlocks) {
    std::set<char16_t> seen;
    int duplicates = 0, unassigned = 0, userDefined = 0;
    for (unsigned b = 0; b < 256; ++b) {
        if (IsLead(b)) continue;
        ASSERT_TRUE(seen.insert(DecodeSjis(Bytes({static_cast<int>(b)}))[0]).second) << b;
    }
    for (unsigned lead = 0; lead < 256; ++lead) {
        if (!IsLead(lead)) continue;
        ASSERT_TRUE(seen.insert(DecodeSjis(Bytes({static_cast<int>(lead)}))[0]).second) << lead;
        ASSERT_TRUE(IsSjisEscape(DecodeSjis(Bytes({static_cast<int>(lead)}))[0])) << lead;
        for (unsigned trail = 0; trail < 256; ++trail) {
            if (!IsTrail(trail)) continue;
            const char16_t u = DecodeSjis(Bytes({static_cast<int>(lead), static_cast<int>(trail)}))[0];
            ASSERT_TRUE(seen.insert(u).second) << std::hex << lead << trail;
            ASSERT_EQ(IsSjisEscape(u), u >= 0xE800 && u < 0xF780) << std::hex << lead << trail;
            if (u >= 0xE800 && u < 0xEA00) ++duplicates;
            else if (u >= 0xEA00 && u < 0xF780) ++unassigned;
            else if (u >= 0xE000 && u <= 0xE757) ++userDefined;
            else EXPECT_FALSE(u >= 0xE000 && u <= 0xF8FF) << "stray private-use " << std::hex << int{u};
        }
    }
    EXPECT_EQ(duplicates, 398);
    EXPECT_EQ(unassigned, 1676);
    EXPECT_EQ(userDefined, 1880);
}

TEST(SjisCodecKnown, CharactersDecodeAsWindowsDoes) {
    const struct {
        std::string bytes;
        char16_t unit;
    } rows[] = {
        {"\x83\x5C", u'\u30BD'},        // katakana so, trail byte is a backslash
        {"\x81\x60", u'\uFF5E'},        // fullwidth tilde, not wave dash
        {"\x81\x5F", u'\uFF3C'},
        {"\x81\x8F", u'\uFFE5'},        // fullwidth yen
        {"\x81\x5C", u'\u2015'},
        {"\x81\x61", u'\u2225'},
        {"\x81\x7C", u'\uFF0D'},
        {"\x81\xCA", u'\uFFE2'},
        {"\x81\xE0", u'\u2252'},        // the code encoding picks for U+2252
        {"\xFA\x5C", u'\u7E8A'},        // IBM extension, preferred over NEC-selected 0xED40
        {"\x87\x54", u'\u2160'},        // NEC row 13 roman numeral, preferred over 0xFA4A
        {"\xF0\x40", u'\uE000'},        // user-defined area
        {"\xF9\xFC", u'\uE757'},
        {"\x5C", u'\\'},
        {"\x7E", u'~'},
        {"\x1A", u'\x1A'},
        {"\x7F", u'\x7F'},
        {std::string(1, '\0'), u'\0'},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecodeSjis(row.bytes), std::u16string(1, row.unit)) << row.bytes;
        EXPECT_EQ(EncodeSjis(std::u16string(1, row.unit)), row.bytes) << row.bytes;
    }
}

TEST(SjisCodecKnown, FoldedDuplicatesKeepTheirBytes) {
    const std::u16string nec = DecodeSjis("\x87\x90");
    const std::u16string necIbm = DecodeSjis("\xED\x40");
    ASSERT_EQ(nec.size(), 1u);
    EXPECT_NE(nec, DecodeSjis("\x81\xE0"));
    EXPECT_NE(necIbm, DecodeSjis("\xFA\x5C"));
    EXPECT_GE(nec[0], 0xE800);
    EXPECT_LT(necIbm[0], 0xEA00);
    EXPECT_EQ(EncodeSjis(nec), "\x87\x90");
    EXPECT_EQ(EncodeSjis(necIbm), "\xED\x40");
    EXPECT_EQ(DecodeSjis("\x87\x90\xED\x40"), nec + necIbm);
}

TEST(SjisCodecKnown, DuplicateCodesShowAsTheirCharacters) {
    EXPECT_EQ(ShownText(DecodeSjis("\xED\x40\xEE\xE0\xED\x95\x87\x90")), u"纊髙﨑≒");
    // A lone 0x80 stays its escape; the lossless conversion keeps the duplicate's escape.
    EXPECT_EQ(SjisToShownUtf8("\xED\x40" "a\x80\xFA\x5C"), "纊a" + SjisToUtf8("\x80") + "纊");
    EXPECT_NE(SjisToUtf8("\xED\x40"), "纊");
    EXPECT_EQ(Utf8ToSjis(SjisToUtf8("\xED\x40")), "\xED\x40");
    EXPECT_EQ(ShownUnit(u'a'), u'a');
    EXPECT_EQ(ShownUnit(u'\uF780'), u'\uF780');
}

TEST(SjisCodecExhaustive, TheTableOfDuplicateCodesIsTheMappingsOwn) {
    // Every code of a character, by the character it shows as; the engine's table must give
    // the same codes, and the same preferred code (the one EncodeSjis writes).
    std::map<char16_t, std::set<std::uint16_t>> codesOf;
    for (unsigned code = 0x8140; code <= 0xFCFC; ++code) {
        const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        const std::u16string unit = DecodeSjis(std::string_view(bytes, 2));
        if (unit.size() != 1 || (IsSjisEscape(unit[0]) && ShownUnit(unit[0]) == unit[0])) continue;
        codesOf[ShownUnit(unit[0])].insert(static_cast<std::uint16_t>(code));
    }
    std::size_t duplicates = 0;
    for (const auto& [character, codes] : codesOf) {
        const std::string preferred = EncodeSjis(std::u16string(1, character));
        const auto preferredCode = static_cast<std::uint16_t>(static_cast<unsigned char>(preferred[0]) << 8 |
                                                              static_cast<unsigned char>(preferred[1]));
        for (const std::uint16_t code : codes) {
            ASSERT_EQ(PreferredSjisCode(code), preferredCode) << std::hex << code;
            std::set<std::uint16_t> twins{code};
            ForEachSjisTwin(code, code, [&](std::uint16_t from, std::uint16_t to) {
                for (unsigned c = from; c <= to; ++c) twins.insert(static_cast<std::uint16_t>(c));
            });
            ASSERT_EQ(twins, codes) << std::hex << code;
        }
        duplicates += codes.size() - 1;
    }
    EXPECT_EQ(duplicates, 398u);
}

TEST(SjisCodecBroken, LeadBytesWithoutTrailStandAlone) {
    EXPECT_EQ(DecodeSjis("a\x83"), u"a\uF803");                        // lone lead at the end
    EXPECT_EQ(DecodeSjis("\x83\r\n"), u"\uF803\r\n");                 // line break is kept
    EXPECT_EQ(DecodeSjis("\x83\x83\x5C"), u"\u30e3\\");               // ャ then a backslash
    EXPECT_EQ(DecodeSjis("\x85\x40").size(), 1u);                       // unassigned, kept whole
    EXPECT_EQ(EncodeSjis(u"\uF780\uF7FF"), Bytes({0x00, 0x7F}));        // the whole single block
    EXPECT_TRUE(IsSjisEscape(u'\uF780'));
    EXPECT_FALSE(IsSjisEscape(u'\uE000'));                              // user-defined character
    EXPECT_FALSE(IsSjisEscape(u'\uF08C'));                              // past the last unassigned code
    EXPECT_FALSE(IsSjisEscape(u'a'));
}

TEST(SjisCodecRandom, ByteStringsRoundTrip) {
    std::mt19937 rng(12345);
    // Lead bytes, trail bytes and controls are over-represented so that pairs break often.
    const std::string alphabet = Bytes({0x00, 0x0A, 0x0D, 0x40, 0x5C, 0x7F, 0x80, 0x81, 0x83, 0x87, 0x90,
                                        0x9F, 0xA0, 0xA1, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xFA, 0xFC, 0xFD, 0xFF});
    for (int round = 0; round < 20000; ++round) {
        std::string s(rng() % 40, '\0');
        for (char& c : s) c = rng() % 2 ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng());
        const std::u16string u = DecodeSjis(s);
        ASSERT_EQ(EncodeSjis(u), s);
        ASSERT_EQ(SjisLength(u), s.size());
        ASSERT_EQ(FindUnencodable(u), std::u16string::npos);
        ASSERT_EQ(Utf8ToSjis(SjisToUtf8(s)), s);
    }
}

TEST(SjisCodecUnencodable, BecomeQuestionMarksAndAreCounted) {
    std::size_t count = 99;
    EXPECT_EQ(EncodeSjis(u"a\u00A5b\u2014", count), "a?b?");  // yen sign, em dash: no CP932 code
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(EncodeSjis(u"\U0001F600", count), "??");        // surrogate pair: two units
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(EncodeSjis(std::u16string{char16_t{0xD800}, u'x'}, count), "?x");  // lone surrogate
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(EncodeSjis(u"\uE758\uF8F0", count), "??");      // private use outside our blocks
    EXPECT_EQ(EncodeSjis(u"\u30BD", count), "\x83\x5C");
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(FindUnencodable(u"ab\u30BD\u00A5"), 3u);
    EXPECT_EQ(FindUnencodable(u"ab\u30BD"), std::u16string::npos);
    EXPECT_EQ(SjisLength(u"a\u00A5\u30BD"), 4u);
}

TEST(SjisCodecUtf8, ConvertsBothWays) {
    EXPECT_EQ(SjisToUtf8("\x83\x5C" "a\xB1"), "ソaｱ");
    EXPECT_EQ(Utf8ToSjis("ソaｱ"), "\x83\x5C" "a\xB1");
    EXPECT_EQ(SjisToUtf8("\x87\x90"), "\xEE\xA0\x80");  // the first folded duplicate, U+E800
    std::string all;
    for (unsigned code = 0x8140; code < 0x10000; ++code) {
        all.push_back(static_cast<char>(code >> 8));
        all.push_back(static_cast<char>(code & 0xFF));
    }
    EXPECT_EQ(Utf8ToSjis(SjisToUtf8(all)), all);
}

TEST(SjisCodecKnown, OtherConvertersFormsEncodeToTheSameCharacter) {
    // What Linux input methods and JIS-based converters give for six CP932 characters:
    // written as those characters; decoding still gives CP932's own forms.
    const struct {
        const char* Utf8;
        char16_t Other;
        char16_t Own;
        const char* Bytes;
    } rows[] = {
        {"〜", u'\u301C', u'\uFF5E', "\x81\x60"},  // wave dash
        {"−", u'\u2212', u'\uFF0D', "\x81\x7C"},  // minus
        {"‖", u'\u2016', u'\u2225', "\x81\x61"},  // double vertical line
        {"¢", u'\u00A2', u'\uFFE0', "\x81\x91"},  // cent
        {"£", u'\u00A3', u'\uFFE1', "\x81\x92"},  // pound
        {"¬", u'\u00AC', u'\uFFE2', "\x81\xCA"},  // not
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Utf8);
        const std::u16string other(1, row.Other);
        EXPECT_EQ(EncodeSjis(other), row.Bytes);
        EXPECT_EQ(Utf8ToSjis(row.Utf8), row.Bytes);
        EXPECT_EQ(FindUnencodable(other), std::u16string::npos);
        EXPECT_EQ(SjisLength(other), 2u);
        EXPECT_EQ(DecodeSjis(row.Bytes), std::u16string(1, row.Own));
    }
}

TEST(SjisCodecUtf8, IllFormedInputIsReplacedPerMaximalSubpart) {
    const struct {
        std::string utf8;
        std::string sjis;
        std::size_t replaced;
    } rows[] = {
        {"\x80", "?", 1},                       // lone continuation byte
        {"a\xE3\x82" "b", "a?b", 1},            // truncated sequence keeps the next byte
        {"\xE3\x82", "?", 1},                   // truncated at the end
        {"\xC0\xAF", "??", 2},                  // overlong: C0 can start nothing
        {"\xE0\x80\xAF", "???", 3},
        {"\xED\xA0\x80", "???", 3},             // encoded surrogate
        {"\xF4\x90\x80\x80", "????", 4},        // beyond U+10FFFF
        {"\xF0\x9F\x98\x80", "?", 1},           // valid, but no CP932 code
        {"\xFF\xFE", "??", 2},
        {"\xC2\xA5", "?", 1},                   // U+00A5 has no CP932 code
        {"", "", 0},
    };
    for (const auto& row : rows) {
        std::size_t replaced = 99;
        EXPECT_EQ(Utf8ToSjis(row.utf8, replaced), row.sjis) << row.utf8;
        EXPECT_EQ(replaced, row.replaced) << row.utf8;
    }
}

}  // namespace
}  // namespace xavo
