// What the command-line grep prints for one file, from the lines the search reports.
//
// The search reports matching lines in file order; TFileReport turns them into the chosen
// output: result lines ("path lineno:text") with context lines ("path lineno-text") and
// "--" between groups, a count ("path:N"), the file's name, or nothing. Where lines that do
// not match are needed (-v, context, counting with -v), the file is read a second time
// alongside the reports by a plain line reader that splits lines as the search does.
// Entry points: TFileReport::Match, TFileReport::Finish.
#pragma once

#include "FileSearch.h"
#include "GrepProgram.h"
#include "TxtFile.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace xavo {

enum class TListing : std::uint8_t {
    Lines,              // the selected lines
    Count,              // "path:N"
    FilesWithMatches,   // the path of a file with a selected line
    FilesWithoutMatch,  // the path of a file without one
    Quiet,              // nothing
};

struct TReportOptions {
    TListing Listing = TListing::Lines;
    bool Invert = false;        // the selected lines are those that do not match
    std::int64_t MaxCount = -1; // stop a file after this many selected lines; negative: no limit
    std::uint32_t Before = 0;   // context lines before and after each selected line
    std::uint32_t After = 0;
    bool Color = false;         // SGR marks around the path, the number, separators and matches
    bool Utf8 = true;           // line text converted to UTF-8, else the file's bytes
    bool Terminal = false;      // the output is a terminal: controls in paths and text escaped
    TEncodingChoice Encoding;   // how each file's encoding is found (the search's choice)

    bool Context() const { return Listing == TListing::Lines && (Before != 0 || After != 0); }
};

// The group separator line ("--"), coloured as a separator when Color is set.
std::string GroupSeparator(bool color);

// Reads a file line by line as the search splits it: LF, CR LF and a lone CR end a line,
// NUL reads as a space, a last line without an end counts. The bytes come as the search
// reads them (TSearchSource: Shift-JIS whatever the file's encoding).
class TLineReader {
public:
    explicit TLineReader(std::unique_ptr<TByteSource> source);
    // The next line's text; false at the end. Raises EInOutError.
    bool Next(std::string& line);
    // Passes over the next line; false at the end. Raises EInOutError.
    bool Skip();

private:
    bool Advance(std::string* line);

    std::unique_ptr<TByteSource> FSource;
    std::unique_ptr<char[]> FBuffer;
    std::size_t FPos = 0;
    std::size_t FLength = 0;
    bool FAtEnd = false;
    bool FSkipLineFeed = false;  // the last line ended with a CR: a LF right after belongs to it
};

class TFileReport {
public:
    // Receives output text as it grows; takes what it wants out of the string (it may
    // raise, e.g. EGrepCancel, to stop the search).
    using TFlush = std::function<void(std::string& text)>;

    // Path is printed as given and read again when non-matching lines are needed. Program
    // is used for match colours only. The options, the program and the hook must outlive it.
    TFileReport(const TReportOptions& options, const TGrepProgram& program, std::string path, TFlush flush);

    // A matching line of the file, lines in increasing order; OwnText: its text decoded
    // as Shift-JIS is the file's own (TFileSearcher::ShowsOwnText). Returns false once the
    // file needs no more reports (the search may stop). Raises what the flush hook raises,
    // and EFileNotFound / EInOutError from reading the file again.
    bool Match(const RE_LineInfo_t& info, bool ownText = true, std::optional<std::uint64_t> near = {});
    // The end of the file: the lines after the last report, the count or the file name.
    void Finish();

    // The file's encoding, once the search knows it. A file not in Shift-JIS has its UTF-8
    // text printed from its own lines (its Shift-JIS conversion lost what Shift-JIS cannot hold).
    void SetEncoding(TFileEncoding encoding) { FEncoding = encoding; }

    // Whether a line was selected (for the exit status).
    bool Selected() const { return FSelected != 0; }
    // The output not yet handed to the flush hook.
    std::string& Text() { return FText; }

private:
    enum class TMatchKnown : std::uint8_t { No, Yes, Unknown };
    bool NeedsReader() const;
    bool NeedsText(std::uint64_t lineNo, std::uint64_t nextReport) const;
    void Line(std::uint64_t lineNo, const std::string& text, bool matches);
    void Print(std::uint64_t lineNo, const std::string& text, char separator, TMatchKnown matches);
    void AppendText(std::uint64_t lineNo, const std::string& text, TMatchKnown matches);
    bool AppendOwnLine(std::uint64_t lineNo, const std::string& text, TMatchKnown matches);
    void AppendPath();
    void ReadUpTo(std::uint64_t lineNo);
    void Grown();

    const TReportOptions& FOptions;
    const TGrepProgram& FProgram;
    std::string FPath;
    TFlush FFlush;
    std::string FText;
    std::unique_ptr<TLineReader> FReader;
    std::uint64_t FReaderNext = 1;   // number of the line the reader gives next
    std::uint64_t FSelected = 0;
    std::uint64_t FLastPrinted = 0;  // 0: nothing printed yet
    std::uint32_t FAfterLeft = 0;
    struct TBeforeLine {
        std::uint64_t LineNo;
        std::string Text;
        TMatchKnown Matches;
    };
    std::deque<TBeforeLine> FBefore;
    bool FDone = false;              // the file needs no more selected lines
    std::string FScratch;
    TFileEncoding FEncoding;
    bool FMatchOwnText = true;                // of the line Match reports
    std::optional<std::uint64_t> FMatchNear;  // where in the file one of its characters lies
    std::unique_ptr<TSourceText> FSourceText;
    bool FSourceTextFailed = false;
    std::string FOwnLine;
};

}  // namespace xavo
