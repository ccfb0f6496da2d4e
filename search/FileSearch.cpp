// One file searched in its own encoding, see FileSearch.h.
#include "FileSearch.h"

#include <algorithm>
#include <cstring>

namespace xavo {

TSearchSource::TSearchSource(const std::string& path, TEncodingChoice choice)
    : FFile(OpenForReading(path)), FChoice(choice) {}

std::size_t TSearchSource::Read(char* buffer, std::size_t size) {
    switch (FState) {
    case TState::Plain: return ReadFully(FFile.Get(), buffer, size);
    case TState::Convert: return Serve(buffer, size);
    case TState::Start: break;
    }
    return Begin(buffer, size);
}

std::size_t TSearchSource::Begin(char* buffer, std::size_t size) {
    // The first block decides; read straight into the caller's buffer when it holds the
    // whole head, so that a Shift-JIS file is read once and copied never.
    const bool direct = size >= kDetectionBytes;
    if (!direct) FRaw.resize(kDetectionBytes);
    char* const into = direct ? buffer : FRaw.data();
    const std::size_t asked = direct ? size : FRaw.size();
    const std::size_t n = ReadFully(FFile.Get(), into, asked);
    const std::string_view head(into, std::min(n, kDetectionBytes));
    FRawEnd = n < asked;
    if (FChoice.Forced)
        FEncoding = WithFileMark(*FChoice.Forced, head);
    else
        FEncoding = DetectEncoding(head, FRawEnd && n <= kDetectionBytes);
    if (direct && FEncoding.Kind == TEncoding::Sjis) {
        FState = TState::Plain;
        return n;
    }
    FState = TState::Convert;
    FTranscoder.emplace(FEncoding);
    FTranscoder->Transcode(std::string_view(into, n), FRawEnd, FOut);
    return Serve(buffer, size);
}

std::size_t TSearchSource::Serve(char* buffer, std::size_t size) {
    while (FOut.size() - FOutPos < size && !FRawEnd) {
        FOut.erase(0, FOutPos);
        FOutPos = 0;
        FRaw.resize(std::max(size, kDetectionBytes));
        const std::size_t n = ReadFully(FFile.Get(), FRaw.data(), FRaw.size());
        FRawEnd = n < FRaw.size();
        FTranscoder->Transcode(std::string_view(FRaw.data(), n), FRawEnd, FOut);
    }
    const std::size_t given = std::min(size, FOut.size() - FOutPos);
    std::memcpy(buffer, FOut.data() + FOutPos, given);
    FOutPos += given;
    return given;
}

TFileSearcher::TFileSearcher(const TGrepProgram& program, const std::atomic<bool>& cancelFlag, TIdleHook idle,
                             TEncodingChoice choice)
    : FSearch(program, cancelFlag, std::move(idle)), FChoice(choice) {}

void TFileSearcher::Run(const std::string& path, const TGrepSearch::TLineSink& sink) {
    TSearchSource source(path, FChoice);
    FEncoding = TFileEncoding{};
    FCurrent = &source;
    struct TNote {  // the encoding is known once the search has read; keep it however it ends
        TFileSearcher& Searcher;
        ~TNote() {
            Searcher.FEncoding = Searcher.FCurrent->Encoding();
            Searcher.FCurrent = nullptr;
        }
    } note{*this};
    FSearch.Run(source, sink);
}

bool TSourceText::Utf8Line(std::int64_t lineNo, std::string& utf8) {
    if (!FFinder) {
        FFile = std::make_unique<TFileSource>(FPath);
        FFinder = std::make_unique<TSourceLineFinder>(
            FEncoding, [file = FFile.get()](char* buffer, std::size_t size) { return file->Read(buffer, size); });
    }
    if (!FFinder->Find(lineNo, FBytes, FText)) return false;
    utf8 = ToDisplayUtf8(FText, FEncoding);
    return true;
}

}  // namespace xavo
