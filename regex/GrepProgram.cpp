// Search program: dense DFA table, end-of-text acceptance, line locality, prefilter.
//
// The prefilter is a cut of the automaton: a set of transitions that every accepting run
// takes. Candidates are the out-transitions of each state that dominates acceptance
// (self-loops left out: a run leaves such a state by another transition) and the
// transitions into accepting states. Each transition's codes are searched for by their
// lead or trail byte, whichever is rarer; the cut whose bytes are rarest in Japanese
// text wins, unless even that is too common to beat reading every line.
#include "GrepProgram.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <utility>

namespace xavo {

const std::array<std::uint32_t, 256> kShiftJisByteFrequency = {
    1, 1, 1, 1, 1, 1, 1, 1, 1, 291, 22878, 1, 1, 22878, 1, 1,  // 00
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 10
    85523, 56, 497, 216, 46, 140, 23, 544, 9495, 9493, 9683, 132, 47238, 4773, 4049, 16101,  // 20
    2232, 8940, 9470, 4167, 2354, 4386, 4479, 4304, 5601, 4422, 614, 786, 302, 291, 317, 37,  // 30
    1220, 4660, 2956, 4497, 867, 3897, 937, 1292, 677, 2806, 2481, 1203, 4829, 943, 3040, 2037,  // 40
    2176, 527, 2799, 1564, 2197, 748, 3203, 1641, 3664, 725, 1207, 8509, 1847, 3075, 2212, 1783,  // 50
    2575, 14437, 5139, 8475, 6752, 21801, 4991, 8490, 6220, 15796, 1299, 2488, 9449, 6189, 17342, 15230,  // 60
    7149, 1084, 12473, 12749, 16571, 6769, 4487, 2730, 1593, 3730, 848, 1011, 893, 2127, 1124, 1,  // 70
    1253, 11611, 73475, 83276, 2831, 941, 983, 1771, 5856, 6221, 5827, 5679, 13911, 6138, 12522, 5158,  // 80
    6058, 4906, 6143, 9432, 4416, 5458, 8085, 7246, 1053, 174, 382, 218, 182, 363, 550, 1866,  // 90
    1162, 291, 4106, 255, 2646, 155, 1047, 1814, 777, 3786, 2055, 1914, 886, 1616, 2050, 1189,  // A0
    341, 2223, 506, 1802, 346, 2997, 1275, 3481, 337, 1885, 491, 898, 5345, 2169, 957, 764,  // B0
    371, 1144, 1342, 281, 1716, 3415, 2221, 652, 1973, 2353, 2354, 323, 5691, 2425, 699, 751,  // C0
    411, 356, 209, 347, 902, 142, 635, 266, 318, 338, 1075, 276, 2218, 1030, 373, 1265,  // D0
    1157, 624, 628, 1168, 414, 1195, 1828, 1063, 2916, 4590, 5216, 431, 691, 927, 402, 153,  // E0
    2920, 2600, 153, 291, 63, 168, 201, 97, 256, 73, 240, 352, 779, 1, 1, 1,  // F0
};

namespace {

// Above this many expected hits per million bytes, reading every line is cheaper.
constexpr std::uint32_t kMaxPrefilterCost = 30000;
// Dense tables larger than this many entries are not built (the DFA is refused earlier
// in practice: 20,000 states times a few hundred classes stays below it).
constexpr std::size_t kMaxTableEntries = std::size_t{64} * 1024 * 1024;
// Dominators are computed for automata up to this size; larger ones get no prefilter.
constexpr std::size_t kMaxCutStates = 4096;

struct TEdge {
    TCharCode Lo, Hi;
    std::int32_t To;
};

}  // namespace

TGrepProgram::TGrepProgram(const TRE_DFA& dfa) {
    BuildTable(dfa);
    FindAcceptsAtEnd();
    FindLineLocal();
    ChoosePrefilter();
}

void TGrepProgram::BuildTable(const TRE_DFA& dfa) {
    const auto& states = dfa.States();
    // Effective ranges: the first transition in sorted order that holds a code wins, so a
    // range only owns the codes above everything before it.
    std::vector<std::vector<TEdge>> effective(states.size());
    std::vector<std::uint32_t> cuts{0, 0x10000};
    for (std::size_t s = 0; s < states.size(); ++s) {
        long covered = -1;
        for (std::uint32_t k = 0; k < states[s].TransitionCount; ++k) {
            const TRE_DFATransition& t = states[s].Transitions[k];
            const long lo = std::max<long>(t.Lo, covered + 1);
            if (lo <= t.Hi) {
                effective[s].push_back({static_cast<TCharCode>(lo), t.Hi,
                                        static_cast<std::int32_t>(dfa.IndexOf(t.TransitTo))});
                cuts.push_back(static_cast<std::uint32_t>(lo));
                cuts.push_back(std::uint32_t{t.Hi} + 1);
            }
            covered = std::max<long>(covered, t.Hi);
        }
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    FClassCount = cuts.size() - 1;
    if (FClassCount * states.size() > kMaxTableEntries)
        throw ERegExpParser(RegExpMessage::kTooComplex, 0);
    std::vector<std::uint16_t> codeClass(0x10000, 0);
    FClassFirstCode.resize(FClassCount);
    for (std::size_t k = 0; k < FClassCount; ++k) {
        FClassFirstCode[k] = static_cast<TCharCode>(cuts[k]);
        std::fill(codeClass.begin() + cuts[k], codeClass.begin() + cuts[k + 1], static_cast<std::uint16_t>(k));
    }
    std::vector<std::vector<std::uint16_t>> rows;
    for (std::size_t high = 0; high < 256; ++high) {
        const std::vector<std::uint16_t> row(codeClass.begin() + high * 256, codeClass.begin() + high * 256 + 256);
        const auto same = std::find(rows.begin(), rows.end(), row);
        FRowOfHighByte[high] = static_cast<std::uint8_t>(same - rows.begin());
        if (same == rows.end()) rows.push_back(row);
    }
    for (const auto& row : rows) FClassRows.insert(FClassRows.end(), row.begin(), row.end());
    FTable.assign(FClassCount * states.size(), kDead);
    FAccepting.resize(states.size());
    for (std::size_t s = 0; s < states.size(); ++s) {
        FAccepting[s] = states[s].Accepted ? 1 : 0;
        for (const TEdge& e : effective[s])
            for (std::size_t k = ClassOf(e.Lo); k <= ClassOf(e.Hi); ++k) FTable[s * FClassCount + k] = e.To;
    }
    FMatchesNothing = true;
    for (std::size_t k = 0; k < FClassCount && FMatchesNothing; ++k)
        if (FTable[k] != kDead) FMatchesNothing = false;
}

void TGrepProgram::FindAcceptsAtEnd() {
    // Feeding 0 for ever walks a chain that either dies, accepts, or goes round a cycle.
    const std::size_t n = FAccepting.size();
    enum : std::uint8_t { kUnknown, kVisiting, kNo, kYes };
    std::vector<std::uint8_t> result(n, kUnknown);
    std::vector<std::int32_t> path;
    for (std::size_t s = 0; s < n; ++s) {
        path.clear();
        std::int32_t cur = static_cast<std::int32_t>(s);
        std::uint8_t verdict = kNo;
        for (;;) {
            if (result[static_cast<std::size_t>(cur)] == kYes || result[static_cast<std::size_t>(cur)] == kNo) {
                verdict = result[static_cast<std::size_t>(cur)];
                break;
            }
            if (result[static_cast<std::size_t>(cur)] == kVisiting) break;  // a cycle without acceptance
            result[static_cast<std::size_t>(cur)] = kVisiting;
            path.push_back(cur);
            const std::int32_t next = Step(cur, 0);
            if (next == kDead) break;
            if (Accepting(next)) {
                verdict = kYes;
                break;
            }
            cur = next;
        }
        for (const std::int32_t p : path) result[static_cast<std::size_t>(p)] = verdict;
    }
    FAcceptsAtEnd.resize(n);
    for (std::size_t s = 0; s < n; ++s) FAcceptsAtEnd[s] = result[s] == kYes ? 1 : 0;
}

void TGrepProgram::FindLineLocal() {
    // States a run can stand in after one or more codes (runs end in accepting states).
    const std::size_t n = FAccepting.size();
    std::vector<std::uint8_t> seen(n, 0);
    std::vector<std::int32_t> pending;
    const auto visitSuccessors = [&](std::int32_t s) {
        for (std::size_t k = 0; k < FClassCount; ++k) {
            const std::int32_t t = FTable[static_cast<std::size_t>(s) * FClassCount + k];
            if (t != kDead && !seen[static_cast<std::size_t>(t)]) {
                seen[static_cast<std::size_t>(t)] = 1;
                if (!Accepting(t)) pending.push_back(t);
            }
        }
    };
    visitSuccessors(kStart);
    while (!pending.empty()) {
        const std::int32_t s = pending.back();
        pending.pop_back();
        visitSuccessors(s);
    }
    FLineLocal = true;
    for (std::size_t s = 0; s < n && FLineLocal; ++s) {
        if (!seen[s] || FAccepting[s]) continue;
        const std::int32_t t = Step(static_cast<std::int32_t>(s), '\n');
        if (t != kDead && !Accepting(t)) FLineLocal = false;
    }
}

namespace {

// The bytes by which the codes of a range can be found: single-byte codes by themselves,
// double-byte codes either all by their lead bytes or all by their trail bytes.
struct TRangeBytes {
    std::array<bool, 256> ByLead{};
    std::array<bool, 256> ByTrail{};
};

TRangeBytes BytesOfRange(TCharCode lo, TCharCode hi) {
    TRangeBytes r;
    for (std::uint32_t b = lo; b <= std::min<std::uint32_t>(hi, 0xFF); ++b)
        if (!IsLeadByte(static_cast<unsigned char>(b))) r.ByLead[b] = r.ByTrail[b] = true;
    for (std::uint32_t lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
        const std::uint32_t first = std::max<std::uint32_t>(lo, lead << 8);
        const std::uint32_t last = std::min<std::uint32_t>(hi, lead << 8 | 0xFF);
        if (first > last) continue;
        r.ByLead[lead] = true;
        for (std::uint32_t code = first; code <= last; ++code) r.ByTrail[code & 0xFF] = true;
    }
    return r;
}

// How a code shows in the normalised text: never (NUL, CR and codes that are no
// character), as its own bytes, or otherwise (a line feed, or a trail byte that is one).
enum class TOccurrence { kNever, kAsItsBytes, kOtherwise };

TOccurrence OccurrenceOf(TCharCode code) {
    const unsigned high = code >> 8;
    const unsigned low = code & 0xFF;
    if (high == 0) {
        if (low == '\n') return TOccurrence::kOtherwise;
        if (low == '\r' || low == '\0' || IsLeadByte(static_cast<unsigned char>(low))) return TOccurrence::kNever;
        return TOccurrence::kAsItsBytes;
    }
    if (!IsLeadByte(static_cast<unsigned char>(high)) || low == '\r' || low == '\0') return TOccurrence::kNever;
    return low == '\n' ? TOccurrence::kOtherwise : TOccurrence::kAsItsBytes;
}

std::uint64_t CostOf(const std::array<bool, 256>& bytes) {
    std::uint64_t cost = 0;
    for (std::size_t b = 0; b < 256; ++b)
        if (bytes[b]) cost += kShiftJisByteFrequency[b];
    return cost;
}

// At most this many codes are searched for one by one (those of a cut, or those beside a
// folded word); more are found by their bytes or not at all.
constexpr std::size_t kMaxPrefilterCodes = 12;
// A cut whose codes end the match costs this many times its hits: no check of what
// follows them can spare a hit the decision of its whole line.
constexpr std::uint64_t kFinalCutPenalty = 4;

using TLiveGraph = std::vector<std::vector<TEdge>>;

// Out-edges of each non-accepting state, as maximal code ranges, to the states that can
// still accept; nullopt when the start state cannot accept at all.
std::optional<TLiveGraph> LiveGraph(const std::vector<std::int32_t>& table, std::size_t classCount,
                                    const std::vector<TCharCode>& classFirstCode,
                                    const std::vector<std::uint8_t>& accepting) {
    const std::size_t n = accepting.size();
    TLiveGraph out(n);
    for (std::size_t s = 0; s < n; ++s) {
        if (accepting[s]) continue;
        for (std::size_t k = 0; k < classCount;) {
            const std::int32_t t = table[s * classCount + k];
            std::size_t end = k + 1;
            while (end < classCount && table[s * classCount + end] == t) ++end;
            if (t != TGrepProgram::kDead) {
                const TCharCode hi = end < classCount ? static_cast<TCharCode>(classFirstCode[end] - 1) : 0xFFFF;
                out[s].push_back({classFirstCode[k], hi, t});
            }
            k = end;
        }
    }
    std::vector<std::uint8_t> live(accepting);
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t s = 0; s < n; ++s)
            if (!live[s])
                for (const TEdge& e : out[s])
                    if (live[static_cast<std::size_t>(e.To)]) {
                        live[s] = 1;
                        changed = true;
                        break;
                    }
    }
    if (!live[TGrepProgram::kStart]) return std::nullopt;
    for (auto& edges : out)
        edges.erase(std::remove_if(edges.begin(), edges.end(),
                                   [&](const TEdge& e) { return !live[static_cast<std::size_t>(e.To)]; }),
                    edges.end());
    return out;
}

struct TDominators {
    std::vector<std::int32_t> Idom;      // per state, and the sink last; -1 when unreached
    std::vector<std::int32_t> RpoIndex;  // -1 for states no run from the start reaches
    std::int32_t Sink = 0;

