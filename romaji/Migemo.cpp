// Romaji search through the Migemo library, see Migemo.h.
//
// One migemo object serves every caller: it is created and its dictionary read under a
// once-flag (by Prefetch's thread or the first Expand), and queries are serialised by a
// mutex because the library keeps its working state in the object.
#include "Migemo.h"

#include "Parser.h"
#include "Scanner.h"

#include <migemo.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace xavo {

namespace {

// The engine's operators in the roles Migemo writes: alternation, group, class. The
// "newline" operator, which Migemo puts between characters to let a word run across
// lines, stays empty: the engine matches within a line.
constexpr std::pair<int, const char*> kOperators[] = {
    {MIGEMO_OPINDEX_OR, "|"},         {MIGEMO_OPINDEX_NEST_IN, "("},    {MIGEMO_OPINDEX_NEST_OUT, ")"},
    {MIGEMO_OPINDEX_SELECT_IN, "["},  {MIGEMO_OPINDEX_SELECT_OUT, "]"}, {MIGEMO_OPINDEX_NEWLINE, ""},
};

constexpr std::string_view kOperatorChars = "^$()|*+?.[]\\";
constexpr std::string_view kFullWidthSpace = "\x81\x40";

bool IsBlank(const std::string& s, std::size_t i) {
    return s[i] == ' ' || s[i] == '\t' || std::string_view(s).substr(i, 2) == kFullWidthSpace;
}

// The length in bytes of the character at I (a lead byte at the very end counts alone).
std::size_t CharLength(const std::string& s, std::size_t i) {
    return IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

std::vector<std::string> SplitWords(const std::string& pattern) {
    std::vector<std::string> words;
    std::string word;
    for (std::size_t i = 0; i < pattern.size();) {
        const std::size_t n = CharLength(pattern, i);
        if (IsBlank(pattern, i)) {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word.append(pattern, i, n);
        }
        i += n;
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

bool Parses(const std::string& pattern) {
    try {
        TREParser parser(pattern);
        parser.Run();
        return true;
    } catch (const ERegExpParser&) {
        return false;
    }
}

}  // namespace

std::string DefaultMigemoDictionary() {
    const char* path = std::getenv("XAVOLINE_MIGEMO_DICT");
    return path != nullptr && *path != '\0' ? std::string(path) : std::string(kMigemoDictionaryPath);
}

bool HasRegExpChars(const std::string& pattern) {
    for (std::size_t i = 0; i < pattern.size(); i += CharLength(pattern, i))
        if (CharLength(pattern, i) == 1 && kOperatorChars.find(pattern[i]) != std::string_view::npos) return true;
    return false;
}

struct TMigemo::TLibrary {
    std::once_flag Loaded;
    migemo* Object = nullptr;  // null until loaded; stays null when the dictionary is unreadable
    std::mutex QueryLock;
    std::mutex PrefetchLock;
    std::thread Prefetch;

    ~TLibrary() {
        if (Prefetch.joinable()) Prefetch.join();
        if (Object != nullptr) migemo_close(Object);
    }
};

TMigemo::TMigemo(std::string dictionary) : FDictionary(std::move(dictionary)), FLibrary(std::make_unique<TLibrary>()) {}

TMigemo::~TMigemo() = default;

bool TMigemo::DictionaryExists() const { return access(FDictionary.c_str(), R_OK) == 0; }

void TMigemo::Prefetch() {
    std::lock_guard lock(FLibrary->PrefetchLock);
    if (FLibrary->Prefetch.joinable()) return;
    FLibrary->Prefetch = std::thread([this] { Load(); });
}

bool TMigemo::Load() {
    std::call_once(FLibrary->Loaded, [this] {
        // migemo_open reports nothing for a missing file; it just has no dictionary.
        if (!DictionaryExists()) return;
        migemo* object = migemo_open(FDictionary.c_str());
        if (object == nullptr) return;
        if (migemo_is_enable(object) == 0) {
            migemo_close(object);
            return;
        }
        for (const auto& [index, op] : kOperators)
            migemo_set_operator(object, index, reinterpret_cast<const unsigned char*>(op));
        FLibrary->Object = object;
    });
    return FLibrary->Object != nullptr;
}

std::string TMigemo::UnavailableMessage() const {
    return "romaji search needs the Migemo dictionary " + FDictionary + " (Debian package " + kMigemoPackage + ")";
}

std::string TMigemo::ExpandWord(const std::string& word) {
    // The library reads any other word as romaji too: the two equal bytes of 末 (0x96 0x96)
    // become a doubled consonant.
    if (std::any_of(word.begin(), word.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) return word;
    std::string expanded;
    {
        std::lock_guard lock(FLibrary->QueryLock);
        unsigned char* result = migemo_query(FLibrary->Object, reinterpret_cast<const unsigned char*>(word.c_str()));
        if (result != nullptr) {
            expanded = reinterpret_cast<const char*>(result);
            migemo_release(FLibrary->Object, result);
        }
    }
    // The library escapes what it takes for operators, which need not be ours: whatever
    // the engine cannot read is searched as typed.
    if (expanded.empty() || !Parses(expanded)) return word;
    return expanded;
}

std::string TMigemo::Expand(const std::string& pattern) {
    if (HasRegExpChars(pattern)) return pattern;
    const std::vector<std::string> words = SplitWords(pattern);
    if (words.empty()) return pattern;
    if (!Load()) throw EMigemoUnavailable(UnavailableMessage());
    std::string expanded;
    for (const std::string& word : words) {
        // Each word's alternatives stay together when words follow one another.
        expanded += words.size() == 1 ? ExpandWord(word) : "(" + ExpandWord(word) + ")";
        if (expanded.size() > MaxExpansionBytes) throw ERegExpParser(RegExpMessage::kTooComplex, 0);
    }
    return expanded;
}

}  // namespace xavo
