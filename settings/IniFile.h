// The INI file object: private-profile access to one file of Shift-JIS bytes.
//
// Sections and keys are looked up ignoring ASCII case; a value read is trimmed of blanks,
// loses one pair of enclosing quotation marks and is at most 1023 bytes. Every write
// replaces the file atomically, so a crash or a full disk never leaves half a file. The
// parsed file is cached and re-read only when the file on disk changes; BeginUpdate /
// EndUpdate (or TIniUpdate) gather many writes into one replacement of the file.
// Entry points: TIniFile::ReadString, WriteString, EraseSection.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace xavo {

// A write that the system refused. Path is the file that could not be written; ErrorCode
// the errno value behind it (0 when none applies).
class EIniFileError : public std::runtime_error {
public:
    EIniFileError(const std::string& path, int errorCode);
    std::string Path;
    int ErrorCode;
};

class TIniFile {
public:
    // Longest value a read returns, in bytes.
    static constexpr std::size_t kMaxValueLength = 1023;

    // Touches no file. Path is the full (or current-directory relative) file path.
    explicit TIniFile(std::string path = {});
    TIniFile(TIniFile&&) noexcept;
    TIniFile& operator=(TIniFile&&) noexcept;
    ~TIniFile();

    const std::string& FileName() const { return FPath; }

    // When set, a write first creates the file's missing directory (mode 0700). Used for the
    // user's configuration directory, which may not exist yet.
    void SetCreateDirectory(bool create) { FCreateDirectory = create; }
    bool CreatesDirectory() const { return FCreateDirectory; }

    // The value of Key in Section, or Default (unchanged) when the file, section or key is
    // missing or the file cannot be read. Never throws for file problems.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;

    // The keys Section holds, in their look-up form (ASCII letters lowered, see
    // ini_text::Fold) and in no particular order; none when the file or section is missing.
    std::vector<std::string> KeysOf(std::string_view section) const;

    // Replaces Key's value in place, or appends the key (and the section) when absent,
    // creating the file; a value the line already holds leaves the file untouched. A line
    // break in Value is written as a blank (the layout has no way to hold one). Throws EIniFileError (file unchanged) when the file cannot be written,
    // std::invalid_argument for a section or key name that could not be read back.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Removes every section named Section with all its lines (no file is written when
    // there is none). Throws as WriteString.
    void EraseSection(std::string_view section);

    // Between the outermost BeginUpdate and its EndUpdate the file is looked at once and
    // written once: reads see that snapshot plus the writes made since. EndUpdate writes
    // the changes (re-applied onto the file's newest content if another program changed
    // it meanwhile) and throws EIniFileError when that fails; the changes are then dropped.
    // Calls nest; the path must not change in between.
    void BeginUpdate();
    void EndUpdate();

private:
    class TModel;
    struct TChange;

    // Brings the cached model up to date with the disk (unless a batch holds it).
    void Refresh() const;
    void Apply(const TChange& change);
    void Commit();

    std::string FPath;
    bool FCreateDirectory = false;
    int FUpdateCount = 0;
    mutable bool FSnapshotTaken = false;  // the batch has looked at the disk
    mutable std::unique_ptr<TModel> FModel;
};

// Holds a TIniFile batch open for its lifetime. Commit() ends it and raises the write
// error; a batch left without Commit (an exception unwinding) is still written, but a
// failure is then swallowed because an error is already on its way.
class TIniUpdate {
public:
    explicit TIniUpdate(TIniFile& ini);
    ~TIniUpdate();
    TIniUpdate(const TIniUpdate&) = delete;
    TIniUpdate& operator=(const TIniUpdate&) = delete;

    void Commit();

private:
    TIniFile* FIni;
};

}  // namespace xavo
