// The fast search of one file: the same reported lines, numbers and texts as the plain
// loops of TGrep, found by skipping text that cannot start a match.
//
// Entry point: TGrepSearch::Run. Immutable inputs (the program) may be shared between
// threads; one TGrepSearch per thread.
#pragma once

#include "GrepProgram.h"
#include "StreamWindow.h"

#include <functional>
#include <memory>
#include <unordered_map>

namespace xavo {

class TGrepSearch {
public:
    using TLineSink = std::function<void(const RE_LineInfo_t&)>;

    // The flag and the hook must outlive the search.
    TGrepSearch(const TGrepProgram& program, const std::atomic<bool>& cancelFlag, TIdleHook idle,
                std::size_t blockSize = TStreamWindow::kBlockSize);
    ~TGrepSearch();

    // Reports every matching line of the file to Sink, in file order. Before each report
    // the idle hook runs and the cancel flag is checked. Raises EFileNotFound, EGrepCancel
    // and EInOutError; an empty file reports nothing.
    void Run(const std::string& fileName, const TLineSink& sink);
    // The same over bytes read from Source (the file's bytes, or a conversion of them).
    void Run(TByteSource& source, const TLineSink& sink);

    // Steps of the exact search so far (a run's step counts one): for tests, which hold it
    // to a multiple of the text.
    std::uint64_t ExactSteps() const { return FExactSteps; }

private:
    class TLineScan;   // the search of a line-local pattern, line by candidate line
    class TExactScan;  // the search of every attempt, for other patterns and dirty lines
    std::uint64_t SearchExactly(std::uint64_t from, std::uint64_t stop);
    bool LineMatches(std::uint64_t lineStart, std::uint64_t lineEnd);
    bool MayMatchFrom(std::uint64_t candidate, bool atCodeStart, std::uint64_t lineStart) const;
    bool IsClean(std::uint64_t lineStart, std::uint64_t lineEnd) const;
    std::uint64_t ContentEnd(std::uint64_t lineStart, std::uint64_t lineEnd) const;
    std::uint64_t NextLineFeed(std::uint64_t pos);
    std::uint64_t SkipCR(std::uint64_t pos);
    void Report(std::uint64_t lineStart, std::uint64_t lineEnd);

    // The runs under way in a line, as a set of states; sets are numbered as they are met
    // and their steps filled in on first use, so a line costs one table look-up per code.
    static constexpr std::int32_t kUnknown = -1;
    static constexpr std::int32_t kAccept = -2;
    std::int32_t RunSetStep(std::int32_t id, TCharCode code) {
        const std::int32_t next = FRunSetNext[static_cast<std::size_t>(id) * FProgram.ClassCount() + FProgram.ClassOf(code)];
        return next != kUnknown ? next : RunSetStepSlow(id, code);
    }
    std::int32_t RunSetStepSlow(std::int32_t id, TCharCode code);
    bool RunSetAcceptsLineFeed(std::int32_t id);
    std::int32_t InternRunSet(std::vector<std::int32_t>& states);

    const TGrepProgram& FProgram;
    const std::atomic<bool>& FCancelFlag;
    TIdleHook FIdle;
    std::size_t FBlockSize;
    TStreamWindow* FWindow = nullptr;
    const TLineSink* FSink = nullptr;
    std::vector<std::vector<std::int32_t>> FRunSets;  // id -> states, ascending
    std::unordered_map<std::uint64_t, std::vector<std::int32_t>> FRunSetIndex;  // hash -> ids
    std::vector<std::int32_t> FRunSetNext;           // id * classes + class -> id, kAccept, kUnknown
    std::vector<std::int8_t> FRunSetEnd;             // id -> accepts on the line feed: 1, 0, -1 unknown
    std::vector<std::int32_t> FScratch;
    RE_LineInfo_t FInfo;
    std::uint64_t FExactSteps = 0;
    std::unique_ptr<TExactScan> FExact;  // made on first need, kept for its buffers
};

}  // namespace xavo
