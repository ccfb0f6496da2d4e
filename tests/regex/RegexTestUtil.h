// Readable dumps of parse trees and automata for table-driven tests.
#pragma once

#include "Dfa.h"
#include "Nfa.h"
#include "Parser.h"

#include <cstdio>
#include <string>

namespace xavo::testing {

inline std::string CodeName(TCharCode c) {
    if (c > 0x20 && c < 0x7F) return std::string(1, static_cast<char>(c));
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02X", c);
    return buf;
}

inline std::string RangeName(TCharCode lo, TCharCode hi) {
    return lo == hi ? CodeName(lo) : "{" + CodeName(lo) + "-" + CodeName(hi) + "}";
}

// cat(x,y), alt(x,y), star(x), () for empty, ^ and $ anchors, leaves as ranges.
inline std::string DumpTree(const TRENode* n) {
    switch (n->Kind) {
    case reopCharRange: return RangeName(n->Lo, n->Hi);
    case reopLHead: return "^";
    case reopLTail: return "$";
    case reopConcat: return "cat(" + DumpTree(n->Left) + "," + DumpTree(n->Right) + ")";
    case reopUnion: return "alt(" + DumpTree(n->Left) + "," + DumpTree(n->Right) + ")";
    case reopClosure: return "star(" + DumpTree(n->Left) + ")";
    case reopEmpty: return "()";
    }
    return "?";
}

inline std::string ParseDump(const std::string& pattern) {
    TREParser parser(pattern);
    parser.Run();
    return DumpTree(parser.FParseTree.FHeadNode);
}

// "from>to:range" for every transition, states ascending, chains in their order; "e" is empty.
inline std::string DumpNfa(const TRE_NFA& nfa) {
    std::string out;
    for (std::uint32_t s = 0; s < nfa.StateCount(); ++s)
        for (const TRE_NFATransition& t : nfa.Transitions(s)) {
            if (!out.empty()) out += ' ';
            out += std::to_string(s) + ">" + std::to_string(t.TransitTo) + ":" +
                   (t.IsEmpty() ? std::string("e") : RangeName(t.Lo, t.Hi));
        }
    return out;
}

// "0*[a>1,b>2] 1[...]": state index, "*" when accepting, sorted transitions.
inline std::string DumpDfa(const TRE_DFA& dfa) {
    std::string out;
    for (const TRE_DFAState& st : dfa.States()) {
        if (!out.empty()) out += ' ';
        out += std::to_string(dfa.IndexOf(&st)) + (st.Accepted ? "*" : "") + "[";
        for (std::uint32_t k = 0; k < st.TransitionCount; ++k) {
            const TRE_DFATransition& t = st.Transitions[k];
            if (k) out += ',';
            out += RangeName(t.Lo, t.Hi) + ">" + std::to_string(dfa.IndexOf(t.TransitTo));
        }
        out += "]";
    }
    return out;
}

// Parser, NFA and DFA of one pattern, kept together because each refers to the one before.
struct Compiled {
    Compiled(const std::string& pattern, TCharCode head = kLineHeadMark, TCharCode tail = kLineTailMark)
        : parser(pattern), nfa(parser, head, tail), dfa(nfa) {
        parser.Run();
        nfa.Run();
        dfa.Run();
    }
    TREParser parser;
    TRE_NFA nfa;
    TRE_DFA dfa;
};

}  // namespace xavo::testing
