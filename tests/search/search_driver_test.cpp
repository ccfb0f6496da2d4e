// The search driver: every file searched in its own encoding finds what its Shift-JIS copy
// finds, with the same line numbers, wherever its text stops being ASCII; a character
// Shift-JIS cannot hold is one character.
#include "EncodingTestUtil.h"
#include "FileSearch.h"
#include "Grep.h"
#include "SjisCodec.h"
#include "TempDir.h"

#include <gtest/gtest.h>

namespace xavo {
namespace {

using Found = std::vector<std::pair<std::int64_t, std::string>>;

using Program = std::shared_ptr<const TGrepProgram>;

Found Search(const Program& program, const std::string& path, TEncodingChoice choice = {},
             TFileEncoding* encoding = nullptr) {
    std::atomic<bool> cancel{false};
    TFileSearcher searcher(*program, cancel, {}, choice);
    Found found;
    searcher.Run(path, [&](const RE_LineInfo_t& info) { found.emplace_back(info.LineNo, info.Line); });
    if (encoding != nullptr) *encoding = searcher.Encoding();
    return found;
}

Program Compiled(const std::string& utf8Pattern, bool fuzzy) {
    TGrep grep;
    grep.SetUseFuzzyCharDic(fuzzy);
    grep.SetRegExp(Utf8ToSjis(utf8Pattern));
    return grep.Program();
}

TEST(SearchDriver, EveryEncodingFindsTheLinesOfItsShiftJisCopy) {
    // Every kind of line end, half-width kana, NEC specials and a wave dash; repeated past
    // the engine's block size so that characters and lines cross blocks.
    std::string utf8;
    for (int i = 0; i < 4000; ++i) {
        utf8 += "第" + std::to_string(i) + "章 日本語の文です。\r\n";
        if (i % 7 == 0) utf8 += "ﾃﾞｰﾀ と データ と でーた\n";
        if (i % 11 == 0) utf8 += "①～⑩ 全角ＡＢＣ abc\r";
        if (i % 13 == 0) utf8 += "plain ascii line\n";
    }
    const std::string sjis = Utf8ToSjis(utf8);
    const std::u16string text = DecodeSjis(sjis);
    test::TTempDir dir;
    const std::string sjisPath = dir.File("sjis.txt", sjis);
    const std::vector<TFileEncoding> encodings = {
        {TEncoding::EucJp, false}, {TEncoding::Jis, false},      {TEncoding::Utf8, false},
        {TEncoding::Utf8, true},   {TEncoding::Utf16Le, true},   {TEncoding::Utf16Be, true}};
    const struct {
        const char* Pattern;
        bool Fuzzy;
    } cases[] = {
        {"日本語", false}, {"ﾃﾞｰﾀ", false}, {"データ", true}, {"^plain", false}, {"①.⑩", false},
        {"ＡＢＣ", true},  {"章.*。$", false}, {"第１２章", true}, {"～", false},
        {"第3999章", false}, {"第7章 日本", false},  // lines far apart: the rest reach the engine as empty lines
    };
    for (const auto& c : cases) {
        const Program grep = Compiled(c.Pattern, c.Fuzzy);
        const Found expected = Search(grep, sjisPath);
        ASSERT_FALSE(expected.empty()) << c.Pattern;
        for (const TFileEncoding& encoding : encodings) {
            const std::string path = dir.File("copy.txt", EncodeText(text, encoding));
            TFileEncoding detected;
            EXPECT_EQ(Search(grep, path, {}, &detected), expected) << c.Pattern << " in " << EncodingName(encoding);
            EXPECT_EQ(detected, encoding);
        }
    }
}

TEST(SearchDriver, AFileIsDecidedWhereItsTextStopsBeingAsciiWhereverThatIs) {
    // A log whose Japanese lines come after an ASCII head of any length (the engine's block
    // is 102400 bytes, the decision reads 64 KB), read in blocks of several sizes; a
    // terminal's escape sequence before the head ends does not decide.
    const std::string japanese = "設定を読み込みました ～ ｶﾅ\n日本語の行\r\n";
    const Program grep = Compiled("日本語|ｶﾅ$", false);
    test::TTempDir dir;
    for (const std::size_t headLength : {std::size_t{0}, std::size_t{1}, std::size_t{70000}, std::size_t{102399},
                                         std::size_t{150001}}) {
        std::string head;
        for (int i = 0; head.size() < headLength; ++i) head += "\x1B[1mINFO\x1B[0m line " + std::to_string(i) + "\n";
        head.resize(headLength);
        if (!head.empty()) head.back() = '\n';
        const std::string sjisPath = dir.File("sjis.txt", head + Utf8ToSjis(japanese));
        const Found expected = Search(grep, sjisPath);
        ASSERT_EQ(expected.size(), 2u);
        for (const TFileEncoding encoding : {TFileEncoding{TEncoding::Sjis, false}, TFileEncoding{TEncoding::EucJp, false},
                                             TFileEncoding{TEncoding::Jis, false}, TFileEncoding{TEncoding::Utf8, false}}) {
            SCOPED_TRACE(EncodingName(encoding) + " after " + std::to_string(headLength));
            const std::string path = dir.File("copy.txt", head + testing::In(encoding, japanese));
            TFileEncoding detected;
            EXPECT_EQ(Search(grep, path, {}, &detected), expected);
            EXPECT_EQ(detected, encoding);
            for (const std::size_t block : {std::size_t{5}, std::size_t{4096}}) {
                std::atomic<bool> cancel{false};
                TSearchSource source(path, {}, &cancel);
                TGrepSearch search(*grep, cancel, {}, block);
                Found found;
                search.Run(source, [&](const RE_LineInfo_t& info) { found.emplace_back(info.LineNo, info.Line); });
                EXPECT_EQ(found, expected) << block;
                EXPECT_EQ(source.Encoding(), encoding) << block;
            }
        }
    }
    // ASCII to the end: nothing decided, nothing converted.
    const std::string ascii = dir.File("ascii.txt", std::string(200000, 'a') + "\x1B$");
    std::atomic<bool> cancel{false};
    TSearchSource source(ascii, {}, &cancel);
    std::string all(300000, '\0');
    all.resize(source.Read(all.data(), all.size()));
    EXPECT_EQ(all, test::ReadWhole(ascii));
    EXPECT_FALSE(source.Converted());
}

TEST(SearchDriver, CharactersOtherConvertersWriteOtherwiseAreFoundByEitherForm) {
    // 〜 (what Linux input methods and JIS-based converters give) and ～ (CP932's) are one
    // character to a search, in patterns and in files, both ways; so are the five others.
    const struct {
        const char* Other;
        const char* Own;
    } pairs[] = {{"〜", "～"}, {"−", "－"}, {"‖", "∥"}, {"¢", "￠"}, {"£", "￡"}, {"¬", "￢"}};
    test::TTempDir dir;
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair.Other);
        const std::string text = std::string("a") + pair.Other + "b\nc" + pair.Own + "d\nnone\n";
        const std::vector<std::pair<TFileEncoding, std::string>> files = {
            {{TEncoding::Utf8, false}, text},
            {{TEncoding::Utf16Le, true}, testing::In({TEncoding::Utf16Le, true}, text)},
            // EUC-JP holds the character once (its JIS cell); written twice here.
            {{TEncoding::EucJp, false}, testing::In({TEncoding::EucJp, false}, std::string("a") + pair.Own + "b\nc" + pair.Own + "d\nnone\n")},
            {{TEncoding::Sjis, false}, Utf8ToSjis(text)},
        };
        for (const char* pattern : {pair.Other, pair.Own}) {
            const Program grep = Compiled(pattern, false);
            for (const auto& [encoding, bytes] : files) {
                const std::string path = dir.File("f.txt", bytes);
                const Found found = Search(grep, path, {encoding});
                ASSERT_EQ(found.size(), 2u) << pattern << " in " << EncodingName(encoding);
                EXPECT_EQ(found[0].first, 1);
                EXPECT_EQ(found[1].first, 2);
            }
        }
    }
}

