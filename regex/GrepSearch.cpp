// The fast search.
//
// 1. A line starts after every line feed, and a line feed is read as a code of its own
//    unless the line before it ends in a lone lead byte ("dirty": the lead byte takes the
//    line feed as its trail byte). Within a line, characters are found by walking from
//    its start.
// 2. For line-local patterns (IsLineLocal) a match lies within its line and the line
//    feeds around it, so each clean line after a clean line is decided alone: all runs
//    of the automaton that start in it are followed at once, as a set of states.
// 3. With a prefilter, only lines holding one of its bytes are decided; the rest cannot
//    hold a match. The search for those bytes runs over whole blocks.
// 4. Dirty lines, the lines after them, and patterns that are not line-local go through
//    SearchExactly, which does what the plain loop does: an attempt at every character,
//    the look-ahead running on as far as the automaton goes (all attempts followed at once,
//    see TExactScan).
#include "GrepSearch.h"

#include "ByteScan.h"
#include "StateSetHash.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <utility>
#include <limits>

namespace xavo {

namespace {

constexpr std::uint64_t kEndOfStream = std::numeric_limits<std::uint64_t>::max();

}  // namespace

// The search of a line-local pattern: the prefilter finds candidates over whole blocks,
// and only the lines holding one are decided. Everything up to the line feed DecidedTo is
// decided; the window keeps from there on.
class TGrepSearch::TLineScan {
public:
    explicit TLineScan(TGrepSearch& search);
    void Run();

private:
    // Past this many candidates turned down in one line, deciding the line is cheaper.
    static constexpr int kMaxTurnedDownInLine = 32;

    void LookForLastLineFeed();
    bool TakeNextCandidate(std::uint64_t last);
    bool WorthDeciding(std::uint64_t candidate);
    void TurnDown(std::uint64_t candidate);
    void Decide(std::uint64_t lineStart, std::uint64_t lineEnd);
    void PassOverTo(std::uint64_t lastLineFeed);
    bool ReadMore();
    void WindowMoved();
    const unsigned char* FindCandidate(const unsigned char* from, const unsigned char* last);
    std::uint64_t LineStartOf(std::uint64_t lineFeed) const;
    std::uint64_t LineEndOf(std::uint64_t pos, std::uint64_t last) const;
    std::uint64_t FirstOfDirtyRun(std::uint64_t lineStart) const;

