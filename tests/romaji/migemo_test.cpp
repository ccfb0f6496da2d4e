// Romaji search: which patterns are expanded, the expansions of the real CP932 dictionary
// as the engine searches them, a missing dictionary, and the limit on expansions.
#include "Grep.h"
#include "Migemo.h"
#include "SjisCodec.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace xavo {
namespace {

std::string Sjis(const std::string& utf8) { return Utf8ToSjis(utf8); }

// The dictionary is read once for the whole program, as the window does.
TMigemo& Dictionary() {
    static TMigemo migemo(kMigemoDictionaryPath);
    return migemo;
}

TEST(Migemo, OperatorCharactersAreFoundOnlyAsCharactersOfTheirOwn) {
    const struct {
        std::string Pattern;
        bool Operator;
    } rows[] = {
        {"kensaku", false},
        {"hyou ji", false},
        {"a-b{c},d'e/f", false},  // characters the engine reads as themselves
        {Sjis("表ソ能"), false},  // trail byte 0x5C
        {"\x83\x5B\x83\x5D\x83\x5E\x81\x7C", false},  // ゼゾタ－: trail bytes 0x5B, 0x5D, 0x5E, 0x7C
        {"^ken", true},
        {"ken$", true},
        {"(ken)", true},
        {"ken|saku", true},
        {"ke*", true},
        {"ke+", true},
        {"ke?", true},
        {"k.n", true},
        {"[ke]", true},
        {"ke]", true},
        {"ke\\n", true},
        {Sjis("表") + ".", true},
    };
    for (const auto& row : rows) EXPECT_EQ(HasRegExpChars(row.Pattern), row.Operator) << SjisToUtf8(row.Pattern);
}

TEST(Migemo, PatternsSearchedAsWritten) {
    // Neither needs the dictionary, so a missing one does not matter.
    TMigemo missing("/nonexistent/migemo-dict");
    for (const std::string& pattern : std::vector<std::string>{"ken.*saku", "^abc", "   ", "\t", Sjis("　"), ""})
        EXPECT_EQ(missing.Expand(pattern), pattern);
}

// Lines of a Shift-JIS file that the engine finds for Pattern.
std::vector<int> MatchingLines(const std::string& pattern, const std::vector<std::string>& utf8Lines) {
    test::TTempDir dir;
    std::string text;
    for (const std::string& line : utf8Lines) text += Sjis(line) + "\r\n";
    const std::string path = dir.File("t.txt", text);
    TGrep grep;
    grep.SetRegExp(pattern);
    std::vector<int> lines;
    grep.OnMatch = [&](TGrep&, const RE_LineInfo_t& info) { lines.push_back(info.LineNo); };
    grep.GrepProc(path);
    return lines;
}

TEST(Migemo, RealDictionaryExpansionsFindTheJapaneseWords) {
    ASSERT_TRUE(Dictionary().Load()) << Dictionary().UnavailableMessage();
    const std::vector<std::string> text = {"全文検索の例", "ｹﾝｻｸ結果", "けんさくする", "ケンサク", "画面に表示する",
                                           "表情", "表計算", "kensaku", "KENSAKU", "無関係"};
    const struct {
        std::string Input;
        std::vector<std::string> Contains;  // pieces of the expansion (UTF-8)
        std::vector<int> Lines;
    } rows[] = {
        {"kensaku", {"検索", "ｹﾝｻｸ", "けんさく", "ケンサク", "kensaku"}, {1, 2, 3, 4, 8}},
        // 表 is 0x95 0x5C: its trail byte must not escape the class bracket after it.
        {"hyouji", {"表[", "ひょうじ"}, {5, 6}},
        // Words are expanded one by one and follow one another.
        {"kensaku suru", {"検索", "する"}, {3}},
        {"gamen ni", {"画面", "に"}, {5}},
        {Sjis("kensaku　no"), {"検索", "の"}, {1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(SjisToUtf8(row.Input));
        const std::string expansion = Dictionary().Expand(row.Input);
        for (const std::string& piece : row.Contains)
            EXPECT_NE(expansion.find(Sjis(piece)), std::string::npos) << piece << " in " << SjisToUtf8(expansion);
        EXPECT_EQ(MatchingLines(expansion, text), row.Lines);
    }
}

TEST(Migemo, WordsThatAreNotAsciiAreSearchedAsWritten) {
    // 末 is 0x96 0x96: two equal bytes must not read as a doubled consonant.
    ASSERT_TRUE(Dictionary().Load());
    for (const std::string word : {"末尾", "封筒", "演算", "試験", "給与", "血液", "一覧", "＝記号", "kenさく", "漢字"})
        EXPECT_EQ(Dictionary().Expand(Sjis(word)), Sjis(word)) << word;
    const std::string mixed = Dictionary().Expand(Sjis("kensaku 末尾"));
    EXPECT_NE(mixed.find(Sjis("検索")), std::string::npos) << SjisToUtf8(mixed);
    EXPECT_EQ(mixed.substr(mixed.size() - 6), Sjis("(末尾)")) << SjisToUtf8(mixed);
    EXPECT_EQ(MatchingLines(mixed, {"末尾", "検索末尾", "検索 末尾"}), (std::vector<int>{2}));
}

TEST(Migemo, EveryCharacterOfTheKeyboardExpandsToAPatternTheEngineCompiles) {
    // The library escapes what it takes for operators; whatever it writes must still be a
    // pattern of ours (a single letter also gives the longest expansions).
    ASSERT_TRUE(Dictionary().Load());
    for (char c = '!'; c <= '~'; ++c) {
        const std::string input(1, c);
        if (HasRegExpChars(input)) continue;
        TGrep grep;
        EXPECT_NO_THROW(grep.SetRegExp(Dictionary().Expand(input))) << input;
    }
}

TEST(Migemo, ExpansionsPastTheLimitAreRefusedAsTooComplex) {
    ASSERT_TRUE(Dictionary().Load());
    try {
        Dictionary().Expand("k k k");
        FAIL() << "three single letters expand past the limit";
    } catch (const ERegExpParser& e) {
        EXPECT_STREQ(e.what(), RegExpMessage::kTooComplex);
        EXPECT_EQ(e.Position, 0);
    }
    TMigemo tight(kMigemoDictionaryPath);
    tight.MaxExpansionBytes = 100;
    EXPECT_NO_THROW(tight.Expand("kensaku"));  // 81 bytes
    EXPECT_THROW(tight.Expand("kensaku hyouji"), ERegExpParser);  // 83 + 98
}

TEST(Migemo, MissingDictionaryIsReportedWithItsPackage) {
    TMigemo missing("/nonexistent/migemo-dict");
    EXPECT_EQ(CheckMigemoDictionary(missing.Dictionary(), nullptr, false), TMigemoProblem::Missing);
    missing.Prefetch();
    EXPECT_FALSE(missing.Load());
    try {
        missing.Expand("kensaku");
        FAIL() << "expanded without a dictionary";
    } catch (const EMigemoUnavailable& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("/nonexistent/migemo-dict"), std::string::npos) << message;
        EXPECT_NE(message.find(kMigemoPackage), std::string::npos) << message;
    }
}

TEST(Migemo, DictionariesTheLibraryCannotReadAreRefusedWithoutReadingThem) {
    // The library waits for ever on a FIFO, reads /dev/zero without end and crashes on NUL
    // bytes: each is refused, naming the file, before it gets there.
    test::TTempDir dir;
    const std::string real = std::string(kMigemoDictionaryPath);
    const std::string realDir = real.substr(0, real.rfind('/') + 1);
    const auto copy = [](const std::string& from, const std::string& to) {
        std::ifstream in(from, std::ios::binary);
        std::ofstream(to, std::ios::binary) << in.rdbuf();
    };
    ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(dir.Path("folder").c_str(), 0700), 0);
    const std::string huge = dir.File("huge", "a\tb\n");
    ASSERT_EQ(::truncate(huge.c_str(), kMaxMigemoDictionaryBytes + 1), 0);
    // A good dictionary beside a conversion table that is a FIFO.
    ASSERT_EQ(::mkdir(dir.Path("tables").c_str(), 0700), 0);
    copy(real, dir.Path("tables/migemo-dict"));
    for (const char* table : {"hira2kata.dat", "han2zen.dat", "zen2han.dat"}) copy(realDir + table, dir.Path("tables/") + table);
    ASSERT_EQ(::mkfifo(dir.Path("tables/roma2hira.dat").c_str(), 0600), 0);
    const struct {
        std::string Dictionary;
        TMigemoProblem Problem;
        std::string Culprit;
    } rows[] = {
        {dir.File("six", "abcdef"), TMigemoProblem::NotADictionary, dir.Path("six")},
        {dir.File("nul", std::string("\n\0\x82\x82\r\t", 6)), TMigemoProblem::NotADictionary, dir.Path("nul")},
        {dir.File("empty", ""), TMigemoProblem::NotADictionary, dir.Path("empty")},
        {"/dev/zero", TMigemoProblem::NotAFile, "/dev/zero"},
        {dir.Path("fifo"), TMigemoProblem::NotAFile, dir.Path("fifo")},
        {dir.Path("folder"), TMigemoProblem::NotAFile, dir.Path("folder")},
        {huge, TMigemoProblem::TooLarge, huge},
        {dir.Path("missing"), TMigemoProblem::Missing, dir.Path("missing")},
        {dir.Path("tables/migemo-dict"), TMigemoProblem::NotAFile, dir.Path("tables/roma2hira.dat")},
        {real, TMigemoProblem::None, real},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Dictionary);
        std::string culprit;
        EXPECT_EQ(CheckMigemoDictionary(row.Dictionary, &culprit), row.Problem);
        EXPECT_EQ(culprit, row.Culprit);
        // Without reading, only what the directory says is seen.
        const bool seenUnread = row.Problem != TMigemoProblem::NotADictionary;
        EXPECT_EQ(CheckMigemoDictionary(row.Dictionary, nullptr, false), seenUnread ? row.Problem : TMigemoProblem::None);
        if (row.Problem == TMigemoProblem::None) continue;
        TMigemo migemo(row.Dictionary);
        migemo.Prefetch();  // never blocks; the thread ends
        try {
            migemo.Expand("kensaku");
            ADD_FAILURE() << "expanded";
        } catch (const EMigemoUnavailable& e) {
            EXPECT_NE(std::string(e.what()).find(row.Culprit), std::string::npos) << e.what();
        }
        EXPECT_EQ(migemo.LoadState(), TMigemo::TLoadState::Failed);
        EXPECT_EQ(migemo.Problem(), row.Problem);
        EXPECT_EQ(migemo.ProblemFile(), row.Culprit);
    }
}