    // The dominators of acceptance, nearest first, the start state last.
    template <class TVisit>
    void ForEachOnChain(TVisit visit) const {
        for (std::int32_t d = Idom[static_cast<std::size_t>(Sink)];; d = Idom[static_cast<std::size_t>(d)]) {
            visit(d);
            if (d == TGrepProgram::kStart) break;
        }
    }
};

// Dominators of acceptance (a sink after every accepting state), by the iterative
// algorithm over a reverse postorder; nullopt when no accepting state is reached.
std::optional<TDominators> DominatorsOfAcceptance(const TLiveGraph& out, const std::vector<std::uint8_t>& accepting) {
    const std::size_t n = accepting.size();
    TDominators dom;
    dom.Sink = static_cast<std::int32_t>(n);
    const std::int32_t sink = dom.Sink;
    std::vector<std::int32_t> order;
    dom.RpoIndex.assign(n + 1, -1);
    {
        std::vector<std::uint8_t> visited(n + 1, 0);
        std::vector<std::pair<std::int32_t, std::size_t>> stack{{TGrepProgram::kStart, 0}};
        visited[TGrepProgram::kStart] = 1;
        while (!stack.empty()) {
            auto& [s, next] = stack.back();
            const std::size_t su = static_cast<std::size_t>(s);
            const std::size_t degree = s == sink ? 0 : (accepting[su] ? 1 : out[su].size());
            if (next < degree) {
                const std::int32_t t = accepting[su] ? sink : out[su][next].To;
                ++next;
                if (!visited[static_cast<std::size_t>(t)]) {
                    visited[static_cast<std::size_t>(t)] = 1;
                    stack.push_back({t, 0});
                }
            } else {
                order.push_back(s);
                stack.pop_back();
            }
        }
        std::reverse(order.begin(), order.end());
        for (std::size_t i = 0; i < order.size(); ++i)
            dom.RpoIndex[static_cast<std::size_t>(order[i])] = static_cast<std::int32_t>(i);
    }
    if (dom.RpoIndex[static_cast<std::size_t>(sink)] < 0) return std::nullopt;
    std::vector<std::vector<std::int32_t>> preds(n + 1);
    for (std::size_t s = 0; s < n; ++s) {
        if (dom.RpoIndex[s] < 0) continue;
        if (accepting[s])
            preds[static_cast<std::size_t>(sink)].push_back(static_cast<std::int32_t>(s));
        else
            for (const TEdge& e : out[s]) preds[static_cast<std::size_t>(e.To)].push_back(static_cast<std::int32_t>(s));
    }
    std::vector<std::int32_t>& idom = dom.Idom;
    const std::vector<std::int32_t>& rpoIndex = dom.RpoIndex;
    idom.assign(n + 1, -1);
    idom[TGrepProgram::kStart] = TGrepProgram::kStart;
    const auto intersect = [&](std::int32_t a, std::int32_t b) {
        while (a != b) {
            while (rpoIndex[static_cast<std::size_t>(a)] > rpoIndex[static_cast<std::size_t>(b)]) a = idom[static_cast<std::size_t>(a)];
            while (rpoIndex[static_cast<std::size_t>(b)] > rpoIndex[static_cast<std::size_t>(a)]) b = idom[static_cast<std::size_t>(b)];
        }
        return a;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t i = 1; i < order.size(); ++i) {
            const std::int32_t s = order[i];
            std::int32_t best = -1;
            for (const std::int32_t p : preds[static_cast<std::size_t>(s)]) {
                if (idom[static_cast<std::size_t>(p)] < 0) continue;
                best = best < 0 ? p : intersect(p, best);
            }
            if (best >= 0 && idom[static_cast<std::size_t>(s)] != best) {
                idom[static_cast<std::size_t>(s)] = best;
                changed = true;
            }
        }
    }
    return dom;
}

