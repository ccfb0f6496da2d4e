// The INI file object: parsing, look-up, editing in place and atomic writing.
//
// The file is held as its lines, each with its own line end, grouped into sections (the
// lines before the first header form a nameless leading group). Only header and key
// lines are interpreted; every other line is carried through untouched, so a rewrite
// changes exactly the lines that were written.
#include "IniFile.h"

#include "AtomicFile.h"
#include "IniText.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xavo {
namespace {

using ini_text::CutLength;
using ini_text::Fold;
using ini_text::IsLeadByte;

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

// The value of a key line as a read returns it.
std::string ValueOf(std::string_view line) {
    std::string_view v = Trim(line.substr(line.find('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return std::string(v.substr(0, CutLength(v, TIniFile::kMaxValueLength)));
}

// Section and key names the caller passes must come back from the file as the same name.
void CheckName(std::string_view name, bool isKey) {
    const bool bad = name.empty() || name.find_first_of("\r\n") != std::string_view::npos ||
                     Trim(name).size() != name.size() ||
                     (isKey && (name.find('=') != std::string_view::npos || name.front() == '[' || name.front() == ';'));
    if (bad) throw std::invalid_argument("bad INI " + std::string(isKey ? "key" : "section") + " name");
}

// Identity of a file's content as far as stat can tell; a rename, an edit in place or a
// touch all change it.
struct TFileId {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    timespec Modified{};
    timespec Changed{};

    static TFileId Of(const struct stat& st) {
        return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    // File times come from the coarse clock, so a change within the same tick as the
    // moment we looked may leave every field as it was. Such an identity proves nothing.
    bool IsRacy(const timespec& lookedAt) const {
        const auto notBefore = [&](const timespec& t) {
            return t.tv_sec > lookedAt.tv_sec || (t.tv_sec == lookedAt.tv_sec && t.tv_nsec >= lookedAt.tv_nsec);
        };
        return notBefore(Modified) || notBefore(Changed);
    }
    bool operator==(const TFileId& o) const {
        return Device == o.Device && Inode == o.Inode && Size == o.Size && Modified.tv_sec == o.Modified.tv_sec &&
               Modified.tv_nsec == o.Modified.tv_nsec && Changed.tv_sec == o.Changed.tv_sec &&
               Changed.tv_nsec == o.Changed.tv_nsec;
    }
};

struct TLine {
    std::string Text;  // without the line end
    std::string End;   // "\r\n", "\n", "\r" or "" (last line without one)
};

struct TSection {
    std::string Folded;                                   // folded section name
    std::vector<TLine> Lines;                             // header first, unless leading group
    std::unordered_map<std::string, std::size_t> Keys;   // folded key -> first line holding it
};

bool IsBlankLine(const TLine& line) { return Trim(line.Text).empty(); }

}  // namespace

EIniFileError::EIniFileError(const std::string& path, int errorCode)
    : std::runtime_error(path + " に書き込めません"), Path(path), ErrorCode(errorCode) {}

struct TIniFile::TChange {
    bool Erase;
    std::string Section, Key, Value;
};

class TIniFile::TModel {
public:
    enum TState { Missing, Readable, Unreadable };

    // Reads the file; never throws for file problems (they give an empty model).
    explicit TModel(const std::string& path) {
        const timespec lookedAt = CoarseNow();
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            SetFailure(errno == ENOENT || errno == ENOTDIR ? Missing : Unreadable, errno);
            return;
        }
        struct stat st {};
        std::string text;
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            SetFailure(Unreadable, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        } else if (!ReadAll(fd, text)) {
            SetFailure(Unreadable, errno);
        } else {
            State = Readable;
            SetIdentity(st, lookedAt);
            Parse(text);
        }
        close(fd);
    }

    // True when the file on disk still is what this model was read from.
    bool IsCurrent(const std::string& path) const {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return State == Missing && (errno == ENOENT || errno == ENOTDIR);
        return State == Readable && !Racy && S_ISREG(st.st_mode) && TFileId::Of(st) == Id;
    }

    void SetIdentity(const struct stat& st, const timespec& lookedAt) {
        Id = TFileId::Of(st);
        Racy = Id.IsRacy(lookedAt);
    }

    static timespec CoarseNow() {
        timespec now{};
        clock_gettime(CLOCK_REALTIME_COARSE, &now);
        return now;
    }

    std::vector<std::string> KeysOf(std::string_view section) const {
        std::vector<std::string> keys;
        if (const auto s = SectionIndex.find(Fold(section)); s != SectionIndex.end()) {
            for (const auto& entry : Sections[s->second].Keys) keys.push_back(entry.first);
        }
        return keys;
    }

    const TLine* Find(std::string_view section, std::string_view key) const {
        const auto s = SectionIndex.find(Fold(section));
        if (s == SectionIndex.end()) return nullptr;
        const TSection& sec = Sections[s->second];
        const auto k = sec.Keys.find(Fold(key));
        return k == sec.Keys.end() ? nullptr : &sec.Lines[k->second];
    }

    // Applies one write or erase, noting whether it changed the content.
    void Apply(const TChange& change) {
        if (change.Erase ? Erase(change.Section) : Write(change.Section, change.Key, change.Value)) Dirty = true;
    }

    std::string Text() const {
        std::string out;
        for (const TSection& sec : Sections) {
            for (const TLine& line : sec.Lines) out.append(line.Text).append(line.End);
        }
        return out;
    }

    TState State = Missing;
    int Error = 0;  // errno of a failed read
    TFileId Id;
    bool Racy = false;             // Id was taken too soon after a change to be trusted
    std::vector<TChange> Journal;  // writes not yet on disk
    bool Dirty = false;            // the journal changed the content

private:
    bool Write(std::string_view section, std::string_view key, std::string_view value) {
        auto s = SectionIndex.find(Fold(section));
        if (s == SectionIndex.end()) {
            EndLastLine();
            Sections.push_back({Fold(section), {{"[" + std::string(section) + "]", LineEnd}}, {}});
            s = SectionIndex.emplace(Fold(section), Sections.size() - 1).first;
        }
        TSection& sec = Sections[s->second];
        const std::string folded = Fold(key);
        if (const auto k = sec.Keys.find(folded); k != sec.Keys.end()) {
            // Keep the key's spelling and spacing; only the value changes.
            std::string& text = sec.Lines[k->second].Text;
            const std::size_t start = std::min(text.find_first_not_of(kBlanks, text.find('=') + 1), text.size());
            if (std::string_view(text).substr(start) == value) return false;
            text.replace(start, std::string::npos, value);
            return true;
        }
        // New keys go after the section's last non-blank line, so blank lines that
        // separate it from the next section stay in front of that section.
        std::size_t at = sec.Lines.size();
        while (at > 1 && IsBlankLine(sec.Lines[at - 1])) --at;
        if (sec.Lines[at - 1].End.empty()) sec.Lines[at - 1].End = LineEnd;
        sec.Lines.insert(sec.Lines.begin() + static_cast<std::ptrdiff_t>(at),
                         TLine{std::string(key) + "=" + std::string(value), LineEnd});
        sec.Keys.emplace(folded, at);
        return true;
    }

    bool Erase(std::string_view section) {
        const std::string folded = Fold(section);
        const auto kept = std::remove_if(Sections.begin() + 1, Sections.end(),
                                         [&](const TSection& sec) { return sec.Folded == folded; });
        if (kept == Sections.end()) return false;
        Sections.erase(kept, Sections.end());
        RebuildSectionIndex();
        return true;
    }

    void SetFailure(TState state, int error) {
        State = state;
        Error = error;
        Sections.assign(1, TSection{});
    }

    static bool ReadAll(int fd, std::string& text) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n == 0) return true;
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // The section name of a header line, or false when the line is none.
    static bool HeaderName(std::string_view text, std::string_view& name) {
        const std::string_view t = Trim(text);
        if (t.empty() || t.front() != '[') return false;
        const auto close = t.rfind(']');
        if (close == std::string_view::npos || close == 0) return false;
        name = Trim(t.substr(1, close - 1));
        return true;
    }

    void Parse(std::string_view text) {
        // A byte-order mark some editors put in front stays in the text but must not hide
        // the first header.
        const std::size_t bom = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
        Sections.assign(1, TSection{});
        for (std::size_t pos = 0; pos < text.size();) {
            const std::size_t start = pos;
            const auto nl = text.find('\n', pos);
            pos = nl == std::string_view::npos ? text.size() : nl + 1;
            std::size_t textEnd = nl == std::string_view::npos ? text.size() : nl;
            if (textEnd > start && text[textEnd - 1] == '\r') --textEnd;
            TLine line{std::string(text.substr(start, textEnd - start)), std::string(text.substr(textEnd, pos - textEnd))};

            std::string_view name;
            const std::string_view body = std::string_view(line.Text).substr(start == 0 ? bom : 0);
            if (HeaderName(body, name)) {
                Sections.push_back({Fold(name), {}, {}});
            } else if (Sections.size() > 1) {
                const std::string_view t = Trim(line.Text);
                const auto eq = t.find('=');
                if (eq != std::string_view::npos && t.front() != ';') {
                    const std::string_view key = Trim(t.substr(0, eq));
                    if (!key.empty()) Sections.back().Keys.emplace(Fold(key), Sections.back().Lines.size());
                }
            }
            Sections.back().Lines.push_back(std::move(line));
        }
        for (const TSection& sec : Sections) {
            if (!sec.Lines.empty() && (sec.Lines.front().End == "\r\n" || sec.Lines.front().End == "\n")) {
                LineEnd = sec.Lines.front().End;
                break;
            }
        }
        RebuildSectionIndex();
    }

    void RebuildSectionIndex() {
        SectionIndex.clear();
        for (std::size_t i = 1; i < Sections.size(); ++i) {
            SectionIndex.emplace(Sections[i].Folded, i);  // the first of equal names wins
        }
    }

    // Gives the file's last line a line end before something is appended after it.
    void EndLastLine() {
        for (auto sec = Sections.rbegin(); sec != Sections.rend(); ++sec) {
            if (sec->Lines.empty()) continue;
            if (sec->Lines.back().End.empty()) sec->Lines.back().End = LineEnd;
            return;
        }
    }

    std::vector<TSection> Sections = std::vector<TSection>(1);  // [0]: lines before the first header
    std::unordered_map<std::string, std::size_t> SectionIndex;
    std::string LineEnd = "\r\n";
};

TIniFile::TIniFile(std::string path) : FPath(std::move(path)) {}
TIniFile::TIniFile(TIniFile&&) noexcept = default;
TIniFile& TIniFile::operator=(TIniFile&&) noexcept = default;
TIniFile::~TIniFile() = default;

void TIniFile::Refresh() const {
    // Inside a batch the disk is looked at once, on the batch's first access.
    if (FModel && (FSnapshotTaken || FModel->IsCurrent(FPath))) {
        FSnapshotTaken = FUpdateCount > 0;
        return;
    }
    FModel = std::make_unique<TModel>(FPath);
    FSnapshotTaken = FUpdateCount > 0;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const {
    Refresh();
    const TLine* line = FModel->Find(section, key);
    return line ? ValueOf(line->Text) : std::string(defaultValue);
}

std::vector<std::string> TIniFile::KeysOf(std::string_view section) const {
    Refresh();
    return FModel->KeysOf(section);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    CheckName(section, false);
    CheckName(key, true);
    std::string clean(value);
    for (char& c : clean) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    Apply({false, std::string(section), std::string(key), std::move(clean)});
}

void TIniFile::EraseSection(std::string_view section) {
    CheckName(section, false);
    Apply({true, std::string(section), {}, {}});
}

void TIniFile::Apply(const TChange& change) {
    Refresh();
    FModel->Apply(change);
    FModel->Journal.push_back(change);
    if (FUpdateCount == 0) Commit();
}

void TIniFile::Commit() {
    if (!FModel || FModel->Journal.empty()) return;
    if (!FModel->IsCurrent(FPath)) {
        // Another program changed the file since it was read: redo the changes on its
        // newest content rather than overwrite that program's work.
        std::vector<TChange> journal = std::move(FModel->Journal);
        FModel = std::make_unique<TModel>(FPath);
        for (const TChange& change : journal) FModel->Apply(change);
    }
    std::unique_ptr<TModel> model = std::move(FModel);  // re-read from disk after a failure
    model->Journal.clear();
    if (!model->Dirty) {  // every write matched what the file already said
        FModel = std::move(model);
        return;
    }
    if (model->State == TModel::Unreadable) {
        // Rewriting a file that exists but cannot be read would destroy its content.
        throw EIniFileError(FPath, model->Error);
    }
    try {
        ReplaceFileAtomically(FPath, model->Text(), FCreateDirectory);
    } catch (const std::system_error& e) {
        throw EIniFileError(FPath, e.code().value());
    }
    const timespec lookedAt = TModel::CoarseNow();
    struct stat st {};
    if (stat(FPath.c_str(), &st) == 0) {
        model->Dirty = false;
        model->State = TModel::Readable;
        model->SetIdentity(st, lookedAt);
        FModel = std::move(model);
    }
}

void TIniFile::BeginUpdate() {
    if (FUpdateCount++ == 0) FSnapshotTaken = false;
}

void TIniFile::EndUpdate() {
    if (FUpdateCount == 0 || --FUpdateCount > 0) return;
    FSnapshotTaken = false;
    Commit();
}

TIniUpdate::TIniUpdate(TIniFile& ini) : FIni(&ini) { FIni->BeginUpdate(); }

TIniUpdate::~TIniUpdate() {
    if (FIni == nullptr) return;
    try {
        FIni->EndUpdate();
    } catch (...) {  // an error is already unwinding the caller; this one would end the program
    }
}

void TIniUpdate::Commit() {
    TIniFile* ini = std::exchange(FIni, nullptr);
    ini->EndUpdate();
}

}  // namespace xavo
