// ZEziDE: the program's settings store on one INI file.
//
// Adds to plain INI access the choice of the file's folder and name, optional marks
// around string values (the fence), and values spread over several keys: string lists,
// fonts and window placement, on plain structs that the window maps to its toolkit. All
// strings are Shift-JIS bytes as stored. Entry points: the Read* and Write* operations;
// the main window sets DefaultDir, Fence or FileName, then calls Loaded.
#pragma once

#include "IniFile.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace xavo {

// Where the running program lives and where the user's configuration goes.
struct TProgramPlaces {
    std::string ExeFile;    // full path of the executable
    std::string ConfigDir;  // the user's configuration directory for Xavoline, ending in "/"
    bool Installed = false; // run from an installation: settings never go beside the program
};

// The executable from /proc/self/exe; ConfigDir from $XDG_CONFIG_HOME (when absolute),
// else $HOME/.config, else the account's home directory, followed by "xavoline/".
// Installed when the installed data directory lies where an installation puts it.
TProgramPlaces RunningProgramPlaces();

// The settings file name made from an executable path: its file name with the extension
// replaced by ".INI", ASCII letters lowered, the first byte raised ("xavoline" -> "Xavoline.ini").
std::string DefaultIniFileName(std::string_view exeFile);

enum ZEziDEDefaultDir : std::uint8_t { ddApplication, ddWindows, ddNone };
enum ZEziDEFence : std::uint8_t { fnDoubleQuote, fnParenthesis, fnVer11Mode, fnNone };

// Where FileName goes under DefaultDir. A name holding "/" is used unchanged. ddApplication
// is the executable's directory when the user may write there and the program is not
// installed (root may write to /usr/bin), else the configuration directory; ddWindows the configuration directory; ddNone the current directory.
// CreateDirectory tells whether a write should create the configuration directory.
struct TIniLocation {
    std::string Path;
    bool CreateDirectory = false;
};
TIniLocation ResolveIniPath(const std::string& fileName, ZEziDEDefaultDir dir, const TProgramPlaces& places);

// The file the main window's store uses when no name is given: DefaultIniFileName beside
// the program (or in the configuration directory).
TIniLocation DefaultIniLocation(const TProgramPlaces& places);

// A hexadecimal or colour value that does not convert. Text is the text tried ("$" and
// the bytes taken from the file).
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& text);
    std::string Text;
};

using TColor = std::int32_t;  // system colours have the top bit set
inline constexpr TColor clWindow = static_cast<TColor>(0x80000005);
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008);

enum TFontStyleBit : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// "ＭＳ Ｐゴシック" in Shift-JIS: the face a new font has.
inline constexpr const char* kDefaultFontFace = "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";

// A font as the store keeps it; a default-constructed one is the "new font".
struct TFontSpec {
    std::string Name = kDefaultFontFace;  // face name, at most 31 bytes when read
    int Size = 9;                         // points
    std::uint8_t Style = 0;               // TFontStyleBit set
    TColor Color = clWindowText;
    bool operator==(const TFontSpec&) const = default;
};

// A window's placement: show state (1 normal, 3 maximised), maximised position and the
// normal rectangle as edge coordinates (Right and Bottom are edges, not sizes).
struct TWindowPlacement {
    std::int32_t Flags = 0;
    std::int32_t Show = 1;
    std::int32_t MaxX = -1;
    std::int32_t MaxY = -1;
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    bool operator==(const TWindowPlacement&) const = default;
};

// Reads and converts the integer rule's text: leading blanks, then an optional sign and
// decimal digits within 32 bits, or "$" and 1 to 8 hexadecimal digits; nothing after.
// False (Value untouched) when the text is not such an integer.
bool ParseIniInteger(std::string_view text, std::int32_t& value);

class ZEziDE {
public:
    // A store with an empty path, ddApplication, no FileName and fnNone.
    explicit ZEziDE(TProgramPlaces places = RunningProgramPlaces());