// A set of transitions that every accepting run takes.
struct TCut {
    std::vector<std::pair<TCharCode, TCharCode>> Ranges;
    std::int32_t From;   // the dominator the cut leaves, or -1 for the last steps
    bool Final = false;  // every code of the cut ends the match: nothing left to check
};

// The candidate cuts: the ways out of each dominator (self-loops left out: a run leaves
// such a state by another transition), nearest first, then the steps into acceptance.
std::vector<TCut> CutsOf(const TLiveGraph& out, const TDominators& dom, const std::vector<std::uint8_t>& accepting) {
    std::vector<TCut> cuts;
    dom.ForEachOnChain([&](std::int32_t d) {
        if (accepting[static_cast<std::size_t>(d)]) return;
        TCut cut{{}, d, true};
        for (const TEdge& e : out[static_cast<std::size_t>(d)])
            if (e.To != d) {
                cut.Ranges.emplace_back(e.Lo, e.Hi);
                cut.Final = cut.Final && accepting[static_cast<std::size_t>(e.To)];
            }
        if (!cut.Ranges.empty()) cuts.push_back(std::move(cut));
    });
    TCut last{{}, -1, true};
    for (std::size_t s = 0; s < accepting.size(); ++s)
        if (dom.RpoIndex[s] >= 0 && !accepting[s])
            for (const TEdge& e : out[s])
                if (accepting[static_cast<std::size_t>(e.To)]) last.Ranges.emplace_back(e.Lo, e.Hi);
    if (!last.Ranges.empty()) cuts.push_back(std::move(last));
    return cuts;
}

