// The main window's settings rows through the INI store: designed values when the file
// is missing, the order and encodings written, the "GrepMode" rule, damaged values.
#include "MainSettings.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace xavo {
namespace {

class MainSettingsTest : public ::testing::Test {
protected:
    ZEziDE Store() {
        ZEziDE store(TProgramPlaces{Dir.Path("bin/xavoline"), Dir.Path("config/")});
        store.SetFileName(Path());
        store.Loaded();
        return store;
    }
    std::string Path() const { return Dir.Path("Xavoline.ini"); }
    std::string File() const {
        std::ifstream in(Path(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The keys of Section in file order.
    std::vector<std::string> KeysOf(const std::string& section) const {
        std::istringstream lines(File());
        std::vector<std::string> keys;
        bool inside = false;
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty() && line.front() == '[') {
                inside = line == "[" + section + "]";
            } else if (inside && line.find('=') != std::string::npos) {
                keys.push_back(line.substr(0, line.find('=')));
            }
        }
        return keys;
    }

    test::TTempDir Dir;
};

TMainSettings Changed() {
    TMainSettings s;
    s.Main = {0, 3, -1, -1, 10, 20, 700, 580};
    s.WordList = {"\x8a\xbf\x8e\x9a", "abc"};
    s.SettingList = {"home"};
    s.SettingPath = {"home@/home/me/@*.txt"};
    s.EditFont.Size = 12;
    s.EditFont.Style = fsBold;
    s.GEditFont.Name = "IPAGothic";
    s.GEditFont.Color = 0x0000FF;
    s.GrepExe = "/opt/qgrep/qgrep";
    s.GrepOpt = "-x";
    s.Vbar = 300;
    s.Hbar = 200;
    s.DTVh = 100;
    s.GrepMode = TGrepScope::Recursive;
    s.ShowQGC = false;
    s.Fuzzy = false;
    s.WordWrap = false;
    s.VertBar = true;
    s.StatusBar = false;
    s.HideLPanel = true;
    s.HalfScroll = true;
    s.ToolBar = false;
    s.AddDir = false;
    s.PlainText = false;
    s.JAGREP = false;
    s.Migemo = true;
    s.BackGround = 0x00C0FFEE;
    return s;
}

TEST_F(MainSettingsTest, AMissingFileKeepsEveryDesignedValueAndIsNotCreated) {
    ZEziDE store = Store();
    TMainSettings s;
    ReadMainSettings(store, s);
    EXPECT_EQ(s, TMainSettings());
    EXPECT_EQ(s.GrepOpt, "-1+ -c -E");
    EXPECT_EQ(s.GrepMode, TGrepScope::Directory);
    EXPECT_EQ(s.BackGround, clWindow);
    EXPECT_FALSE(std::filesystem::exists(Path()));
}

TEST_F(MainSettingsTest, MissingSwitchesTakeTheirDesignedValueAndOtherRowsTheCurrentOne) {
    ZEziDE store = Store();
    TMainSettings s = Changed();
    ReadMainSettings(store, s);
    TMainSettings expected = Changed();  // placement, lists, fonts and pane sizes stay
    const TMainSettings designed;
    expected.GrepExe = designed.GrepExe;
    expected.GrepOpt = designed.GrepOpt;
    expected.GrepMode = designed.GrepMode;
    expected.ShowQGC = expected.Fuzzy = expected.WordWrap = expected.StatusBar = expected.ToolBar = true;
    expected.AddDir = expected.PlainText = expected.JAGREP = true;
    expected.VertBar = expected.HideLPanel = expected.HalfScroll = expected.Migemo = false;
    EXPECT_EQ(s, expected);
}

TEST_F(MainSettingsTest, EveryRowRoundTrips) {
    ZEziDE store = Store();
    WriteMainSettings(store, Changed());
    TMainSettings read;
    ZEziDE again = Store();
    ReadMainSettings(again, read);
    EXPECT_EQ(read, Changed());
}

TEST_F(MainSettingsTest, RowsAreWrittenInOrderWithGrepModeLast) {
    ZEziDE store = Store();
    WriteMainSettings(store, TMainSettings());
    const std::vector<std::string> expected = {"GrepExe",   "GrepOpt",    "Vbar",       "Hbar",    "DTVh",
                                               "ShowQGC",   "Fuzzy",      "WordWrap",   "VertBar", "StatusBar",
                                               "HideLPanel", "HalfScroll", "ToolBar",   "AddDir",  "PlainText",
                                               "JAGREP",    "Migemo",     "BackGround", "GrepMode"};
    EXPECT_EQ(KeysOf("option"), expected);
    EXPECT_EQ(KeysOf("Setting"), std::vector<std::string>{"SettingList.Count"});
    EXPECT_NE(File().find("BackGround=0x80000005"), std::string::npos);
    EXPECT_NE(File().find("[WindowPos]"), std::string::npos);
    EXPECT_LT(File().find("[WindowPos]"), File().find("[GrepWord]"));
    EXPECT_LT(File().find("[GFont]"), File().find("[option]"));
}

TEST_F(MainSettingsTest, AnUnknownGrepModeKeepsTheDirectoryScopeAndIsWrittenBackAsOne) {
    for (const char* stored : {"7", "-1", "3", "x"}) {
        {
            std::ofstream(Path(), std::ios::binary | std::ios::trunc) << "[option]\r\nGrepMode=" << stored << "\r\n";
        }
        ZEziDE store = Store();
        TMainSettings s;
        ReadMainSettings(store, s);
        EXPECT_EQ(s.GrepMode, TGrepScope::Directory) << stored;
        WriteMainSettings(store, s);
        EXPECT_NE(File().find("GrepMode=1\r\n"), std::string::npos) << stored;
    }
    std::ofstream(Path(), std::ios::binary | std::ios::trunc) << "[option]\r\nGrepMode=0\r\n";
    ZEziDE store = Store();
    TMainSettings s;
    ReadMainSettings(store, s);
    EXPECT_EQ(s.GrepMode, TGrepScope::SelectedFile);
}

TEST_F(MainSettingsTest, NoCheckedScopeWritesNoGrepMode) {
    ZEziDE store = Store();
    TMainSettings s;
    s.GrepMode = std::nullopt;
    WriteMainSettings(store, s);
    EXPECT_EQ(File().find("GrepMode"), std::string::npos);
}

TEST_F(MainSettingsTest, DamagedValuesFallBackToTheCurrentOnes) {
    std::ofstream(Path(), std::ios::binary) << "[option]\r\nBackGround=0xZZZZZZZZ\r\nVbar=tall\r\nWordWrap=maybe\r\n"
                                               "[GrepWord]\r\nWordList.Count=999999999\r\n";
    ZEziDE store = Store();
    TMainSettings s;
    ASSERT_NO_THROW(ReadMainSettings(store, s));
    EXPECT_EQ(s.BackGround, clWindow);
    EXPECT_EQ(s.Vbar, kDesignedMemoHeight);
    EXPECT_LE(s.WordList.size(), static_cast<std::size_t>(ZEziDE::kMaxListCount));
}

TEST_F(MainSettingsTest, NoDamagedValueOfAnyKeyStopsTheRead) {
    // Every key the window writes, each in turn holding each kind of garbage.
    {
        ZEziDE store = Store();
        WriteMainSettings(store, Changed());
    }
    const std::string written = File();
    std::vector<std::pair<std::string, std::string>> keys;  // section, key
    std::istringstream lines(written);
    std::string section;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') section = line.substr(1, line.size() - 2);
        else if (line.find('=') != std::string::npos) keys.emplace_back(section, line.substr(0, line.find('=')));
    }
    ASSERT_GT(keys.size(), 40u);
    const std::string garbage[] = {"", "black", "0x", "oops", "$", "-", "0xZZ", "99999999999", "-2147483648",
                                   "2147483647", "\x82", "\"", std::string(3000, '9')};
    for (const auto& [sectionName, key] : keys) {
        for (const std::string& value : garbage) {
            std::ofstream(Path(), std::ios::binary | std::ios::trunc)
                << "[" << sectionName << "]\r\n" << key << "=" << value << "\r\n";
            ZEziDE store = Store();
            TMainSettings s;
            ASSERT_NO_THROW(ReadMainSettings(store, s)) << key << "=" << value;
        }
    }
}

TEST_F(MainSettingsTest, AFontWithADamagedColourStaysAsItWas) {
    for (const char* color : {"black", "", "0x", "oops"}) {
        std::ofstream(Path(), std::ios::binary | std::ios::trunc)
            << "[Font]\r\nEditFont.Name=IPAGothic\r\nEditFont.Color=" << color << "\r\n"
            << "[GFont]\r\nGEditFont.Color=" << color << "\r\n";
        ZEziDE store = Store();
        TMainSettings s;
        ASSERT_NO_THROW(ReadMainSettings(store, s)) << color;
        EXPECT_EQ(s.EditFont, TFontSpec()) << color;
        EXPECT_EQ(s.GEditFont, TFontSpec()) << color;
    }
}

TEST_F(MainSettingsTest, AFileThatCannotBeWrittenRaisesTheStoresError) {
    ZEziDE store(TProgramPlaces{Dir.Path("bin/xavoline"), Dir.Path("config/")});
    store.SetFileName(Dir.Path("no/such/dir/Xavoline.ini"));  // fails for root too
    store.Loaded();
    EXPECT_THROW(WriteMainSettings(store, TMainSettings()), EIniFileError);
}

}  // namespace
}  // namespace xavo
