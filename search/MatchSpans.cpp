// Match spans by the DFA. Lines are short and only printed lines are looked at, so each
// start is run on its own; a run stops as soon as the automaton dies.
#include "MatchSpans.h"

namespace xavo {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The character at Pos: its code and its length in bytes, or length 0 for a lone lead
// byte at the end of the line.
struct TCodeAt {
    TCharCode Code;
    std::size_t Length;
};

TCodeAt CodeAt(std::string_view line, std::size_t pos) {
    const auto b = static_cast<unsigned char>(line[pos]);
    if (!IsLeadByte(b)) return {b, 1};
    if (pos + 1 >= line.size()) return {0, 0};
    return {static_cast<TCharCode>(b << 8 | static_cast<unsigned char>(line[pos + 1])), 2};
}

// The end of the longest match whose run stands in State having read the line up to
// From, or kNone.
std::size_t LongestEnd(const TGrepProgram& program, std::int32_t state, std::string_view line, std::size_t from) {
    if (state == TGrepProgram::kDead) return kNone;
    std::size_t best = program.Accepting(state) ? from : kNone;
    std::size_t p = from;
    while (p < line.size()) {
        const TCodeAt c = CodeAt(line, p);
        if (c.Length == 0) return best;
        state = program.Step(state, c.Code);
        if (state == TGrepProgram::kDead) return best;
        p += c.Length;
        if (program.Accepting(state)) best = p;
    }
    const std::int32_t last = program.Step(state, '\n');
    if (last != TGrepProgram::kDead && program.Accepting(last)) best = line.size();
    return best;
}

}  // namespace

std::vector<TMatchSpan> FindMatchSpans(const TGrepProgram& program, std::string_view line) {
    std::vector<TMatchSpan> spans;
    if (program.MatchesNothing()) return spans;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const TCodeAt c = CodeAt(line, pos);
        if (c.Length == 0) break;
        std::size_t end = LongestEnd(program, program.Step(TGrepProgram::kStart, c.Code), line, pos + c.Length);
        if (pos == 0) {
            // A match that starts on the line feed before the line covers the line from 0.
            const std::size_t fromLineFeed = LongestEnd(program, program.Step(TGrepProgram::kStart, '\n'), line, 0);
            if (fromLineFeed != kNone && fromLineFeed > 0 && (end == kNone || fromLineFeed > end)) end = fromLineFeed;
        }
        if (end != kNone) {
            spans.push_back({pos, end});
            pos = end;
        } else {
            pos += c.Length;
        }
    }
    return spans;
}

}  // namespace xavo
