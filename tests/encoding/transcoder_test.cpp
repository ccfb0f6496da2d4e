// The transcoder to Shift-JIS: the same codes and lines as the Shift-JIS copy of a text,
// one reserved code per character Shift-JIS cannot hold, any block size; the engine reads
// the reserved code as one character that no literal matches; lines map back.
#include "EncodingTestUtil.h"
#include "Grep.h"
#include "SjisCodec.h"
#include "SjisTranscoder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace xavo {
namespace {

// Reads Bytes from the start, as a file would hand them over.
auto ReaderOf(const std::string& bytes) {
    return [&bytes, pos = std::size_t(0)](char* buffer, std::size_t size) mutable {
        const std::size_t n = std::min(size, bytes.size() - pos);
        std::copy_n(bytes.data() + pos, n, buffer);
        pos += n;
        return n;
    };
}

using testing::AllEncodings;
using testing::In;
using testing::U16;

const std::string kReserved = {kUnmappableLead, kUnmappableTrail};

// Transcodes Bytes handed over in blocks of BlockSize (the whole at once for 0), each
// written into rooms of Room bytes (0: as much room as it needs).
std::string Transcode(TFileEncoding e, const std::string& bytes, std::size_t blockSize, std::uint64_t* unmappable = nullptr,
                      std::size_t room = 0) {
    TSjisTranscoder t(e);
    std::string out;
    const auto convert = [&](std::string_view block, bool last) {
        if (room == 0) return t.Transcode(block, last, out);
        do {
            std::string part(room, '\0');
            char* w = part.data();
            block.remove_prefix(t.Transcode(block, last, w, part.data() + room));
            out.append(part.data(), w);
        } while (!block.empty());
    };
    if (blockSize == 0) {
        convert(bytes, true);
    } else {
        std::size_t pos = 0;
        do {
            const std::size_t n = std::min(blockSize, bytes.size() - pos);
            convert(std::string_view(bytes).substr(pos, n), pos + n == bytes.size());
            pos += n;
        } while (pos < bytes.size());
    }
    if (unmappable) *unmappable = t.Unmappable();
    return out;
}

const char* const kSample =
    "第1章　設定ファイル\r\n"
    "ｶﾀｶﾅ と ひらがな、①②、≒ ∵ ￢\n"
    "\r"
    "最後の行 with ASCII ~ \\ 表示能力ソ十";

TEST(SjisTranscoder, GivesTheShiftJisCodesOfEveryEncodingInAnyBlockSize) {
    const std::string sjis = EncodeSjis(U16(kSample));
    for (const TFileEncoding e : AllEncodings()) {
        const std::string bytes = In(e, kSample);
        for (const std::size_t block : {0, 1, 2, 3, 5, 7, 64}) {
            std::uint64_t unmappable = 1;
            EXPECT_EQ(Transcode(e, bytes, block, &unmappable), sjis) << EncodingName(e) << " block " << block;
            EXPECT_EQ(unmappable, 0u);
        }
    }
}

TEST(SjisTranscoder, WritesOneReservedCodePerCharacterShiftJisCannotHold) {
    struct Case {
        TFileEncoding Encoding;
        std::string Bytes;
        std::string Expected;
    } cases[] = {
        {{TEncoding::Utf8, false}, "a\xF0\x9F\x98\x80" "b\xC2\xA9\n", "a" + kReserved + "b" + kReserved + "\n"},
        {{TEncoding::Utf8, false}, "\xE3\x81\n\xFF\xC0\xAF", kReserved + "\n" + kReserved + kReserved + kReserved},
        {{TEncoding::Utf16Le, false}, std::string("\x3D\xD8\x00\xDE\n\0\x00\xDC", 8), kReserved + "\n" + kReserved},
        {{TEncoding::Utf16Be, false}, std::string("\0a\x30", 3), "a" + kReserved},
        {{TEncoding::EucJp, false}, "\x8F\xB0\xA1|\xA4\n\x8E\xA1\xF5\xA1", kReserved + "|" + kReserved + "\n\xA1" + kReserved},
        {{TEncoding::Jis, false}, "\x1B$(D0!\x1B(B\x80\r\n\x1B$B$", kReserved + kReserved + "\r\n" + kReserved},
        // IBM extensions, which EUC-JP and JIS do not hold, from UTF-8.
        {{TEncoding::Utf8, false}, "髙﨑", "\xFB\xFC\xFA\xB1"},
        // A folded duplicate: NEC's "≒" (EUC-JP 0xADF0, Shift-JIS 0x8790) is CP932's 0x81E0.
        {{TEncoding::EucJp, false}, "\xAD\xF0", "\x81\xE0"},
    };
    for (const Case& c : cases) {
        for (const std::size_t block : {0, 1, 2}) {
            EXPECT_EQ(Transcode(c.Encoding, c.Bytes, block), c.Expected) << EncodingName(c.Encoding) << " block " << block;
        }
    }
}

TEST(SjisTranscoder, KeepsLineEndsAndIsTheSameInAnyBlockSizeForAnyBytes) {
    std::mt19937 rng(18);
    const auto lineEnds = [](const std::string& s, std::size_t unit, bool big) {
        std::vector<std::size_t> ends;  // kind of each line end, in order: 1 LF, 2 CR LF, 3 CR
        for (std::size_t i = 0; i + unit <= s.size(); i += unit) {
            const auto at = [&](std::size_t q) -> unsigned {
                if (q + unit > s.size()) return 0;
                const auto b0 = static_cast<unsigned char>(s[q]);
                if (unit == 1) return b0;
                const auto b1 = static_cast<unsigned char>(s[q + 1]);
                return big ? (b0 << 8 | b1) : (b1 << 8 | b0);
            };
            if (at(i) == '\n') ends.push_back(1);
            if (at(i) == '\r') {
                ends.push_back(at(i + unit) == '\n' ? 2 : 3);
                if (at(i + unit) == '\n') i += unit;
            }
        }
        return ends;
    };
    const char alphabet[] = {'a', '\n', '\r', '\x1B', '$', '(', 'B', 'I', '@', 'D', '!', '"', '\0',
                             '\x80', '\x8E', '\x8F', '\xA4', '\xB1', '\xC2', '\xE3', '\xF0', '\xDC', '\xD8', '\xFF'};
    for (const TFileEncoding e : AllEncodings()) {
        const bool utf16 = e.Kind == TEncoding::Utf16Le || e.Kind == TEncoding::Utf16Be;
        for (int round = 0; round < 400; ++round) {
            std::string bytes(rng() % 48, 'a');
            for (char& c : bytes) c = alphabet[rng() % std::size(alphabet)];
            const std::string whole = Transcode(e, bytes, 0);
            for (const std::size_t block : {1, 2, 3, 4, 5}) ASSERT_EQ(Transcode(e, bytes, block), whole) << EncodingName(e);
            ASSERT_EQ(Transcode(e, bytes, 7, nullptr, kMinTranscodeRoom), whole) << EncodingName(e);
            if (e.Kind == TEncoding::Sjis) continue;  // passed through: the engine's own reading
            // Reading the output as the engine does: the same line ends as the source.
            const std::string body = e.Bom && bytes.starts_with(ByteOrderMark(e.Kind)) ? bytes.substr(ByteOrderMark(e.Kind).size()) : bytes;
            std::string engineView;  // line ends, and x for each other code
            for (std::size_t i = 0; i < whole.size(); ++i) {
                const auto b = static_cast<unsigned char>(whole[i]);
                if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
                    ASSERT_LT(i + 1, whole.size()) << "a lone lead byte at the end";
                    ASSERT_NE(whole[i + 1], '\n');
                    ASSERT_NE(whole[i + 1], '\r');
                    ++i;
                    engineView += 'x';
                } else {
                    engineView += b == '\n' || b == '\r' ? whole[i] : 'x';
                }
            }
            ASSERT_EQ(lineEnds(engineView, 1, false), lineEnds(body, utf16 ? 2 : 1, e.Kind == TEncoding::Utf16Be))
                << EncodingName(e) << " round " << round;
        }
    }
}

