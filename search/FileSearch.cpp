// One file searched in its own encoding, see FileSearch.h.
#include "FileSearch.h"

#include "SjisBytes.h"
#include "SjisCodec.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace xavo {

namespace {

constexpr std::size_t kRawBlock = 128 * 1024;
// Mapped a window at a time, so that memory still follows the block, not the file.
constexpr std::size_t kMapWindow = 4u << 20;

// How many characters of Kind (UTF-8 standing for Unicode, EUC-JP for the JIS sets)
// convert to each Shift-JIS code, 2 standing for "more than one".
std::vector<std::uint8_t> CountPreimages(TEncoding kind) {
    std::vector<std::uint8_t> counts(0x10000, 0);
    TSjisTranscoder transcoder({kind, false});
    std::string out;
    const auto add = [&](std::string_view bytes) {
        out.clear();
        transcoder.Reset();
        transcoder.Transcode(bytes, true, out);
        std::uint32_t code = 0;
        if (out.size() == 1)
            code = static_cast<unsigned char>(out[0]);
        else if (out.size() == 2 && IsLeadByte(static_cast<unsigned char>(out[0])))
            code = static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]);
        else
            return;
        if (code != kUnmappableCode && counts[code] < 2) ++counts[code];
    };
    if (kind == TEncoding::Utf8) {
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) continue;
            std::string bytes;
            if (c < 0x80) {
                bytes = {static_cast<char>(c)};
            } else if (c < 0x800) {
                bytes = {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
            } else {
                bytes = {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                         static_cast<char>(0x80 | (c & 0x3F))};
            }
            add(bytes);
        }
    } else {
        for (int b = 0; b < 0x80; ++b) add(std::string(1, static_cast<char>(b)));
        for (int t = 0xA1; t <= 0xDF; ++t) add(std::string{'\x8E', static_cast<char>(t)});
        for (int l = 0xA1; l <= 0xFE; ++l)
            for (int t = 0xA1; t <= 0xFE; ++t) {
                add(std::string{static_cast<char>(l), static_cast<char>(t)});
                add(std::string{'\x8F', static_cast<char>(l), static_cast<char>(t)});
            }
    }
    return counts;
}

const std::vector<std::uint8_t>& Preimages(TEncoding kind) {
    static const std::vector<std::uint8_t> unicode = CountPreimages(TEncoding::Utf8);
    static const std::vector<std::uint8_t> jis = CountPreimages(TEncoding::EucJp);
    return kind == TEncoding::EucJp || kind == TEncoding::Jis ? jis : unicode;
}

// Whether each code of Sjis has exactly one character of Kind that converts to it.
bool EveryCodeHasOneSource(std::string_view sjis, TEncoding kind) {
    const std::vector<std::uint8_t>& counts = Preimages(kind);
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        std::uint32_t code = static_cast<unsigned char>(sjis[i]);
        if (IsLeadByte(static_cast<unsigned char>(code))) {
            if (i + 1 == sjis.size()) return false;
            code = code << 8 | static_cast<unsigned char>(sjis[++i]);
        }
        if (counts[code] != 1) return false;
    }
    return true;
}

// Every byte string of Kind that converts to Code (a NUL to the space, as the engine reads it).
void AddSources(std::uint16_t code, TEncoding kind, std::vector<std::string>& out) {
    const std::vector<std::uint8_t>& counts = Preimages(kind);
    if (counts[code] == 0) return;  // never in a converted file
    const std::string sjis = code < 0x100 ? std::string(1, static_cast<char>(code))
                                          : std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    if (code == ' ') out.emplace_back(1, '\0');
    TSjisTranscoder transcoder({kind, false});
    std::string converted;
    const auto converts = [&](const std::string& bytes) {
        converted.clear();
        transcoder.Reset();
        transcoder.Transcode(bytes, true, converted);
        return converted == sjis;
    };
    std::string own = EncodeText(DecodeSjis(sjis), {kind, false});
    if (counts[code] == 1 && converts(own)) {
        out.push_back(std::move(own));
        return;
    }
    // Several (a few symbols): look for them all.
    const auto tryOne = [&](const std::string& bytes) {
        if (converts(bytes)) out.push_back(bytes);
    };
    if (kind == TEncoding::Utf8) {
        for (char32_t c = 0x80; c < 0x10000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) continue;
            const std::u16string unit(1, static_cast<char16_t>(c));
            tryOne(EncodeText(unit, {TEncoding::Utf8, false}));
        }
    } else {
        for (int l = 0xA1; l <= 0xFE; ++l)
            for (int t = 0xA1; t <= 0xFE; ++t) {
                tryOne(std::string{static_cast<char>(l), static_cast<char>(t)});
                tryOne(std::string{'\x8F', static_cast<char>(l), static_cast<char>(t)});
            }
        for (int t = 0xA1; t <= 0xDF; ++t) tryOne(std::string{'\x8E', static_cast<char>(t)});
    }
}

