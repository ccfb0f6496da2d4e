// One file searched: opened, its encoding decided where its text stops being ASCII, its
// bytes fed to the engine as Shift-JIS block by block, its matching lines reported with the
// file's own line numbers.
//
// A file is read straight into the engine's window while it is ASCII (the same bytes in
// every encoding decided from), and on so when it turns out to be Shift-JIS (the common
// case): nothing is copied or converted. Any other encoding goes through TSjisTranscoder
// from where it was decided, so the same pattern, widening and synonyms hold in every file. Entry points: TSearchSource (a file's bytes as the engine reads them),
// TFileSearcher (one search per thread), TSourceText (a result line's text as the file
// holds it).
#pragma once

#include "ByteScan.h"
#include "Detect.h"
#include "GrepSearch.h"
#include "MappedRange.h"
#include "SjisTranscoder.h"

#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace xavo {

// How a file's encoding is found: decided per file from its first block (Auto), or the
// one the user named (completed from the file's byte-order mark).
struct TEncodingChoice {
    std::optional<TFileEncoding> Forced;
    bool IsAuto() const { return !Forced; }
};

// What every match of a program holds, as the bytes of a UTF-8 or EUC-JP file: the
// program's literal where one byte string of the encoding stands for it (no other
// character converts to one of its characters), else each character of its code set in
// every form that converts to it. Lines without it cannot match.
class TNativeFinder {
public:
    explicit TNativeFinder(std::string literal);
    explicit TNativeFinder(std::vector<std::string> alternatives);
    // The first position in [p, end) where it begins (maybe within a character), or end.
    // Only what begins at P or after is found.
    const unsigned char* Find(const unsigned char* p, const unsigned char* end) const;
    // The length of its longest form: a search that found nothing in [p, end) may go on from
    // end - (Longest() - 1).
    std::size_t Longest() const { return FLongest; }

private:
    std::size_t FLongest = 0;
    TLiteralFinder FLiteral;
    std::vector<std::string> FAlternatives;  // each ends with a byte of FLast
    std::optional<TByteFinder> FLast;
};

// The finders of one program, worked out once per encoding.
class TNativeFilter {
public:
    explicit TNativeFilter(const TGrepProgram& program) : FProgram(program) {}
    // Null when the program gives none for files in Kind.
    const TNativeFinder* For(TEncoding kind);

private:
    const TGrepProgram& FProgram;
    bool FUtf8Known = false, FEucJpKnown = false;
    std::unique_ptr<TNativeFinder> FUtf8, FEucJp;
};

// A file's bytes as the engine reads them: Shift-JIS. Raises EFileNotFound when the file
// cannot be opened; Read raises what reading raises (EWouldBlock, EInOutError).
//
// With a filter, a UTF-8 or EUC-JP file is filtered before it is converted: a line
// without what every match holds cannot match, and reaches the engine as an empty line (so
// line numbers stay the file's own); only the other lines are converted. A larger regular
// file is converted from mapped windows, which spares copying it out of the page cache.
class TSearchSource : public TByteSource {
public:
    // Cancel (when given) is honoured between the blocks of a conversion, whose output may
    // need many blocks of the file (a file of JIS escape sequences gives none).
    TSearchSource(const std::string& path, TEncodingChoice choice, const std::atomic<bool>* cancel = nullptr,
                  TNativeFilter* filter = nullptr);

    std::size_t Read(char* buffer, std::size_t size) override;

    // The file's encoding; Shift-JIS until decided, which is where its text stops being
    // ASCII (a file of ASCII stays undecided, read as it is).
    TFileEncoding Encoding() const { return FEncoding; }
    // Whether the engine sees other bytes than the file's own.
    bool Converted() const { return FState == TState::Convert; }

    // Bytes the filter has looked at so far (for tests: a long line is looked at once, not
    // again with every block read onto it).
    std::uint64_t FilterLooked() const { return FFilterLooked; }

    // Whether the line handed out at Offset (Length bytes, the line end not counted) is the
    // file's own text when decoded as Shift-JIS: false when one of its characters may read
    // back otherwise (TSjisTranscoder::Inexact); Near (when given) then receives where in the
    // file such a character lies, when that is known. Lines are asked for in ascending order.
    bool Exact(std::uint64_t offset, std::size_t length, std::optional<std::uint64_t>* near = nullptr);

private:
    // Undecided: ASCII so far, handed out as it is. Plain: Shift-JIS, the file's own bytes.
    enum class TState : std::uint8_t { Start, Undecided, Plain, Convert, Filter };
    std::size_t Begin(char* buffer, std::size_t size);
    std::size_t ReadUndecided(char* buffer, std::size_t size);
    std::size_t ReadPlain(char* buffer, std::size_t size);
    bool PeekDesignation(std::string_view cut);
    void ReadMoreRaw();
    void Enter(TFileEncoding encoding);
    std::size_t Serve(char* buffer, std::size_t size);
    std::size_t Convert(char* buffer, std::size_t size);
    void NextStretch();
    void ReadRaw();
    void FilterStep();
    void EmptyLines(const unsigned char* from, const unsigned char* to);
    void NoteInexact(std::uint64_t out, std::uint64_t in);