    TGrepSearch& FSearch;
    TStreamWindow& FWindow;
    const TByteFinder FBytes;
    TCodeSetFinder FCodes;  // forgets what it compared when the window moves
    const TLiteralFinder FLiteral;
    const TFoldedLiteralFinder FFolded;
    const bool FEveryLine;  // no prefilter: every line is a candidate
    // With a folded word the candidates of two finders are merged; the word's next hit is
    // remembered, so that frequent code hits do not search the same stretch again.
    const unsigned char* FFoldedFrom = nullptr;
    const unsigned char* FFoldedHit = nullptr;
    std::uint64_t FDecidedTo = 0;  // a line feed read as a code: the one before the next line
    std::uint64_t FScannedTo = 1;  // the prefilter found nothing in [FDecidedTo + 1, FScannedTo)
    // The last line feed seen so far, and how far the window was looked at for one: a
    // line longer than a block must not be searched again with every block read.
    std::uint64_t FLastLineFeed = 0;
    std::uint64_t FLookedTo = 1;
    std::uint64_t FLastTurnedDown = 0;
    int FTurnedDownInLine = 0;
};

TGrepSearch::TGrepSearch(const TGrepProgram& program, const std::atomic<bool>& cancelFlag, TIdleHook idle,
                         std::size_t blockSize)
    : FProgram(program), FCancelFlag(cancelFlag), FIdle(std::move(idle)), FBlockSize(blockSize) {
    std::vector<std::int32_t> none;
    InternRunSet(none);  // id 0: no run under way
}

void TGrepSearch::Run(const std::string& fileName, const TLineSink& sink) {
    TFileSource source(fileName);
    Run(source, sink);
}

void TGrepSearch::Run(TByteSource& source, const TLineSink& sink) {
    TStreamWindow window(source, FCancelFlag, FIdle, FBlockSize);
    FWindow = &window;
    FSink = &sink;
    if (!window.ReadMore()) return;  // an empty file
    if (FProgram.MatchesNothing()) {
        do window.Keep(window.End());
        while (window.ReadMore());
    } else if (FProgram.IsLineLocal()) {
        TLineScan(*this).Run();
    } else {
        SearchExactly(0, kEndOfStream);
    }
}

[[gnu::always_inline]] inline std::uint64_t TGrepSearch::SkipCR(std::uint64_t pos) {
    return FWindow->Ensure(pos) && FWindow->At(pos) == '\r' ? pos + 1 : pos;
}

std::uint64_t TGrepSearch::NextLineFeed(std::uint64_t pos) {
    for (;;) {
        const std::uint64_t end = FWindow->End();
        if (pos < end) {
            const void* hit = std::memchr(FWindow->Ptr(pos), '\n', static_cast<std::size_t>(end - pos));
            if (hit != nullptr) return pos + static_cast<std::uint64_t>(static_cast<const unsigned char*>(hit) - FWindow->Ptr(pos));
            pos = end;
        }
        if (!FWindow->ReadMore()) return kEndOfStream;  // cannot happen: the stream ends with LF
    }
}

std::uint64_t TGrepSearch::ContentEnd(std::uint64_t lineStart, std::uint64_t lineEnd) const {
    return lineEnd > lineStart && FWindow->At(lineEnd - 1) == '\r' ? lineEnd - 1 : lineEnd;
}

bool TGrepSearch::IsClean(std::uint64_t lineStart, std::uint64_t lineEnd) const {
    // Lead-valued bytes before the end pair up from the first of them (the byte before
    // it ends a character); an odd count leaves the last one to take the line feed.
    std::uint64_t p = ContentEnd(lineStart, lineEnd);
    std::uint64_t leads = 0;
    while (p > lineStart && IsLeadByte(FWindow->At(p - 1))) {
        --p;
        ++leads;
    }
    return leads % 2 == 0;
}

void TGrepSearch::Report(std::uint64_t lineStart, std::uint64_t lineEnd) {
    if (FIdle) FIdle();
    if (FCancelFlag.load(std::memory_order_relaxed)) throw EGrepCancel();
    const std::uint64_t end = ContentEnd(lineStart, lineEnd);
    FInfo.Line.assign(reinterpret_cast<const char*>(FWindow->Ptr(lineStart)), static_cast<std::size_t>(end - lineStart));
    FInfo.LineNo = FWindow->LineFeedsBefore(lineStart);
    FInfo.Offset = TStreamWindow::SourceOffset(lineStart);
    (*FSink)(FInfo);
}

std::int32_t TGrepSearch::InternRunSet(std::vector<std::int32_t>& states) {
    std::sort(states.begin(), states.end());
    states.erase(std::unique(states.begin(), states.end()), states.end());
    std::vector<std::int32_t>& ids = FRunSetIndex[HashStateSet(states)];
    for (const std::int32_t id : ids)
        if (FRunSets[static_cast<std::size_t>(id)] == states) return id;
    const auto id = static_cast<std::int32_t>(FRunSets.size());
    FRunSets.push_back(states);
    ids.push_back(id);
    FRunSetNext.resize(FRunSets.size() * FProgram.ClassCount(), kUnknown);
    FRunSetEnd.push_back(-1);
    return id;
}

std::int32_t TGrepSearch::RunSetStepSlow(std::int32_t id, TCharCode code) {
    const std::size_t codeClass = FProgram.ClassOf(code);
    // Every run steps, and a new run starts at this code.
    FScratch.clear();
    bool accepted = false;
    const auto add = [&](std::int32_t t) {
        if (t == TGrepProgram::kDead) return;
        if (FProgram.Accepting(t)) accepted = true;
        FScratch.push_back(t);
    };
    for (const std::int32_t s : FRunSets[static_cast<std::size_t>(id)]) add(FProgram.StepClass(s, codeClass));
    add(FProgram.StepClass(TGrepProgram::kStart, codeClass));
    std::int32_t result = kAccept;
    if (!accepted) {
        // Too many sets: start the table afresh (the sets are few in practice).
        if (FRunSets.size() >= 8192) {
            FRunSets.resize(1);
            FRunSetIndex.clear();
            FRunSetIndex[HashStateSet(FRunSets[0])].push_back(0);
            FRunSetNext.assign(FProgram.ClassCount(), kUnknown);
            FRunSetEnd.assign(1, -1);
            return InternRunSet(FScratch);
        }
        result = InternRunSet(FScratch);
    }
    FRunSetNext[static_cast<std::size_t>(id) * FProgram.ClassCount() + codeClass] = result;
    return result;
}

bool TGrepSearch::RunSetAcceptsLineFeed(std::int32_t id) {
    std::int8_t& known = FRunSetEnd[static_cast<std::size_t>(id)];
    if (known < 0) {
        known = 0;
        for (const std::int32_t s : FRunSets[static_cast<std::size_t>(id)]) {
            const std::int32_t t = FProgram.Step(s, '\n');
            if (t != TGrepProgram::kDead && FProgram.Accepting(t)) known = 1;
        }
    }
    return known != 0;
}

bool TGrepSearch::LineMatches(std::uint64_t lineStart, std::uint64_t lineEnd) {
    // A run may start at the line feed before the line and end on the one after it.
    std::int32_t id = RunSetStep(0, '\n');
    if (id == kAccept) return true;
    const unsigned char* p = FWindow->Ptr(lineStart);
    const unsigned char* const end = FWindow->Ptr(ContentEnd(lineStart, lineEnd));
    while (p < end) {
        TCharCode code = *p++;
        if (IsLeadByte(static_cast<unsigned char>(code))) code = static_cast<TCharCode>(code << 8 | *p++);
        id = RunSetStep(id, code);
        if (id == kAccept) return true;
    }
    return RunSetAcceptsLineFeed(id);
}

bool TGrepSearch::MayMatchFrom(std::uint64_t candidate, bool atCodeStart, std::uint64_t lowest) const {
    // The candidate is where a code of the prefilter begins, or a byte of one (a
    // single-byte code, a lead or a trail byte); a match that holds it runs on from the
    // prefilter's state at that character to acceptance within the line. Nothing here
    // needs the line's character boundaries: a wrong reading only lets a line through to
    // the exact decision. The line ends at the first CR or LF (a CR only precedes a LF).
    const std::int32_t from = FProgram.PrefilterState();
    if (from < 0) return true;
    const unsigned char* const hit = FWindow->Ptr(candidate);
    const unsigned char* const base = FWindow->Ptr(lowest);
    const auto endsLine = [](unsigned char b) { return b == '\n' || b == '\r'; };
    // A run still going after this many codes is left to the exact decision, so that a
    // long line with many candidates is not walked once per candidate.
    constexpr int kMaxSteps = 4096;
    for (const unsigned char* start : {hit, hit - 1}) {
        if (start < base || endsLine(*start) || (atCodeStart && start != hit)) continue;
        std::int32_t st = from;
        for (const unsigned char* p = start;;) {
            if (p - start > kMaxSteps * 2) return true;
            if (endsLine(*p)) {
                const std::int32_t last = FProgram.Step(st, '\n');
                if (last != TGrepProgram::kDead && FProgram.Accepting(last)) return true;
                break;
            }
            TCharCode code = *p++;
            if (IsLeadByte(static_cast<unsigned char>(code))) {
                if (endsLine(*p)) return true;  // takes the line feed: leave it to the exact decision
                code = static_cast<TCharCode>(code << 8 | *p++);
            }
            st = FProgram.Step(st, code);
            if (st == TGrepProgram::kDead) break;
            if (FProgram.Accepting(st)) return true;
        }
    }
    return false;
}

// The exact search of the plain loop: an attempt at every character, each run of the
// automaton followed as far as it goes, over line ends too; the first attempt that accepts
// reports its line, and the attempts go on from that line's end.
//
// 1. One walk over the codes. Every run under way steps with each code; a new run starts at
//    each code. Runs that stand in the same state at the same place have the same future,
//    so they go on as one group, which holds the lines its runs started in (as ranges). A
//    step costs the groups under way, at most the automaton's states: the work is linear in
//    the text however far a pattern looks ahead (it was one walk per attempt).
// 2. A group that accepts marks its lines; one that dies drops them. Lines are decided in
//    order: the first is reported once it is marked, and passed over once none of its runs
//    is under way; the window keeps the text from the first line not decided.
// 3. After a report the attempts go on from the line's line feed. The runs begun after it
//    are those of the walk when the line feed was a code of its own; when a lone lead byte
//    took it as its trail byte, the walk starts again there.
// 4. The cancel flag and the idle hook are looked at every kStepsPerCheck steps (or codes
//    passed over), also when the whole file has been read.
// 5. Codes that start no run while none is under way are passed over in the plain loop's
//    tight shape (PassQuietCodes): most of a text, for most patterns.
// Memory: a record for each line not yet decided, beside its text in the window; a walk
// begun again after a report covers what was looked ahead of that line, once.
class TGrepSearch::TExactScan {
public:
    explicit TExactScan(TGrepSearch& search)
        : FSearch(search), FGroupOfState(search.FProgram.StateCount(), -1) {}
    // Decides every attempt before the first line feed read as a code at or after Stop,
    // from P (a line feed read as a code); returns that line feed, the line feed of a line
    // reported past it, or kEndOfStream.
    std::uint64_t Run(std::uint64_t p, std::uint64_t stop);

private:
    static constexpr std::uint64_t kStepsPerCheck = 1 << 16;
    struct TRange {  // lines From..To (ids), the next range of the group or -1
        std::uint64_t From;
        std::uint64_t To;
        std::int32_t Next;
    };
    struct TGroup {
        std::int32_t State;
        std::int32_t Head;
        std::int32_t Tail;
        std::uint64_t MinLine;
        std::uint64_t MaxLine;
    };
    struct TLine {
        std::uint64_t End = kEndOfStream;  // its line feed, once the walk has passed it
        bool Dirty = false;                // that line feed was a lone lead byte's trail
        bool Marked = false;               // a run that started in it accepted
        bool Reported = false;
    };