std::unique_ptr<TNativeFinder> MakeNativeFinder(const TGrepProgram& program, TEncoding kind) {
    // Where most lines hold a candidate, filtering costs more than it saves.
    constexpr std::uint32_t kMaxHitsPerMillion = 3000;
    if (!program.IsLineLocal() || program.MatchesNothing() || program.PrefilterCost() > kMaxHitsPerMillion) return nullptr;
    const std::string& literal = program.Literal();
    if (!literal.empty()) {
        // The engine reads a NUL as a space: a literal with a space may lie where the file has a NUL.
        if (literal.find_first_of(std::string_view("\r\n ", 3)) != std::string::npos ||
            !EveryCodeHasOneSource(literal, kind))
            return nullptr;
        std::string native = EncodeText(DecodeSjis(literal), {kind, false});
        TSjisTranscoder back({kind, false});
        std::string again;
        back.Transcode(native, true, again);
        if (again != literal) return nullptr;
        return std::make_unique<TNativeFinder>(std::move(native));
    }
    const std::vector<std::uint16_t>& codes = program.PrefilterCodes();
    if (codes.empty() || !program.FoldedWord().empty()) return nullptr;
    std::vector<std::string> alternatives;
    for (const std::uint16_t code : codes) {
        if (code == '\n' || code == '\r') return nullptr;
        AddSources(code, kind, alternatives);
    }
    if (alternatives.empty() || alternatives.size() > 64) return nullptr;
    return std::make_unique<TNativeFinder>(std::move(alternatives));
}

// Where the lines that surely ended in [p, end) end: after the last LF, or after the last
// CR whose next byte is known (a CR at the end may be the first half of a CR LF).
const unsigned char* SureLinesEnd(const unsigned char* p, const unsigned char* end) {
    const auto length = static_cast<std::size_t>(end - p);
    if (const void* lf = ::memrchr(p, '\n', length)) return static_cast<const unsigned char*>(lf) + 1;
    if (length < 2) return p;
    const void* cr = ::memrchr(p, '\r', length - 1);
    return cr != nullptr ? static_cast<const unsigned char*>(cr) + 1 : p;
}

}  // namespace

bool ShowsOwnText(std::string_view sjisLine, TEncoding kind) {
    return kind == TEncoding::Sjis || EveryCodeHasOneSource(sjisLine, kind);
}

TNativeFinder::TNativeFinder(std::string literal)
    : FLongest(literal.size()), FLiteral(literal, literal.size() > 1 ? 1 : 0, literal.size() - 1) {}

TNativeFinder::TNativeFinder(std::vector<std::string> alternatives) : FAlternatives(std::move(alternatives)) {
    std::vector<unsigned char> last;
    for (const std::string& a : FAlternatives) {
        last.push_back(static_cast<unsigned char>(a.back()));
        FLongest = std::max(FLongest, a.size());
    }
    std::sort(last.begin(), last.end());
    last.erase(std::unique(last.begin(), last.end()), last.end());
    FLast.emplace(last);
}

const unsigned char* TNativeFinder::Find(const unsigned char* p, const unsigned char* end) const {
    if (!FLast) return FLiteral.Find(p, end);
    // By the last byte of each form, then the whole form before it.
    for (const unsigned char* q = p;; ++q) {
        q = FLast->Find(q, end);
        if (q == end) return end;
        for (const std::string& a : FAlternatives) {
            const std::size_t before = a.size() - 1;
            if (static_cast<unsigned char>(a.back()) == *q && static_cast<std::size_t>(q - p) >= before &&
                std::memcmp(q - before, a.data(), before) == 0)
                return q - before;
        }
    }
}

