// Reading a file into a document and writing it back (see TextFile.h).
#include "TextFile.h"

#include "SjisCodec.h"
#include "SjisTranscoder.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace xavo {
namespace {

// Text gathered per write.
constexpr std::size_t kWriteBytes = 1 << 20;
// A file is converted in parts of at least this size, one per core (at most kMostParts).
constexpr std::size_t kLeastPartBytes = 16 << 20;
constexpr unsigned kMostParts = 4;

unsigned char ByteAt(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

bool CrLfAt(std::string_view s, std::size_t i) { return i > 0 && s[i] == '\n' && s[i - 1] == '\r'; }

// The known ISO-2022-JP designations; the first one returns to ASCII.
constexpr std::string_view kJisDesignations[] = {"\x1B(B", "\x1B(J", "\x1B(I", "\x1B$@", "\x1B$B", "\x1B$(D"};

// Whether the last designation in S leaves ISO-2022-JP in ASCII (true without one).
bool EndsInAscii(std::string_view s) {
    for (std::size_t at = s.rfind('\x1B'); at != std::string_view::npos; at = at == 0 ? std::string_view::npos : s.rfind('\x1B', at - 1)) {
        for (const std::string_view d : kJisDesignations)
            if (s.substr(at, d.size()) == d) return d == kJisDesignations[0];
    }
    return true;
}

// Where the block that starts at From ends: at or after Target, where the encoding can be
// decoded in two parts exactly as in one (or at the end). UTF-8: before a byte that
// continues no sequence; EUC-JP: before an ASCII byte; UTF-16: before a unit that is no
// low surrogate; ISO-2022-JP: after a LF with ASCII in force. Never between CR and LF.
std::size_t BlockEnd(std::string_view s, std::size_t from, std::size_t target, TFileEncoding encoding) {
    if (target >= s.size()) return s.size();
    switch (encoding.Kind) {
    case TEncoding::Utf8:
        for (std::size_t i = target; i < s.size(); ++i)
            if ((ByteAt(s, i) < 0x80 || ByteAt(s, i) > 0xBF) && !CrLfAt(s, i)) return i;
        return s.size();
    case TEncoding::EucJp:
        for (std::size_t i = target; i < s.size(); ++i)
            if (ByteAt(s, i) < 0x80 && !CrLfAt(s, i)) return i;
        return s.size();
    case TEncoding::Utf16Le:
    case TEncoding::Utf16Be: {
        const bool big = encoding.Kind == TEncoding::Utf16Be;
        const auto unit = [&](std::size_t i) {
            return big ? ByteAt(s, i) << 8 | ByteAt(s, i + 1) : ByteAt(s, i + 1) << 8 | ByteAt(s, i);
        };
        for (std::size_t i = target + (target % 2); i + 1 < s.size(); i += 2) {
            const unsigned u = static_cast<unsigned>(unit(i));
            if ((u < 0xDC00 || u > 0xDFFF) && !(u == '\n' && i >= 2 && unit(i - 2) == '\r')) return i;
        }
        return s.size();
    }
    case TEncoding::Jis:
        for (std::size_t i = s.find('\n', target); i != std::string_view::npos; i = s.find('\n', i + 1))
            if (EndsInAscii(s.substr(from, i + 1 - from))) return i + 1;
        return s.size();
    case TEncoding::Sjis: break;
    }
    return s.size();
}

// Appends Bytes with their foreign units to Out, the offsets moved along.
void Append(TSjisText& out, std::string_view bytes, const TForeignUnits& foreign) {
    const std::uint64_t base = out.Bytes.size();
    out.Bytes += bytes;
    for (const std::uint64_t at : foreign.At) out.Foreign.At.push_back(base + at);
    out.Foreign.Units += foreign.Units;
}

// Where gathered text may be cut for writing: after its last line break that is not a CR
// at the very end (its LF may follow); 0 when there is none.
std::size_t LastBreakEnd(const std::string& bytes) {
    const std::size_t lf = bytes.rfind('\n');
    if (lf != std::string::npos) return lf + 1;
    const std::size_t cr = bytes.size() < 2 ? std::string::npos : bytes.rfind('\r', bytes.size() - 2);
    return cr == std::string::npos ? 0 : cr + 1;
}

// Asks the system to back [Data, Data + Size) with large pages where it can (a hint).
void AskForLargePages(char* data, std::size_t size) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(data) + page - 1) / page * page;
    const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(data) + size) / page * page;
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

}  // namespace

