// Romaji search: a word typed in ASCII letters becomes the alternation of the Japanese
// words it may stand for, in the engine's syntax, through the Migemo library and its CP932
// dictionary: "kensaku" becomes "(ｹﾝｻｸ|ケンサク|…|検索|研削|…|けんさく|ｋｅｎｓａｋｕ|kensaku)".
//
// The dictionary (a few MB) is read once, on first use or ahead of it on a thread of its
// own (Prefetch). The expansion then goes through the engine like any pattern typed by
// hand. Entry point: TMigemo::Expand.
#pragma once

#include <cstddef>
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

class TMigemo {
public:
    // Dictionary: a Migemo dictionary in CP932; its conversion tables (roma2hira.dat and
    // the others) are read from the same directory. Nothing is read yet.
    explicit TMigemo(std::string dictionary = DefaultMigemoDictionary());
    // Waits for a prefetch under way.
    ~TMigemo();
    TMigemo(const TMigemo&) = delete;
    TMigemo& operator=(const TMigemo&) = delete;

    const std::string& Dictionary() const { return FDictionary; }

    // Whether the dictionary file is there to be read; looks at the file only.
    bool DictionaryExists() const;

    // Starts reading the dictionary on a thread of its own, once; returns at once.
    void Prefetch();

    // Reads the dictionary unless that is done, waiting for a prefetch under way. Returns
    // whether it could be read. Safe from any thread.
    bool Load();

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

    // The message of EMigemoUnavailable for this dictionary.
    std::string UnavailableMessage() const;

private:
    struct TLibrary;

    std::string ExpandWord(const std::string& word);

    std::string FDictionary;
    std::unique_ptr<TLibrary> FLibrary;
};

}  // namespace xavo