TEST(SearchDriver, AVeryLongLineIsLookedAtOnceInEveryEncoding) {
    // A line of 3 MB (minified JSON, a dump) read in blocks of 128 KB: the filter that
    // passes over lines without the literal must not look at the held line again with each
    // block (it did: twelve times the file). The literal lies near its start, near its end,
    // or nowhere; another line follows.
    std::string body;
    while (body.size() < (3u << 20)) body += "{\"なまえ\":\"あたい\",\"x\":[1,2,3]},";
    const Program grep = Compiled("目印", false);
    test::TTempDir dir;
    for (const std::string& line : {"目印" + body, body + "目印", body}) {
        const std::string text = line + "\n次の行 目印\n";
        for (const TFileEncoding encoding : {TFileEncoding{TEncoding::Utf8, false}, TFileEncoding{TEncoding::EucJp, false}}) {
            SCOPED_TRACE(EncodingName(encoding));
            const std::string bytes = testing::In(encoding, text);
            const std::string path = dir.File("long.txt", bytes);
            std::atomic<bool> cancel{false};
            TNativeFilter filter(*grep);
            TSearchSource source(path, {}, &cancel, &filter);
            TGrepSearch search(*grep, cancel, {});
            std::vector<std::int64_t> lines;
            search.Run(source, [&](const RE_LineInfo_t& info) { lines.push_back(info.LineNo); });
            EXPECT_EQ(lines, (line == body ? std::vector<std::int64_t>{2} : std::vector<std::int64_t>{1, 2}));
            EXPECT_LE(source.FilterLooked(), 3 * bytes.size()) << line.substr(0, 6);
        }
    }
}