const TNativeFinder* TNativeFilter::For(TEncoding kind) {
    if (kind == TEncoding::Utf8) {
        if (!std::exchange(FUtf8Known, true)) FUtf8 = MakeNativeFinder(FProgram, kind);
        return FUtf8.get();
    }
    if (kind == TEncoding::EucJp) {
        if (!std::exchange(FEucJpKnown, true)) FEucJp = MakeNativeFinder(FProgram, kind);
        return FEucJp.get();
    }
    return nullptr;
}

TSearchSource::TSearchSource(const std::string& path, TEncodingChoice choice, const std::atomic<bool>* cancel,
                             TNativeFilter* filter)
    : FFile(OpenForReading(path)), FChoice(choice), FCancel(cancel), FFilter(filter) {}

std::size_t TSearchSource::Read(char* buffer, std::size_t size) {
    switch (FState) {
    case TState::Start: return Begin(buffer, size);
    case TState::Undecided: return ReadUndecided(buffer, size);
    case TState::Plain: return ReadPlain(buffer, size);
    case TState::Convert: return Convert(buffer, size);
    case TState::Filter: return Serve(buffer, size);
    }
    return 0;
}

std::size_t TSearchSource::Begin(char* buffer, std::size_t size) {
    if (!FChoice.Forced) {
        FState = TState::Undecided;
        return ReadUndecided(buffer, size);
    }
    // The user's encoding, completed from the file's byte-order mark.
    FRaw.resize(kDetectionBytes);
    const std::size_t n = ReadFully(FFile.Get(), FRaw.data(), FRaw.size());
    FRaw.resize(n);
    FRawEnd = n < kDetectionBytes;
    Enter(WithFileMark(*FChoice.Forced, FRaw));
    return Read(buffer, size);
}

std::size_t TSearchSource::ReadUndecided(char* buffer, std::size_t size) {
    // Straight into the caller's buffer (bytes read ahead first): as long as the file is
    // ASCII, it reads the same in every encoding, and the engine takes it as it is.
    std::size_t n = std::min(size, FRaw.size() - FRawPos);
    std::memcpy(buffer, FRaw.data() + FRawPos, n);
    FRawPos += n;
    if (n < size && !FRawEnd) {
        const std::size_t got = ReadFully(FFile.Get(), buffer + n, size - n);
        FRawEnd = got < size - n;
        n += got;
    }
    const std::string_view read(buffer, n);
    std::size_t k = 0;
    for (;;) {
        const std::size_t found = FindDecidingByte(read.substr(k));
        k = found == std::string_view::npos ? n : k + found;
        if (k == n || static_cast<unsigned char>(read[k]) >= 0x80 || StartsWithDesignation(read.substr(k))) break;
        // An escape cut by the end of the buffer: the bytes after it tell whether it designates.
        if (!PeekDesignation(read.substr(k))) ++k;
        else break;
    }
    if (k == n) {
        FHanded += n;
        if (FRawEnd && FRawPos == FRaw.size()) FState = TState::Plain;
        return n;
    }
    // Decided from the buffer when it holds a whole head; the common case, Shift-JIS, then
    // reads on straight into the engine's buffer.
    const bool wholeFile = FRawEnd && FRawPos == FRaw.size();
    std::optional<TFileEncoding> decided;
    if (n - k >= kDetectionBytes || wholeFile) {
        decided = DecideEncoding(read.substr(k), wholeFile, FHanded + k == 0).value_or(TFileEncoding{});
        if (decided->Kind == TEncoding::Sjis) {
            FEncoding = *decided;
            FState = TState::Plain;
            return n;
        }
    }
    // From the deciding byte on, what was read goes through the decision, before what was
    // read ahead.
    FRaw.replace(0, FRawPos, buffer + k, n - k);
    FRawPos = 0;
    FHanded += k;
    if (!decided) {
        while (FRaw.size() < kDetectionBytes && !FRawEnd) ReadMoreRaw();
        decided = DecideEncoding(FRaw, FRawEnd, FHanded == 0).value_or(TFileEncoding{});
    }
    Enter(*decided);
    return k + Read(buffer + k, size - k);
}