TSjisText ConvertToSjisText(std::string_view bytes, TFileEncoding encoding, bool first,
                            const std::function<void(std::size_t, std::size_t)>& forget, std::size_t blockBytes) {
    TSjisText out;
    if (encoding.Kind == TEncoding::Sjis) {
        out.Bytes.assign(bytes);
        return out;
    }
    // No encoding takes fewer bytes per character than Shift-JIS with its placeholders:
    // the whole text fits what is reserved, and the pages not written stay untouched.
    // Large pages for it save most of the faults of writing it.
    out.Bytes.reserve(bytes.size());
    AskForLargePages(out.Bytes.data(), out.Bytes.capacity());
    // The transcoder converts the common case fast; its count of inexact characters tells
    // when a block must be decoded instead. ISO-2022-JP is always decoded: the decoder keeps
    // a line in a form it would not write again as its bytes.
    const bool transcode = encoding.Kind != TEncoding::Jis;
    TSjisTranscoder transcoder(first ? encoding : TFileEncoding{encoding.Kind, false});
    std::unique_ptr<char[]> scratch;
    std::size_t scratchSize = 0;
    for (std::size_t from = 0; from < bytes.size();) {
        const std::size_t to = BlockEnd(bytes, from, from + std::max<std::size_t>(blockBytes, 1), encoding);
        const std::string_view block = bytes.substr(from, to - from);
        const bool atStart = first && from == 0;
        bool done = false;
        if (transcode) {
            const std::size_t room = transcoder.Room(block.size());
            if (room > scratchSize) {
                scratch = std::make_unique<char[]>(room);
                scratchSize = room;
            }
            const std::uint64_t inexact = transcoder.Inexact();
            char* w = scratch.get();
            transcoder.Transcode(block, true, w, scratch.get() + scratchSize);
            if (transcoder.Inexact() == inexact) {
                out.Bytes.append(scratch.get(), static_cast<std::size_t>(w - scratch.get()));
                done = true;
            }
        }
        if (!done) {
            const TFileEncoding blockEncoding{encoding.Kind, encoding.Bom && atStart};
            const TSjisText text = ToSjisText(DecodeText(block, blockEncoding));
            Append(out, text.Bytes, text.Foreign);
        }
        if (forget) forget(from, to);
        from = to;
    }
    return out;
}

TTextBuffer ReadTextBuffer(TFileBytes file, TFileEncoding encoding) {
    if (encoding.Kind == TEncoding::Sjis) return TTextBuffer(std::move(file));
    // Blocks convert on their own, so a large file is cut into parts (where blocks may be
    // cut) that the cores convert at once; each part becomes a source of the document.
    const std::string_view bytes = file.View();
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMostParts);
    std::vector<std::size_t> cuts{0};
    for (unsigned k = 1; k < cores; ++k) {
        const std::size_t target = bytes.size() / cores * k;
        if (target < cuts.back() + kLeastPartBytes) continue;
        const std::size_t cut = BlockEnd(bytes, cuts.back(), target, encoding);
        if (cut < bytes.size()) cuts.push_back(cut);
    }
    cuts.push_back(bytes.size());
    const std::size_t count = cuts.size() - 1;
    std::vector<std::unique_ptr<TTextBuffer::TSource>> parts(count);
    std::vector<std::exception_ptr> failures(count);
    const auto convert = [&](std::size_t k) {
        try {
            const std::size_t from = cuts[k];
            parts[k] = TTextBuffer::Prepare(ConvertToSjisText(bytes.substr(from, cuts[k + 1] - from), encoding, k == 0,
                                                              [&](std::size_t a, std::size_t b) { file.Forget(from + a, b - a); }));
        } catch (...) {
            failures[k] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t k = 1; k < count; ++k) workers.emplace_back(convert, k);
    convert(0);
    for (std::thread& worker : workers) worker.join();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
    file = TFileBytes();
    TTextBuffer buffer;
    for (auto& part : parts) buffer.AppendOriginal(std::move(part));
    return buffer;
}

void WriteTextBuffer(const TTextBuffer& buffer, TFileEncoding encoding, const std::function<void(std::string_view)>& sink) {
    if (encoding.Kind == TEncoding::Sjis) {
        buffer.ForEachRawSpan([&](std::string_view span) {
            sink(span);
            return true;
        });
        return;
    }
    // Text is gathered and encoded up to a line break, so that a character, a surrogate
    // pair and an ISO-2022-JP line are never encoded in two parts.
    TSjisText gathered;
    bool atStart = true;
    const auto flush = [&](std::size_t count) {
        TForeignUnits foreign;
        std::size_t used = 0;
        for (; used < gathered.Foreign.At.size() && gathered.Foreign.At[used] < count; ++used) {
            foreign.At.push_back(gathered.Foreign.At[used]);
            foreign.Units += gathered.Foreign.Units[used];
        }
        const std::u16string text = DecodeSjisText(std::string_view(gathered.Bytes).substr(0, count), foreign);
        sink(EncodeText(text, {encoding.Kind, encoding.Bom && atStart}));
        atStart = false;
        gathered.Bytes.erase(0, count);
        gathered.Foreign.At.erase(gathered.Foreign.At.begin(), gathered.Foreign.At.begin() + static_cast<std::ptrdiff_t>(used));
        gathered.Foreign.Units.erase(0, used);
        for (std::uint64_t& at : gathered.Foreign.At) at -= count;
    };
    buffer.ForEachRawSpan([&](std::string_view span, const TForeignUnits& foreign) {
        Append(gathered, span, foreign);
        if (gathered.Bytes.size() >= kWriteBytes) {
            if (const std::size_t end = LastBreakEnd(gathered.Bytes); end > 0) flush(end);
        }
        return true;
    });
    if (atStart || !gathered.Bytes.empty()) flush(gathered.Bytes.size());
}

std::string EncodeTextBuffer(const TTextBuffer& buffer, TFileEncoding encoding) {
    std::string out;
    WriteTextBuffer(buffer, encoding, [&](std::string_view bytes) { out += bytes; });
    return out;
}

}  // namespace xavo
