// Romaji search through the Migemo library, see Migemo.h.
//
// One migemo object serves every caller: it is created and its dictionary read under a
// once-flag (by Prefetch's thread or the first Expand), after the files were looked at
// (CheckMigemoDictionary), and queries are serialised by a mutex because the library keeps
// its working state in the object.
#include "Migemo.h"

#include "Parser.h"
#include "Scanner.h"

#include <migemo.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
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

namespace {

// Conversion tables the library reads from the dictionary's directory when they are there.
constexpr const char* kMigemoTables[] = {"roma2hira.dat", "hira2kata.dat", "han2zen.dat", "zen2han.dat"};

// The problem of one file the library reads. Opened without waiting (a FIFO made in the
// meantime cannot block) and looked at again once open.
TMigemoProblem CheckMigemoFile(const std::string& path, std::size_t maxBytes, bool needsEntry, bool read) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || ::access(path.c_str(), R_OK) != 0) return TMigemoProblem::Missing;
    if (!S_ISREG(st.st_mode)) return TMigemoProblem::NotAFile;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) return TMigemoProblem::TooLarge;
    if (!read) return TMigemoProblem::None;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return TMigemoProblem::Missing;
    TMigemoProblem problem = TMigemoProblem::None;
    bool entry = !needsEntry;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem = TMigemoProblem::NotAFile;
    } else {
        std::vector<char> buffer(64 * 1024);
        std::size_t total = 0;
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            const auto got = static_cast<std::size_t>(n);
            total += got;
            if (total > maxBytes) {  // grown since
                problem = TMigemoProblem::TooLarge;
                break;
            }
            if (std::memchr(buffer.data(), '\0', got) != nullptr) {
                problem = TMigemoProblem::NotADictionary;
                break;
            }
            entry = entry || std::memchr(buffer.data(), '\t', got) != nullptr;
        }
        if (problem == TMigemoProblem::None && !entry) problem = TMigemoProblem::NotADictionary;
    }
    ::close(fd);
    return problem;
}

}  // namespace

TMigemoProblem CheckMigemoDictionary(const std::string& dictionary, std::string* culprit, bool readFiles) {
    if (culprit != nullptr) *culprit = dictionary;
    TMigemoProblem problem = CheckMigemoFile(dictionary, kMaxMigemoDictionaryBytes, true, readFiles);
    if (problem != TMigemoProblem::None) return problem;
    const std::size_t slash = dictionary.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : dictionary.substr(0, slash + 1);
    for (const char* table : kMigemoTables) {
        const std::string path = directory + table;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) continue;  // the library does without it
        problem = CheckMigemoFile(path, kMaxMigemoTableBytes, false, readFiles);
        if (problem == TMigemoProblem::Missing) continue;
        if (problem != TMigemoProblem::None) {
            if (culprit != nullptr) *culprit = path;
            return problem;
        }
    }
    return TMigemoProblem::None;
}

bool HasRegExpChars(const std::string& pattern) {
    for (std::size_t i = 0; i < pattern.size(); i += CharLength(pattern, i))
        if (CharLength(pattern, i) == 1 && kOperatorChars.find(pattern[i]) != std::string_view::npos) return true;
    return false;
}

struct TMigemo::TLibrary {
    std::once_flag Loaded;
    std::atomic<TLoadState> State{TLoadState::NotStarted};
    TMigemoProblem Problem = TMigemoProblem::None;  // written before State becomes Failed
    std::string ProblemFile;
    migemo* Object = nullptr;  // null until loaded; stays null when the dictionary is unreadable
    std::mutex QueryLock;
    std::mutex PrefetchLock;
    std::thread Prefetch;

    ~TLibrary() {
        if (Object != nullptr) migemo_close(Object);
    }

    void Load(const std::string& dictionary) {
        std::call_once(Loaded, [&] {
            State = TLoadState::Loading;
            Problem = CheckMigemoDictionary(dictionary, &ProblemFile);
            migemo* object = Problem == TMigemoProblem::None ? migemo_open(dictionary.c_str()) : nullptr;
            if (object != nullptr && migemo_is_enable(object) == 0) {
                migemo_close(object);
                object = nullptr;
            }
            if (object == nullptr) {
                if (Problem == TMigemoProblem::None) {
                    Problem = TMigemoProblem::NotADictionary;
                    ProblemFile = dictionary;
                }
                State = TLoadState::Failed;
                return;
            }
            for (const auto& [index, op] : kOperators)
                migemo_set_operator(object, index, reinterpret_cast<const unsigned char*>(op));
            Object = object;
            State = TLoadState::Loaded;
        });
    }
};

TMigemo::TMigemo(std::string dictionary) : FDictionary(std::move(dictionary)), FLibrary(std::make_shared<TLibrary>()) {}

TMigemo::~TMigemo() {
    std::lock_guard lock(FLibrary->PrefetchLock);
    if (!FLibrary->Prefetch.joinable()) return;
    if (FLibrary->State == TLoadState::Loading)
        FLibrary->Prefetch.detach();  // it holds the library's state itself
    else
        FLibrary->Prefetch.join();
}

void TMigemo::Prefetch() {
    std::lock_guard lock(FLibrary->PrefetchLock);
    if (FLibrary->Prefetch.joinable() || FLibrary->State != TLoadState::NotStarted) return;
    FLibrary->State = TLoadState::Loading;  // at once, so that the caller sees it under way
    FLibrary->Prefetch = std::thread([library = FLibrary, dictionary = FDictionary] { library->Load(dictionary); });
}

bool TMigemo::Load() {
    FLibrary->Load(FDictionary);
    return FLibrary->Object != nullptr;
}

TMigemo::TLoadState TMigemo::LoadState() const { return FLibrary->State; }

TMigemoProblem TMigemo::Problem() const {
    return FLibrary->State == TLoadState::Failed ? FLibrary->Problem : TMigemoProblem::None;
}

std::string TMigemo::ProblemFile() const {
    return FLibrary->State == TLoadState::Failed ? FLibrary->ProblemFile : FDictionary;
}

std::string TMigemo::UnavailableMessage() const {
    const std::string file = ProblemFile();
    switch (Problem()) {
    case TMigemoProblem::NotAFile: return file + " is not a regular file: it cannot serve as the Migemo dictionary";
    case TMigemoProblem::TooLarge: return file + " is too large to be part of a Migemo dictionary";
    case TMigemoProblem::NotADictionary: return file + " is not a Migemo dictionary";
    case TMigemoProblem::None:
    case TMigemoProblem::Missing: break;
    }
    return "romaji search needs the Migemo dictionary " + file + " (Debian package " + kMigemoPackage + ")";
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