    ZEziDEDefaultDir DefaultDir() const { return FDefaultDir; }
    void SetDefaultDir(ZEziDEDefaultDir dir);  // re-resolves the current FileName
    const std::string& FileName() const { return FFileName; }
    void SetFileName(std::string fileName);  // the name as given; resolves the path
    ZEziDEFence Fence() const { return FFence; }
    void SetFence(ZEziDEFence fence) { FFence = fence; }

    // Ends the set-up: an empty FileName becomes DefaultIniFileName of the executable.
    void Loaded();

    // The resolved path and the file object on it (for TIniUpdate batches around many
    // writes; the path must not change while one is open).
    const std::string& IniPath() const { return FIniFile.FileName(); }
    TIniFile& IniFile() { return FIniFile; }

    // Reads return Default when the file, section or key is missing; writes throw
    // EIniFileError ("%s に書き込めません", file unchanged) when the file cannot be written.
    std::string ReadRawString(std::string_view section, std::string_view ident, std::string_view defaultValue) const;
    void WriteRawString(std::string_view section, std::string_view ident, std::string_view value);
    std::string ReadFencedString(std::string_view section, std::string_view ident, std::string_view defaultValue) const;
    void WriteFencedString(std::string_view section, std::string_view ident, std::string_view value);

    // Malformed text yields Default, never an error.
    std::int32_t ReadInteger(std::string_view section, std::string_view ident, std::int32_t defaultValue) const;
    void WriteInteger(std::string_view section, std::string_view ident, std::int32_t value);
    bool ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const;
    void WriteBool(std::string_view section, std::string_view ident, bool value);

    // Stored as "0x" and 8 upper-case digits. The read converts bytes 3 to 10 of the text
    // whatever the first two are, and throws EConvertError when they do not convert.
    std::int32_t ReadHex(std::string_view section, std::string_view ident, std::int32_t defaultValue) const;
    void WriteHex(std::string_view section, std::string_view ident, std::int32_t value);
    TColor ReadColor(std::string_view section, std::string_view ident, TColor defaultValue) const;
    void WriteColor(std::string_view section, std::string_view ident, TColor value);

    // Name.Count and Name.0, Name.1, ... (fenced). The read replaces Strings as a whole,
    // its current items serving as defaults; a missing section leaves it unchanged. A
    // stored count reaches no further than the last item that is stored or current, and
    // no further than kMaxListCount (or the current count, if larger), so a damaged file
    // cannot exhaust memory or grow the list.
    static constexpr std::int32_t kMaxListCount = 65536;
    void ReadStrings(std::string_view section, std::string_view name, std::vector<std::string>& strings) const;
    void WriteStrings(std::string_view section, std::string_view name, const std::vector<std::string>& strings);

    // Name.Name, Name.Size, Name.Style, Name.Color. The read builds a new TFontSpec from the
    // stored values (Font's current ones as defaults), drops an empty face, cuts the face to
    // 31 bytes, then replaces Font; on EConvertError Font is left unchanged.
    void ReadFont(std::string_view section, std::string_view name, TFontSpec& font) const;
    void WriteFont(std::string_view section, std::string_view name, const TFontSpec& font);

    // Name.Flags, .Show, .MaxX, .MaxY, .X, .Y, .XSize, .YSize, each read with Placement's
    // current field as default and kept as stored (no check that Right > Left).
    void ReadWindowPos(std::string_view section, std::string_view name, TWindowPlacement& placement) const;
    void WriteWindowPos(std::string_view section, std::string_view name, const TWindowPlacement& placement);

private:
    void ResolvePath();
    std::string ReadFenced(ZEziDEFence fence, std::string_view section, std::string_view ident,
                           std::string_view defaultValue) const;

    TProgramPlaces FPlaces;
    TIniFile FIniFile;
    ZEziDEDefaultDir FDefaultDir = ddApplication;
    std::string FFileName;
    ZEziDEFence FFence = fnNone;
};

}  // namespace xavo
