// The text view's RTF layer: the writer's output read back identically, documents as
// other programs write them, and malformed input.
#include "Rtf.h"
#include "SjisCodec.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>

namespace xavo {

// Failure messages show the runs as UTF-8 with their formats.
void PrintTo(const TRtfDocument& doc, std::ostream* os) {
    for (const TRtfRun& run : doc.Runs) {
        const TRtfCharFormat& f = run.Format;
        *os << "\n[" << (f.Bold ? "b" : "") << (f.Italic ? "i" : "") << (f.Underline ? "u" : "")
            << (f.StrikeOut ? "s" : "") << " fs" << f.HalfPoints << " c" << (f.HasColor ? static_cast<long>(f.Color) : -1L)
            << " " << SjisToUtf8(EncodeSjis(f.FontName)) << "] " << SjisToUtf8(EncodeSjis(run.Text));
    }
}

namespace {

TRtfCharFormat Format(bool bold, bool italic = false) {
    TRtfCharFormat f;
    f.Bold = bold;
    f.Italic = italic;
    return f;
}

std::u16string PlainTextOf(std::string_view rtf) { return ReadRtf(rtf).PlainText(); }

TEST(RtfRoundTrip, WhatTheWriterWritesReadsBackIdentically) {
    TRtfDocument doc;
    TRtfCharFormat big;
    big.HalfPoints = 36;
    big.Underline = true;
    TRtfCharFormat red;
    red.HasColor = true;
    red.Color = 0xFF0000;
    red.StrikeOut = true;
    TRtfCharFormat font;
    font.FontName = u"ＭＳ Ｐゴシック";
    font.HasColor = true;
    font.Color = 0x0000FF;
    TRtfCharFormat sameAsDefault;
    sameAsDefault.FontName = u"Default Face";  // named like font 0, still a font of its own
    doc.Append(u"日本語 plain {braces} \\ back\tslash\n", TRtfCharFormat());
    doc.Append(u"bold", Format(true));
    doc.Append(u"both\n\n", Format(true, true));
    doc.Append(u"big ｱｲｳ", big);
    doc.Append(u"red caf\u00E9 \u2014 \U0001F600", red);  // no CP932 code: \uN
    doc.Append(DecodeSjis("\x83" "A\x87\x90\x85\x40"), font);  // raw-byte escapes stay apart
    doc.Append(u" x", sameAsDefault);
    doc.Append(std::u16string(u"nul\0ctl\x1b", 8), TRtfCharFormat());
    doc.Append(u"\n", TRtfCharFormat());  // ends with an empty paragraph
    const std::string rtf = WriteRtf(doc, u"Default Face");
    EXPECT_TRUE(LooksLikeRtf(rtf));
    EXPECT_NE(rtf.find("\\ansicpg932"), std::string::npos);
    EXPECT_EQ(ReadRtf(rtf), doc) << rtf;
    EXPECT_EQ(ReadRtf(WriteRtf(ReadRtf(rtf), u"Default Face")), doc);
}

TEST(RtfRoundTrip, EmptyAndSingleParagraphDocuments) {
    for (const std::u16string text : {u"", u"a", u"\n", u"a\nb", u"\n\n"}) {
        TRtfDocument doc;
        doc.Append(text, TRtfCharFormat());
        EXPECT_EQ(ReadRtf(WriteRtf(doc)), doc) << text.size();
    }
}

TEST(RtfReader, ReadsAJapaneseWordProcessorDocument) {
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1033\\deflangfe1041{\\fonttbl{\\f0\\fnil\\fcharset128 "
        "\\'82\\'6c\\'82\\'72 \\'82\\'6f\\'83\\'53\\'83\\'56\\'83\\'62\\'83\\'4e;}{\\f1\\fswiss\\fcharset0 Arial;}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
        "{\\*\\generator Msftedit 5.41.21.2510;}\\viewkind4\\uc1\\pard\\lang1041\\f0\\fs20 "
        "\\'93\\'fa\\'96\\'7b\\'8c\\'ea\\b bold\\b0\\par\r\n"
        "\\cf1\\i red\\cf0\\i0\\tab x\\line y \\f1 Arial\\par\r\n}\r\n";
    const TRtfDocument doc = ReadRtf(rtf);
    EXPECT_EQ(doc.PlainText(), u"日本語bold\nred\tx\ny Arial");
    ASSERT_EQ(doc.Runs.size(), 6u);
    EXPECT_EQ(doc.Runs[0].Text, u"日本語");
    EXPECT_EQ(doc.Runs[0].Format.HalfPoints, 20);
    EXPECT_EQ(doc.Runs[0].Format.FontName, u"");  // the default font
    EXPECT_TRUE(doc.Runs[1].Format.Bold);
    EXPECT_EQ(doc.Runs[2].Text, u"\n");
    EXPECT_EQ(doc.Runs[3].Text, u"red");
    EXPECT_TRUE(doc.Runs[3].Format.Italic);
    EXPECT_TRUE(doc.Runs[3].Format.HasColor);
    EXPECT_EQ(doc.Runs[3].Format.Color, 0xFF0000u);
    EXPECT_EQ(doc.Runs[4].Text, u"\tx\ny ");
    EXPECT_FALSE(doc.Runs[4].Format.HasColor);
    EXPECT_EQ(doc.Runs[5].Text, u"Arial");
    EXPECT_EQ(doc.Runs[5].Format.FontName, u"Arial");
}

TEST(RtfReader, DecodesBytesInTheCodePageOfTheCurrentFont) {
    EXPECT_EQ(PlainTextOf("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\\f0 caf\\'e9 \\'80}"),
              u"café €");
    EXPECT_EQ(PlainTextOf("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
                          "{\\f1\\fnil\\fcharset128 MS Gothic;}}\\f1 \\'83\\'5c\\f0 \\'e9}"),
              u"ソé");
    EXPECT_EQ(PlainTextOf("{\\rtf1\\ansi\\ansicpg932 \x82\xA0 raw}"), u"あ raw");
}

TEST(RtfReader, UnicodeEscapesSkipTheirFallback) {
    EXPECT_EQ(PlainTextOf("{\\rtf1\\uc2 a\\u12477\\'83\\'5cb}"), u"aソb");
    EXPECT_EQ(PlainTextOf("{\\rtf1 a\\u-3?b}"), u"a\uFFFDb");
    EXPECT_EQ(PlainTextOf("{\\rtf1\\uc0 \\u12477 x}"), u"ソx");
    EXPECT_EQ(PlainTextOf("{\\rtf1 {\\u12477}?}"), u"ソ?");  // a group end stops the skipping
}

TEST(RtfReader, SkipsDestinationsThatAreNotText) {
    EXPECT_EQ(PlainTextOf("{\\rtf1 a{\\*\\unknown hidden}b{\\info{\\title T}}c}"), u"abc");
    EXPECT_EQ(PlainTextOf("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}}"), u"link");
    EXPECT_EQ(PlainTextOf("{\\rtf1 {\\stylesheet{\\s0 Normal;}}{\\pict\\wmetafile8 0123abcd}text}"), u"text");
    EXPECT_EQ(PlainTextOf("{\\rtf1 a{\\*\\blip\\bin3 }}}}b}"), u"ab");  // \bin data is not parsed
}

TEST(RtfReader, MalformedInputIsReadLeniently) {
    EXPECT_EQ(PlainTextOf("{\\rtf1 abc"), u"abc");           // unclosed document
    EXPECT_EQ(PlainTextOf("{\\rtf1 a}}}b"), u"a");            // stray closing braces
    EXPECT_EQ(PlainTextOf("{\\rtf1 a\\"), u"a");              // backslash at the end
    EXPECT_EQ(PlainTextOf("{\\rtf1 a\\'4"), u"a\x04");  // one hex digit
    EXPECT_EQ(PlainTextOf("{\\rtf1 \\fs99999999999999 x}"), u"x");
    std::string deep = "{\\rtf1 ";
    deep += std::string(5000, '{') + "x" + std::string(5000, '}') + "y}";
    EXPECT_EQ(PlainTextOf(deep), u"xy");
    EXPECT_FALSE(LooksLikeRtf("{\\rt"));
    EXPECT_FALSE(LooksLikeRtf("plain {\\rtf"));
}

// Whatever the reader makes of any input, the writer writes it so that it reads back
// the same; mutated documents also exercise the reader's handling of broken input.
TEST(RtfRoundTrip, AnyDocumentTheReaderProducesSurvivesTheWriter) {
    const std::string seed =
        "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 \\'82\\'6c;}{\\f1\\fswiss\\fcharset0 Arial;}}"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\\uc1\\pard\\f0\\fs20 \\'93\\'fa{\\b b\\i i}\\par"
        "\\cf2\\ul u\\ulnone\\strike s\\strike0\\u12477?\\tab\\f1 caf\\'e9\\line{\\*\\x y}\\cf1 z\\par}";
    const std::string alphabet = "{}\\';?abf01 \r\n\x83\x5C\xE9";
    std::mt19937 rng(5);
    for (int round = 0; round < 3000; ++round) {
        std::string rtf = seed;
        for (int edits = 1 + static_cast<int>(rng() % 4); edits > 0; --edits) {
            const std::size_t at = rng() % rtf.size();
            switch (rng() % 3) {
            case 0: rtf.erase(at, 1 + rng() % 3); break;
            case 1: rtf.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
            default: rtf[at] = alphabet[rng() % alphabet.size()]; break;
            }
        }
        const TRtfDocument doc = ReadRtf(rtf);
        ASSERT_EQ(ReadRtf(WriteRtf(doc, u"Face")), doc) << rtf;
    }
}

// Many runs in one font hold its name once, cut to a bounded length; the writer numbers
// every distinct font and colour.
TEST(RtfReader, FontNamesAreSharedAndBounded) {
    const std::string longName(70000, 'N');
    std::string rtf = "{\\rtf1{\\fonttbl{\\f1 " + longName + ";}{\\f2 Short;}}";
    for (int i = 0; i < 50; ++i) rtf += "{\\f1\\b ab}{\\f1\\i cd}{\\f2 ef}";
    const TRtfDocument doc = ReadRtf(rtf + "}");
    ASSERT_EQ(doc.Runs.size(), 150u);
    const std::u16string_view first = doc.Runs[0].Format.FontName;
    EXPECT_EQ(first, std::u16string(kMaxRtfFontNameLength, u'N'));
    for (const TRtfRun& run : doc.Runs) {
        const std::u16string_view name = run.Format.FontName;
        if (name.size() == first.size()) {
            EXPECT_EQ(name.data(), first.data());
        } else {
            EXPECT_EQ(name, u"Short");
        }
    }
    // A name cut between the halves of a surrogate pair loses the lone half.
    std::u16string pairs;
    for (int i = 0; i < 200; ++i) pairs += u"\U0001F600";
    std::string emoji = "{\\rtf1{\\fonttbl{\\f1 ";
    for (int i = 0; i < 200; ++i) emoji += "\\u-10179?\\u-8704?";
    const TRtfDocument cut = ReadRtf(emoji + ";}}\\f1 x}");
    EXPECT_EQ(std::u16string_view(cut.Runs.at(0).Format.FontName), pairs.substr(0, kMaxRtfFontNameLength - 1));

    TRtfDocument many;
    for (int i = 0; i < 3000; ++i) {
        TRtfCharFormat f;
        f.FontName = u"F" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + std::u16string(i / 26 + 1, u'x');
        f.HasColor = true;
        f.Color = static_cast<std::uint32_t>(i % 700);
        many.Append(u"t", f);
    }
    EXPECT_EQ(ReadRtf(WriteRtf(many, u"Face")), many);
}

TEST(RtfReader, ControlSymbols) {
    EXPECT_EQ(PlainTextOf("{\\rtf1 a\\{b\\}c\\\\d\\~e\\_f\\-g}"), u"a{b}c\\d e-fg");
    EXPECT_EQ(PlainTextOf("{\\rtf1 a\\\nb\\par}"), u"a\nb");
}

}  // namespace
}  // namespace xavo
