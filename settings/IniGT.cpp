// ZEziDE: path resolution, fences and the value encodings over TIniFile.
#include "IniGT.h"

#include "IniText.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include <limits.h>
#include <pwd.h>
#include <unistd.h>

namespace xavo {
namespace {

constexpr char kParenOpen = '\xA2';   // ｢ (half-width corner bracket)
constexpr char kParenClose = '\xA3';  // ｣
constexpr std::size_t kMaxFaceNameLength = 31;

std::string Key(std::string_view stem, std::string_view suffix) {
    std::string key(stem);
    key.append(suffix);
    return key;
}

std::string Enclose(ZEziDEFence fence, std::string_view value) {
    switch (fence) {
    case fnDoubleQuote:
        return '"' + std::string(value) + '"';
    case fnParenthesis:
    case fnVer11Mode:
        return kParenOpen + std::string(value) + kParenClose;
    case fnNone:
        break;
    }
    return std::string(value);
}

// Removes the first and last byte when they are a mark pair the fence allows. Single
// bytes are tested, as files written by earlier versions of the store expect.
std::string StripFence(ZEziDEFence fence, std::string text) {
    if (fence == fnNone || text.size() < 2) return text;
    const char first = text.front();
    const char last = text.back();
    const bool quotes = first == '"' && last == '"';
    const bool parens = first == kParenOpen && last == kParenClose;
    const bool strip = (fence == fnDoubleQuote && quotes) || (fence == fnParenthesis && parens) ||
                       (fence == fnVer11Mode && (quotes || parens));
    return strip ? text.substr(1, text.size() - 2) : text;
}

std::string FormatHex(std::int32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(value)));
    return buffer;
}

std::string DirectoryOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string{} : std::string(path.substr(0, slash + 1));
}

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
    return {};
}

}  // namespace

EConvertError::EConvertError(const std::string& text)
    : std::runtime_error("'" + text + "' は整数ではありません"), Text(text) {}

TProgramPlaces RunningProgramPlaces() {
    TProgramPlaces places;
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) places.ExeFile.assign(exe, static_cast<std::size_t>(n));
    // A program file replaced while it runs (an upgrade) is reported with this suffix.
    if (places.ExeFile.ends_with(" (deleted)")) places.ExeFile.resize(places.ExeFile.size() - 10);

    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base = xdg != nullptr && xdg[0] == '/' ? std::string(xdg) : HomeDirectory() + "/.config";
    if (!base.empty() && base.back() != '/') base += '/';
    places.ConfigDir = base + "xavoline/";
    const std::string dataDir = DirectoryOf(places.ExeFile) + XAVOLINE_DATA_FROM_BIN;
    places.Installed = !places.ExeFile.empty() && access(dataDir.c_str(), F_OK) == 0;
    return places;
}