bool TSearchSource::PeekDesignation(std::string_view cut) {
    while (FRaw.size() - FRawPos < 4 && !FRawEnd) ReadMoreRaw();
    const std::string joined = std::string(cut) + FRaw.substr(FRawPos, 4);
    return StartsWithDesignation(joined);
}

void TSearchSource::ReadMoreRaw() {
    if (FCancel != nullptr && FCancel->load(std::memory_order_relaxed)) throw EGrepCancel();
    const std::size_t old = FRaw.size();
    FRaw.resize(old + kRawBlock);
    const std::size_t n = ReadFully(FFile.Get(), FRaw.data() + old, kRawBlock);
    FRaw.resize(old + n);
    FRawEnd = n < kRawBlock;
}

std::size_t TSearchSource::ReadPlain(char* buffer, std::size_t size) {
    std::size_t n = std::min(size, FRaw.size() - FRawPos);
    std::memcpy(buffer, FRaw.data() + FRawPos, n);
    FRawPos += n;
    if (n < size && !FRawEnd) n += ReadFully(FFile.Get(), buffer + n, size - n);
    return n;
}

void TSearchSource::Enter(TFileEncoding encoding) {
    // FRaw holds the file's bytes from FHanded on (the bytes before were handed out as they
    // are); FRawEnd says whether they run to its end.
    FEncoding = encoding;
    if (encoding.Kind == TEncoding::Sjis) {
        FState = TState::Plain;
        return;
    }
    const bool atStart = FHanded == 0;
    FNative = FFilter != nullptr ? FFilter->For(encoding.Kind) : nullptr;
    if (FNative != nullptr) {
        // Filtered: the lines are converted one by one, so the mark is passed over here.
        FState = TState::Filter;
        FRawAt = FHanded;
        const std::string_view mark = ByteOrderMark(encoding.Kind);
        if (atStart && encoding.Bom && std::string_view(FRaw).substr(0, mark.size()) == mark) FRawPos = mark.size();
        FTranscoder.emplace(TFileEncoding{encoding.Kind, false});
        FTranscoder->NoteInexactIn(&FInexactLog);
        return;
    }
    FState = TState::Convert;
    FTranscoder.emplace(atStart ? encoding : TFileEncoding{encoding.Kind, false});
    FTranscoder->NoteInexactIn(&FInexactLog);
    // A regular file whose size says there is more (a file under /proc says 0) is mapped.
    struct stat st {};
    if (!FRawEnd && ::fstat(FFile.Get(), &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::uint64_t>(st.st_size) > FHanded + FRaw.size()) {
        FMapNext = FHanded;  // from there again: the bytes read served the decision only
        NextStretch();
    } else {
        FStretch = FRaw;
        FStretchAt = FHanded;
        FReadAt = FHanded + FRaw.size();
    }
}

void TSearchSource::NextStretch() {
    FRawPos = 0;
    if (FMapNext) {
        struct stat st {};
        const std::uint64_t size = ::fstat(FFile.Get(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
        if (*FMapNext >= size) {  // the end (sooner when the file shrank)
            FMapped.Unmap();
            FStretch = {};
            FRawEnd = true;
            return;
        }
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(kMapWindow, size - *FMapNext));
        if (FMapped.Map(FFile.Get(), *FMapNext, length, true)) {
            FStretch = std::string_view(reinterpret_cast<const char*>(FMapped.Data()), length);
            FStretchAt = *FMapNext;
            *FMapNext += length;
            FRawEnd = *FMapNext >= size;
            return;
        }
        // Refused (no room for the mapping): read on from there.
        if (::lseek(FFile.Get(), static_cast<off_t>(*FMapNext), SEEK_SET) < 0) throw EInOutError(std::strerror(errno));
        FReadAt = *FMapNext;
        FMapped.Unmap();
        FMapNext.reset();
    }
    FRaw.resize(kRawBlock);
    const std::size_t n = ReadFully(FFile.Get(), FRaw.data(), kRawBlock);
    FRaw.resize(n);
    FStretch = FRaw;
    FStretchAt = FReadAt;
    FReadAt += n;
    FRawEnd = n < kRawBlock;
}

std::size_t TSearchSource::Convert(char* buffer, std::size_t size) {
    // Straight into the caller's buffer; only its last few bytes go through FOut, whose
    // rest comes first in the next call.
    char* w = buffer;
    char* const end = buffer + size;
    const std::size_t spilled = std::min(size, FOut.size() - FOutPos);
    std::memcpy(w, FOut.data() + FOutPos, spilled);
    FOutPos += spilled;
    w += spilled;
    while (w < end && !FConverted) {
        if (FRawPos == FStretch.size() && !FRawEnd) {
            if (FCancel != nullptr && FCancel->load(std::memory_order_relaxed)) throw EGrepCancel();
            NextStretch();
        }
        const std::string_view raw = FStretch.substr(FRawPos);
        const std::uint64_t at = FHanded + static_cast<std::size_t>(w - buffer);
        const std::uint64_t from = FStretchAt + FRawPos;
        if (end - w >= static_cast<std::ptrdiff_t>(kMinTranscodeRoom)) {
            FRawPos += FTranscoder->Transcode(raw, FRawEnd, w, end);
        } else {
            FOut.resize(4 * kMinTranscodeRoom);
            char* s = FOut.data();
            FRawPos += FTranscoder->Transcode(raw, FRawEnd, s, FOut.data() + FOut.size());
            FOut.resize(static_cast<std::size_t>(s - FOut.data()));
            FOutPos = std::min(FOut.size(), static_cast<std::size_t>(end - w));
            std::memcpy(w, FOut.data(), FOutPos);
            w += FOutPos;
        }
        if (!FInexactLog.empty()) NoteInexact(at, from);
        FConverted = FRawEnd && FRawPos == FStretch.size();
    }
    FHanded += static_cast<std::size_t>(w - buffer);
    return static_cast<std::size_t>(w - buffer);
}

void TSearchSource::NoteInexact(std::uint64_t out, std::uint64_t in) {
    constexpr std::size_t kMaxNotedInexact = 4096;
    for (const TSjisTranscoder::TInexactNote& note : FInexactLog) {
        FInexactAt.push_back({out + note.Out, in + note.In});
        if (FInexactAt.size() > kMaxNotedInexact) {
            FInexactFloor = FInexactAt.front().Out;
            FInexactAt.pop_front();
        }
    }
    FInexactLog.clear();
}

bool TSearchSource::Exact(std::uint64_t offset, std::size_t length, std::optional<std::uint64_t>* near) {
    if (!FTranscoder) return true;
    while (!FInexactAt.empty() && FInexactAt.front().Out < offset) FInexactAt.pop_front();
    if (FInexactFloor && offset <= *FInexactFloor) return false;
    if (FInexactAt.empty() || FInexactAt.front().Out >= offset + length) return true;
    if (near != nullptr) *near = FInexactAt.front().File;
    return false;
}

void TSearchSource::ReadRaw() {
    FRawAt += FRawPos;
    FRaw.erase(0, FRawPos);
    FRawPos = 0;
    const std::size_t old = FRaw.size();
    FRaw.resize(old + kRawBlock);
    const std::size_t n = ReadFully(FFile.Get(), FRaw.data() + old, kRawBlock);
    FRaw.resize(old + n);
    FRawEnd = n < kRawBlock;
}

void TSearchSource::EmptyLines(const unsigned char* from, const unsigned char* to) {
    if (from < to) FOut.append(CountLineBreaks(from, to).Breaks, '\n');
}

void TSearchSource::FilterStep() {
    // 1. The next candidate from P, in the line at P where an earlier step left off.
    // 2. None: the lines that surely ended become empty lines; the rest waits for the next
    //    block (a candidate may run on into it).
    // 3. The candidate's line not ended yet: it waits too, the candidate kept.
    // 4. Else its line, and the candidate lines close after it, are converted.
    // Whatever a step found nothing in is noted (FNoCandidateBefore, FNoLineEndBefore), so
    // that a line of any length is looked at once, not again with each block read onto it.
    const auto* const base = reinterpret_cast<const unsigned char*>(FRaw.data());
    const unsigned char* const p = base + FRawPos;
    const unsigned char* const end = base + FRaw.size();
    const auto at = [&](std::uint64_t offset) {  // a file offset in [p, end]
        return offset <= FRawAt + FRawPos ? p : offset >= FRawAt + FRaw.size() ? end : base + (offset - FRawAt);
    };
    const auto offsetOf = [&](const unsigned char* q) { return FRawAt + static_cast<std::uint64_t>(q - base); };
    const auto looked = [&](const unsigned char* from, const unsigned char* to) {
        FFilterLooked += static_cast<std::uint64_t>(to - from);
    };
    const unsigned char* hit;
    const unsigned char* lineStart;
    if (FCandidateAt) {
        hit = at(*FCandidateAt);
        lineStart = p;
    } else {
        const unsigned char* const from = at(FNoCandidateBefore);
        hit = FNative->Find(from, end);
        looked(from, hit);
        lineStart = hit;
        if (hit != end) {
            const unsigned char* const known = std::min(hit, at(FNoLineEndBefore));  // none before it
            while (lineStart > known && lineStart[-1] != '\n' && lineStart[-1] != '\r') --lineStart;
            looked(lineStart, hit);
            if (lineStart == known) lineStart = p;
        }
    }
    FCandidateAt.reset();
    if (hit == end) {
        const unsigned char* cut = end;
        if (!FRawEnd) {
            const unsigned char* const from = at(FNoLineEndBefore);
            const unsigned char* const sure = SureLinesEnd(from, end);
            looked(from, end);
            cut = sure == from ? p : sure;
            FNoCandidateBefore = offsetOf(end) - std::min<std::uint64_t>(offsetOf(end), FNative->Longest() - 1);
            // A line end found means the line goes on from there (a lone CR may follow the last LF).
            if (sure == from) FNoLineEndBefore = offsetOf(end) - 1;  // a CR at the end may start a CR LF
        }
        EmptyLines(p, cut);
        FRawPos = static_cast<std::size_t>(cut - base);
        if (!FRawEnd) ReadRaw();
        return;
    }
    // The CR or LF that ends the line holding From, or end; Cut: the line may go on in the
    // next block.
    const auto lineEndOf = [&](const unsigned char* from, bool& cut) {
        const auto rest = static_cast<std::size_t>(end - from);
        const void* lf = std::memchr(from, '\n', rest);
        const void* cr = std::memchr(from, '\r', lf != nullptr ? static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - from) : rest);
        const auto* e = static_cast<const unsigned char*>(cr != nullptr ? cr : lf != nullptr ? lf : end);
        looked(from, e);
        cut = e == end || (*e == '\r' && e + 1 == end);
        return e;
    };
    const auto after = [end](const unsigned char* lineEnd) {
        return lineEnd + (*lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n' ? 2 : 1);
    };
    bool cut = false;
    const unsigned char* lineEnd = lineEndOf(std::max(hit, at(FNoLineEndBefore)), cut);
    if (cut && !FRawEnd) {  // the line's end is still to come
        EmptyLines(p, lineStart);
        FRawPos = static_cast<std::size_t>(lineStart - base);
        FCandidateAt = offsetOf(hit);
        FNoLineEndBefore = offsetOf(end) - 1;
        ReadRaw();
        return;
    }
    // Candidate lines close together are converted as one stretch, the lines between them
    // with them (they cannot match): one call instead of many where candidates are dense.
    constexpr std::size_t kJoinGap = 2048;
    while (lineEnd < end) {
        const unsigned char* const from = after(lineEnd);
        const unsigned char* const limit = from + std::min<std::size_t>(kJoinGap, static_cast<std::size_t>(end - from));
        const unsigned char* const next = FNative->Find(from, limit);
        looked(from, next);
        if (next == limit) break;
        bool nextCut = false;
        const unsigned char* const nextEnd = lineEndOf(next, nextCut);
        if (nextCut) break;  // left for the next step
        lineEnd = nextEnd;
    }
    EmptyLines(p, lineStart);
    // The last line's end becomes a LF: a lone CR before the empty line after it would read as CR LF.
    const std::string_view lines(reinterpret_cast<const char*>(lineStart), static_cast<std::size_t>(lineEnd - lineStart));
    const std::uint64_t out = FHanded + FOut.size() - FOutPos;
    FTranscoder->Transcode(lines, true, FOut);  // no character runs on over a line end in these encodings
    if (!FInexactLog.empty()) NoteInexact(out, FRawAt + static_cast<std::size_t>(lineStart - base));
    if (lineEnd < end) {
        FOut += '\n';
        lineEnd = after(lineEnd);
    }
    FRawPos = static_cast<std::size_t>(lineEnd - base);
}

std::size_t TSearchSource::Serve(char* buffer, std::size_t size) {
    while (FState == TState::Filter && FOut.size() - FOutPos < size && !(FRawEnd && FRawPos == FRaw.size())) {
        if (FCancel != nullptr && FCancel->load(std::memory_order_relaxed)) throw EGrepCancel();
        FOut.erase(0, FOutPos);
        FOutPos = 0;
        FilterStep();
    }
    const std::size_t given = std::min(size, FOut.size() - FOutPos);
    std::memcpy(buffer, FOut.data() + FOutPos, given);
    FOutPos += given;
    FHanded += given;
    return given;
}

TFileSearcher::TFileSearcher(const TGrepProgram& program, const std::atomic<bool>& cancelFlag, TIdleHook idle,
                             TEncodingChoice choice)
    : FSearch(program, cancelFlag, std::move(idle)), FFilter(program), FCancelFlag(cancelFlag), FChoice(choice) {}

void TFileSearcher::Run(const std::string& path, const TGrepSearch::TLineSink& sink) {
    TSearchSource source(path, FChoice, &FCancelFlag, &FFilter);
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

bool TFileSearcher::ShowsOwnText(const RE_LineInfo_t& info, std::optional<std::uint64_t>* near) {
    return (FCurrent != nullptr && FCurrent->Exact(info.Offset, info.Line.size(), near)) ||
           xavo::ShowsOwnText(info.Line, Encoding().Kind);
}

bool TSourceText::LineAround(std::uint64_t near, std::string& bytes) {
    // Back from Near to the line end before it, on to the one after it, a block at a time.
    const std::size_t unit = FEncoding.Kind == TEncoding::Utf16Le || FEncoding.Kind == TEncoding::Utf16Be ? 2 : 1;
    if (near % unit != 0) return false;
    if (!FRandom) FRandom.emplace(OpenForReading(FPath));
    const int fd = FRandom->Get();
    constexpr std::size_t kBlock = 4096;
    char block[kBlock];
    const auto lineEndAt = [&](const char* q) {
        const auto b0 = static_cast<unsigned char>(q[0]);
        if (unit == 1) return b0 == '\n' || b0 == '\r';
        const auto b1 = static_cast<unsigned char>(q[1]);
        const unsigned u = FEncoding.Kind == TEncoding::Utf16Be ? (b0 << 8 | b1) : (b1 << 8 | b0);
        return u == '\n' || u == '\r';
    };
    std::uint64_t start = 0;
    for (std::uint64_t to = near; to > 0 && start == 0;) {
        const std::uint64_t from = to > kBlock ? to - kBlock : 0;
        const auto n = static_cast<std::size_t>(to - from);
        if (::pread(fd, block, n, static_cast<off_t>(from)) != static_cast<ssize_t>(n)) return false;
        for (std::size_t i = n; i >= unit && start == 0; i -= unit)
            if (lineEndAt(block + i - unit)) start = from + i;
        to = from;
    }
    bytes.clear();
    for (std::uint64_t at = start;;) {
        const ssize_t n = ::pread(fd, block, kBlock, static_cast<off_t>(at));
        if (n < 0) return false;
        const auto got = static_cast<std::size_t>(n);
        std::size_t i = 0;
        while (i + unit <= got && !lineEndAt(block + i)) i += unit;
        if (i + unit > got && got < kBlock) i = got;  // the last line, an odd byte included
        bytes.append(block, i);
        if (i < got || got < kBlock) break;
        at += got;
    }
    const std::string_view mark = ByteOrderMark(FEncoding.Kind);
    if (start == 0 && FEncoding.Bom && std::string_view(bytes).starts_with(mark)) bytes.erase(0, mark.size());
    return true;
}

bool TSourceText::Utf8Line(std::int64_t lineNo, std::string& utf8, std::optional<std::uint64_t> near) {
    // A JIS line is read in the set the escapes before it left in force: only from the start.
    if (near && FEncoding.Kind != TEncoding::Jis && LineAround(*near, FBytes)) {
        utf8 = ToDisplayUtf8(DecodeText(FBytes, {FEncoding.Kind, false}), FEncoding);
        return true;
    }
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
