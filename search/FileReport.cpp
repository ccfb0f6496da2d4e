// One file's output. Every line that may be printed passes through Line() in order: the
// reported matching lines, and, when a line reader is needed, the lines between them.
// Selection (-v), the limit (-m), context and the listing modes are decided there.
#include "FileReport.h"

#include "MatchSpans.h"
#include "SjisBytes.h"
#include "SjisCodec.h"
#include "TerminalText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace xavo {

namespace {

constexpr std::size_t kReadBytes = 64 * 1024;
constexpr std::size_t kFlushBytes = 64 * 1024;

// The marks grep uses by default: file name, line number, separator, match, end.
constexpr const char* kFileColor = "\033[35m\033[K";
constexpr const char* kLineNoColor = "\033[32m\033[K";
constexpr const char* kSeparatorColor = "\033[36m\033[K";
constexpr const char* kMatchColor = "\033[01;31m\033[K";
constexpr const char* kColorEnd = "\033[m\033[K";

}  // namespace

std::string GroupSeparator(bool color) {
    return color ? std::string(kSeparatorColor) + "--" + kColorEnd + "\n" : std::string("--\n");
}

TLineReader::TLineReader(std::unique_ptr<TByteSource> source)
    : FSource(std::move(source)), FBuffer(std::make_unique<char[]>(kReadBytes)) {}

bool TLineReader::Next(std::string& line) {
    line.clear();
    return Advance(&line);
}

bool TLineReader::Skip() { return Advance(nullptr); }

bool TLineReader::Advance(std::string* line) {
    bool any = false;
    for (;;) {
        if (FPos == FLength) {
            if (FAtEnd) return any;
            FLength = FSource->Read(FBuffer.get(), kReadBytes);
            FPos = 0;
            FAtEnd = FLength < kReadBytes;
            continue;
        }
        if (FSkipLineFeed) {
            FSkipLineFeed = false;
            if (FBuffer[FPos] == '\n') {
                ++FPos;
                continue;
            }
        }
        // The line ends at the first LF or CR.
        const char* const from = FBuffer.get() + FPos;
        std::size_t length = FLength - FPos;
        if (const void* lf = std::memchr(from, '\n', length)) length = static_cast<std::size_t>(static_cast<const char*>(lf) - from);
        if (const void* cr = std::memchr(from, '\r', length)) length = static_cast<std::size_t>(static_cast<const char*>(cr) - from);
        if (line != nullptr) {
            const std::size_t old = line->size();
            line->append(from, length);
            std::replace(line->begin() + static_cast<std::ptrdiff_t>(old), line->end(), '\0', ' ');
        }
        any = any || length != 0;
        FPos += length;
        if (FPos == FLength) continue;  // the line goes on in the next block
        FSkipLineFeed = FBuffer[FPos++] == '\r';
        return true;
    }
}

TFileReport::TFileReport(const TReportOptions& options, const TGrepProgram& program, std::string path, TFlush flush)
    : FOptions(options), FProgram(program), FPath(std::move(path)), FFlush(std::move(flush)) {
    if (NeedsReader()) FReader = std::make_unique<TLineReader>(std::make_unique<TSearchSource>(FPath, FOptions.Encoding));
}

bool TFileReport::NeedsReader() const {
    // Without -v the reports are the selected lines; the others matter only as context
    // (and -c, -l, -L, -q need no text at all).
    return FOptions.Invert || FOptions.Context();
}

bool TFileReport::Match(const RE_LineInfo_t& info, bool ownText, std::optional<std::uint64_t> near) {
    const auto lineNo = static_cast<std::uint64_t>(info.LineNo);
    FMatchOwnText = ownText;
    FMatchNear = near;
    if (FReader) {
        ReadUpTo(lineNo);
        if (FReaderNext == lineNo) {  // the reader's copy of the line is the reported one
            FReader->Skip();
            ++FReaderNext;
        }
    }
    Line(lineNo, info.Line, true);
    return !FDone;  // trailing context after the last selected line is read by Finish
}

