// The fast search of one file: the same reported lines, numbers and texts as the plain
// loops of TGrep, found by skipping text that cannot start a match.
//
// Entry point: TGrepSearch::Run. Immutable inputs (the program) may be shared between
// threads; one TGrepSearch per thread.
#pragma once

#include "GrepProgram.h"
#include "StreamWindow.h"

#include <functional>

namespace xavo {

class TGrepSearch {
public:
    using TLineSink = std::function<void(const RE_LineInfo_t&)>;

    // The flag and the hook must outlive the search.
    TGrepSearch(const TGrepProgram& program, const std::atomic<bool>& cancelFlag, TIdleHook idle,
                std::size_t blockSize = TStreamWindow::kBlockSize);

    // Reports every matching line of the file to Sink, in file order. Before each report
    // the idle hook runs and the cancel flag is checked. Raises EFileNotFound, EGrepCancel
    // and EInOutError; an empty file reports nothing.
    void Run(const std::string& fileName, const TLineSink& sink);

private:
    struct Code {
        TCharCode Value;
        std::uint64_t Next;  // position after the code (and after the CR of a CR LF)
    };

    void SearchLines();
    std::uint64_t SearchExactly(std::uint64_t from, std::uint64_t stop);
    bool LineMatches(std::uint64_t lineStart, std::uint64_t lineEnd);
    bool IsClean(std::uint64_t lineStart, std::uint64_t lineEnd) const;
    std::uint64_t ContentEnd(std::uint64_t lineStart, std::uint64_t lineEnd) const;
    std::uint64_t NextLineFeed(std::uint64_t pos);
    std::uint64_t SkipCR(std::uint64_t pos);
    void Report(std::uint64_t lineStart, std::uint64_t lineEnd);

    const TGrepProgram& FProgram;
    const std::atomic<bool>& FCancelFlag;
    TIdleHook FIdle;
    std::size_t FBlockSize;
    TStreamWindow* FWindow = nullptr;
    const TLineSink* FSink = nullptr;
    std::vector<std::int32_t> FActive;  // states of the runs under way (line evaluation)
    std::vector<std::int32_t> FNextActive;
    std::vector<std::uint32_t> FSeen;   // per state: the step that last added it
    std::uint32_t FStep = 0;
    RE_LineInfo_t FInfo;
};

}  // namespace xavo