struct TLiteralChoice {
    std::string Text;  // empty when no dominator starts a literal
    std::uint64_t Cost = std::numeric_limits<std::uint64_t>::max();
};

// The cheapest byte string that every match contains: from a dominator, a chain of
// states that each have one way on, by one code that shows as its own bytes.
TLiteralChoice RarestLiteral(const TLiveGraph& out, const TDominators& dom, const std::vector<std::uint8_t>& accepting) {
    const auto literalFrom = [&](std::int32_t d) {
        std::string literal;
        for (std::int32_t s = d;;) {
            const auto& edges = out[static_cast<std::size_t>(s)];
            const TEdge* only = nullptr;
            int others = 0;
            for (const TEdge& e : edges) {
                if (e.To == s) {
                    if (s != d) return literal;  // a loop here breaks the string
                    continue;
                }
                only = &e;
                ++others;
            }
            if (others != 1 || only->Lo != only->Hi || OccurrenceOf(only->Lo) != TOccurrence::kAsItsBytes) return literal;
            literal += CodeToStr(only->Lo);
            s = only->To;
            if (accepting[static_cast<std::size_t>(s)]) return literal;
        }
    };
    TLiteralChoice best;
    dom.ForEachOnChain([&](std::int32_t d) {
        const std::string literal = accepting[static_cast<std::size_t>(d)] ? std::string() : literalFrom(d);
        if (literal.empty()) return;
        // A string is rarer than its rarest character, and is confirmed byte for byte.
        std::uint64_t cost = std::numeric_limits<std::uint64_t>::max();
        std::uint64_t characters = 0;
        for (int pos = 1; pos <= static_cast<int>(literal.size()); ++characters)
            cost = std::min<std::uint64_t>(cost, ShiftJisCodeFrequency(NextChar(literal, pos)));
        cost = cost / characters + 1;
        if (cost < best.Cost || (cost == best.Cost && literal.size() > best.Text.size())) best = {literal, cost};
    });
    return best;
}