// A long text of ASCII runs of every length (line ends among them) between Japanese
// characters: the vector and short paths, whole or cut anywhere, give the Shift-JIS copy,
// and the line finder gives any ascending choice of its lines, passed over in bulk.
TEST(SjisTranscoder, LongTextsGiveTheShiftJisCopyAndTheirLinesInEveryEncoding) {
    std::mt19937 rng(1818);
    const char* const pieces[] = {"漢", "字", "か", "ナ", "ｶ", "ﾟ", "①", "≒", "～", "ー", "　"};
    const std::string ascii = "abcdefghijklmnopqrstuvwxyz0123456789 \r\n\r\n\n\r";
    std::string text;
    while (text.size() < 20000) {
        for (std::size_t n = rng() % 40; n > 0; --n) text += ascii[rng() % ascii.size()];
        for (std::size_t n = rng() % 8; n > 0; --n) text += pieces[rng() % std::size(pieces)];
    }
    text += "末";
    std::vector<std::u16string> lines(1);
    const std::u16string units = U16(text);
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] != u'\r' && units[i] != u'\n') {
            lines.back() += units[i];
            continue;
        }
        if (units[i] == u'\r' && i + 1 < units.size() && units[i + 1] == u'\n') ++i;
        lines.emplace_back();
    }
    const std::string sjis = EncodeSjis(U16(text));
    for (const TFileEncoding e : AllEncodings()) {
        const std::string bytes = In(e, text);
        for (const std::size_t block : {0, 1, 7, 100}) ASSERT_EQ(Transcode(e, bytes, block), sjis) << EncodingName(e) << " block " << block;
        for (const std::size_t room : {kMinTranscodeRoom, kMinTranscodeRoom + 1, std::size_t{100}})
            ASSERT_EQ(Transcode(e, bytes, 4096, nullptr, room), sjis) << EncodingName(e) << " room " << room;
        for (const std::size_t block : {5, 4096}) {
            TSourceLineFinder finder(e, ReaderOf(bytes), block);
            std::string lineBytes;
            std::u16string lineText;
            for (std::size_t lineNo = 1 + rng() % 5; lineNo <= lines.size(); lineNo += 1 + rng() % 60) {
                ASSERT_TRUE(finder.Find(static_cast<std::int64_t>(lineNo), lineBytes, lineText)) << EncodingName(e) << " line " << lineNo;
                ASSERT_EQ(lineText, lines[lineNo - 1]) << EncodingName(e) << " block " << block << " line " << lineNo;
            }
        }
    }
}

