// Detection: each encoding on short and long texts, the hard Shift-JIS/EUC-JP cases, a
// file whose text begins after much ASCII, a head cut inside a character, a few bad bytes.
#include "Detect.h"
#include "EncodingTestUtil.h"
#include "JisTables.h"
#include "Utf8Valid.h"

#include <gtest/gtest.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <random>

namespace xavo {
namespace {

using testing::In;

// Texts that every detectable encoding must be recognised from. Short ones are the hard
// part: a few kanji, kana of one kind, half-width katakana, ASCII around them.
const char* const kTexts[] = {
    "日本語",
    "漢字",
    "東京都千代田区",
    "設定",
    "あいう",
    "これはペンです。",
    "カタカナ",
    "ｱｲｳｴｵ",
    "ﾃﾞｰﾀﾍﾞｰｽ",
    "ｼｮｯﾌﾟ",
    "ｼﾞｮｰｼﾞ･ﾜｼﾝﾄﾝ",
    "abc 日本 def",
    "file.txt: 見つかりません (code 2)",
    "x = 1; // 初期化",
    "①②③ ㈱",
    "表示能力ソ十。",
};

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

std::string LongText() {
    std::string s;
    for (int i = 0; i < 200; ++i) s += "この文書は設定ファイルの書き方を説明します。Section " + std::to_string(i) + "\r\n";
    return s;
}

TEST(DetectEncoding, FindsEachEncodingOfShortAndLongTexts) {
    const TFileEncoding detectable[] = {{TEncoding::Sjis, false}, {TEncoding::EucJp, false}, {TEncoding::Jis, false},
                                        {TEncoding::Utf8, false}, {TEncoding::Utf8, true},   {TEncoding::Utf16Le, true},
                                        {TEncoding::Utf16Be, true}};
    std::vector<std::string> texts(std::begin(kTexts), std::end(kTexts));
    texts.push_back(LongText());
    for (const TFileEncoding e : detectable) {
        for (const std::string& text : texts) {
            EXPECT_EQ(DetectEncoding(In(e, text)), e) << EncodingName(e) << ": " << text.substr(0, 40);
        }
    }
}

TEST(DetectEncoding, SettlesTextsThatAreBothShiftJisAndEucJpByVotes) {
    // Every byte in 0xA1-0xDF: half-width katakana in Shift-JIS, kanji in EUC-JP.
    struct Case {
        const char* Text;
        TEncoding Written;
        TEncoding Found;
    } cases[] = {
        // EUC-JP kanji with a kana or punctuation character win for EUC-JP.
        {"表示能力ソ十", TEncoding::EucJp, TEncoding::EucJp},
        // Half-width words with voiced marks and small kana win for Shift-JIS.
        {"ｷﾞｬﾗﾘｰ", TEncoding::Sjis, TEncoding::Sjis},
        // A level-2 kanji in the EUC-JP reading (0xD0 on) counts for Shift-JIS.
        {"ﾑｽﾒﾃ", TEncoding::Sjis, TEncoding::Sjis},
        // No vote either way: EUC-JP, the commoner of the two on Linux.
        {"ｶﾀｶﾅ", TEncoding::Sjis, TEncoding::EucJp},
        {"能力", TEncoding::EucJp, TEncoding::EucJp},
        // The limit of the rule: kanji whose bytes happen to spell a half-width pair (示 is
        // "ｼｨ") without a kana to outvote it.
        {"表示能力十", TEncoding::EucJp, TEncoding::Sjis},
        // A Shift-JIS kanji of row 0x8E reads as one EUC-JP half-width kana: Shift-JIS.
        {"自", TEncoding::Sjis, TEncoding::Sjis},
        // A run of two bytes casts no half-width vote: one kanji (図 reads "ｿﾞ") is EUC-JP,
        // and so is a half-width word of two letters.
        {"図", TEncoding::EucJp, TEncoding::EucJp},
        {"x 図 y", TEncoding::EucJp, TEncoding::EucJp},
        {"ｿﾞ", TEncoding::Sjis, TEncoding::EucJp},
        {"ｿﾞﾝ", TEncoding::Sjis, TEncoding::Sjis},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DetectEncoding(In({c.Written, false}, c.Text)), (TFileEncoding{c.Found, false})) << c.Text;
}

TEST(DetectEncoding, DecidesPlainBytesByRule) {
    struct Case {
        const char* Name;
        std::string Bytes;
        TFileEncoding Expected;
    } cases[] = {
        {"empty", "", {TEncoding::Sjis, false}},
        {"ASCII only", "plain ASCII\r\n", {TEncoding::Sjis, false}},
        {"ESC without designation", "a\x1B[1mb", {TEncoding::Sjis, false}},
        {"JIS-Roman designation only", "\x1B(Jabc\x1B(B", {TEncoding::Jis, false}},
        {"JIS escape but an 8-bit byte", "\x1B$B$\"\x1B(B\xA4\xA2", {TEncoding::EucJp, false}},
        {"UTF-8 mark only", "\xEF\xBB\xBF", {TEncoding::Utf8, true}},
        {"UTF-16LE mark then ASCII", "\xFF\xFE" "a\0", {TEncoding::Utf16Le, true}},
        // 0x82 0xA0 is Shift-JIS "あ" and ill-formed in both UTF-8 and EUC-JP.
        {"Shift-JIS hiragana", "\x82\xA0", {TEncoding::Sjis, false}},
        // A stray byte does not outvote a long text.
        {"Shift-JIS with one bad byte", Repeat("\x82\xA0", 50) + "\xFF" + Repeat("\x82\xA0", 50), {TEncoding::Sjis, false}},
    };
    for (const Case& c : cases) EXPECT_EQ(DetectEncoding(c.Bytes), c.Expected) << c.Name;
    // Ill-formed UTF-8 after good sequences: an encoded surrogate, an overlong form, a cut end.
    for (const std::string bytes : {"日本\xED\xA0\x80", "日本\xC0\xAF", "日本\xE3\x81", "日本\xE3\x81z"})
        EXPECT_NE(DetectEncoding(bytes).Kind, TEncoding::Utf8) << bytes;
}

TEST(DetectEncoding, DecidesWhereTheTextStopsBeingAsciiWhereverThatIs) {
    // A log or a CSV whose first hundred kilobytes are ASCII.
    const std::string ascii = Repeat("2024-01-01 12:00:00 INFO started\n", 4000);
    for (const TFileEncoding e : {TFileEncoding{TEncoding::Sjis, false}, TFileEncoding{TEncoding::EucJp, false},
                                  TFileEncoding{TEncoding::Jis, false}, TFileEncoding{TEncoding::Utf8, false}}) {
        EXPECT_EQ(DetectEncoding(ascii + In(e, LongText())), e) << EncodingName(e);
        EXPECT_EQ(DetectEncoding(ascii + In(e, "設定")), e) << EncodingName(e);
    }
    // Only ASCII seen: nothing is decided yet, unless the file is known to end there.
    EXPECT_EQ(DecideEncoding(ascii, false), std::nullopt);
    EXPECT_EQ(DecideEncoding(ascii + "\x1B[1m", false), std::nullopt);  // a terminal's escape
    EXPECT_EQ(DecideEncoding(ascii + "\x1B$", false), std::nullopt);    // a designation still cut
    EXPECT_EQ(DetectEncoding(ascii), (TFileEncoding{TEncoding::Sjis, false}));
    EXPECT_EQ(FindDecidingByte(ascii), std::string::npos);
    EXPECT_EQ(FindDecidingByte(ascii + "\x1B[1m\x1B$B"), ascii.size() + 4);
    EXPECT_EQ(FindDecidingByte("ab\x1B("), 2u);
    EXPECT_EQ(FindDecidingByte("abcdefghijklmno\x80"), 15u);
}

TEST(DetectEncoding, ReadsAHeadFromTheDecidingByteAndForgivesACutCharacter) {
    // UTF-8 text whose bytes at hand end inside a three-byte character.
    std::string text(100, 'a');
    text += "日本";
    EXPECT_EQ(DetectEncoding(text), (TFileEncoding{TEncoding::Utf8, false}));
    EXPECT_EQ(DetectEncoding(std::string_view(text).substr(0, text.size() - 1), false),
              (TFileEncoding{TEncoding::Utf8, false}));
    // The same cut in EUC-JP and Shift-JIS: the lead byte at the end is not held against them.
    for (const TFileEncoding e : {TFileEncoding{TEncoding::EucJp, false}, TFileEncoding{TEncoding::Sjis, false}}) {
        std::string bytes(100, 'a');
        bytes += In(e, "あいうえお");
        EXPECT_EQ(DetectEncoding(bytes), e) << EncodingName(e);
        EXPECT_EQ(DetectEncoding(std::string_view(bytes).substr(0, bytes.size() - 1), false), e) << EncodingName(e);
    }
    // Bytes past the head do not count: a file that turns to Shift-JIS later is UTF-8.
    std::string late(10, 'a');
    late += "\xE6\x97\xA5";
    late += std::string(kDetectionBytes, 'a');
    late += "\x82\xA0";
    EXPECT_EQ(DetectEncoding(late), (TFileEncoding{TEncoding::Utf8, false}));
}

TEST(DetectEncoding, AFewBadBytesDoNotOutvoteAWholeText) {
    const std::string text = LongText();
    // UTF-8 with a Latin-1 e-acute, or cut in its last character: still UTF-8.
    std::string latin1 = In({TEncoding::Utf8, false}, text);
    latin1.insert(latin1.size() / 2, "caf\xE9 ");
    EXPECT_EQ(DetectEncoding(latin1), (TFileEncoding{TEncoding::Utf8, false}));
    const std::string cut = In({TEncoding::Utf8, false}, text + "日本");
    EXPECT_EQ(DetectEncoding(cut.substr(0, cut.size() - 1)), (TFileEncoding{TEncoding::Utf8, false}));
    // EUC-JP with one JIS X 0213 character (row 9 holds none in JIS X 0208), in a text
    // that is well-formed Shift-JIS too.
    const std::string euc = In({TEncoding::EucJp, false}, "表示能力の説明を読んでください。");
    for (const std::size_t at : {std::size_t{0}, euc.size() / 2, euc.size()}) {
        std::string x0213 = euc;
        x0213.insert(at, "\xA9\xA1");
        EXPECT_EQ(DetectEncoding(x0213), (TFileEncoding{TEncoding::EucJp, false})) << at;
    }
}

TEST(DetectEncoding, CompletesAChosenEncodingFromTheFilesMark) {
    const TFileEncoding utf16{TEncoding::Utf16Le, true}, utf8{TEncoding::Utf8, false}, euc{TEncoding::EucJp, false};
    struct Case {
        TFileEncoding Chosen;
        std::string Head;
        TFileEncoding Expected;
    } cases[] = {
        {utf16, "\xFE\xFF", {TEncoding::Utf16Be, true}},
        {utf16, "\xFF\xFE", {TEncoding::Utf16Le, true}},
        {utf16, "a", {TEncoding::Utf16Le, false}},
        {utf8, "\xEF\xBB\xBFx", {TEncoding::Utf8, true}},
        {{TEncoding::Utf8, true}, "x", utf8},
        {euc, "\xEF\xBB\xBF", euc},
    };
    for (const Case& c : cases) EXPECT_EQ(WithFileMark(c.Chosen, c.Head), c.Expected) << EncodingName(c.Chosen);
}

TEST(DetectEncoding, ItsTableOfJisCellsIsTheConvertersOwn) {
    const encoding_detail::TJisTables& tables = encoding_detail::JisTables();
    for (unsigned row = 0; row < encoding_detail::kJisCells; ++row)
        for (unsigned cell = 0; cell < encoding_detail::kJisCells; ++cell)
            ASSERT_EQ(encoding_detail::HoldsX0208Character(row, cell),
                      tables.X0208Sjis[row * encoding_detail::kJisCells + cell] != 0)
                << row << " " << cell;
}

}  // namespace
}  // namespace xavo