unsigned char LowerAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

struct TFoldedWord {
    std::string Word;                   // lower case; empty when there is none
    std::vector<std::uint16_t> Others;  // the codes every other match holds one of
};

// The word that every match of ASCII characters only spells in some case of its letters
// (a fuzzy word of letters does), and the few other codes of the automaton; no word when
// the ASCII steps branch, loop or leave printable ASCII, or the other codes are too many.
TFoldedWord FoldedWordOf(const TLiveGraph& out, const std::vector<std::uint8_t>& accepting) {
    const std::size_t n = accepting.size();
    TFoldedWord folded;
    std::string& word = folded.Word;
    std::vector<std::uint8_t> onChain(n, 0);
    for (std::int32_t s = TGrepProgram::kStart;;) {
        if (onChain[static_cast<std::size_t>(s)]) {
            word.clear();
            break;
        }
        onChain[static_cast<std::size_t>(s)] = 1;
        std::vector<unsigned char> ascii;
        std::int32_t next = -1;
        bool oneWay = true;
        for (const TEdge& e : out[static_cast<std::size_t>(s)])
            for (std::uint32_t c = e.Lo; c <= std::min<std::uint32_t>(e.Hi, 0x7F); ++c) {
                ascii.push_back(static_cast<unsigned char>(c));
                oneWay = oneWay && (next == -1 || next == e.To);
                next = e.To;
            }
        const bool oneCharacter = ascii.size() == 1 || (ascii.size() == 2 && ascii[0] != ascii[1] &&
                                                         LowerAscii(ascii[0]) == LowerAscii(ascii[1]));
        if (!oneWay || ascii.empty() || !oneCharacter || ascii[0] < 0x20 || ascii[0] > 0x7E) {
            word.clear();
            break;
        }
        word += static_cast<char>(LowerAscii(ascii[0]));
        s = next;
        if (accepting[static_cast<std::size_t>(s)]) break;
    }
    std::vector<std::uint16_t>& others = folded.Others;
    for (std::size_t s = 0; s < n && !word.empty(); ++s)
        for (const TEdge& e : out[s])
            for (std::uint32_t c = std::max<std::uint32_t>(e.Lo, 0x80); c <= e.Hi && !word.empty(); ++c) {
                const TOccurrence how = OccurrenceOf(static_cast<TCharCode>(c));
                if (how == TOccurrence::kNever) continue;
                if (how == TOccurrence::kOtherwise || others.size() == kMaxPrefilterCodes) word.clear();
                else if (std::find(others.begin(), others.end(), c) == others.end()) others.push_back(static_cast<std::uint16_t>(c));
            }
    return folded;
}

