// ZEziDE: where the file goes, the fences and every value encoding with its read rule.
#include "IniGT.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

namespace xavo {
namespace {

using test::ReadWhole;
using test::TTempDir;
using test::WriteWhole;

constexpr char kOpen = '\xA2';   // ｢
constexpr char kClose = '\xA3';  // ｣

// A store on a file of a scratch directory, optionally filled with Content first.
class StoreTest : public ::testing::Test {
protected:
    ZEziDE Store(const std::string& content = {}) {
        if (!content.empty()) WriteWhole(Path(), content);
        ZEziDE store(TProgramPlaces{Dir.Path("bin/xavoline"), Dir.Path("config/xavoline/")});
        store.SetFileName(Path());
        return store;
    }
    std::string Path() const { return Dir.Path("a.ini"); }
    std::string File() const { return ReadWhole(Path()); }

    TTempDir Dir;
};

TEST(IniPlaces, DefaultFileNameFollowsTheProgram) {
    const struct {
        const char* exe;
        const char* name;
    } cases[] = {
        {"/usr/bin/xavoline", "Xavoline.ini"}, {"/opt/XAVOLINE.EXE", "Xavoline.ini"},
        {"/a.b/prog", "Prog.ini"},             {"/x/my.app.bin", "My.app.ini"},
        {"/x/1st", "1st.ini"},                 {"xavoline", "Xavoline.ini"},
    };
    for (const auto& c : cases) EXPECT_EQ(DefaultIniFileName(c.exe), c.name) << c.exe;
}

TEST(IniPlaces, ResolutionByDefaultDir) {
    TTempDir dir;
    const TProgramPlaces writable{dir.Path("xavoline"), "/cfg/xavoline/"};
    const TProgramPlaces nowhere{dir.Path("missing/xavoline"), "/cfg/xavoline/"};  // access fails even for root
    const TProgramPlaces installed{dir.Path("xavoline"), "/cfg/xavoline/", true};
    const struct {
        std::string name;
        ZEziDEDefaultDir dd;
        TProgramPlaces places;
        std::string path;
        bool create;
    } cases[] = {
        {"X.ini", ddApplication, writable, dir.Path("X.ini"), false},
        {"X.ini", ddApplication, nowhere, "/cfg/xavoline/X.ini", true},
        {"X.ini", ddApplication, installed, "/cfg/xavoline/X.ini", true},
        {"X.ini", ddWindows, writable, "/cfg/xavoline/X.ini", true},
        {"X.ini", ddNone, writable, "X.ini", false},
        {"sub/a.ini", ddApplication, writable, "sub/a.ini", false},  // a directory part wins
        {"sub/a.ini", ddWindows, writable, "sub/a.ini", false},
        {"/abs/a.ini", ddNone, writable, "/abs/a.ini", false},
    };
    for (const auto& c : cases) {
        const TIniLocation got = ResolveIniPath(c.name, c.dd, c.places);
        EXPECT_EQ(got.Path, c.path) << c.name << " " << int(c.dd);
        EXPECT_EQ(got.CreateDirectory, c.create) << c.name << " " << int(c.dd);
    }
}

TEST(IniPlaces, RunningProgramAndConfigurationDirectory) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    const std::string savedHome = oldHome ? oldHome : "";
    setenv("XDG_CONFIG_HOME", "/xdg/conf", 1);
    const TProgramPlaces places = RunningProgramPlaces();
    EXPECT_NE(places.ExeFile.find("settings_tests"), std::string::npos) << places.ExeFile;
    EXPECT_EQ(places.ConfigDir, "/xdg/conf/xavoline/");
    EXPECT_FALSE(places.Installed);  // a build tree has no installed data beside its programs
    setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(RunningProgramPlaces().ConfigDir, "/home/someone/.config/xavoline/");
    for (const auto& [name, was, value] : {std::tuple{"XDG_CONFIG_HOME", oldXdg, savedXdg}, {"HOME", oldHome, savedHome}}) {
        if (was) {
            setenv(name, value.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
}

TEST(IniPlaces, StoreSetUp) {
    TTempDir dir;
    ZEziDE store(TProgramPlaces{dir.Path("bin/xavoline"), dir.Path("cfg/xavoline/")});
    EXPECT_EQ(store.DefaultDir(), ddApplication);
    EXPECT_EQ(store.Fence(), fnNone);
    EXPECT_EQ(store.FileName(), "");
    EXPECT_EQ(store.IniPath(), "");
    // bin/ does not exist, so the program's directory is not writable: the configuration
    // directory is used, and made on the first write.
    store.Loaded();
    EXPECT_EQ(store.FileName(), "Xavoline.ini");
    EXPECT_EQ(store.IniPath(), dir.Path("cfg/xavoline/Xavoline.ini"));
    store.WriteInteger("option", "Vbar", 269);
    EXPECT_EQ(ReadWhole(dir.Path("cfg/xavoline/Xavoline.ini")), "[option]\r\nVbar=269\r\n");

    store.SetDefaultDir(ddNone);
    EXPECT_EQ(store.IniPath(), "Xavoline.ini");
    store.SetFileName(dir.Path("given.ini"));
    store.Loaded();  // a name is set: Loaded keeps it
    EXPECT_EQ(store.IniPath(), dir.Path("given.ini"));
}

TEST_F(StoreTest, FencesWriteAndStrip) {
    const struct {
        ZEziDEFence fence;
        std::string stored;
    } cases[] = {
        {fnDoubleQuote, "\"abc\""},
        {fnParenthesis, std::string(1, kOpen) + "abc" + kClose},
        {fnVer11Mode, std::string(1, kOpen) + "abc" + kClose},
        {fnNone, "abc"},
    };
    for (const auto& c : cases) {
        ZEziDE store = Store();
        store.SetFence(c.fence);
        store.WriteFencedString("s", "k", "abc");
        EXPECT_EQ(store.ReadRawString("s", "k", ""), c.fence == fnDoubleQuote ? "abc" : c.stored);
        EXPECT_EQ(File(), "[s]\r\nk=" + c.stored + "\r\n") << int(c.fence);
        EXPECT_EQ(store.ReadFencedString("s", "k", ""), "abc") << int(c.fence);
        EXPECT_EQ(store.ReadFencedString("s", "missing", "de f"), "de f") << int(c.fence);
    }
}

TEST_F(StoreTest, FencedReadRules) {
    const std::string open(1, kOpen);
    const struct {
        ZEziDEFence fence;
        std::string stored;
        std::string read;
    } cases[] = {
        {fnNone, "  abc  ", "abc"},
        {fnNone, "\"abc\"", "abc"},                       // the file layer drops the quotes
        {fnVer11Mode, "\"abc\"", "abc"},
        {fnVer11Mode, open + "abc" + kClose, "abc"},
        {fnVer11Mode, open, open},                         // too short to strip
        {fnVer11Mode, open + "abc\"", open + "abc\""},     // marks of two kinds
        {fnDoubleQuote, open + "abc" + kClose, open + "abc" + kClose},
        {fnDoubleQuote, "\"\"abc\"\"", "abc"},             // written fenced: both pairs go
        {fnParenthesis, "\"" + open + "abc" + kClose + "\"", "abc"},
        {fnParenthesis, open + kClose, ""},
    };
    for (const auto& c : cases) {
        ZEziDE store = Store("[s]\nk=" + c.stored + "\n");
        store.SetFence(c.fence);
        EXPECT_EQ(store.ReadFencedString("s", "k", "def"), c.read) << int(c.fence) << " " << c.stored;
    }
}

TEST_F(StoreTest, IntegerReadRules) {
    const struct {
        const char* stored;
        std::int32_t read;
    } cases[] = {
        {"0x1F", 31},          {"$1F", 31},          {"0X1f", 31},         {"0x", -7},
        {"12abc", -7},         {"", -7},             {"-", -7},            {"$", -7},
        {"+7", 7},             {"007", 7},           {"0", 0},             {" 12 ", 12},
        {"1 2", -7},           {"-2147483648", INT32_MIN},                 {"2147483647", INT32_MAX},
        {"2147483648", -7},    {"-2147483649", -7},  {"$FFFFFFFF", -1},    {"0x80000005", INT32_MIN + 5},
        {"$123456789", -7},    {"0x-1", -7},         {"-$1", -7},          {"$1G", -7},
        {"99999999999999999999", -7},
    };
    std::string content = "[s]\n";
    for (std::size_t i = 0; i < std::size(cases); ++i) content += "k" + std::to_string(i) + "=" + cases[i].stored + "\n";
    ZEziDE store = Store(content);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(store.ReadInteger("s", "k" + std::to_string(i), -7), cases[i].read) << cases[i].stored;
    }
    EXPECT_EQ(store.ReadInteger("s", "missing", -7), -7);
}

TEST_F(StoreTest, IntegersAndBooleans) {
    ZEziDE store = Store();
    for (const std::int32_t v : {0, 1, -1, 269, INT32_MIN, INT32_MAX}) {
        store.WriteInteger("s", "i", v);
        EXPECT_EQ(store.ReadInteger("s", "i", 5), v);
    }
    store.WriteBool("s", "t", true);
    store.WriteBool("s", "f", false);
    EXPECT_EQ(File(), "[s]\r\ni=2147483647\r\nt=1\r\nf=0\r\n");
    EXPECT_TRUE(store.ReadBool("s", "t", false));
    EXPECT_FALSE(store.ReadBool("s", "f", true));
    EXPECT_TRUE(store.ReadBool("s", "missing", true));

    ZEziDE stored = Store("[s]\ntwo=2\nminus=-1\nword=yes\nhex=0x0\n");
    EXPECT_TRUE(stored.ReadBool("s", "two", false));
    EXPECT_TRUE(stored.ReadBool("s", "minus", false));
    EXPECT_TRUE(stored.ReadBool("s", "word", true));  // not a number: the default
    EXPECT_FALSE(stored.ReadBool("s", "word", false));
    EXPECT_FALSE(stored.ReadBool("s", "hex", true));
}

TEST_F(StoreTest, HexAndColourWriteEightUpperCaseDigits) {
    ZEziDE store = Store();
    store.WriteColor("option", "BackGround", clWindow);
    store.WriteHex("option", "h", 65280);
    store.WriteHex("option", "m", -1);
    EXPECT_EQ(File(), "[option]\r\nBackGround=0x80000005\r\nh=0x0000FF00\r\nm=0xFFFFFFFF\r\n");
    EXPECT_EQ(store.ReadColor("option", "BackGround", 0), clWindow);
    EXPECT_EQ(store.ReadHex("option", "m", 0), -1);
    EXPECT_EQ(store.ReadColor("option", "missing", clWindowText), clWindowText);
}

TEST_F(StoreTest, HexReadTakesBytesThreeToTen) {
    const struct {
        const char* stored;
        std::int32_t read;
    } cases[] = {
        {"0x0000FF00", 65280}, {"ZZ000000FF", 255}, {"0xFF", 255},
        {"255", 5},            {"0x123456789A", 0x12345678}, {"0xabcdef01", static_cast<std::int32_t>(0xABCDEF01)},
    };
    std::string content = "[c]\n";
    for (std::size_t i = 0; i < std::size(cases); ++i) content += "k" + std::to_string(i) + "=" + cases[i].stored + "\n";
    ZEziDE store = Store(content);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(store.ReadHex("c", "k" + std::to_string(i), 0), cases[i].read) << cases[i].stored;
    }
}

TEST_F(StoreTest, HexThatDoesNotConvertRaisesTheConversionError) {
    ZEziDE store = Store("[c]\nshort=0x\nbad=0xGG\nblank=0x 1\n");
    const struct {
        const char* key;
        const char* text;
    } cases[] = {{"short", "$"}, {"bad", "$GG"}, {"blank", "$ 1"}};
    for (const auto& c : cases) {
        try {
            store.ReadColor("c", c.key, 0);
            ADD_FAILURE() << "no error for " << c.key;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(c.text) + "' は整数ではありません");
            EXPECT_EQ(e.Text, c.text);
        }
    }
}

TEST_F(StoreTest, StringListsRoundTripWithEveryFence) {
    const std::vector<std::string> list{"first", "", "  padded", "\x83\x5c\x83\x74\x83\x67", "x=y"};
    for (const ZEziDEFence fence : {fnDoubleQuote, fnParenthesis, fnVer11Mode}) {
        ZEziDE store = Store();
        store.SetFence(fence);
        store.WriteStrings("GrepWord", "WordList", list);
        std::vector<std::string> read{"old"};
        store.ReadStrings("grepword", "wordlist", read);
        EXPECT_EQ(read, list) << int(fence);
    }
}

TEST_F(StoreTest, StringListLayoutAndStems) {
    ZEziDE store = Store();
    store.WriteStrings("Setting", "SettingList", {"a", "b", "c", "d", "e"});
    store.WriteStrings("Setting", "SettingList", {"x", "y"});
    EXPECT_EQ(File(),
              "[Setting]\r\nSettingList.Count=2\r\nSettingList.0=x\r\nSettingList.1=y\r\n"
              "SettingList.2=c\r\nSettingList.3=d\r\nSettingList.4=e\r\n");
    std::vector<std::string> read;
    store.ReadStrings("Setting", "settingList", read);  // read under another case
    EXPECT_EQ(read, (std::vector<std::string>{"x", "y"}));
}

TEST_F(StoreTest, StringListReadRules) {
    ZEziDE store = Store("[s]\nthree.Count=3\nthree.0=stored\ngap.Count=9\ngap.3=g3\ngap.1=g1\ngap.03=x\ngap.9=out\n"
                         "zero.Count=0\nneg.Count=-5\nbad.Count=x\nbad.0=b\n");
    const std::vector<std::string> current{"c0", "c1", "c2", "c3"};
    const struct {
        const char* stem;
        std::vector<std::string> startWith;
        std::vector<std::string> read;
    } cases[] = {
        {"three", current, {"stored", "c1", "c2"}},
        {"three", {"only"}, {"stored"}},  // no item 1 or 2 anywhere: not made up
        {"gap", {}, {"", "g1", "", "g3"}},
        {"gap", {"c0", "c1", "c2", "c3", "c4"}, {"c0", "g1", "c2", "g3", "c4"}},
        {"zero", current, {}},
        {"neg", current, {}},
        {"bad", {"k"}, {"b"}},        // a malformed count is the current count
        {"missing", current, current},
    };
    for (const auto& c : cases) {
        std::vector<std::string> list = c.startWith;
        store.ReadStrings("s", c.stem, list);
        EXPECT_EQ(list, c.read) << c.stem;
    }
}

TEST_F(StoreTest, AbsurdStoredCountIsLimited) {
    ZEziDE store = Store("[s]\nl.Count=2000000000\nl.0=a\nl.70=z\nl.99999=far\n");
    std::vector<std::string> list;
    store.ReadStrings("s", "l", list);
    ASSERT_EQ(list.size(), 71u);  // up to the last item stored within the limit
    EXPECT_EQ(list[0], "a");
    EXPECT_EQ(list[1], "");
    EXPECT_EQ(list[70], "z");
}

// A damaged count is not written back as a list of empty items.
TEST_F(StoreTest, ADamagedCountDoesNotGrowTheFile) {
    const std::string damaged = "[GrepWord]\r\nWordList.Count=2147483647\r\nWordList.0=a\r\nWordList.1=b\r\n";
    ZEziDE store = Store(damaged);
    std::vector<std::string> list{"current"};
    store.ReadStrings("GrepWord", "WordList", list);
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
    store.WriteStrings("GrepWord", "WordList", list);
    EXPECT_EQ(File(), "[GrepWord]\r\nWordList.Count=2\r\nWordList.0=a\r\nWordList.1=b\r\n");
}

TEST_F(StoreTest, FontsRoundTrip) {
    ZEziDE store = Store();
    const TFontSpec font{"\x82\x6c\x82\x72 \x96\xbe\x92\xa9", 12, fsBold | fsUnderline, 0x00FF00};
    store.WriteFont("Font", "EditFont", font);
    EXPECT_EQ(File(),
              "[Font]\r\nEditFont.Name=\x82\x6c\x82\x72 \x96\xbe\x92\xa9\r\nEditFont.Size=12\r\n"
              "EditFont.Style=5\r\nEditFont.Color=0x0000FF00\r\n");
    TFontSpec read;
    store.ReadFont("font", "editfont", read);
    EXPECT_EQ(read, font);
}

TEST_F(StoreTest, FontReadRules) {
    const TFontSpec current{"Current", 11, fsItalic, 0x123456};
    const std::string long40(40, 'f');
    const std::string kanaAt31 = std::string(30, 'f') + "\x82\xA0";  // あ would straddle the limit
    const std::string open(1, kOpen);
    const struct {
        std::string stored;
        TFontSpec read;
    } cases[] = {
        {"", current},  // nothing stored: the current values
        {"F.Name=\n", {kDefaultFontFace, 11, fsItalic, 0x123456}},  // empty face: the new font's
        {"F.Name=" + long40 + "\n", {std::string(31, 'f'), 11, fsItalic, 0x123456}},
        {"F.Name=" + kanaAt31 + "\n", {std::string(30, 'f'), 11, fsItalic, 0x123456}},
        {"F.Name=" + open + "Mono" + kClose + "\nF.Size=x\n", {"Mono", 11, fsItalic, 0x123456}},
        {"F.Name='Mono'\nF.Style=511\nF.Color=0x80000008\n", {"Mono", 11, 0xFF, clWindowText}},
    };
    for (const auto& c : cases) {
        ZEziDE store = Store("[s]\n" + c.stored);
        TFontSpec font = current;
        store.ReadFont("s", "F", font);
        EXPECT_EQ(font, c.read) << c.stored;
    }
}

TEST_F(StoreTest, FontWithABadColourIsLeftUnchanged) {
    ZEziDE store = Store("[s]\nF.Name=Other\nF.Size=20\nF.Color=0xNOPE\n");
    const TFontSpec current{"Current", 11, fsItalic, 0x123456};
    TFontSpec font = current;
    EXPECT_THROW(store.ReadFont("s", "F", font), EConvertError);
    EXPECT_EQ(font, current);
}

TEST_F(StoreTest, WindowPlacementKeysAndRules) {
    ZEziDE store = Store();
    const TWindowPlacement placement{0, 3, -1, -1, 500, 40, 100, 30};  // right < left kept
    store.WriteWindowPos("WindowPos", "Main", placement);
    EXPECT_EQ(File(),
              "[WindowPos]\r\nMain.Flags=0\r\nMain.Show=3\r\nMain.MaxX=-1\r\nMain.MaxY=-1\r\n"
              "Main.X=500\r\nMain.Y=40\r\nMain.XSize=100\r\nMain.YSize=30\r\n");
    TWindowPlacement read;
    store.ReadWindowPos("windowpos", "main", read);
    EXPECT_EQ(read, placement);

    ZEziDE partial = Store("[w]\nM.X=7\nM.YSize=junk\n");
    TWindowPlacement current{1, 1, 2, 3, 4, 5, 6, 8};
    partial.ReadWindowPos("w", "M", current);
    EXPECT_EQ(current, (TWindowPlacement{1, 1, 2, 3, 7, 5, 6, 8}));
    partial.ReadWindowPos("none", "M", current);
    EXPECT_EQ(current, (TWindowPlacement{1, 1, 2, 3, 7, 5, 6, 8}));
}

TEST_F(StoreTest, CompositeWriteRaisesTheWriteError) {
    WriteWhole(Dir.Path("plain"), "");
    ZEziDE store(TProgramPlaces{Dir.Path("xavoline"), Dir.Path("cfg/")});
    store.SetFileName(Dir.Path("plain/a.ini"));
    try {
        store.WriteFont("Font", "EditFont", TFontSpec{});
        ADD_FAILURE() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), Dir.Path("plain/a.ini") + " に書き込めません");
    }
}

}  // namespace
}  // namespace xavo