namespace xavo {
namespace {

std::string EncodeUtf8(char32_t c) {
    char out[4];
    std::int32_t n = 0;
    U8_APPEND_UNSAFE(out, n, static_cast<UChar32>(c));
    return std::string(out, static_cast<std::size_t>(n));
}

// Reference: one code point at a time, by ICU's reading of well-formed UTF-8.
bool IcuSaysWellFormed(std::string_view s) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    const auto n = static_cast<std::int32_t>(s.size());
    for (std::int32_t i = 0; i < n;) {
        UChar32 c;
        U8_NEXT(p, i, n, c);
        if (c < 0) return false;
    }
    return true;
}

// Random texts of well-formed sequences with faults put in (bytes that never begin a
// character, overlong forms, surrogates, code points past U+10FFFF, cut sequences), at
// every offset around the 32-byte blocks the check reads.
TEST(IsWellFormedUtf8, AgreesWithIcuOnTextsWithFaultsAnywhere) {
    std::mt19937 random(5);
    const std::string_view faults[] = {"\x80", "\xBF", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80",
                                       "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",
                                       "\xE3\x81", "\xF0\x9F\x98", "\xC3"};
    const char32_t points[] = {U'a', U'é', U'あ', U'日', U'\uFFFD', U'\U0001F600', U'\U00020BB7', U'\u07FF', U'\u0800',
                               U'\uD7FF', U'\uE000', U'\U00010000', U'\U0010FFFF'};
    int faulty = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const std::size_t length = round % 7 == 0 ? random() % 1000 : random() % 100;
        while (text.size() < length) {
            const char32_t c = points[random() % std::size(points)];
            if (c < 0x80) text.append(random() % 40, static_cast<char>(c));
            else text += EncodeUtf8(c);
        }
        if (round % 2 == 1) {
            const std::string_view fault = faults[random() % std::size(faults)];
            text.insert(text.empty() ? 0 : random() % text.size(), fault);
        }
        const bool expected = IcuSaysWellFormed(text);
        faulty += !expected;
        ASSERT_EQ(IsWellFormedUtf8(text), expected) << ::testing::PrintToString(text);
    }
    EXPECT_GT(faulty, 5000);
}

}  // namespace
}  // namespace xavo