TEST(Migemo, ItsLoadStateIsKnownWithoutWaiting) {
    TMigemo migemo(kMigemoDictionaryPath);
    EXPECT_EQ(migemo.LoadState(), TMigemo::TLoadState::NotStarted);
    migemo.Prefetch();
    EXPECT_NE(migemo.LoadState(), TMigemo::TLoadState::NotStarted);
    EXPECT_TRUE(migemo.Load());
    EXPECT_EQ(migemo.LoadState(), TMigemo::TLoadState::Loaded);
    EXPECT_EQ(migemo.Problem(), TMigemoProblem::None);
}

TEST(Migemo, PrefetchOnAnotherThreadThenExpand) {
    TMigemo migemo(kMigemoDictionaryPath);
    migemo.Prefetch();
    migemo.Prefetch();  // once only
    EXPECT_NE(migemo.Expand("kensaku").find(Sjis("検索")), std::string::npos);
}

TEST(Migemo, DictionaryFromTheEnvironment) {
    setenv("XAVOLINE_MIGEMO_DICT", "/elsewhere/migemo-dict", 1);
    EXPECT_EQ(DefaultMigemoDictionary(), "/elsewhere/migemo-dict");
    setenv("XAVOLINE_MIGEMO_DICT", "", 1);
    EXPECT_EQ(DefaultMigemoDictionary(), kMigemoDictionaryPath);
    unsetenv("XAVOLINE_MIGEMO_DICT");
    EXPECT_EQ(DefaultMigemoDictionary(), kMigemoDictionaryPath);
}

}  // namespace
}  // namespace xavo