    void Step(TCharCode code);
    void Start(std::int32_t state);
    void Resolve(const TGroup& group, bool accepted);
    void AddLine(TGroup& group, std::uint64_t line);
    bool MayHoldRunOf(std::uint64_t line) const;
    bool Decide();
    void Restart(std::uint64_t at);
    void PassQuietCodes();
    void Count(std::size_t steps);
    void Check();
    TLine& Line(std::uint64_t id) { return FLines[static_cast<std::size_t>(id - FFront)]; }

    TGrepSearch& FSearch;
    std::uint64_t FStop = 0;
    std::vector<TGroup> FGroups, FNext;
    std::vector<std::int32_t> FGroupOfState;  // state -> index of its group while stepping, else -1
    std::vector<TRange> FRanges;
    std::int32_t FFreeRange = -1;
    std::deque<TLine> FLines;      // lines FFront .. FWalkLine
    std::uint64_t FFront = 0;      // the first line not decided
    std::uint64_t FFrontStart = 0; // where it starts
    std::uint64_t FWalkLine = 0;   // the line the walk is in
    std::uint64_t FQ = 0;          // the next code of the walk
    bool FStopping = false;        // at the line feed at or after Stop: no new runs
    std::uint64_t FStoppedAt = 0;
    std::uint64_t FUnchecked = 0;
    bool FChanged = false;         // a line may be decided now
};

TGrepSearch::~TGrepSearch() = default;

std::uint64_t TGrepSearch::SearchExactly(std::uint64_t p, std::uint64_t stop) {
    if (!FExact) FExact = std::make_unique<TExactScan>(*this);
    return FExact->Run(p, stop);
}

void TGrepSearch::TExactScan::Count(std::size_t steps) {
    FSearch.FExactSteps += steps;
    FUnchecked += steps;
    if (FUnchecked < kStepsPerCheck) return;
    FUnchecked = 0;
    Check();
}

void TGrepSearch::TExactScan::Check() {
    if (FSearch.FIdle) FSearch.FIdle();
    if (FSearch.FCancelFlag.load(std::memory_order_relaxed)) throw EGrepCancel();
}

void TGrepSearch::TExactScan::AddLine(TGroup& group, std::uint64_t line) {
    group.MinLine = std::min(group.MinLine, line);
    group.MaxLine = std::max(group.MaxLine, line);
    if (group.Tail >= 0) {
        TRange& tail = FRanges[static_cast<std::size_t>(group.Tail)];
        if (line >= tail.From && line <= tail.To + 1) {
            tail.To = std::max(tail.To, line);
            return;
        }
    }
    std::int32_t index = FFreeRange;
    if (index >= 0) {
        FFreeRange = FRanges[static_cast<std::size_t>(index)].Next;
        FRanges[static_cast<std::size_t>(index)] = {line, line, -1};
    } else {
        index = static_cast<std::int32_t>(FRanges.size());
        FRanges.push_back({line, line, -1});
    }
    if (group.Tail >= 0) FRanges[static_cast<std::size_t>(group.Tail)].Next = index;
    else group.Head = index;
    group.Tail = index;
}

void TGrepSearch::TExactScan::Resolve(const TGroup& group, bool accepted) {
    FChanged = true;
    for (std::int32_t r = group.Head; r >= 0;) {
        TRange& range = FRanges[static_cast<std::size_t>(r)];
        if (accepted)
            for (std::uint64_t line = std::max(range.From, FFront); line <= range.To && line <= FWalkLine; ++line) Line(line).Marked = true;
        const std::int32_t next = range.Next;
        range.Next = FFreeRange;
        FFreeRange = r;
        r = next;
    }
}

void TGrepSearch::TExactScan::Step(TCharCode code) {
    // Every group steps; groups that meet in a state become one.
    const TGrepProgram& program = FSearch.FProgram;
    const std::size_t codeClass = program.ClassOf(code);
    Count(FGroups.size());
    if (FGroups.size() == 1) {  // the common case, without the merging
        TGroup& group = FGroups.front();
        const std::int32_t state = group.MaxLine < FFront ? TGrepProgram::kDead : program.StepClass(group.State, codeClass);
        if (state != TGrepProgram::kDead && !program.Accepting(state)) {
            group.State = state;
            FGroupOfState[static_cast<std::size_t>(state)] = 0;
            return;
        }
        Resolve(group, state != TGrepProgram::kDead);
        FGroups.clear();
        return;
    }
    FNext.clear();
    for (const TGroup& group : FGroups) {
        if (group.MaxLine < FFront) {  // only lines already decided
            Resolve(group, false);
            continue;
        }
        const std::int32_t state = program.StepClass(group.State, codeClass);
        if (state == TGrepProgram::kDead || program.Accepting(state)) {
            Resolve(group, state != TGrepProgram::kDead);
            continue;
        }
        std::int32_t& at = FGroupOfState[static_cast<std::size_t>(state)];
        if (at < 0) {
            at = static_cast<std::int32_t>(FNext.size());
            FNext.push_back(group);
            FNext.back().State = state;
            continue;
        }
        TGroup& into = FNext[static_cast<std::size_t>(at)];
        if (group.Head >= 0) {
            if (into.Tail >= 0) FRanges[static_cast<std::size_t>(into.Tail)].Next = group.Head;
            else into.Head = group.Head;
            into.Tail = group.Tail;
        }
        into.MinLine = std::min(into.MinLine, group.MinLine);
        into.MaxLine = std::max(into.MaxLine, group.MaxLine);
    }
    std::swap(FGroups, FNext);
}

void TGrepSearch::TExactScan::Start(std::int32_t state) {
    // A run that started at the code just read, in the walk's line, and stands in State; it
    // joins the group of that state.
    if (FSearch.FProgram.Accepting(state)) {
        Line(FWalkLine).Marked = true;
        FChanged = true;
        return;
    }
    std::int32_t& at = FGroupOfState[static_cast<std::size_t>(state)];
    if (at < 0) {
        at = static_cast<std::int32_t>(FGroups.size());
        FGroups.push_back({state, -1, -1, FWalkLine, FWalkLine});
    }
    AddLine(FGroups[static_cast<std::size_t>(at)], FWalkLine);
}

bool TGrepSearch::TExactScan::MayHoldRunOf(std::uint64_t line) const {
    return std::any_of(FGroups.begin(), FGroups.end(),
                       [line](const TGroup& g) { return g.MinLine <= line && line <= g.MaxLine; });
}

// Decides the lines it can, in order; false when the walk goes on from elsewhere (a report
// sent it back to a line feed).
bool TGrepSearch::TExactScan::Decide() {
    while (FFront <= FWalkLine) {
        TLine& line = FLines.front();
        if (line.Marked && !line.Reported) {
            const std::uint64_t end = line.End != kEndOfStream ? line.End : FSearch.NextLineFeed(FQ);
            FSearch.Report(FFrontStart, end);
            line.Reported = true;
            if (FFront == FWalkLine || line.Dirty) {
                // The attempts go on from the line feed: the walk is still before it, or it
                // read the line feed as part of a code.
                Restart(end);
                return false;
            }
        }
        const bool done = line.Reported || (FFront < FWalkLine && !MayHoldRunOf(FFront));
        if (!done) return true;
        FFrontStart = line.End + 1;
        FLines.pop_front();
        ++FFront;
    }
    return true;
}

// With no run under way and nothing found in the walk's line: passes over the codes that
// start no run, in the plain loop's tight shape, up to one that may (read again by Run),
// the stop, or the end.
void TGrepSearch::TExactScan::PassQuietCodes() {
    TStreamWindow& w = *FSearch.FWindow;
    const TGrepProgram& program = FSearch.FProgram;
    for (std::uint32_t quiet = 1;; ++quiet) {
        if (quiet % kStepsPerCheck == 0) Check();
        if (!w.Ensure(FQ + 1)) return;
        const unsigned char b = w.At(FQ);
        if (b == '\n' && FQ >= FStop) return;
        std::uint64_t next = FSearch.SkipCR(FQ + 1);
        TCharCode code = b;
        std::uint64_t lineFeed = b == '\n' ? FQ : kEndOfStream;
        if (IsLeadByte(b)) {
            if (!w.Ensure(next + 1)) return;
            const unsigned char trail = w.At(next);
            if (trail == '\n') lineFeed = next;
            code = static_cast<TCharCode>(b << 8 | trail);
            next = FSearch.SkipCR(next + 1);
        }
        if (program.Step(TGrepProgram::kStart, code) != TGrepProgram::kDead) return;
        if (lineFeed != kEndOfStream) {
            FFrontStart = lineFeed + 1;
            ++FFront;
            ++FWalkLine;
            w.Keep(FFrontStart);
        }
        FQ = next;
    }
}

void TGrepSearch::TExactScan::Restart(std::uint64_t at) {
    // The walk goes on at At, the front line's line feed (a code of its own now), with no
    // run under way: every run begun before it is of lines already decided.
    for (const TGroup& group : FGroups) Resolve(group, false);
    FGroups.clear();
    FLines.resize(1);
    FLines.front().End = kEndOfStream;
    FLines.front().Dirty = false;
    FWalkLine = FFront;
    FQ = at;
}

std::uint64_t TGrepSearch::TExactScan::Run(std::uint64_t p, std::uint64_t stop) {
    TStreamWindow& w = *FSearch.FWindow;
    FStop = stop;
    FStopping = false;
    FGroups.clear();
    FRanges.clear();
    FFreeRange = -1;
    FLines.assign(1, TLine{});
    FFront = FWalkLine = 0;
    FQ = p;  // a line feed read as a code: the run starting there is the next line's
    FFrontStart = p + 1;
    const auto endOfText = [&](bool stepLast, TCharCode last) {
        // The walk has reached the stream's last line feed: the runs under way read it and
        // then 0 for ever.
        if (stepLast) Step(last);
        for (std::int32_t& at : FGroupOfState) at = -1;
        for (const TGroup& group : FGroups) Resolve(group, FSearch.FProgram.AcceptsAtEnd(group.State));
        FGroups.clear();
        FLines.back().End = w.End() - 1;
        ++FWalkLine;
        FLines.emplace_back();
        return Decide();
    };
    for (;;) {
        w.Keep(std::min(FFrontStart, FQ));
        if (FGroups.empty() && !FStopping && FFront == FWalkLine && !FLines.front().Marked) PassQuietCodes();
        if (FStopping && FGroups.empty()) {
            if (!Decide()) {
                FStopping = false;
                continue;
            }
            return FStoppedAt;
        }
        if (!w.Ensure(FQ + 1)) {  // FQ is the last line feed
            if (!endOfText(w.Ensure(FQ), '\n')) {
                FStopping = false;
                continue;
            }
            return kEndOfStream;
        }
        const unsigned char b = w.At(FQ);
        std::uint64_t next = FSearch.SkipCR(FQ + 1);
        TCharCode code = b;
        std::uint64_t lineFeed = b == '\n' ? FQ : kEndOfStream;
        if (IsLeadByte(b)) {
            if (!w.Ensure(next + 1)) {  // its trail byte is the last line feed
                if (!endOfText(true, static_cast<TCharCode>(b << 8 | w.At(next)))) {
                    FStopping = false;
                    continue;
                }
                return kEndOfStream;
            }
            const unsigned char trail = w.At(next);
            if (trail == '\n') lineFeed = next;
            code = static_cast<TCharCode>(b << 8 | trail);
            next = FSearch.SkipCR(next + 1);
        }
        if (b == '\n' && FQ >= FStop && !FStopping) {
            FStopping = true;
            FStoppedAt = FQ;
        }
        // Most codes start no run and find none under way (the plain loop's common case).
        if (!FGroups.empty()) Step(code);
        if (lineFeed != kEndOfStream) {  // the code ends the walk's line; its run is the next line's
            if (FGroups.empty() && FFront == FWalkLine && !FLines.front().Marked) {
                // The usual line: nothing found, no run under way; passed over at once.
                FFrontStart = lineFeed + 1;
                ++FFront;
            } else {
                FLines.back().End = lineFeed;
                FLines.back().Dirty = lineFeed != FQ;
                FLines.emplace_back();
                FChanged = true;
            }
            ++FWalkLine;
        }
        if (!FStopping) {
            const std::int32_t state = FSearch.FProgram.Step(TGrepProgram::kStart, code);
            if (state != TGrepProgram::kDead) Start(state);
        }
        for (const TGroup& group : FGroups) FGroupOfState[static_cast<std::size_t>(group.State)] = -1;
        FQ = next;
        if (std::exchange(FChanged, false) && !Decide()) FStopping = false;
    }
}

TGrepSearch::TLineScan::TLineScan(TGrepSearch& search)
    : FSearch(search),
      FWindow(*search.FWindow),
      FBytes(search.FProgram.PrefilterBytes()),
      FCodes(search.FProgram.PrefilterCodes()),
      FLiteral(search.FProgram.Literal().empty()
                   ? TLiteralFinder()
                   : TLiteralFinder(search.FProgram.Literal(), search.FProgram.LiteralFirst(), search.FProgram.LiteralSecond())),
      FFolded(search.FProgram.FoldedWord().empty()
                  ? TFoldedLiteralFinder()
                  : TFoldedLiteralFinder(search.FProgram.FoldedWord(), search.FProgram.FoldedWordFirst(),
                                         search.FProgram.FoldedWordSecond())),
      FEveryLine(FBytes.Empty() && FLiteral.Empty() && FCodes.Empty() && FFolded.Empty()) {}

void TGrepSearch::TLineScan::Run() {
    for (;;) {
        FWindow.Keep(FDecidedTo);
        LookForLastLineFeed();
        if (FLastLineFeed > FDecidedTo) {
            if (TakeNextCandidate(FLastLineFeed)) {
                if (FDecidedTo == kEndOfStream) return;
                continue;
            }
            PassOverTo(FLastLineFeed);
        }
        if (!ReadMore()) return;
    }
}

inline void TGrepSearch::TLineScan::LookForLastLineFeed() {
    const std::uint64_t end = FWindow.End();
    const std::uint64_t lookFrom = std::max(FDecidedTo + 1, FLookedTo);
    if (lookFrom >= end) return;
    if (const unsigned char* found = FindLastLineFeed(FWindow.Ptr(lookFrom), FWindow.Ptr(end)))
        FLastLineFeed = lookFrom + static_cast<std::uint64_t>(found - FWindow.Ptr(lookFrom));
    FLookedTo = end;
}

// Decides the line of the next candidate before Last, or turns the candidate down;
// returns false when there is none.
[[gnu::always_inline]] inline bool TGrepSearch::TLineScan::TakeNextCandidate(std::uint64_t last) {
    if (FEveryLine) {
        Decide(FDecidedTo + 1, LineEndOf(FDecidedTo + 1, last));
        return true;
    }
    const std::uint64_t from = std::max(FDecidedTo + 1, FScannedTo);
    if (from >= last) return false;
    const unsigned char* hit = FindCandidate(FWindow.Ptr(from), FWindow.Ptr(last));
    if (hit == FWindow.Ptr(last)) return false;
    const std::uint64_t candidate = from + static_cast<std::uint64_t>(hit - FWindow.Ptr(from));
    if (WorthDeciding(candidate))
        Decide(LineStartOf(candidate), LineEndOf(candidate, last));
    else
        TurnDown(candidate);
    return true;
}

// Whether a match may hold the candidate (a literal's hit always may), or the candidate's
// line has turned down so many that deciding it is cheaper.
inline bool TGrepSearch::TLineScan::WorthDeciding(std::uint64_t candidate) {
    const bool sameLine = FLastTurnedDown > FDecidedTo && FLastTurnedDown < candidate &&
                          std::memchr(FWindow.Ptr(FLastTurnedDown), '\n',
                                      static_cast<std::size_t>(candidate - FLastTurnedDown)) == nullptr;
    if (!sameLine) FTurnedDownInLine = 0;
    return !FLiteral.Empty() || FTurnedDownInLine >= kMaxTurnedDownInLine ||
           FSearch.MayMatchFrom(candidate, !FCodes.Empty(), FDecidedTo + 1);
}

inline void TGrepSearch::TLineScan::TurnDown(std::uint64_t candidate) {
    FScannedTo = candidate + 1;  // nothing starts here; the line may hold other candidates
    FLastTurnedDown = candidate;
    ++FTurnedDownInLine;
}

// Decides the line [lineStart, lineEnd) holding a candidate and moves past it.
inline void TGrepSearch::TLineScan::Decide(std::uint64_t lineStart, std::uint64_t lineEnd) {
    const std::uint64_t first = FirstOfDirtyRun(lineStart);
    if (first == lineStart && FSearch.IsClean(lineStart, lineEnd)) {
        if (FSearch.LineMatches(lineStart, lineEnd)) FSearch.Report(lineStart, lineEnd);
        FDecidedTo = lineEnd;
    } else {
        FDecidedTo = FSearch.SearchExactly(first - 1, lineEnd);
        WindowMoved();
    }
    FScannedTo = FDecidedTo + 1;
}

// No candidate up to the last line feed: moves on to it, unless the lines just before it
// are dirty (they bear on the line after them).
inline void TGrepSearch::TLineScan::PassOverTo(std::uint64_t lastLineFeed) {
    FScannedTo = lastLineFeed;
    const std::uint64_t lineStart = LineStartOf(lastLineFeed);
    FDecidedTo = FSearch.IsClean(lineStart, lastLineFeed) ? lastLineFeed : FirstOfDirtyRun(lineStart) - 1;
}

// Reads the next block; false at the end of the stream, once everything is decided.
inline bool TGrepSearch::TLineScan::ReadMore() {
    if (FDecidedTo + 1 >= FWindow.End() && FWindow.AtEnd()) return false;  // the last line feed
    FWindow.Keep(FDecidedTo);
    if (!FWindow.ReadMore()) {
        // The rest holds no candidate. Lines left undecided are dirty: the last line's
        // lead byte takes the final line feed, and a run may go on into what the
        // look-ahead reads past the end, where no candidate can be seen.
        if (FDecidedTo < FLastLineFeed) FSearch.SearchExactly(FDecidedTo, FLastLineFeed);
        return false;
    }
    WindowMoved();
    return true;
}

inline void TGrepSearch::TLineScan::WindowMoved() {
    FCodes.Forget();
    FFoldedHit = nullptr;
}

// The next position in [from, last) where a match may be, or last.
inline const unsigned char* TGrepSearch::TLineScan::FindCandidate(const unsigned char* from, const unsigned char* last) {
    if (!FLiteral.Empty()) return FLiteral.Find(from, last);
    if (FFolded.Empty()) return FCodes.Empty() ? FBytes.Find(from, last) : FCodes.Find(from, last);
    if (FFoldedHit == nullptr || from < FFoldedFrom || from > FFoldedHit || FFoldedHit > last) {
        FFoldedFrom = from;
        FFoldedHit = FFolded.Find(from, last);
    }
    const unsigned char* code = FCodes.Empty() ? last : FCodes.Find(from, FFoldedHit);
    return std::min(code, FFoldedHit);
}

inline std::uint64_t TGrepSearch::TLineScan::LineStartOf(std::uint64_t lineFeed) const {
    const unsigned char* const decided = FWindow.Ptr(FDecidedTo);
    return static_cast<std::uint64_t>(FindLastLineFeed(decided, FWindow.Ptr(lineFeed)) - decided) + FDecidedTo + 1;
}

// The line feed that ends the line holding pos; there is one at or before last.
inline std::uint64_t TGrepSearch::TLineScan::LineEndOf(std::uint64_t pos, std::uint64_t last) const {
    const void* hit = std::memchr(FWindow.Ptr(pos), '\n', static_cast<std::size_t>(last + 1 - pos));
    return pos + static_cast<std::uint64_t>(static_cast<const unsigned char*>(hit) - FWindow.Ptr(pos));
}

// The first line of the run of dirty lines that ends just before lineStart (or lineStart).
inline std::uint64_t TGrepSearch::TLineScan::FirstOfDirtyRun(std::uint64_t lineStart) const {
    while (lineStart - 1 > FDecidedTo) {
        const std::uint64_t before = LineStartOf(lineStart - 1);
        if (FSearch.IsClean(before, lineStart - 1)) break;
        lineStart = before;
    }
    return lineStart;
}

}  // namespace xavo
