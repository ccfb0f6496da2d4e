// Fuzzy table, synonym widening, the compiled-pattern cache and synonym files.
#include "RegularExpression.h"
#include "SynonymFile.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <filesystem>
#include <random>
#include <fstream>
#include <sys/stat.h>

namespace xavo {
namespace {

// The table as it must read when decoded from CP932, row by row.
const std::vector<std::vector<std::string>> kFuzzyRowsAsUnicode = {
    {"Ａ", "ａ", "A", "a"},
    {"Ｂ", "ｂ", "B", "b"},
    {"Ｃ", "ｃ", "C", "c"},
    {"Ｄ", "ｄ", "D", "d"},
    {"Ｅ", "ｅ", "E", "e"},
    {"Ｆ", "ｆ", "F", "f"},
    {"Ｇ", "ｇ", "G", "g"},
    {"Ｈ", "ｈ", "H", "h"},
    {"Ｉ", "ｉ", "I", "i"},
    {"Ｊ", "ｊ", "J", "j"},
    {"Ｋ", "ｋ", "K", "k"},
    {"Ｌ", "ｌ", "L", "l"},
    {"Ｍ", "ｍ", "M", "m"},
    {"Ｎ", "ｎ", "N", "n"},
    {"Ｏ", "ｏ", "O", "o"},
    {"Ｐ", "ｐ", "P", "p"},
    {"Ｑ", "ｑ", "Q", "q"},
    {"Ｒ", "ｒ", "R", "r"},
    {"Ｓ", "ｓ", "S", "s"},
    {"Ｔ", "ｔ", "T", "t"},
    {"Ｕ", "ｕ", "U", "u"},
    {"Ｖ", "ｖ", "V", "v"},
    {"Ｗ", "ｗ", "W", "w"},
    {"Ｘ", "ｘ", "X", "x"},
    {"Ｙ", "ｙ", "Y", "y"},
    {"Ｚ", "ｚ", "Z", "z"},
    {"0", "０", "零"},
    {"1", "１", "一", "①", "Ⅰ", "壱"},
    {"2", "２", "二", "②", "Ⅱ", "弐"},
    {"3", "３", "三", "③", "Ⅲ", "参"},
    {"4", "４", "四", "④", "Ⅳ"},
    {"5", "５", "五", "⑤", "Ⅴ", "伍"},
    {"6", "６", "六", "⑥", "Ⅵ"},
    {"7", "７", "七", "⑦", "Ⅶ"},
    {"8", "８", "八", "⑧", "Ⅷ"},
    {"9", "９", "九", "⑨", "Ⅸ"},
    {"　", " "},
    {"!", "！"},
    {"\"", "”"},
    {"#", "＃"},
    {"$", "＄"},
    {"%", "％"},
    {"&", "＆"},
    {"'", "’"},
    {"(", "（"},
    {")", "）"},
    {"*", "＊"},
    {"+", "＋"},
    {"ー", "～", "ｰ", ""},
    {"-", "ー", "－", "～", "ｰ"},
    {"･", "・"},
    {"/", "／"},
    {":", "："},
    {";", "；"},
    {"<", "＜"},
    {"=", "＝"},
    {">", "＞"},
    {"?", "？"},
    {"@", "＠"},
    {"[", "［", "〔"},
    {"\\", "￥"},
    {"]", "］", "〕"},
    {"^", "＾"},
    {"_", "＿"},
    {"{", "｛"},
    {"|", "｜"},
    {"}", "｝"},
    {"~", "￣"},
    {",", "､", "、", "，"},
    {"｡", ".", "。", "．"},
    {"「", "『", "｢"},
    {"」", "』", "｣"},
    {"ん", "ン", "ﾝ"},
    {"が", "ガ", "ｶﾞ", "か゛", "カ゛"},
    {"ぎ", "ギ", "ｷﾞ", "き゛", "キ゛"},
    {"ぐ", "グ", "ｸﾞ", "く゛", "ク゛"},
    {"げ", "ゲ", "ｹﾞ", "け゛", "ケ゛"},
    {"ご", "ゴ", "ｺﾞ", "こ゛", "コ゛"},
    {"ざ", "ザ", "ｻﾞ", "さ゛", "サ゛"},
    {"じ", "ジ", "ｼﾞ", "し゛", "シ゛", "ぢ", "ヂ", "ﾁﾞ", "ち゛", "チ゛"},
    {"ず", "ズ", "ｽﾞ", "す゛", "ス゛", "づ", "ヅ", "ﾂﾞ", "つ゛", "ツ゛"},
    {"ぜ", "ゼ", "ｾﾞ", "せ゛", "セ゛"},
    {"ぞ", "ゾ", "ｿﾞ", "そ゛", "ソ゛"},
    {"だ", "ダ", "ﾀﾞ", "た゛", "タ゛"},
    {"で", "デ", "ﾃﾞ", "て゛", "テ゛"},
    {"ど", "ド", "ﾄﾞ", "と゛", "ト゛"},
    {"ば", "バ", "ﾊﾞ", "は゛", "ハ゛", "ヴァ", "う゛ぁ", "ウ゛ァ", "ｳﾞｧ"},
    {"び", "ビ", "ﾋﾞ", "ひ゛", "ヒ゛", "ヴィ", "う゛ぃ", "ウ゛ィ", "ｳﾞｨ"},
    {"ぶ", "ブ", "ﾌﾞ", "ふ゛", "フ゛", "ヴ", "ウ゛", "う゛", "ｳﾞ"},
    {"べ", "ベ", "ﾍﾞ", "へ゛", "ヘ゛", "ヴェ", "う゛ぇ", "ウ゛ェ", "ｳﾞｪ"},
    {"ぼ", "ボ", "ﾎﾞ", "ほ゛", "ホ゛", "ヴォ", "う゛ぉ", "ウ゛ォ", "ｳﾞｫ"},
    {"ぱ", "パ", "ﾊﾟ", "は゜", "ハ゜"},
    {"ぴ", "ピ", "ﾋﾟ", "ひ゜", "ヒ゜"},
    {"ぷ", "プ", "ﾌﾟ", "ふ゜", "フ゜"},
    {"ぺ", "ペ", "ﾍﾟ", "へ゜", "ヘ゜"},
    {"ぽ", "ポ", "ﾎﾟ", "ほ゜", "ホ゜"},
    {"あ", "ア", "ｱ", "ぁ", "ァ", "ｧ"},
    {"い", "イ", "ｲ", "ぃ", "ィ", "ｨ"},
    {"う", "ウ", "ｳ", "ぅ", "ゥ", "ｩ"},
    {"え", "エ", "ｴ", "ぇ", "ェ", "ｪ"},
    {"お", "オ", "ｵ", "ぉ", "ォ", "ｫ"},
    {"か", "カ", "ｶ"},
    {"き", "キ", "ｷ"},
    {"く", "ク", "ｸ"},
    {"け", "ケ", "ｹ"},
    {"こ", "コ", "ｺ"},
    {"さ", "サ", "ｻ"},
    {"し", "シ", "ｼ"},
    {"す", "ス", "ｽ"},
    {"せ", "セ", "ｾ"},
    {"そ", "ソ", "ｿ"},
    {"た", "タ", "ﾀ"},
    {"ち", "チ", "ﾁ"},
    {"つ", "ツ", "ﾂ", "っ", "ッ", "ｯ"},
    {"て", "テ", "ﾃ"},
    {"と", "ト", "ﾄ"},
    {"な", "ナ", "ﾅ"},
    {"に", "ニ", "ﾆ"},
    {"ぬ", "ヌ", "ﾇ"},
    {"ね", "ネ", "ﾈ"},
    {"の", "ノ", "ﾉ"},
    {"は", "ハ", "ﾊ"},
    {"ひ", "ヒ", "ﾋ"},
    {"ふ", "フ", "ﾌ"},
    {"へ", "ヘ", "ﾍ"},
    {"ほ", "ホ", "ﾎ"},
    {"ま", "マ", "ﾏ"},
    {"み", "ミ", "ﾐ"},
    {"む", "ム", "ﾑ"},
    {"め", "メ", "ﾒ"},
    {"も", "モ", "ﾓ"},
    {"や", "ヤ", "ﾔ", "ゃ", "ャ", "ｬ"},
    {"ゆ", "ユ", "ﾕ", "ゅ", "ュ", "ｭ"},
    {"よ", "ヨ", "ﾖ", "ょ", "ョ", "ｮ"},
    {"ら", "ラ", "ﾗ"},
    {"り", "リ", "ﾘ"},
    {"る", "ル", "ﾙ"},
    {"れ", "レ", "ﾚ"},
    {"ろ", "ロ", "ﾛ"},
    {"わ", "ワ", "ﾜ", "うぁ", "ウァ", "ｳｧ"},
    {"ヰ", "ゐ", "うぃ", "ウィ", "ｳｨ"},
    {"ヱ", "ゑ", "うぇ", "ウェ", "ｳｪ"},
    {"を", "ヲ", "ｦ", "うぉ", "ウォ", "ｳｫ"},
    {"ﾞ", "゛"},
    {"ﾟ", "゜"},
};

std::string Cp932ToUtf8(const std::string& bytes) {
    UErrorCode status = U_ZERO_ERROR;
    std::string out(bytes.size() * 3 + 1, '\0');
    const int32_t n = ucnv_convert("UTF-8", "windows-31j", out.data(), static_cast<int32_t>(out.size()),
                                   bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string Utf8ToCp932(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    std::string out(text.size() * 2 + 1, '\0');
    const int32_t n = ucnv_convert("windows-31j", "UTF-8", out.data(), static_cast<int32_t>(out.size()),
                                   text.data(), static_cast<int32_t>(text.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

TEST(FuzzyCharTable, EveryItemDecodesToTheCharactersOfItsRow) {
    const TREDictionary& table = FuzzyCharTable();
    ASSERT_EQ(table.size(), 145u);
    ASSERT_EQ(kFuzzyRowsAsUnicode.size(), 145u);
    for (std::size_t row = 0; row < table.size(); ++row) {
        ASSERT_EQ(table[row].size(), kFuzzyRowsAsUnicode[row].size()) << "row " << row;
        for (std::size_t k = 0; k < table[row].size(); ++k)
            EXPECT_EQ(Cp932ToUtf8(table[row][k]), kFuzzyRowsAsUnicode[row][k]) << "row " << row << " item " << k;
    }
    // The two characters whose CP932 code matters: full-width tilde and yen sign.
    EXPECT_EQ(table[48][1], "\x81\x60");
    EXPECT_EQ(table[60][1], "\x81\x8f");
    EXPECT_EQ(table[48][3], "");
}

// Pattern (UTF-8 here for readability) widened with the given dictionaries, back in UTF-8.
std::string Widen(const std::string& pattern, bool fuzzy, const TREDictionary* synonyms = nullptr) {
    TREPreProcessor pre;
    pre.FFuzzyCharDics.push_back(&FuzzyCharTable());
    if (synonyms != nullptr) pre.FSynonymDics.push_back(synonyms);
    pre.FUseFuzzyCharDic = fuzzy;
    pre.FUseSynonymDic = synonyms != nullptr;
    pre.SetText(Utf8ToCp932(pattern));
    pre.Run();
    return Cp932ToUtf8(pre.FProcessedRegExp);
}

TEST(PreProcessor, FuzzyWidening) {
    struct Row {
        const char* pattern;
        const char* widened;
    };
    const Row rows[] = {
        {"a", "(Ａ|ａ|A|a)"},
        {"が", "(が|ガ|ｶﾞ|か゛|カ゛)"},
        {"ｶﾞ", "(が|ガ|ｶﾞ|か゛|カ゛)"},
        {"1", "(1|１|一|①|Ⅰ|壱)"},
        {" ", "(　| )"},
        {"\\.", "(｡|\\.|。|．)"},
        {".", "."},
        {"[ab]", "[ab]"},
        {"[^ab]", "[^ab]"},
        {"[a-z]", "[a-z]"},
        {"a*", "(Ａ|ａ|A|a)*"},
        {"\\\\", "(\\\\|￥)"},
        {"ー", "(ー|～|ｰ|)"},
        {"-", "(-|ー|－|～|ｰ)"},
        {"うぁ", "(う|ウ|ｳ|ぅ|ゥ|ｩ)(あ|ア|ｱ|ぁ|ァ|ｧ)"},
        {"ヴァ", "(ば|バ|ﾊﾞ|は゛|ハ゛|ヴァ|う゛ぁ|ウ゛ァ|ｳﾞｧ)"},
        {"ｳﾞｧ", "(ば|バ|ﾊﾞ|は゛|ハ゛|ヴァ|う゛ぁ|ウ゛ァ|ｳﾞｧ)"},
        {"漢", "漢"},
        {"\\x41", "(Ａ|ａ|A|a)"},
        {"^a$", "^(Ａ|ａ|A|a)$"},
        {"(x|y)", "((Ｘ|ｘ|X|x)|(Ｙ|ｙ|Y|y))"},
        {"\"", "(\"|”)"},
        {",", "(,|､|、|，)"},
        {"ソ", "(そ|ソ|ｿ)"},
    };
    for (const Row& row : rows) EXPECT_EQ(Widen(row.pattern, true), row.widened) << row.pattern;
    EXPECT_EQ(Widen("abc", false), "abc");
}

TEST(PreProcessor, SynonymsBeforeFuzzy) {
    const TREDictionary cats = {{"cat", "dog", "tabby"}};
    EXPECT_EQ(Widen("a cat", false, &cats), "a (cat|dog|tabby)");
    EXPECT_EQ(Widen("dogma", false, &cats), "(cat|dog|tabby)ma");
    EXPECT_EQ(Widen("c.t", false, &cats), "c.t");
    EXPECT_EQ(Widen("[cat]", false, &cats), "[cat]");
    // The first group with any matching word wins, not the longest word.
    const TREDictionary groups = {{"ab", "x"}, {"abc", "y"}};
    EXPECT_EQ(Widen("abc", false, &groups), "(ab|x)c");
    // Words with metacharacters are escaped in the group.
    const TREDictionary meta = {{"C++", "cpp"}};
    EXPECT_EQ(Widen("cpp", false, &meta), "(C\\+\\+|cpp)");
    // Both on: each letter of the inserted group is widened by the table.
    const TREDictionary cat = {{Utf8ToCp932("猫"), Utf8ToCp932("ねこ")}};
    EXPECT_EQ(Widen("猫", true, &cat), "(猫|(ね|ネ|ﾈ)(こ|コ|ｺ))");
}

TEST(PreProcessor, ErrorsReachTheCaller) {
    TREPreProcessor pre;
    pre.FFuzzyCharDics.push_back(&FuzzyCharTable());
    pre.FUseFuzzyCharDic = true;
    pre.SetText("[abc");
    EXPECT_THROW(pre.Run(), ERegExpParser);
    const TREDictionary broken = {{"a\x82"}};
    pre.FSynonymDics.push_back(&broken);
    pre.FUseSynonymDic = true;
    pre.SetText("a");
    EXPECT_THROW(pre.Run(), ERegExpParser);
}

TEST(PreProcessor, LongPatternsWidenAsShortOnes) {
    // Long runs look words up by their first character; the choice must stay the same:
    // first group with any matching word, first such word, greedy from the left. 漢 is
    // in no group, so widening the pieces between them alone gives the same text.
    const TREDictionary groups = {{"ab", "x"}, {"abc", "y"}, {"", "b", "bc"}, {"c"}};
    std::vector<std::string> pool;
    for (const TREWordGroup& group : FuzzyCharTable())
        if (!group[0].empty()) pool.push_back(Cp932ToUtf8(EscapeMetaChars(group[0])));
    for (const char* more : {"ab", "abc", "bc", "c", "ｶﾞ", "うぁ"}) pool.push_back(more);
    std::mt19937 random(5);
    for (int round = 0; round < 20; ++round) {
        std::string whole, pieces;
        for (int piece = 0; piece < 12; ++piece) {
            std::string text;
            for (int i = 0; i < 6; ++i) text += pool[random() % pool.size()];
            whole += text + "漢";
            pieces += Widen(text, true, &groups) + "漢";
        }
        EXPECT_EQ(Widen(whole, true, &groups), pieces) << whole;
    }
}

TEST(PreProcessor, WideningPastItsBudgetIsRefusedAtOnce) {
    // A group of 45 KB that a one-letter word selects: 2,000 "a" would become 90 MB.
    TREDictionary big(1);
    big[0].push_back("a");
    while (big[0].size() < 5000) big[0].push_back("w" + std::to_string(big[0].size()) + "xyz");
    const TREDictionary small = {{"a", "(many|words)"}};
    struct Row {
        const TREDictionary* synonyms;
        std::size_t letters;
        bool fuzzy;
    };
    const Row rows[] = {{&big, 2000, false}, {&big, 2000, true}, {&big, 8, false}, {&small, 20000, false},
                        {nullptr, 25000, true}};
    for (const Row& row : rows) {
        TREPreProcessor pre;
        pre.FFuzzyCharDics.push_back(&FuzzyCharTable());
        if (row.synonyms != nullptr) pre.FSynonymDics.push_back(row.synonyms);
        pre.FUseFuzzyCharDic = row.fuzzy;
        pre.FUseSynonymDic = row.synonyms != nullptr;
        pre.SetText(std::string(row.letters, 'a'));
        try {
            pre.Run();
            ADD_FAILURE() << row.letters << " letters widened to " << pre.FProcessedRegExp.size() << " bytes";
        } catch (const ERegExpParser& e) {
            EXPECT_STREQ(e.what(), RegExpMessage::kTooComplex);
            EXPECT_EQ(e.Position, 0);
        }
    }
    // Within the budget nothing changes.
    TREPreProcessor pre;
    pre.FSynonymDics.push_back(&big);
    pre.FUseSynonymDic = true;
    pre.SetText("a");
    pre.Run();
    EXPECT_GT(pre.FProcessedRegExp.size(), 40000u);
}

TEST(RegularExpression, CacheRules) {
    TRegularExpression re;
    EXPECT_EQ(re.CacheSize(), 1);
    EXPECT_EQ(re.CompileCount(), 1);  // the permanent empty entry

    re.SetRegExp("abc");
    re.SetRegExp("abc");
    EXPECT_EQ(re.CompileCount(), 2);  // compiled once, then only selected
    EXPECT_EQ(re.CurrentIndex(), 1);

    re.SetRegExp("");
    EXPECT_EQ(re.CurrentIndex(), 0);
    EXPECT_EQ(re.CompileCount(), 2);

    // 29 distinct patterns fill the cache; the 30th evicts the first inserted even though
    // it was used again in between.
    TRegularExpression cache;
    for (int i = 0; i < 29; ++i) cache.SetRegExp("p" + std::to_string(i));
    EXPECT_EQ(cache.CacheSize(), 30);
    cache.SetRegExp("p0");
    EXPECT_EQ(cache.CurrentIndex(), 29);
    const int compiled = cache.CompileCount();
    cache.SetRegExp("p29");
    EXPECT_EQ(cache.CacheSize(), 30);
    EXPECT_EQ(cache.CurrentIndex(), 1);
    cache.SetRegExp("p0");
    EXPECT_EQ(cache.CompileCount(), compiled + 2);  // p0 had to be compiled again
    cache.SetRegExp("p28");
    EXPECT_EQ(cache.CompileCount(), compiled + 2);  // still cached
}

TEST(RegularExpression, FailedPatternLeavesNothingBehind) {
    TRegularExpression re;
    re.SetRegExp("abc");
    const int size = re.CacheSize();
    try {
        re.SetRegExp("(a");
        FAIL();
    } catch (const ERegExpParser& e) {
        EXPECT_STREQ(e.what(), "右(閉じ)括弧が必要です");
        EXPECT_EQ(e.Position, 3);
    }
    EXPECT_EQ(re.RegExp(), "");
    EXPECT_EQ(re.CurrentIndex(), 0);
    EXPECT_EQ(re.CacheSize(), size);
    EXPECT_TRUE(re.IsSimple());
    EXPECT_EQ(re.GetSimpleRegExpStr(), "");
}

TEST(RegularExpression, WideningErrorKeepsThePreviousPattern) {
    TRegularExpression re;
    re.FuzzyCharDics().push_back(&FuzzyCharTable());
    re.SetRegExp("abc");
    EXPECT_THROW(re.SetRegExp("ab\\"), ERegExpParser);  // no widening: found by the parser
    EXPECT_EQ(re.RegExp(), "");
}

// Whether the component's current DFA matches somewhere in LF + text + LF.
bool Finds(const TRegularExpression& re, const std::string& utf8Text) {
    std::vector<TCharCode> codes{0x0A};
    const std::string text = Utf8ToCp932(utf8Text);
    int pos = 1;
    while (pos <= static_cast<int>(text.size())) codes.push_back(NextChar(text, pos));
    codes.push_back(0x0A);
    for (std::size_t start = 0; start < codes.size(); ++start) {
        const TRE_DFAState* st = re.GetCurrentDFA().FStartState;
        for (std::size_t i = start; i < codes.size() && (st = TRegularExpression::NextState(st, codes[i])); ++i)
            if (st->Accepted) return true;
    }
    return false;
}

TEST(RegularExpression, FuzzyPatternsFindTheVariants) {
    TRegularExpression re(0x0A, 0x0A);
    re.FuzzyCharDics().push_back(&FuzzyCharTable());
    re.SetRegExp("ABC");
    EXPECT_FALSE(Finds(re, "abc"));

    // Switching fuzzy on re-stores the current pattern.
    re.SetUseFuzzyCharDic(true);
    EXPECT_EQ(re.RegExp(), "ABC");
    EXPECT_TRUE(Finds(re, "abc"));

    struct Row {
        const char* pattern;
        const char* text;
        bool found;
    };
    const Row rows[] = {
        {"ABC", "ＡＢＣ", true}, {"ABC", "abc", true},   {"ABC", "Abc", true},    {"ABC", "ABD", false},
        {"が", "が", true},      {"が", "ガ", true},     {"が", "ｶﾞ", true},     {"が", "か゛", true},
        {"が", "カ゛", true},    {"が", "か", false},    {"データ", "デタ", true}, {"データ", "デ～タ", true},
        {"データ", "ﾃﾞｰﾀ", true}, {"データ", "でーた", true}, {"1番", "①番", true}, {"1番", "壱番", true},
    };
    for (const Row& row : rows) {
        TRegularExpression r(0x0A, 0x0A);
        r.FuzzyCharDics().push_back(&FuzzyCharTable());
        r.SetUseFuzzyCharDic(true);
        r.SetRegExp(Utf8ToCp932(row.pattern));
        EXPECT_EQ(Finds(r, row.text), row.found) << row.pattern << " in " << row.text;
    }
}

}  // namespace
}  // namespace xavo

namespace xavo {
namespace {

TEST(RegularExpression, EveryFuzzyPatternOfFiftyCharactersCompiles) {
    // Characters drawn from every row of the table (each row's first item) plus plain ones.
    std::vector<std::string> pool;
    for (const TREWordGroup& group : FuzzyCharTable())
        if (!group[0].empty()) pool.push_back(EscapeMetaChars(group[0]));
    pool.push_back("\x8a\xbf");  // 漢
    std::mt19937 random(3);
    for (int round = 0; round < 40; ++round) {
        std::string pattern;
        for (int i = 0; i < 50; ++i) pattern += pool[random() % pool.size()];
        TRegularExpression re(0x0A, 0x0A);
        re.FuzzyCharDics().push_back(&FuzzyCharTable());
        re.SetUseFuzzyCharDic(true);
        EXPECT_NO_THROW(re.SetRegExp(pattern)) << round;
    }
    // The worst rows repeated: voiced kana with nine variants, optional prolonged marks.
    for (const char* worst : {"\x82\xce\x82\xd1\x82\xd4\x82\xd7\x82\xda", "\x81\x5b", "\x83\x94", "-"}) {
        std::string pattern;
        while (pattern.size() < 100) pattern += worst;
        TRegularExpression re(0x0A, 0x0A);
        re.FuzzyCharDics().push_back(&FuzzyCharTable());
        re.SetUseFuzzyCharDic(true);
        EXPECT_NO_THROW(re.SetRegExp(pattern)) << worst;
    }
}

}  // namespace
}  // namespace xavo
