// Reading files of every encoding into a document and writing them back: the streaming
// conversion against decoding the whole file at once (blocks small enough that every kind
// of cut is met), and the bytes written back against the file's own.
#include "SjisCodec.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace xavo {
namespace {

std::vector<TFileEncoding> Encodings() {
    return {{TEncoding::Sjis, false},   {TEncoding::EucJp, false},  {TEncoding::Jis, false},
            {TEncoding::Utf8, false},   {TEncoding::Utf8, true},    {TEncoding::Utf16Le, true},
            {TEncoding::Utf16Be, true}, {TEncoding::Utf16Le, false}};
}

// Text of Japanese and ASCII with characters Shift-JIS lacks or shares (¥, the wave dash
// U+301C, an emoji, ①), every kind of line end, and runs without ASCII.
std::u16string RandomText(std::mt19937& random, std::size_t units) {
    static const std::u16string pieces[] = {u"日本語", u"かな", u"abc ", u"\r\n", u"\n", u"\r", u"¥", u"〜",
                                            u"😀", u"①", u"ｶﾅ", u"漢字漢字漢字漢字", u"髙", u"\t", u"?"};
    std::u16string text;
    while (text.size() < units) text += pieces[random() % std::size(pieces)];
    return text;
}

// Bytes a file may hold: the text encoded, with stray bytes dropped in.
std::string RandomFile(std::mt19937& random, TFileEncoding encoding, std::size_t units) {
    std::string bytes = EncodeText(RandomText(random, units), encoding);
    for (int i = 0; i < 4 && !bytes.empty(); ++i)
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(random() % bytes.size()), static_cast<char>(0x80 + random() % 0x80));
    return bytes;
}

// What the document must hold: the whole file decoded at once.
TSjisText Reference(std::string_view bytes, TFileEncoding encoding) { return ToSjisText(DecodeText(bytes, encoding)); }

TEST(ConvertToSjisText, AgreesWithDecodingTheWholeFileWhereverTheBlocksAreCut) {
    std::mt19937 random(7);
    for (const TFileEncoding encoding : Encodings()) {
        if (encoding.Kind == TEncoding::Sjis) continue;
        for (int round = 0; round < 30; ++round) {
            const std::string bytes = round % 3 == 0 ? EncodeText(RandomText(random, 400), encoding)
                                                     : RandomFile(random, encoding, 400);
            const TSjisText expected = Reference(bytes, encoding);
            for (const std::size_t block : {std::size_t{1}, std::size_t{7}, std::size_t{64}, std::size_t{1} << 20}) {
                SCOPED_TRACE(EncodingName(encoding) + " round " + std::to_string(round) + " block " + std::to_string(block));
                std::size_t forgotten = 0;
                const TSjisText text =
                    ConvertToSjisText(bytes, encoding, true, [&](std::size_t from, std::size_t to) {
                        EXPECT_EQ(from, forgotten);
                        forgotten = to;
                    }, block);
                ASSERT_EQ(text.Bytes, expected.Bytes);
                ASSERT_EQ(text.Foreign.At, expected.Foreign.At);
                ASSERT_EQ(text.Foreign.Units, expected.Foreign.Units);
                EXPECT_EQ(forgotten, bytes.size());
            }
        }
    }
}

TEST(ConvertToSjisText, ExactTextTakesNoForeignUnitsAndForeignOnesReadBack) {
    const TFileEncoding utf8{TEncoding::Utf8, false};
    const TSjisText plain = ConvertToSjisText(EncodeText(u"日本語 abc\r\n", utf8), utf8);
    EXPECT_EQ(plain.Bytes, EncodeSjis(u"日本語 abc\r\n"));
    EXPECT_TRUE(plain.Foreign.Empty());
    // ¥, the wave dash U+301C and an emoji's halves are '?' placeholders; a stray byte is
    // kept as its escape.
    const TSjisText mixed = ConvertToSjisText(EncodeText(u"a¥〜😀", utf8) + "\xFF", utf8);
    EXPECT_EQ(mixed.Bytes, "a??????");
    EXPECT_EQ(mixed.Foreign.At, (std::vector<std::uint64_t>{1, 2, 4, 5, 6}));
    EXPECT_EQ(DecodeSjisText(mixed.Bytes, mixed.Foreign), u"a¥〜😀\xDCFF");
}

TEST(WriteTextBuffer, AFileReadAndWrittenUneditedKeepsEveryByte) {
    std::mt19937 random(11);
    for (const TFileEncoding encoding : Encodings()) {
        for (int round = 0; round < 20; ++round) {
            SCOPED_TRACE(EncodingName(encoding) + " round " + std::to_string(round));
            std::string bytes = RandomFile(random, encoding, round == 19 ? 600000 : 300);
            if (encoding.Bom && round % 2 == 0) bytes = std::string(ByteOrderMark(encoding.Kind)) + bytes;
            const TTextBuffer buffer = ReadTextBuffer(TFileBytes(bytes), encoding);
            // With Bom the mark is written whether the file had it or not (as EncodeText does).
            const std::string_view mark = encoding.Bom ? ByteOrderMark(encoding.Kind) : std::string_view();
            const std::string expected = std::string(mark) + bytes.substr(bytes.starts_with(mark) ? mark.size() : 0);
            ASSERT_EQ(EncodeTextBuffer(buffer, encoding), expected);
        }
    }
}

TEST(WriteTextBuffer, EditsAreWrittenInTheFilesEncodingWithTheirForeignCharacters) {
    const TFileEncoding utf8{TEncoding::Utf8, false};
    TTextBuffer buffer = ReadTextBuffer(TFileBytes(EncodeText(u"😀 ¥\n二行目\n", utf8)), utf8);
    buffer.Replace(buffer.LineIndex(1), 0, std::u16string_view(u"€追加"));
    EXPECT_EQ(EncodeTextBuffer(buffer, utf8), EncodeText(u"😀 ¥\n€追加二行目\n", utf8));
    // Shift-JIS cannot hold them: their placeholders are what is written.
    EXPECT_EQ(EncodeTextBuffer(buffer, {}), EncodeSjis(u"?? ?\n?追加二行目\n"));
    // Lines longer than a write's gathering, in ISO-2022-JP, whose lines must stay whole.
    const TFileEncoding jis{TEncoding::Jis, false};
    std::u16string text;
    for (int i = 0; i < 200000; ++i) text += i % 97 == 0 ? u"漢字\n" : u"かなabc";
    const std::string bytes = EncodeText(text, jis);
    EXPECT_EQ(EncodeTextBuffer(ReadTextBuffer(TFileBytes(bytes), jis), jis), bytes);
}

}  // namespace
}  // namespace xavo
