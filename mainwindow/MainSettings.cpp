// Reading and writing the main window's settings rows (see MainSettings.h).
#include "MainSettings.h"

namespace xavo {
namespace {

constexpr const char* kOption = "option";

// One boolean row of the "option" section: its key and the field it fills.
struct TBoolRow {
    const char* Key;
    bool TMainSettings::*Field;
};

// In reading and writing order.
constexpr TBoolRow kBoolRows[] = {
    {"ShowQGC", &TMainSettings::ShowQGC},       {"Fuzzy", &TMainSettings::Fuzzy},
    {"WordWrap", &TMainSettings::WordWrap},     {"VertBar", &TMainSettings::VertBar},
    {"StatusBar", &TMainSettings::StatusBar},   {"HideLPanel", &TMainSettings::HideLPanel},
    {"HalfScroll", &TMainSettings::HalfScroll}, {"ToolBar", &TMainSettings::ToolBar},
    {"AddDir", &TMainSettings::AddDir},         {"PlainText", &TMainSettings::PlainText},
    {"JAGREP", &TMainSettings::JAGREP},         {"Migemo", &TMainSettings::Migemo},
};

// A damaged colour makes the store's font read fail as a whole; the font then stays as it
// was, and the start goes on.
void ReadFontKeepingDamaged(const ZEziDE& ini, const char* section, const char* name, TFontSpec& font) {
    try {
        ini.ReadFont(section, name, font);
    } catch (const EConvertError&) {
    }
}

}  // namespace

void ReadMainSettings(ZEziDE& ini, TMainSettings& s) {
    TIniUpdate snapshot(ini.IniFile());  // one look at the disk for every key below
    ini.ReadWindowPos("WindowPos", "Main", s.Main);
    ini.ReadStrings("GrepWord", "WordList", s.WordList);
    ini.ReadStrings("Setting", "settingList", s.SettingList);
    ini.ReadStrings("Path", "settingPath", s.SettingPath);
    ReadFontKeepingDamaged(ini, "Font", "EditFont", s.EditFont);
    ReadFontKeepingDamaged(ini, "GFont", "GEditFont", s.GEditFont);
    s.GrepExe = ini.ReadFencedString(kOption, "GrepExe", "");
    s.GrepOpt = ini.ReadFencedString(kOption, "GrepOpt", kDefaultGrepOpt);
    s.Vbar = ini.ReadInteger(kOption, "Vbar", s.Vbar);
    s.Hbar = ini.ReadInteger(kOption, "Hbar", s.Hbar);
    s.DTVh = ini.ReadInteger(kOption, "DTVh", s.DTVh);
    const int mode = ini.ReadInteger(kOption, "GrepMode", static_cast<int>(TGrepScope::Directory));
    if (const std::optional<TGrepScope> scope = GrepScopeOf(mode)) s.GrepMode = scope;
    static const TMainSettings designed;
    for (const TBoolRow& row : kBoolRows) s.*row.Field = ini.ReadBool(kOption, row.Key, designed.*row.Field);
    try {
        s.BackGround = ini.ReadColor(kOption, "BackGround", s.BackGround);
    } catch (const EConvertError&) {
        // A damaged value must not stop the program from starting; the colour stays.
    }
    snapshot.Commit();
}

void WriteMainSettings(ZEziDE& ini, const TMainSettings& s) {
    TIniUpdate batch(ini.IniFile());
    ini.WriteWindowPos("WindowPos", "Main", s.Main);
    ini.WriteStrings("GrepWord", "WordList", s.WordList);
    ini.WriteStrings("Setting", "SettingList", s.SettingList);
    ini.WriteStrings("Path", "SettingPath", s.SettingPath);
    ini.WriteFont("Font", "EditFont", s.EditFont);
    ini.WriteFont("GFont", "GEditFont", s.GEditFont);
    ini.WriteFencedString(kOption, "GrepExe", s.GrepExe);
    ini.WriteFencedString(kOption, "GrepOpt", s.GrepOpt);
    ini.WriteInteger(kOption, "Vbar", s.Vbar);
    ini.WriteInteger(kOption, "Hbar", s.Hbar);
    ini.WriteInteger(kOption, "DTVh", s.DTVh);
    for (const TBoolRow& row : kBoolRows) ini.WriteBool(kOption, row.Key, s.*row.Field);
    ini.WriteColor(kOption, "BackGround", s.BackGround);
    if (s.GrepMode) ini.WriteInteger(kOption, "GrepMode", static_cast<int>(*s.GrepMode));
    batch.Commit();
}

}  // namespace xavo
