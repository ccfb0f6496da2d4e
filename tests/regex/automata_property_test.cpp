// Random patterns from the grammar: compiling never crashes, and the DFA agrees step by
// step with a direct set simulation of the NFA on random code sequences.
#include "RegexTestUtil.h"

#include <gtest/gtest.h>

#include <random>

namespace xavo {
namespace {

// Literal pieces of patterns and the codes they stand for. "^" and "$" are generated
// only where they are anchors, because elsewhere their literal transitions may overlap
// a class range, where the DFA deliberately takes the lower range and the plain NFA
// simulation would take both.
const char* const kAtoms[] = {"a", "b", "c", "\x83\x5c", "\x95\x5c", "\xb1", "\\n", "\\x41", "\\\\", "\\.", "x"};
const char* const kClassItems[] = {"a", "b-c", "\x83\x40-\x83\x5c", "\\n", "\\x00-\\x20", "A-Z", "\xb1", "\\]"};
const TCharCode kTextCodes[] = {'a', 'b', 'c', 'A', 'x', '.', '\\', 0x835C, 0x955C, 0x8350, 0xB1,
                                0x0A, 0x0D, ' ', kLineHeadMark, kLineTailMark};

class PatternGenerator {
public:
    explicit PatternGenerator(unsigned seed) : FRandom(seed) {}

    std::string Pattern() {
        std::string p = Chance(4) ? "^" : "";
        p += Alternation(3);
        if (Chance(4)) p += "$";
        return p;
    }

private:
    bool Chance(int oneIn) { return Pick(oneIn) == 0; }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(FRandom); }

    std::string Alternation(int depth) {
        std::string p = Concatenation(depth);
        while (Chance(4)) p += "|" + Concatenation(depth);
        return p;
    }
    std::string Concatenation(int depth) {
        std::string p;
        const int n = Pick(4);
        for (int i = 0; i < n; ++i) p += Factor(depth);
        return p;
    }
    std::string Factor(int depth) {
        std::string p = Primary(depth);
        switch (Pick(6)) {
        case 0: return p + "*";
        case 1: return p + "+";
        case 2: return p + "?";
        default: return p;
        }
    }
    std::string Primary(int depth) {
        switch (Pick(depth > 0 ? 7 : 5)) {
        case 0: return ".";
        case 1: return Class();
        case 5:
        case 6: return "(" + Alternation(depth - 1) + ")";
        default: return kAtoms[Pick(std::size(kAtoms))];
        }
    }
    std::string Class() {
        std::string p = Chance(3) ? "[^" : "[";
        const int n = 1 + Pick(3);
        for (int i = 0; i < n; ++i) p += kClassItems[Pick(std::size(kClassItems))];
        return p + "]";
    }

    std::mt19937 FRandom;
};

// The NFA run directly on sets of states.
class NfaSimulator {
public:
    explicit NfaSimulator(const TRE_NFA& nfa) : FNFA(nfa) {}

    std::vector<bool> Start() const { return Close(Seed(FNFA.FEntryState)); }
    std::vector<bool> Step(const std::vector<bool>& set, TCharCode code) const {
        std::vector<bool> next(FNFA.StateCount());
        for (std::uint32_t s = 0; s < set.size(); ++s) {
            if (!set[s]) continue;
            for (const TRE_NFATransition& t : FNFA.Transitions(s))
                if (!t.IsEmpty() && t.Lo <= code && code <= t.Hi) next[t.TransitTo] = true;
        }
        return Close(next);
    }
    bool Accepts(const std::vector<bool>& set) const { return set[FNFA.FExitState]; }
    static bool Empty(const std::vector<bool>& set) {
        return std::find(set.begin(), set.end(), true) == set.end();
    }

private:
    std::vector<bool> Seed(std::uint32_t s) const {
        std::vector<bool> set(FNFA.StateCount());
        set[s] = true;
        return set;
    }
    std::vector<bool> Close(std::vector<bool> set) const {
        std::vector<std::uint32_t> pending;
        for (std::uint32_t s = 0; s < set.size(); ++s)
            if (set[s]) pending.push_back(s);
        while (!pending.empty()) {
            const std::uint32_t s = pending.back();
            pending.pop_back();
            for (const TRE_NFATransition& t : FNFA.Transitions(s))
                if (t.IsEmpty() && !set[t.TransitTo]) {
                    set[t.TransitTo] = true;
                    pending.push_back(t.TransitTo);
                }
        }
        return set;
    }
    const TRE_NFA& FNFA;
};

TEST(AutomataProperty, DfaAgreesWithNfaSimulation) {
    PatternGenerator generator(20261207);
    std::mt19937 random(7);
    int compiled = 0;
    for (int round = 0; round < 1500; ++round) {
        const std::string pattern = generator.Pattern();
        TREParser parser(pattern);
        parser.Run();
        TRE_NFA nfa(parser, kLineHeadMark, kLineTailMark);
        nfa.Run();
        TRE_DFA dfa(nfa);
        try {
            dfa.Run();
        } catch (const ERegExpParser&) {
            continue;  // too many states: refused, which is allowed
        }
        ++compiled;
        const NfaSimulator sim(nfa);
        for (int text = 0; text < 12; ++text) {
            const TRE_DFAState* st = dfa.FStartState;
            std::vector<bool> set = sim.Start();
            ASSERT_EQ(st->Accepted, sim.Accepts(set)) << pattern;
            const int length = 1 + static_cast<int>(random() % 10);
            for (int i = 0; i < length; ++i) {
                const TCharCode code = kTextCodes[random() % std::size(kTextCodes)];
                st = TRE_DFA::NextState(st, code);
                set = sim.Step(set, code);
                ASSERT_EQ(st == nullptr, NfaSimulator::Empty(set)) << pattern << " step " << i;
                if (st == nullptr) break;
                ASSERT_EQ(st->Accepted, sim.Accepts(set)) << pattern << " step " << i;
            }
        }
    }
    EXPECT_GT(compiled, 1400);
}

TEST(AutomataProperty, ArbitraryBytesNeverCrashTheCompiler) {
    std::mt19937 random(42);
    const std::string alphabet = "ab()|*+?.[]^$\\-x0\x81\x5c\x82\xa0\xff";
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string pattern;
        const int length = static_cast<int>(random() % 16);
        for (int i = 0; i < length; ++i)
            pattern += random() % 8 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
        try {
            testing::Compiled c(pattern);
            ++accepted;
        } catch (const ERegExpParser& e) {
            EXPECT_LE(e.Position, pattern.size() + 1) << pattern;
        }
    }
    EXPECT_GT(accepted, 100);
}

}  // namespace
}  // namespace xavo