TEST(SearchDriver, ALargeFileIsSearchedAcrossTheWindowsItIsReadIn) {
    // Over 8 MB of UTF-8 in lines of odd lengths, so that characters straddle the 4 MiB
    // windows; every line numbered, the hits checked against the Shift-JIS copy.
    std::string utf8;
    for (int i = 0; utf8.size() < (9u << 20); ++i) utf8 += "行" + std::to_string(i) + " 日本語のテキスト～です\n";
    test::TTempDir dir;
    const std::string sjisPath = dir.File("sjis.txt", Utf8ToSjis(utf8));
    const std::string path = dir.File("utf8.txt", utf8);
    for (const char* pattern : {"行1[0-9]*0 日", "す$", "行[0-9]*9999 "}) {
        const Program grep = Compiled(pattern, false);
        EXPECT_EQ(Search(grep, path), Search(grep, sjisPath)) << pattern;
    }
}

TEST(SourceText, ALineReadFromWhereOneOfItsCharactersLiesIsTheLineFoundByNumber) {
    // Every kind of line end, a first and a last line, lines longer than the blocks read.
    const std::u16string longLine = testing::U16(std::string(3000, 'x') + "長い行" + std::string(3000, 'y'));
    const std::vector<std::u16string> lines = {u"〜先頭", u"", u"a😀b", longLine, u"ｶﾅ ≒", u"末尾"};
    const char16_t* const ends[] = {u"\r\n", u"\n", u"\r", u"\n", u"\r\n", u""};
    test::TTempDir dir;
    for (const TFileEncoding e : {TFileEncoding{TEncoding::Utf8, false}, TFileEncoding{TEncoding::Utf8, true},
                                  TFileEncoding{TEncoding::EucJp, false}, TFileEncoding{TEncoding::Utf16Le, true},
                                  TFileEncoding{TEncoding::Utf16Be, false}}) {
        std::u16string text;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> chars;  // each line's first and last character
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto at = [&](std::size_t units) { return EncodeText(text + lines[i].substr(0, units), e).size(); };
            chars.emplace_back(at(0), at(lines[i].empty() ? 0 : lines[i].size() - 1));
            text += lines[i] + ends[i];
        }
        const std::string path = dir.File("t.txt", EncodeText(text, e));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto lineNo = static_cast<std::int64_t>(i + 1);
            std::string expected, fromFirst, fromLast;
            ASSERT_TRUE(TSourceText(path, e).Utf8Line(lineNo, expected)) << EncodingName(e);
            if (lines[i].empty()) continue;
            TSourceText source(path, e);
            ASSERT_TRUE(source.Utf8Line(lineNo, fromFirst, chars[i].first));
            ASSERT_TRUE(source.Utf8Line(lineNo, fromLast, chars[i].second));
            EXPECT_EQ(fromFirst, expected) << EncodingName(e) << " line " << lineNo;
            EXPECT_EQ(fromLast, expected) << EncodingName(e) << " line " << lineNo;
        }
    }
}