bool TFileReport::NeedsText(std::uint64_t lineNo, std::uint64_t nextReport) const {
    // A line between reports is printed when -v selects it, as trailing context, or as
    // leading context of the next report; otherwise only its number counts.
    if (FOptions.Listing != TListing::Lines) return false;
    if (FOptions.Invert || FAfterLeft != 0) return true;
    return FOptions.Before != 0 && lineNo + FOptions.Before >= nextReport;
}

void TFileReport::ReadUpTo(std::uint64_t lineNo) {
    while (FReaderNext < lineNo) {
        const bool text = NeedsText(FReaderNext, lineNo);
        if (!(text ? FReader->Next(FScratch) : FReader->Skip())) {
            FReaderNext = lineNo;  // the file shrank under us: nothing more to read
            return;
        }
        if (!text) FScratch.clear();
        Line(FReaderNext++, FScratch, false);
    }
}

void TFileReport::Finish() {
    // The rest of the file matters for lines selected by -v and for trailing context.
    if (FReader) {
        while ((FOptions.Invert && !FDone) || FAfterLeft != 0) {
            const bool text = NeedsText(FReaderNext, static_cast<std::uint64_t>(-1));
            if (!(text ? FReader->Next(FScratch) : FReader->Skip())) break;
            if (!text) FScratch.clear();
            Line(FReaderNext++, FScratch, false);
        }
    }
    if (FOptions.MaxCount == 0) return;  // grep stops before reading anything
    switch (FOptions.Listing) {
    case TListing::Count:
        AppendPath();
        if (FOptions.Color) FText += kSeparatorColor;
        FText += ':';
        if (FOptions.Color) FText += kColorEnd;
        FText += std::to_string(FSelected);
        FText += '\n';
        break;
    case TListing::FilesWithMatches:
    case TListing::FilesWithoutMatch:
        if ((FSelected != 0) == (FOptions.Listing == TListing::FilesWithMatches)) {
            AppendPath();
            FText += '\n';
        }
        break;
    case TListing::Lines:
    case TListing::Quiet:
        break;
    }
}

void TFileReport::Line(std::uint64_t lineNo, const std::string& text, bool matches) {
    const bool context = FOptions.Context();
    if (FDone) {
        // After the last selected line (-m) only its trailing context is printed, whatever it holds.
        if (FAfterLeft != 0) {
            --FAfterLeft;
            Print(lineNo, text, '-', TMatchKnown::Unknown);  // the search stopped: not known
        }
        return;
    }
    if (matches != FOptions.Invert) {
        if (FOptions.MaxCount == 0) {
            FDone = true;
            return;
        }
        ++FSelected;
        if (FOptions.Listing == TListing::Lines) {
            for (const TBeforeLine& before : FBefore) Print(before.LineNo, before.Text, '-', before.Matches);
            FBefore.clear();
            Print(lineNo, text, ':', matches ? TMatchKnown::Yes : TMatchKnown::No);
            FAfterLeft = FOptions.After;
        } else if (FOptions.Listing != TListing::Count) {
            FDone = true;  // one selected line decides the file
        }
        if (FOptions.MaxCount > 0 && FSelected >= static_cast<std::uint64_t>(FOptions.MaxCount)) FDone = true;
        return;
    }
    if (!context) return;
    const TMatchKnown known = matches ? TMatchKnown::Yes : TMatchKnown::No;
    if (FAfterLeft != 0) {
        --FAfterLeft;
        Print(lineNo, text, '-', known);
    } else if (FOptions.Before != 0) {
        if (FBefore.size() == FOptions.Before) FBefore.pop_front();
        FBefore.push_back({lineNo, text, known});
    }
}

void TFileReport::AppendPath() {
    if (FOptions.Color) FText += kFileColor;
    if (FOptions.Terminal)
        AppendForTerminal(FText, FPath);
    else
        FText += FPath;
    if (FOptions.Color) FText += kColorEnd;
}

