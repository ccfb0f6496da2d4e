// The GREP component: pattern selection and the plain search loops.
#include "Grep.h"

#include "GrepSearch.h"

namespace xavo {

TGrep::TGrep() : TRegularExpression(0x0A, 0x0A) {
    FuzzyCharDics().push_back(&FuzzyCharTable());
    UseCurrentProgram();
}

void TGrep::StorePattern(const std::string& value) {
    TRegularExpression::StorePattern(value);
    FReferenceLoop = IsSimple() ? &TGrep::GrepByStr : &TGrep::GrepByDFA;
    UseCurrentProgram();
}

void TGrep::UseCurrentProgram() {
    std::shared_ptr<const TGrepProgram>& program = CurrentProgram();
    if (!program) program = std::make_shared<TGrepProgram>(GetCurrentDFA());
    FProgram = program;
}

void TGrep::GrepProc(const std::string& fileName) {
    if (UseReferenceLoops) {
        (this->*FReferenceLoop)(fileName);
        return;
    }
    Cancel = false;
    if (!OnMatch) return;
    TGrepSearch search(*FProgram, Cancel, OnIdle, BlockSize);
    search.Run(fileName, [this](const RE_LineInfo_t& info) { OnMatch(*this, info); });
}

void TGrep::GrepByDFA(const std::string& fileName) {
    if (!OnMatch) return;
    Cancel = false;
    const TRE_DFAState* const start = GetCurrentDFA().FStartState;
    const std::size_t stateCount = GetCurrentDFA().States().size();
    std::unique_ptr<TTxtFile> reader;
    try {
        reader = std::make_unique<TTxtFile>(fileName, Cancel, OnIdle, BlockSize);
    } catch (const EEndOfFile&) {
        return;
    }
    try {
        for (;;) {
            const TRE_DFAState* st = NextState(start, reader->ReadChar());
            // After the stream's end the look-ahead reads 0 for ever; a run that has not
            // accepted within as many steps as there are states is going round a cycle.
            std::size_t stepsAtEnd = 0;
            while (st != nullptr) {
                if (st->Accepted) {
                    RE_LineInfo_t info;
                    reader->GetLine(info);
                    OnMatch(*this, info);
                    break;
                }
                const TCharCode ch = reader->ReadAheadChar();
                if (ch == 0 && ++stepsAtEnd > stateCount) break;
                st = NextState(st, ch);
            }
        }
    } catch (const EEndOfFile&) {
    }
}

void TGrep::GrepByStr(const std::string& fileName) {
    Cancel = false;
    if (!OnMatch) return;
    std::unique_ptr<TTxtFile> reader;
    try {
        reader = std::make_unique<TTxtFile>(fileName, Cancel, OnIdle, BlockSize);
    } catch (const EEndOfFile&) {
        return;
    }
    const std::string& text = GetSimpleRegExpStr();
    std::vector<TCharCode> codes;
    for (int pos = 1; pos <= static_cast<int>(text.size());) codes.push_back(NextChar(text, pos));
    const std::size_t n = codes.size();
    codes.push_back(0);
    try {
        for (;;) {
            if (reader->ReadChar() != codes[0]) continue;
            for (std::size_t k = 1;; ++k) {
                if (k == n) {
                    RE_LineInfo_t info;
                    reader->GetLine(info);
                    OnMatch(*this, info);
                    break;
                }
                if (reader->ReadAheadChar() != codes[k]) break;
            }
        }
    } catch (const EEndOfFile&) {
    }
}

}  // namespace xavo