TEST(SearchDriver, ACharacterShiftJisCannotHoldIsOneCharacterNoPatternCanName) {
    test::TTempDir dir;
    const std::string path = dir.File("u.txt", "a\xF0\x9F\x98\x80" "b\nx\xC2\xA9y\na?b\n\xE3\x83\xBB\n");  // a😀b x©y a?b ・
    const struct {
        const char* Pattern;
        std::vector<std::int64_t> Lines;
    } cases[] = {
        {"a.b", {1, 3}}, {"x.y", {2}}, {"^...$", {1, 2, 3}}, {"a\\?b", {3}}, {"^.$", {4}}, {"・", {4}}, {"[^a-z?]", {1, 2, 4}},
    };
    for (const auto& c : cases) {
        std::vector<std::int64_t> lines;
        for (const auto& [lineNo, line] : Search(Compiled(c.Pattern, false), path)) lines.push_back(lineNo);
        EXPECT_EQ(lines, c.Lines) << c.Pattern;
    }
    // A named encoding holds whatever the bytes look like: as Shift-JIS, 😀 is two characters.
    TFileEncoding encoding;
    const Found sjis = Search(Compiled("a.b", false), path, {TFileEncoding{TEncoding::Sjis, false}}, &encoding);
    ASSERT_EQ(sjis.size(), 1u);
    EXPECT_EQ(sjis[0].first, 3);
    EXPECT_EQ(encoding, (TFileEncoding{TEncoding::Sjis, false}));
}

TEST(SearchDriver, JudgesPerLineWhetherTheConvertedTextIsTheFilesOwn) {
    // Only a line holding a character that reads back otherwise needs the file's own text.
    // 5,000 emoji on a line are more than are noted one by one.
    const std::string emoji = "\xF0\x9F\x98\x80";
    std::string many;
    for (int i = 0; i < 5000; ++i) many += emoji;
    const struct {
        TFileEncoding Encoding;
        std::string Bytes;
        std::vector<bool> Own;  // of each line, all found by "."
    } cases[] = {
        {{TEncoding::Utf8, false}, "～ full-width tilde\n〜 wave dash\nx" + emoji + "\n￢～\n", {true, false, false, true}},
        {{TEncoding::Utf8, false}, many + "\nplain\n" + many + "a\nb\n", {false, true, false, true}},
        // ≒ of JIS X 0208 and NEC's (0xADF0), which reads back as the former.
        {{TEncoding::EucJp, false}, "\xA2\xE2\n\xAD\xF0\n\xA2\xE2\n", {true, false, true}},
        {{TEncoding::Sjis, false}, "\x87\x90\n", {true}},
    };
    test::TTempDir dir;
    const Program program = Compiled(".", false);
    for (const auto& c : cases) {
        const std::string path = dir.File("t.txt", c.Bytes);
        std::atomic<bool> cancel{false};
        TFileSearcher searcher(*program, cancel, {}, {c.Encoding});
        std::vector<bool> own;
        std::vector<std::pair<std::int64_t, std::uint64_t>> near;  // where a line's own text is read from
        searcher.Run(path, [&](const RE_LineInfo_t& info) {
            std::optional<std::uint64_t> at;
            own.push_back(searcher.ShowsOwnText(info, &at));
            if (at) near.emplace_back(info.LineNo, *at);
        });
        EXPECT_EQ(own, c.Own) << EncodingName(c.Encoding) << " " << c.Bytes.substr(0, 40);
        for (const auto& [lineNo, at] : near) {
            std::string fromThere, byNumber;
            ASSERT_TRUE(TSourceText(path, c.Encoding).Utf8Line(lineNo, fromThere, at));
            ASSERT_TRUE(TSourceText(path, c.Encoding).Utf8Line(lineNo, byNumber));
            EXPECT_EQ(fromThere, byNumber) << EncodingName(c.Encoding) << " line " << lineNo;
        }
    }
}

}  // namespace
}  // namespace xavo
