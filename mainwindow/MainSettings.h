// The main window's settings as plain values, read from and written to the INI store.
//
// TMainSettings holds the designed values; the window fills one from its controls, lets
// ReadMainSettings replace what the file holds (every read takes the current value as its
// default, so a missing file, section or key keeps it) and applies the result; on close it
// fills one again and WriteMainSettings stores it in one replacement of the file. Strings
// are Shift-JIS bytes as stored. Entry points: ReadMainSettings, WriteMainSettings.
#pragma once

#include "GrepFiles.h"
#include "IniGT.h"

#include <optional>
#include <string>
#include <vector>

namespace xavo {

inline constexpr const char* kDefaultGrepOpt = "-1+ -c -E";
inline constexpr int kDesignedMemoHeight = 269;
inline constexpr int kDesignedLeftPaneWidth = 161;
inline constexpr int kDesignedTreeHeight = 143;

// The rows in reading order; the comments give section and key.
struct TMainSettings {
    TWindowPlacement Main;                  // WindowPos / Main
    std::vector<std::string> WordList;      // GrepWord / WordList (GREP word history)
    std::vector<std::string> SettingList;   // Setting / SettingList (favourite names)
    std::vector<std::string> SettingPath;   // Path / SettingPath (favourite entries)
    TFontSpec EditFont;                     // Font / EditFont (the text view's font)
    TFontSpec GEditFont;                    // GFont / GEditFont (the results list's font)
    std::string GrepExe;                    // option / GrepExe
    std::string GrepOpt = kDefaultGrepOpt;  // option / GrepOpt
    int Vbar = kDesignedMemoHeight;         // option / Vbar: text view height, pixels
    int Hbar = kDesignedLeftPaneWidth;      // option / Hbar: left pane width, pixels
    int DTVh = kDesignedTreeHeight;         // option / DTVh: tree height, pixels
    // option / GrepMode: the GREP bar's scope, nothing when no scope is checked (read 12th,
    // written last).
    std::optional<TGrepScope> GrepMode = TGrepScope::Directory;
    bool ShowQGC = true;
    bool Fuzzy = true;
    bool WordWrap = true;
    bool VertBar = false;
    bool StatusBar = true;
    bool HideLPanel = false;
    bool HalfScroll = false;
    bool ToolBar = true;
    bool AddDir = true;
    bool PlainText = true;
    bool JAGREP = true;
    bool Migemo = false;                    // option / Migemo: romaji search
    TColor BackGround = clWindow;           // option / BackGround

    bool operator==(const TMainSettings&) const = default;
};

// Replaces the fields of Settings with what the store holds; a missing key keeps the current
// value, except the options with a designed default (the Q-GREP strings, "GrepMode" and the
// switches), which fall back to the designed value. A stored "GrepMode" other than
// 0, 1 or 2 leaves the field as it was; a colour that does not convert keeps the current
// one. Reads the file once. Never throws for the file's content or absence.
void ReadMainSettings(ZEziDE& ini, TMainSettings& settings);

// Writes every row in order, "GrepMode" last (nothing without a scope), as one replacement of
// the file. Throws EIniFileError, the file unchanged, when it cannot be written.
void WriteMainSettings(ZEziDE& ini, const TMainSettings& settings);

// The colour the background becomes: system colours (top bit set) are the system window
// colour.
constexpr TColor NormalizeBackground(TColor color) { return color < 0 ? clWindow : color; }

}  // namespace xavo