std::string DefaultIniFileName(std::string_view exeFile) {
    std::string name(exeFile.substr(exeFile.rfind('/') + 1));  // npos + 1 == 0
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    name += ".INI";
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

TIniLocation ResolveIniPath(const std::string& fileName, ZEziDEDefaultDir dir, const TProgramPlaces& places) {
    // "/" is never the trail byte of a double-byte character, so a byte search suffices.
    if (fileName.find('/') != std::string::npos) return {fileName, false};
    switch (dir) {
    case ddApplication: {
        const std::string exeDir = DirectoryOf(places.ExeFile);
        if (!places.Installed && !exeDir.empty() && access(exeDir.c_str(), W_OK) == 0) return {exeDir + fileName, false};
        return {places.ConfigDir + fileName, true};
    }
    case ddWindows:
        return {places.ConfigDir + fileName, true};
    case ddNone:
        break;
    }
    return {fileName, false};
}

TIniLocation DefaultIniLocation(const TProgramPlaces& places) {
    return ResolveIniPath(DefaultIniFileName(places.ExeFile), ddApplication, places);
}

bool ParseIniInteger(std::string_view text, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    text.remove_prefix(i);
    if (text.empty()) return false;

    if (text.front() == '$') {
        text.remove_prefix(1);
        if (text.empty() || text.size() > 8) return false;
        std::uint32_t bits = 0;
        for (const char c : text) {
            int digit;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else {
                return false;
            }
            bits = bits << 4 | static_cast<std::uint32_t>(digit);
        }
        value = static_cast<std::int32_t>(bits);
        return true;
    }

    const bool negative = text.front() == '-';
    if (text.front() == '-' || text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit) return false;
    }
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

ZEziDE::ZEziDE(TProgramPlaces places) : FPlaces(std::move(places)) {}

void ZEziDE::SetDefaultDir(ZEziDEDefaultDir dir) {
    FDefaultDir = dir;
    ResolvePath();
}

void ZEziDE::SetFileName(std::string fileName) {
    FFileName = std::move(fileName);
    ResolvePath();
}

void ZEziDE::Loaded() {
    if (FFileName.empty()) SetFileName(DefaultIniFileName(FPlaces.ExeFile));
}

void ZEziDE::ResolvePath() {
    const TIniLocation location = ResolveIniPath(FFileName, FDefaultDir, FPlaces);
    FIniFile = TIniFile(location.Path);
    FIniFile.SetCreateDirectory(location.CreateDirectory);
}

std::string ZEziDE::ReadRawString(std::string_view section, std::string_view ident, std::string_view defaultValue) const {
    return FIniFile.ReadString(section, ident, defaultValue);
}

void ZEziDE::WriteRawString(std::string_view section, std::string_view ident, std::string_view value) {
    FIniFile.WriteString(section, ident, value);
}

std::string ZEziDE::ReadFenced(ZEziDEFence fence, std::string_view section, std::string_view ident,
                               std::string_view defaultValue) const {
    // The default goes in fenced so that a missing key strips down to the bare default.
    return StripFence(fence, FIniFile.ReadString(section, ident, Enclose(fence, defaultValue)));
}

std::string ZEziDE::ReadFencedString(std::string_view section, std::string_view ident,
                                     std::string_view defaultValue) const {
    return ReadFenced(FFence, section, ident, defaultValue);
}

void ZEziDE::WriteFencedString(std::string_view section, std::string_view ident, std::string_view value) {
    FIniFile.WriteString(section, ident, Enclose(FFence, value));
}

std::int32_t ZEziDE::ReadInteger(std::string_view section, std::string_view ident, std::int32_t defaultValue) const {
    std::string text = FIniFile.ReadString(section, ident, "");
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.replace(0, 2, "$");
    std::int32_t value = defaultValue;
    return ParseIniInteger(text, value) ? value : defaultValue;
}

void ZEziDE::WriteInteger(std::string_view section, std::string_view ident, std::int32_t value) {
    FIniFile.WriteString(section, ident, std::to_string(value));
}

bool ZEziDE::ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const {
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void ZEziDE::WriteBool(std::string_view section, std::string_view ident, bool value) {
    FIniFile.WriteString(section, ident, value ? "1" : "0");
}

std::int32_t ZEziDE::ReadHex(std::string_view section, std::string_view ident, std::int32_t defaultValue) const {
    const std::string text = FIniFile.ReadString(section, ident, FormatHex(defaultValue));
    const std::string tried = "$" + (text.size() > 2 ? text.substr(2, 8) : std::string{});
    std::int32_t value = 0;
    if (!ParseIniInteger(tried, value)) throw EConvertError(tried);
    return value;
}

void ZEziDE::WriteHex(std::string_view section, std::string_view ident, std::int32_t value) {
    FIniFile.WriteString(section, ident, FormatHex(value));
}

TColor ZEziDE::ReadColor(std::string_view section, std::string_view ident, TColor defaultValue) const {
    return ReadHex(section, ident, defaultValue);
}

void ZEziDE::WriteColor(std::string_view section, std::string_view ident, TColor value) {
    WriteHex(section, ident, value);
}

void ZEziDE::ReadStrings(std::string_view section, std::string_view name, std::vector<std::string>& strings) const {
    const auto current = static_cast<std::int32_t>(std::min<std::size_t>(strings.size(), INT32_MAX));
    const std::int32_t limit = std::max(current, kMaxListCount);
    std::int32_t count = std::min(ReadInteger(section, Key(name, ".Count"), current), limit);
    if (count > current) {
        // Only items that are there: a damaged count must not turn into empty items that
        // are written back at the next close.
        const std::string stem = ini_text::Fold(Key(name, "."));
        std::int32_t stored = current;
        for (const std::string& key : FIniFile.KeysOf(section)) {
            std::int32_t index = 0;
            const char* const last = key.data() + key.size();
            if (!key.starts_with(stem) || key.size() == stem.size()) continue;
            if (key[stem.size()] == '0' && key.size() > stem.size() + 1) continue;  // "07" is not item 7's key
            const auto [end, error] = std::from_chars(key.data() + stem.size(), last, index);
            if (error == std::errc() && end == last && index >= stored && index < count) stored = index + 1;
        }
        count = stored;
    }
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t i = 0; i < count; ++i) {
        const auto index = static_cast<std::size_t>(i);
        items.push_back(ReadFencedString(section, Key(name, "." + std::to_string(i)),
                                         index < strings.size() ? strings[index] : std::string{}));
    }
    strings = std::move(items);
}

void ZEziDE::WriteStrings(std::string_view section, std::string_view name, const std::vector<std::string>& strings) {
    TIniUpdate batch(FIniFile);
    WriteInteger(section, Key(name, ".Count"), static_cast<std::int32_t>(strings.size()));
    for (std::size_t i = 0; i < strings.size(); ++i) {
        WriteFencedString(section, Key(name, "." + std::to_string(i)), strings[i]);
    }
    batch.Commit();
}

void ZEziDE::ReadFont(std::string_view section, std::string_view name, TFontSpec& font) const {
    TFontSpec fresh;
    // The face is written bare; reading it with either mark pair allowed accepts the
    // files of every version of the store.
    const std::string face = ReadFenced(fnVer11Mode, section, Key(name, ".Name"), font.Name);
    if (!face.empty()) fresh.Name = face.substr(0, ini_text::CutLength(face, kMaxFaceNameLength));
    fresh.Size = ReadInteger(section, Key(name, ".Size"), font.Size);
    fresh.Style = static_cast<std::uint8_t>(ReadInteger(section, Key(name, ".Style"), font.Style) & 0xFF);
    fresh.Color = ReadColor(section, Key(name, ".Color"), font.Color);
    font = std::move(fresh);
}

void ZEziDE::WriteFont(std::string_view section, std::string_view name, const TFontSpec& font) {
    TIniUpdate batch(FIniFile);
    WriteRawString(section, Key(name, ".Name"), font.Name);
    WriteInteger(section, Key(name, ".Size"), font.Size);
    WriteInteger(section, Key(name, ".Style"), font.Style);
    WriteColor(section, Key(name, ".Color"), font.Color);
    batch.Commit();
}

namespace {

// The placement keys in their stored order, with the field each holds.
struct TPlacementKey {
    const char* Suffix;
    std::int32_t TWindowPlacement::*Field;
};
constexpr TPlacementKey kPlacementKeys[] = {
    {".Flags", &TWindowPlacement::Flags}, {".Show", &TWindowPlacement::Show},
    {".MaxX", &TWindowPlacement::MaxX},   {".MaxY", &TWindowPlacement::MaxY},
    {".X", &TWindowPlacement::Left},      {".Y", &TWindowPlacement::Top},
    {".XSize", &TWindowPlacement::Right}, {".YSize", &TWindowPlacement::Bottom},
};

}  // namespace

void ZEziDE::ReadWindowPos(std::string_view section, std::string_view name, TWindowPlacement& placement) const {
    for (const TPlacementKey& key : kPlacementKeys) {
        placement.*key.Field = ReadInteger(section, Key(name, key.Suffix), placement.*key.Field);
    }
}

void ZEziDE::WriteWindowPos(std::string_view section, std::string_view name, const TWindowPlacement& placement) {
    TIniUpdate batch(FIniFile);
    for (const TPlacementKey& key : kPlacementKeys) WriteInteger(section, Key(name, key.Suffix), placement.*key.Field);
    batch.Commit();
}

}  // namespace xavo