    TFileHandle FFile;
    TEncodingChoice FChoice;
    const std::atomic<bool>* FCancel;
    TNativeFilter* FFilter;
    const TNativeFinder* FNative = nullptr;  // Filter: what a line must hold, in the file's bytes
    // FRaw's (Undecided, Plain, Filter) or FStretch's (Convert) bytes from here on are still
    // to be handled.
    std::size_t FRawPos = 0;
    TState FState = TState::Start;
    TFileEncoding FEncoding;
    std::optional<TSjisTranscoder> FTranscoder;
    std::string FRaw;         // the file's bytes read but not yet handed out or converted
    std::string FOut;         // converted bytes not yet handed out, from FOutPos
    std::size_t FOutPos = 0;
    bool FRawEnd = false;     // the file's last bytes are in FRaw (or FStretch)
    bool FConverted = false;  // Convert: the transcoder has had the last byte
    // Convert: the file's bytes being converted, from FRawPos on (in FRaw or FMapped).
    std::string_view FStretch;
    TMappedRange FMapped;
    std::optional<std::uint64_t> FMapNext;  // the file offset of the next window to map
    std::uint64_t FStretchAt = 0;  // Convert: the file offset of FStretch's first byte
    std::uint64_t FReadAt = 0;     // Convert: the file offset the next read starts at
    std::uint64_t FRawAt = 0;      // Filter: the file offset of FRaw's first byte
    std::uint64_t FHanded = 0; // Undecided, Convert, Filter: the offset of the next byte handed out
    // Filter, file offsets in the line at FRawPos whose end is still to come: no candidate
    // begins before FNoCandidateBefore, no CR or LF lies before FNoLineEndBefore, and a
    // candidate was found at FCandidateAt (when set).
    std::uint64_t FNoCandidateBefore = 0;
    std::uint64_t FNoLineEndBefore = 0;
    std::optional<std::uint64_t> FCandidateAt;
    std::uint64_t FFilterLooked = 0;
    std::vector<TSjisTranscoder::TInexactNote> FInexactLog;  // the transcoder's notes from its last call
    // The characters that read back otherwise, ascending, from the first line not yet asked
    // for: where they were handed out, and where they lie in the file. Only the last
    // kMaxNotedInexact are kept, those up to the floor having been dropped.
    struct TInexactAt {
        std::uint64_t Out;
        std::uint64_t File;
    };
    std::deque<TInexactAt> FInexactAt;
    std::optional<std::uint64_t> FInexactFloor;
};

// The search of one file after another on one thread (the program may be shared).
class TFileSearcher {
public:
    // The flag and the hook must outlive the searcher.
    TFileSearcher(const TGrepProgram& program, const std::atomic<bool>& cancelFlag, TIdleHook idle,
                  TEncodingChoice choice = {});

    // Reports every matching line of the file to Sink in file order: its number in the
    // file and its text in Shift-JIS. Raises as TGrepSearch::Run does.
    void Run(const std::string& path, const TGrepSearch::TLineSink& sink);

    // The encoding of the file being searched (once its first block was read), or of the
    // file searched last.
    TFileEncoding Encoding() const { return FCurrent != nullptr ? FCurrent->Encoding() : FEncoding; }
    const TEncodingChoice& Choice() const { return FChoice; }

    // Whether a line reported for the file being searched, decoded as Shift-JIS, shows the
    // file's own text (else TSourceText has it); Near as for TSearchSource::Exact.
    bool ShowsOwnText(const RE_LineInfo_t& info, std::optional<std::uint64_t>* near = nullptr);

private:
    TGrepSearch FSearch;
    TNativeFilter FFilter;
    const std::atomic<bool>& FCancelFlag;
    TEncodingChoice FChoice;
    TFileEncoding FEncoding;
    TSearchSource* FCurrent = nullptr;
};

// Whether a line the engine read from a file in Kind shows the file's own characters when
// decoded as Shift-JIS: each of its codes comes from one character of Kind only (not the
// reserved code, nor a code two characters fold onto, such as the wave dash and the
// full-width tilde of UTF-8). Otherwise TSourceText has the line's own text.
bool ShowsOwnText(std::string_view sjisLine, TEncoding kind);

// The text of a file's lines as the file holds them, for lines asked for in ascending
// order: for a file not in Shift-JIS, whose converted lines lose what Shift-JIS cannot
// hold. The file is opened again at the first line asked for. Raises EFileNotFound and
// what reading raises.
class TSourceText {
public:
    TSourceText(std::string path, TFileEncoding encoding) : FPath(std::move(path)), FEncoding(encoding) {}
    // Line LineNo (from 1) as UTF-8; false when the file no longer holds it. Near: where in
    // the file one of its characters lies, if known (the line is then read from there).
    bool Utf8Line(std::int64_t lineNo, std::string& utf8, std::optional<std::uint64_t> near = {});

private:
    bool LineAround(std::uint64_t near, std::string& bytes);

    std::string FPath;
    TFileEncoding FEncoding;
    std::unique_ptr<TFileSource> FFile;
    std::unique_ptr<TSourceLineFinder> FFinder;
    std::optional<TFileHandle> FRandom;  // for lines read from where they lie
    std::string FBytes;
    std::u16string FText;
};

}  // namespace xavo