void TFileReport::Print(std::uint64_t lineNo, const std::string& text, char separator, TMatchKnown matches) {
    if (FOptions.Context() && FLastPrinted != 0 && lineNo > FLastPrinted + 1) FText += GroupSeparator(FOptions.Color);
    FLastPrinted = lineNo;
    AppendPath();
    FText += ' ';
    if (FOptions.Color) FText += kLineNoColor;
    FText += std::to_string(lineNo);
    if (FOptions.Color) {
        FText += kColorEnd;
        FText += kSeparatorColor;
    }
    FText += separator;
    if (FOptions.Color) FText += kColorEnd;
    AppendText(lineNo, text, matches);
    FText += '\n';
    Grown();
}

bool TFileReport::AppendOwnLine(std::uint64_t lineNo, const std::string& text, TMatchKnown matches) {
    if (FSourceTextFailed) return false;
    try {
        if (!FSourceText) FSourceText = std::make_unique<TSourceText>(FPath, FEncoding);
        const std::optional<std::uint64_t> near = FReader == nullptr ? FMatchNear : std::nullopt;
        if (!FSourceText->Utf8Line(static_cast<std::int64_t>(lineNo), FOwnLine, near)) return false;
    } catch (const EInOutError&) {  // gone or unreadable since the search: print the conversion
        FSourceTextFailed = true;
        return false;
    }
    const auto add = [&](std::string_view bytes) {
        if (FOptions.Terminal)
            AppendForTerminal(FText, bytes);
        else
            FText.append(bytes);
    };
    if (!FOptions.Color || matches == TMatchKnown::No) {
        add(FOwnLine);
        return true;
    }
    // The marks go round the same characters: the conversion keeps one character for each
    // of the file's (an ill-formed sequence aside, which leaves the marks to the conversion).
    std::vector<std::size_t> sjisStarts, ownStarts;
    for (std::size_t i = 0; i < text.size(); i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1)
        sjisStarts.push_back(i);
    for (std::size_t i = 0; i < FOwnLine.size(); ++i)
        if ((static_cast<unsigned char>(FOwnLine[i]) & 0xC0) != 0x80) ownStarts.push_back(i);
    if (sjisStarts.size() != ownStarts.size()) return false;
    sjisStarts.push_back(text.size());
    ownStarts.push_back(FOwnLine.size());
    const auto own = [&](std::size_t sjis) {
        const auto k = std::lower_bound(sjisStarts.begin(), sjisStarts.end(), sjis) - sjisStarts.begin();
        return ownStarts[static_cast<std::size_t>(k)];
    };
    const std::string_view line(FOwnLine);
    std::size_t at = 0;
    for (const TMatchSpan& span : FindMatchSpans(FProgram, text)) {
        const std::size_t begin = own(span.Begin), end = own(span.End);
        add(line.substr(at, begin - at));
        FText += kMatchColor;
        add(line.substr(begin, end - begin));
        FText += kColorEnd;
        at = end;
    }
    add(line.substr(at));
    return true;
}

void TFileReport::AppendText(std::uint64_t lineNo, const std::string& text, TMatchKnown matches) {
    // Without a reader every line printed is the one Match reports, which the search judged.
    const bool own = FReader == nullptr ? FMatchOwnText : ShowsOwnText(text, FEncoding.Kind);
    if (FOptions.Utf8 && !own && AppendOwnLine(lineNo, text, matches)) return;
    const auto add = [&](std::string_view bytes) {
        if (FOptions.Terminal)
            AppendForTerminal(FText, bytes);
        else
            FText.append(bytes);
    };
    const auto append = [&](std::string_view part) {
        if (FOptions.Utf8)
            add(SjisToShownUtf8(part));  // a duplicate code prints as its character
        else
            add(part);
    };
    if (!FOptions.Color || matches == TMatchKnown::No) {
        append(text);
        return;
    }
    std::size_t at = 0;
    for (const TMatchSpan& span : FindMatchSpans(FProgram, text)) {
        append(std::string_view(text).substr(at, span.Begin - at));
        FText += kMatchColor;
        append(std::string_view(text).substr(span.Begin, span.End - span.Begin));
        FText += kColorEnd;
        at = span.End;
    }
    append(std::string_view(text).substr(at));
}

void TFileReport::Grown() {
    if (FText.size() >= kFlushBytes) FFlush(FText);
}

}  // namespace xavo