TEST(SjisTranscoder, ReservedCodeIsOneCharacterForDotAndNoneForLiterals) {
    // A UTF-8 file with characters Shift-JIS cannot hold, searched through its transcoded copy.
    const std::string utf8 = "a😀b\n©\nab\nx\xFFy\n";
    test::TTempDir dir;
    const std::string path = dir.File("t.txt", Transcode({TEncoding::Utf8, false}, utf8, 0));
    struct Case {
        const char* Pattern;
        std::vector<std::int32_t> Lines;
    } cases[] = {
        {"a.b", {1}}, {"^.$", {2}}, {"x.y", {4}}, {"ab", {3}}, {"\\?", {}}, {"[^a-z]", {1, 2, 4}},
    };
    for (const bool reference : {false, true}) {
        for (const Case& c : cases) {
            TGrep grep;
            grep.UseReferenceLoops = reference;
            grep.SetRegExp(c.Pattern);
            std::vector<std::int32_t> lines;
            grep.OnMatch = [&](TGrep&, const RE_LineInfo_t& info) { lines.push_back(info.LineNo); };
            grep.GrepProc(path);
            EXPECT_EQ(lines, c.Lines) << c.Pattern << (reference ? " (reference loops)" : "");
        }
    }
}

TEST(SourceLineFinder, FindsLinesInTheFilesOwnBytes) {
    const std::string text = "一行目\r\n二行目 ｶﾅ\n\r四行目 😀\r\n";
    const char* const lines[] = {"一行目", "二行目 ｶﾅ", "", "四行目 😀"};
    for (const TFileEncoding e : AllEncodings()) {
        const std::string bytes = In(e, text);  // the emoji is "?" where the encoding lacks it
        std::u16string expected[4];
        for (int i = 0; i < 4; ++i) expected[i] = DecodeText(In({e.Kind, false}, lines[i]), {e.Kind, false});
        for (const std::size_t block : {1, 3, 4096}) {
            TSourceLineFinder finder(e, ReaderOf(bytes), block);
            std::string lineBytes;
            std::u16string lineText;
            for (const std::int32_t lineNo : {1, 2, 4}) {
                ASSERT_TRUE(finder.Find(lineNo, lineBytes, lineText)) << EncodingName(e) << " line " << lineNo;
                EXPECT_EQ(lineText, expected[lineNo - 1]) << EncodingName(e) << " block " << block << " line " << lineNo;
            }
            EXPECT_EQ(lineBytes, In({e.Kind, false}, "四行目 😀"));
            EXPECT_FALSE(finder.Find(5, lineBytes, lineText));
            EXPECT_FALSE(finder.Find(2, lineBytes, lineText));
        }
    }
}

}  // namespace
}  // namespace xavo
