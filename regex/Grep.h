// The GREP component: a compiled pattern plus the search over one file at a time.
//
// Set UseFuzzyCharDic / UseSynonymDic and RegExp (pattern errors are raised there), then
// call GrepProc for each file: OnMatch fires once for every matching line, in file order,
// with the line where the match starts. "^" and "$" at the ends of a pattern stand for the
// line feeds around each line. GrepProc runs the fast search; GrepByDFA and GrepByStr are
// the plain loops that define its results (UseReferenceLoops selects them).
#pragma once

#include "GrepProgram.h"
#include "RegularExpression.h"
#include "TxtFile.h"

#include <atomic>
#include <functional>
#include <memory>

namespace xavo {

class TGrep;
using TGrepOnMatch = std::function<void(TGrep& sender, const RE_LineInfo_t& lineInfo)>;

class TGrep : public TRegularExpression {
public:
    // Anchors are line feeds; the fuzzy-character table is the one fuzzy dictionary.
    TGrep();

    // Searches one file. Resets Cancel first. Raises EFileNotFound, EGrepCancel and
    // EInOutError; an empty file reports nothing.
    void GrepProc(const std::string& fileName);
    // The plain loops: an attempt from every character position, the automaton (or a
    // comparison of codes for a plain string) stepped one code at a time.
    void GrepByDFA(const std::string& fileName);
    void GrepByStr(const std::string& fileName);

    // The search program of the current pattern, shareable between threads.
    std::shared_ptr<const TGrepProgram> Program() const { return FProgram; }

    TGrepOnMatch OnMatch;
    TIdleHook OnIdle;                 // between blocks and before each reported line
    std::atomic<bool> Cancel{false};  // may be set from OnIdle, OnMatch or another thread
    bool UseReferenceLoops = false;
    std::size_t BlockSize = TTxtFile::kBuffSize;  // bytes read at a time (tests use small blocks)

protected:
    void StorePattern(const std::string& value) override;

private:
    // Builds the current entry's program on its first use; a pattern found in the cache
    // reuses its program.
    void UseCurrentProgram();

    std::shared_ptr<const TGrepProgram> FProgram;
    void (TGrep::*FReferenceLoop)(const std::string&) = &TGrep::GrepByStr;
};

}  // namespace xavo