// Expected hits of a folded word and its other codes: the word's rarest letter in either
// case, shared out over its length, plus each other code.
std::uint64_t CostOf(const TFoldedWord& folded) {
    std::uint64_t wordCost = std::numeric_limits<std::uint64_t>::max();
    for (const char c : folded.Word) {
        const auto b = static_cast<unsigned char>(c);
        const unsigned char upper = b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - 32) : b;
        wordCost = std::min<std::uint64_t>(wordCost, kShiftJisByteFrequency[b] + (upper != b ? kShiftJisByteFrequency[upper] : 0));
    }
    std::uint64_t cost = wordCost / folded.Word.size() + 1;
    for (const std::uint16_t c : folded.Others) cost += ShiftJisCodeFrequency(c);
    return cost;
}

// The codes of a cut when there are at most kMaxPrefilterCodes and each shows as its own
// bytes; otherwise empty.
std::vector<std::uint16_t> FindableCodesOf(const TCut& cut) {
    std::vector<std::uint16_t> codes;
    for (const auto& [lo, hi] : cut.Ranges)
        for (std::uint32_t c = lo; c <= hi && codes.size() <= kMaxPrefilterCodes; ++c)
            switch (OccurrenceOf(static_cast<TCharCode>(c))) {
            case TOccurrence::kNever: break;
            case TOccurrence::kAsItsBytes: codes.push_back(static_cast<std::uint16_t>(c)); break;
            case TOccurrence::kOtherwise: return {};
            }
    if (codes.size() > kMaxPrefilterCodes) return {};
    return codes;
}

// The bytes that find every code of a cut: lead or trail bytes, whichever are rarer for
// each range.
std::array<bool, 256> BytesOf(const TCut& cut) {
    std::array<bool, 256> bytes{};
    for (const auto& [lo, hi] : cut.Ranges) {
        const TRangeBytes r = BytesOfRange(lo, hi);
        const auto& side = CostOf(r.ByLead) <= CostOf(r.ByTrail) ? r.ByLead : r.ByTrail;
        for (std::size_t b = 0; b < 256; ++b) bytes[b] = bytes[b] || side[b];
    }
    return bytes;
}

