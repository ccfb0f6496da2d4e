// Romaji search: a word typed in ASCII letters becomes the alternation of the Japanese
// words it may stand for, in the engine's syntax, through the Migemo library and its CP932
// dictionary: "kensaku" becomes "(ｹﾝｻｸ|ケンサク|…|検索|研削|…|けんさく|ｋｅｎｓａｋｕ|kensaku)".
//
// The dictionary (a few MB) is read once, on first use or ahead of it on a thread of its
// own (Prefetch). The expansion then goes through the engine like any pattern typed by
// hand. Entry point: TMigemo::Expand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace xavo {

// The CP932 dictionary of Debian's cmigemo-common and the package that provides it.
inline constexpr const char* kMigemoDictionaryPath = "/usr/share/cmigemo/cp932/migemo-dict";
inline constexpr const char* kMigemoPackage = "cmigemo-common";

// The dictionary to read: $XAVOLINE_MIGEMO_DICT when it is set and not empty, otherwise
// kMigemoDictionaryPath.
std::string DefaultMigemoDictionary();

// Whether Pattern (Shift-JIS) holds one of the engine's operator characters
// ^ $ ( ) | * + ? . [ ] \ as a character of its own (never a trail byte of a double-byte
// character). Such a pattern is searched as written.
bool HasRegExpChars(const std::string& pattern);

// The dictionary could not be read; the message names the file and the package.
class EMigemoUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Why a dictionary cannot serve. The library would wait for ever on a FIFO, read /dev/zero
// without end and fail on a directory, and a file holding NUL bytes crashes it; so the
// dictionary and the conversion tables beside it are looked at before it reads them.
enum class TMigemoProblem : std::uint8_t {
    None,
    Missing,         // no such file, or not readable
    NotAFile,        // a directory, FIFO, device or socket
    TooLarge,        // larger than kMaxMigemoDictionaryBytes (a table: kMaxMigemoTableBytes)
    NotADictionary,  // NUL bytes, or no entry at all (no tab)
};
inline constexpr std::size_t kMaxMigemoDictionaryBytes = 64u << 20;  // the real one is under 5 MB
inline constexpr std::size_t kMaxMigemoTableBytes = 1u << 20;        // roma2hira.dat and the others

// The problem of Dictionary or of a conversion table beside it (which one: Culprit, when
// given), or None. Reads a file only once it is known to be a regular file of sane size,
// so it never blocks on a FIFO or a device; without ReadFiles it only looks at what the
// directory says of them (no NUL bytes are looked for).
TMigemoProblem CheckMigemoDictionary(const std::string& dictionary, std::string* culprit = nullptr, bool readFiles = true);

class TMigemo {
public:
    // Dictionary: a Migemo dictionary in CP932; its conversion tables (roma2hira.dat and
    // the others) are read from the same directory. Nothing is read yet.
    explicit TMigemo(std::string dictionary = DefaultMigemoDictionary());
    // Never waits: a prefetch still reading (a slow disk) is left to end on its own.
    ~TMigemo();
    TMigemo(const TMigemo&) = delete;
    TMigemo& operator=(const TMigemo&) = delete;

    const std::string& Dictionary() const { return FDictionary; }

    // Starts reading the dictionary on a thread of its own, once; returns at once.
    void Prefetch();

    // Reads the dictionary unless that is done, waiting for a prefetch under way. Returns
    // whether it could be read. Safe from any thread.
    bool Load();

    // Where the reading stands, without waiting: a window asks this instead of calling Load
    // (or Expand) while a prefetch is under way.
    enum class TLoadState : std::uint8_t { NotStarted, Loading, Loaded, Failed };
    TLoadState LoadState() const;
    // Why the dictionary could not be read (Failed), else None.
    TMigemoProblem Problem() const;

    // The pattern the engine should search for Pattern (Shift-JIS, as typed):
    // - a pattern holding an operator character (HasRegExpChars), or only blanks, is
    //   returned unchanged;
    // - otherwise each word (separated by half- or full-width spaces or tabs) of ASCII
    //   characters only is expanded by the dictionary, every other word is kept as written,
    //   and the words are joined in order, without the blanks.
    // Loads the dictionary when needed (Load). Raises EMigemoUnavailable when it cannot be
    // read, and ERegExpParser "正規表現が複雑すぎます" (position 0) when the expansion is
    // longer than MaxExpansionBytes. Safe from any thread.
    std::string Expand(const std::string& pattern);

    // Expansions longer than this are refused before the engine tries them. A single letter
    // expands to under 6 KB and every word compiles; several short words ("k k k") make
    // patterns whose compile time grows faster than their length (docs/BENCHMARKS.md).
    std::size_t MaxExpansionBytes = kDefaultMaxExpansionBytes;
    static constexpr std::size_t kDefaultMaxExpansionBytes = 16 * 1024;

    // The message of EMigemoUnavailable for this dictionary: the file (or the conversion
    // table) and what is wrong with it.
    std::string UnavailableMessage() const;
    // The file the problem was found in: the dictionary, or a conversion table beside it.
    std::string ProblemFile() const;

private:
    struct TLibrary;

    std::string ExpandWord(const std::string& word);

    std::string FDictionary;
    // Shared with the prefetch thread, which a destructor leaves running when the reading
    // has not ended (a slow disk): it must not wait for it.
    std::shared_ptr<TLibrary> FLibrary;
};

}  // namespace xavo