// The positions of the two rarest of Count bytes (the same one twice when Count is 1),
// the earlier first among equals.
template <class TRarity>
std::pair<std::size_t, std::size_t> TwoRarest(std::size_t count, TRarity rarity) {
    std::vector<std::size_t> byRarity(count);
    for (std::size_t i = 0; i < count; ++i) byRarity[i] = i;
    std::stable_sort(byRarity.begin(), byRarity.end(), [&](std::size_t a, std::size_t b) { return rarity(a) < rarity(b); });
    return {byRarity[0], count > 1 ? byRarity[1] : byRarity[0]};
}

}  // namespace

void TGrepProgram::ChoosePrefilter() {
    if (FMatchesNothing || FAccepting.size() > kMaxCutStates) return;
    const std::optional<TLiveGraph> out = LiveGraph(FTable, FClassCount, FClassFirstCode, FAccepting);
    if (!out) return;
    const std::optional<TDominators> dom = DominatorsOfAcceptance(*out, FAccepting);
    if (!dom) return;
    const std::vector<TCut> cuts = CutsOf(*out, *dom, FAccepting);
    const TLiteralChoice literal = RarestLiteral(*out, *dom, FAccepting);
    const TFoldedWord folded = FoldedWordOf(*out, FAccepting);

    // Pick the cheapest way to find candidates.
    std::uint64_t bestCost = kMaxPrefilterCost + 1;
    enum class TWay { kNone, kLiteral, kCodes, kBytes, kFoldedWordOrCodes } bestWay = TWay::kNone;
    std::vector<std::uint16_t> bestCodes;
    std::array<bool, 256> bestBytes{};
    std::int32_t bestFrom = -1;
    if (!literal.Text.empty()) {
        bestCost = std::min<std::uint64_t>(literal.Cost, bestCost);
        bestWay = literal.Cost <= kMaxPrefilterCost ? TWay::kLiteral : TWay::kNone;
    }
    for (const TCut& cut : cuts) {
        const std::uint64_t penalty = cut.Final ? kFinalCutPenalty : 1;
        const std::vector<std::uint16_t> codes = FindableCodesOf(cut);
        if (!codes.empty()) {
            std::uint64_t cost = 0;
            for (const std::uint16_t c : codes) cost += ShiftJisCodeFrequency(c);
            cost *= penalty;
            if (cost < bestCost) {
                bestCost = cost;
                bestWay = TWay::kCodes;
                bestCodes = codes;
                bestFrom = cut.From;
            }
        }
        const std::array<bool, 256> bytes = BytesOf(cut);
        if (bytes['\n'] || bytes['\r']) continue;  // every line would be a candidate
        const std::uint64_t cost = CostOf(bytes) * penalty;
        if (cost < bestCost) {
            bestCost = cost;
            bestWay = TWay::kBytes;
            bestBytes = bytes;
            bestFrom = cut.From;
        }
    }
    if (!folded.Word.empty() && folded.Others.size() <= kMaxPrefilterCodes) {
        const std::uint64_t cost = CostOf(folded);
        if (cost < bestCost) {
            bestCost = cost;
            bestWay = TWay::kFoldedWordOrCodes;
        }
    }
    if (bestCost > kMaxPrefilterCost) return;
    FPrefilterCost = static_cast<std::uint32_t>(bestCost);
    switch (bestWay) {
    case TWay::kNone: return;
    case TWay::kLiteral:
        FLiteral = literal.Text;
        std::tie(FLiteralFirst, FLiteralSecond) = TwoRarest(FLiteral.size(), [&](std::size_t i) {
            return kShiftJisByteFrequency[static_cast<unsigned char>(FLiteral[i])];
        });
        return;
    case TWay::kCodes:
        FPrefilterCodes = bestCodes;
        FPrefilterState = bestFrom;
        return;
    case TWay::kFoldedWordOrCodes:
        // The word's two rarest letters (either case) are compared.
        FFoldedWord = folded.Word;
        std::tie(FFoldedWordFirst, FFoldedWordSecond) = TwoRarest(FFoldedWord.size(), [&](std::size_t i) {
            const auto b = static_cast<unsigned char>(FFoldedWord[i]);
            return kShiftJisByteFrequency[b] + (b >= 'a' && b <= 'z' ? kShiftJisByteFrequency[b - 32] : 0);
        });
        FPrefilterCodes = folded.Others;
        FPrefilterState = -1;
        return;
    case TWay::kBytes:
        for (std::size_t b = 0; b < 256; ++b)
            if (bestBytes[b]) FPrefilterBytes.push_back(static_cast<unsigned char>(b));
        FPrefilterState = bestFrom;
        return;
    }
}

}  // namespace xavo
