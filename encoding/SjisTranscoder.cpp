// The transcoding loops, one per encoding, and the line finder.
//
// Each loop converts the sequences that start before Stop and returns where it stopped:
// at Stop, earlier at a sequence that needs bytes beyond End (unless Last), or where the
// room ends. Transcode runs the held bytes of the previous block first, completed from the
// new block, so a sequence split across any number of blocks is converted as if it were
// whole. The output is written through a raw pointer; a sequence is begun only with room
// for the most it writes. The loops step a pointer whose address is never taken (a byte
// store may alias one held by reference, which would then be reloaded every step).
#include "SjisTranscoder.h"

#include "JisTables.h"
#include "SjisCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xavo {

using encoding_detail::JisTables;
using encoding_detail::kJisCells;
using encoding_detail::TJisSet;
using encoding_detail::TJisTables;

namespace {

// Longest sequence the loops wait for: ESC $ ( D, a UTF-8 four-byte sequence, a UTF-16
// surrogate pair.
constexpr std::size_t kLongestSequence = 4;
// The most a sequence other than an ASCII run writes.
constexpr std::ptrdiff_t kMostPerSequence = 2;

inline void PutDouble(std::uint16_t code, char* w) {
    const std::uint16_t bytes = std::endian::native == std::endian::little ? __builtin_bswap16(code) : code;
    std::memcpy(w, &bytes, 2);
}

inline void PutCode(std::uint16_t code, char*& w) {
    if (code > 0xFF) *w++ = static_cast<char>(code >> 8);
    *w++ = static_cast<char>(code & 0xFF);
}

inline bool InRange(unsigned b, unsigned lo, unsigned hi) { return b >= lo && b <= hi; }

// Copies the run of ASCII bytes at P (before Stop) to O and returns its length. With SSE2
// it stores 16 bytes at a time, up to 15 of them past the run: every input byte has room
// for two output bytes, and 16 input bytes are still to come, so that lies in the room and
// is overwritten by what follows.
inline std::size_t CopyAscii(const unsigned char* p, const unsigned char* stop, char* o) {
    std::size_t n = 0;
#if defined(__SSE2__)
    while (stop - p - static_cast<std::ptrdiff_t>(n) >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + n), v);
        const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
        if (high != 0) return n + static_cast<std::size_t>(std::countr_zero(high));
        n += 16;
    }
#else
    while (stop - p - static_cast<std::ptrdiff_t>(n) >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p + n, 8);
        if ((word & 0x8080808080808080ULL) != 0) break;
        std::memcpy(o + n, p + n, 8);
        n += 8;
    }
#endif
    while (p + n < stop && p[n] < 0x80) {
        o[n] = static_cast<char>(p[n]);
        ++n;
    }
    return n;
}

// Whether S is the start of a designation the decoder knows (so more bytes may complete it).
bool IsDesignationPrefix(const unsigned char* s, std::size_t n) {
    static constexpr std::string_view kKnown[] = {"\x1B(B", "\x1B(J", "\x1B(I", "\x1B$@", "\x1B$B", "\x1B$(D"};
    for (const std::string_view d : kKnown)
        if (n < d.size() && std::memcmp(d.data(), s, n) == 0) return true;
    return false;
}

// The transcoder's tables: the Shift-JIS code of each character of a file, as an entry the
// loops test once. A two-byte code that reads back as the same character is itself (the
// least is 0x8140); 0 is no code; a single byte is below 0x100; any other code is
// kFoldedBase + its index in Folded, so that counting the inexact ones costs the common
// path nothing.
constexpr std::uint16_t kFirstDoubleCode = 0x8140;
constexpr std::uint16_t kFoldedBase = 0x100;

struct TTranscodeTables {
    std::array<std::uint16_t, 65536> Unicode{};
    std::array<std::uint16_t, encoding_detail::kJisPositions> X0208{}, X0212{};
    std::vector<std::uint16_t> Folded;
};

// The one unit Shift-JIS Code decodes to, or 0.
char16_t DecodedUnit(std::uint16_t code) {
    const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    const std::string_view s = code > 0xFF ? std::string_view(bytes, 2) : std::string_view(bytes + 1, 1);
    char16_t units[2];
    return DecodeSjis(s, units) == 1 ? units[0] : char16_t{0};
}

std::unique_ptr<TTranscodeTables> BuildTranscodeTables() {
    const TJisTables& jis = JisTables();
    auto t = std::make_unique<TTranscodeTables>();
    std::array<std::uint16_t, 65536> foldedIndex{};  // 1 + index in Folded
    // Own: the character the file holds there (0 when it is none the codec can show).
    const auto entry = [&](std::uint16_t code, char16_t own) -> std::uint16_t {
        if (code == 0) return 0;
        if (own != 0 && DecodedUnit(code) == own) return code;
        if (foldedIndex[code] == 0) {
            t->Folded.push_back(code);
            foldedIndex[code] = static_cast<std::uint16_t>(t->Folded.size());
        }
        return static_cast<std::uint16_t>(kFoldedBase + foldedIndex[code] - 1);
    };
    for (unsigned u = 0; u < 0x10000; ++u)
        t->Unicode[u] = entry(jis.UnicodeSjis[u], static_cast<char16_t>(u));
    for (std::size_t pos = 0; pos < t->X0208.size(); ++pos) {
        t->X0208[pos] = entry(jis.X0208Sjis[pos], jis.X0208Unit[pos]);
        t->X0212[pos] = entry(jis.X0212Sjis[pos], jis.X0212Unit[pos]);
    }
    if (kFoldedBase + t->Folded.size() > kFirstDoubleCode) throw std::logic_error("transcoder tables overflow");
    return t;
}

const TTranscodeTables& TranscodeTables() {
    static const std::unique_ptr<TTranscodeTables> tables = BuildTranscodeTables();
    return *tables;
}

}  // namespace

TSjisTranscoder::TSjisTranscoder(TFileEncoding encoding) : FEncoding(encoding) {
    if (encoding.Kind != TEncoding::Sjis) TranscodeTables();  // built before the first block
}

void TSjisTranscoder::Reset() {
    FCarry.clear();
    FAtStart = true;
    FJisSet = 0;
    FUnmappable = 0;
    FFolded = 0;
}

std::size_t TSjisTranscoder::Room(std::size_t blockSize) const {
    return 2 * (FCarry.size() + blockSize) + 2 * kLongestSequence + kMinTranscodeRoom;
}

void TSjisTranscoder::Transcode(std::string_view block, bool last, std::string& out) {
    const std::size_t base = out.size();
    out.resize(base + Room(block.size()));
    char* w = out.data() + base;
    Transcode(block, last, w, out.data() + out.size());
    out.resize(static_cast<std::size_t>(w - out.data()));
}

std::size_t TSjisTranscoder::Transcode(std::string_view block, bool last, char*& out, char* outEnd) {
    FCallStart = out;
    FCallBlock = nullptr;
    std::size_t taken = 0;
    if (FAtStart) {
        // The byte-order mark may itself be split over blocks: its length is gathered first.
        const std::string_view mark = FEncoding.Bom ? ByteOrderMark(FEncoding.Kind) : std::string_view{};
        if (FCarry.size() + block.size() < mark.size() && !last) {
            FCarry.append(block);
            return block.size();
        }
        FAtStart = false;
        if (!mark.empty()) {
            const std::size_t need = std::min(mark.size() - FCarry.size(), block.size());
            if (FCarry + std::string(block.substr(0, need)) == mark) {
                FCarry.clear();
                taken = need;
            }  // else the held bytes are text, and go first below
        }
    }
    const auto* const begin = reinterpret_cast<const unsigned char*>(block.data());
    const unsigned char* p = begin + taken;
    const unsigned char* const end = begin + block.size();
    if (FEncoding.Kind == TEncoding::Sjis) {
        const auto n = std::min(static_cast<std::size_t>(end - p), static_cast<std::size_t>(outEnd - out));
        std::memcpy(out, p, n);
        out += n;
        return taken + n;
    }
    if (!FCarry.empty()) {
        // The held bytes with enough of the new block to finish their sequence (the least
        // room is enough for them).
        const std::size_t borrowed = std::min(static_cast<std::size_t>(end - p), 2 * kLongestSequence);
        std::string joined = FCarry;
        joined.append(reinterpret_cast<const char*>(p), borrowed);
        const bool joinedIsLast = last && borrowed == static_cast<std::size_t>(end - p);
        const auto* j = reinterpret_cast<const unsigned char*>(joined.data());
        const TRunEnd ran = Run(j, j + joined.size(), j + FCarry.size(), joinedIsLast, out, outEnd);  // noted at 0
        out = ran.Out;
        const auto consumed = static_cast<std::size_t>(ran.In - j);
        if (consumed < FCarry.size()) {
            if (borrowed < static_cast<std::size_t>(end - p)) {  // out of room (never cut then)
                FCarry.erase(0, consumed);
                return taken;
            }
            // Still cut: the whole block was borrowed and is held with the rest.
            FCarry.assign(joined, consumed);
            return block.size();
        }
        p += consumed - FCarry.size();
        FCarry.clear();
    }
    FCallBlock = begin;
    const TRunEnd ran = Run(p, end, end, last, out, outEnd);
    out = ran.Out;
    const unsigned char* const stopped = ran.In;
    if (stopped < end && outEnd - out < kMostPerSequence)
        return static_cast<std::size_t>(stopped - begin);  // out of room: the rest comes again
    FCarry.assign(reinterpret_cast<const char*>(stopped), static_cast<std::size_t>(end - stopped));
    return block.size();
}

void TSjisTranscoder::Note(const char* w, const unsigned char* at) {
    if (FInexactLog == nullptr) return;
    const std::size_t in = FCallBlock != nullptr ? static_cast<std::size_t>(at - FCallBlock) : 0;
    FInexactLog->push_back({static_cast<std::size_t>(w - FCallStart), in});
}

char* TSjisTranscoder::PutUnmappable(char* w, const unsigned char* at) {
    Note(w, at);
    *w++ = kUnmappableLead;
    *w++ = kUnmappableTrail;
    ++FUnmappable;
    return w;
}

char* TSjisTranscoder::PutRare(std::uint16_t entry, char* w, const unsigned char* at) {
    if (entry == 0) return PutUnmappable(w, at);
    if (entry < kFoldedBase) {
        *w++ = static_cast<char>(entry);
        return w;
    }
    Note(w, at);
    ++FFolded;
    PutCode(TranscodeTables().Folded[entry - kFoldedBase], w);
    return w;
}

TSjisTranscoder::TRunEnd TSjisTranscoder::Run(const unsigned char* p, const unsigned char* end,
                                              const unsigned char* stop, bool last, char* w, char* outEnd) {
    const TTranscodeTables& t = TranscodeTables();
    // A sequence is begun only with room for the most it writes (ASCII runs are cut to the room).
    char* const full = outEnd - kMostPerSequence;
    // P is where the character begins whenever these are called.
    const auto unmappable = [&] { w = PutUnmappable(w, p); };
    const auto put = [&](std::uint16_t entry) {
        if (entry >= kFirstDoubleCode) [[likely]] {
            PutDouble(entry, w);
            w += 2;
        } else {
            w = PutRare(entry, w, p);  // by value: W's address must not escape the loop
        }
    };
    // ASCII bytes up to Stop, as many as the room takes.
    const auto ascii = [&] {
        const auto room = static_cast<std::size_t>(outEnd - w);
        const std::size_t n = CopyAscii(p, stop - p > static_cast<std::ptrdiff_t>(room) ? p + room : stop, w);
        p += n;
        w += n;
    };

    switch (FEncoding.Kind) {
    case TEncoding::Sjis:
        break;  // copied by the caller

    case TEncoding::Utf8:
        // 1. ASCII runs are copied a vector at a time (line ends are ASCII and stay as they are).
        // 2. A sequence is checked byte by byte against the ranges of its lead byte; an
        //    ill-formed one is its maximal subpart (it never swallows a line end).
        // 3. A code point above U+FFFF is one character Shift-JIS cannot hold.
        while (p < stop && w <= full) {
            const unsigned b0 = *p;
            if (b0 < 0x80) {
                ascii();
                continue;
            }
            // Most Japanese text: a run of three-byte sequences whose lead byte has no
            // special range (E1-EF but ED), each tested as one word, up to a limit worked
            // out once: as many as start before Stop, have a fourth byte to read, find room.
            if constexpr (std::endian::native == std::endian::little) {
                const unsigned char* const limit =
                    p + 3 * std::min({(stop - p + 2) / 3, (end - p - 1) / 3, (full - w) / 2 + 1});
                const unsigned char* const from = p;
                while (p < limit) {
                    std::uint32_t x;
                    std::memcpy(&x, p, 4);
                    // E0 (overlong forms) is left to the checks below; ED's surrogates and
                    // every other code point Shift-JIS lacks have no plain entry.
                    const unsigned lead = x & 0x0F;
                    if ((x & 0x00C0C0F0) != 0x008080E0 || lead == 0) break;
                    const std::uint16_t entry = t.Unicode[lead << 12 | (x & 0x3F00) >> 2 | (x >> 16 & 0x3F)];
                    if (entry < kFirstDoubleCode) break;
                    PutDouble(entry, w);
                    w += 2;
                    p += 3;
                }
                if (p != from) continue;
            }
            if (b0 >= 0xE1 && b0 <= 0xEF && b0 != 0xED && end - p >= 3 && (p[1] & 0xC0) == 0x80 &&
                (p[2] & 0xC0) == 0x80) {
                put(t.Unicode[(b0 & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F)]);
                p += 3;
                continue;
            }
            int extra;
            unsigned lo = 0x80, hi = 0xBF;
            char32_t cp;
            if (InRange(b0, 0xC2, 0xDF)) {
                extra = 1;
                cp = b0 & 0x1F;
            } else if (InRange(b0, 0xE0, 0xEF)) {
                extra = 2;
                cp = b0 & 0x0F;
                if (b0 == 0xE0) lo = 0xA0;
                if (b0 == 0xED) hi = 0x9F;
            } else if (InRange(b0, 0xF0, 0xF4)) {
                extra = 3;
                cp = b0 & 0x07;
                if (b0 == 0xF0) lo = 0x90;
                if (b0 == 0xF4) hi = 0x8F;
            } else {
                unmappable();
                ++p;
                continue;
            }
            int k = 1;
            for (; k <= extra; ++k) {
                if (p + k >= end) break;
                const unsigned b = p[k];
                if (b < lo || b > hi) break;
                lo = 0x80;
                hi = 0xBF;
                cp = cp << 6 | (b & 0x3F);
            }
            if (k <= extra && p + k >= end && !last) return {p, w};  // cut by the block's end
            if (k <= extra || cp > 0xFFFF) unmappable();
            else put(t.Unicode[cp]);
            p += k <= extra ? k : extra + 1;
        }
        return {p, w};

    case TEncoding::Utf16Le:
    case TEncoding::Utf16Be: {
        const bool big = FEncoding.Kind == TEncoding::Utf16Be;
        const auto unitAt = [big](const unsigned char* q) {
            return big ? static_cast<char16_t>(q[0] << 8 | q[1]) : static_cast<char16_t>(q[1] << 8 | q[0]);
        };
        while (p < stop && w <= full) {
            if (end - p < 2) {
                if (!last) return {p, w};
                unmappable();  // an odd byte at the end
                ++p;
                continue;
            }
            const char16_t u = unitAt(p);
            if (u < 0x80) {
                *w++ = static_cast<char>(u);
                p += 2;
            } else if (u >= 0xD800 && u <= 0xDBFF) {
                if (end - p < 4 && !last) return {p, w};
                const bool pair = end - p >= 4 && unitAt(p + 2) >= 0xDC00 && unitAt(p + 2) <= 0xDFFF;
                unmappable();
                p += pair ? 4 : 2;
            } else if (u >= 0xDC00 && u <= 0xDFFF) {
                unmappable();
                p += 2;
            } else {
                put(t.Unicode[u]);
                p += 2;
            }
        }
        return {p, w};
    }

    case TEncoding::EucJp:
        while (p < stop && w <= full) {
            const unsigned b = *p;
            if (b < 0x80) {
                ascii();
                continue;
            }
            // Most Japanese text: a run of JIS X 0208 pairs, up to a limit worked out once as
            // above (the general path below gives the same).
            {
                const unsigned char* const limit =
                    p + 2 * std::min({(stop - p + 1) / 2, (end - p) / 2, (full - w) / 2 + 1});
                const unsigned char* const from = p;
                while (p < limit) {
                    const unsigned row = p[0] - 0xA1u, cell = p[1] - 0xA1u;
                    if (row >= kJisCells || cell >= kJisCells) break;
                    const std::uint16_t entry = t.X0208[row * kJisCells + cell];
                    if (entry < kFirstDoubleCode) break;
                    PutDouble(entry, w);
                    w += 2;
                    p += 2;
                }
                if (p != from) continue;
            }
            if (b >= 0xA1 && b <= 0xFE && end - p >= 2 && p[1] >= 0xA1 && p[1] <= 0xFE) {
                put(t.X0208[(b - 0xA1) * kJisCells + (p[1] - 0xA1)]);
                p += 2;
                continue;
            }
            // Needed bytes after the first, and whether each present one is in range.
            const int need = b == 0x8F ? 2 : 1;
            const unsigned lo = 0xA1, hi = b == 0x8E ? 0xDF : 0xFE;
            if (!(b == 0x8E || b == 0x8F || InRange(b, 0xA1, 0xFE))) {
                unmappable();
                ++p;
                continue;
            }
            int k = 1;
            while (k <= need && p + k < end && InRange(p[k], lo, hi)) ++k;
            if (k <= need) {
                if (p + k >= end && !last) return {p, w};
                unmappable();  // a lead byte without its trail bytes: one byte
                ++p;
                continue;
            }
            if (b == 0x8E) PutCode(p[1], w);  // half-width kana: the same byte in Shift-JIS
            else if (b == 0x8F) put(t.X0212[(p[1] - 0xA1) * kJisCells + (p[2] - 0xA1)]);
            else put(t.X0208[(b - 0xA1) * kJisCells + (p[1] - 0xA1)]);
            p += need + 1;
        }
        return {p, w};

    case TEncoding::Jis: {
        auto set = static_cast<TJisSet>(FJisSet);
        while (p < stop && w <= full) {
            const unsigned b = *p;
            if (b == 0x1B) {
                const auto n = static_cast<std::size_t>(std::min<std::ptrdiff_t>(end - p, kLongestSequence));
                TJisSet next;
                const std::size_t length = encoding_detail::JisDesignation(
                    std::string_view(reinterpret_cast<const char*>(p), n), 0, next);
                if (length != 0) {
                    set = next;
                    p += length;
                    continue;
                }
                if (!last && n < kLongestSequence && IsDesignationPrefix(p, n)) break;
                *w++ = '\x1B';  // an escape the program does not know stays a control code
                ++p;
                continue;
            }
            if (b >= 0x80) {
                unmappable();
                ++p;
            } else if (b < 0x21 || b == 0x7F || set == TJisSet::Ascii || set == TJisSet::Roman) {
                *w++ = static_cast<char>(b);  // JIS-Roman is the single-byte half of Shift-JIS
                ++p;
            } else if (set == TJisSet::Kana) {
                if (b <= 0x5F) *w++ = static_cast<char>(b + 0x80);
                else unmappable();
                ++p;
            } else {
                if (p + 1 >= end && !last) break;
                if (p + 1 < end && InRange(p[1], 0x21, 0x7E)) {
                    const std::size_t pos = (b - 0x21) * kJisCells + (p[1] - 0x21);
                    put(set == TJisSet::X0208 ? t.X0208[pos] : t.X0212[pos]);
                    p += 2;
                } else {
                    unmappable();
                    ++p;
                }
            }
        }
        FJisSet = static_cast<std::uint8_t>(set);
        return {p, w};
    }
    }
    return {p, w};
}

// --- TSourceLineFinder ---

namespace {

// The first CR or LF in [P, End), or End.
const char* FindLineByte(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
        if (hits != 0) return p + std::countr_zero(hits);
    }
#endif
    while (p < end && *p != '\n' && *p != '\r') ++p;
    return p;
}

// Passes up to Count line ends (LF, CR LF, lone CR) of single-byte units in [P, End) and
// returns the start of the line after the last one passed; Count keeps those not passed.
// A CR in the last byte waits for the next bytes (it may be half of a CR LF).
const char* PassLineEnds(const char* p, const char* end, std::int64_t& count) {
    while (count > 0) {
        const char* const q = FindLineByte(p, end);
        if (q == end) return p;
        if (*q == '\r') {
            if (q + 1 == end) return p;
            p = q + (q[1] == '\n' ? 2 : 1);
        } else {
            p = q + 1;
        }
        --count;
    }
    return p;
}

}  // namespace

TSourceLineFinder::TSourceLineFinder(TFileEncoding encoding, TReader read, std::size_t blockSize)
    : FEncoding(encoding), FRead(std::move(read)), FBlockSize(std::max<std::size_t>(blockSize, 4)) {}

std::size_t TSourceLineFinder::UnitSize() const {
    return FEncoding.Kind == TEncoding::Utf16Le || FEncoding.Kind == TEncoding::Utf16Be ? 2 : 1;
}

bool TSourceLineFinder::Fill() {
    if (FEnd) return false;
    const std::size_t old = FBuffer.size();
    FBuffer.resize(old + FBlockSize);
    const std::size_t n = FRead(FBuffer.data() + old, FBlockSize);
    FBuffer.resize(old + n);
    if (n == 0) FEnd = true;
    return n != 0;
}

bool TSourceLineFinder::IsLineEnd(std::size_t pos, std::size_t& length) {
    // A CR's partner may lie in the next block.
    const std::size_t unit = UnitSize();
    while (FBuffer.size() < pos + 2 * unit && Fill()) {}
    if (FBuffer.size() < pos + unit) return false;
    const auto unitAt = [&](std::size_t q) -> unsigned {
        const auto b0 = static_cast<unsigned char>(FBuffer[q]);
        if (unit == 1) return b0;
        const auto b1 = static_cast<unsigned char>(FBuffer[q + 1]);
        return FEncoding.Kind == TEncoding::Utf16Be ? (b0 << 8 | b1) : (b1 << 8 | b0);
    };
    const unsigned u = unitAt(pos);
    if (u == '\n') {
        length = unit;
        return true;
    }
    if (u != '\r') return false;
    length = FBuffer.size() >= pos + 2 * unit && unitAt(pos + unit) == '\n' ? 2 * unit : unit;
    return true;
}

void TSourceLineFinder::Advance(std::size_t to) {
    if (FEncoding.Kind == TEncoding::Jis) {
        // Follow the designations of the passed bytes, so the next line starts in the right set.
        auto set = static_cast<TJisSet>(FJisSet);
        const std::string_view passed(FBuffer.data() + FPos, to - FPos);
        for (std::size_t i = passed.find('\x1B'); i != std::string_view::npos; i = passed.find('\x1B', i + 1)) {
            TJisSet next;
            if (encoding_detail::JisDesignation(passed, i, next) != 0) set = next;
        }
        FJisSet = static_cast<std::uint8_t>(set);
    }
    FPos = to;
    if (FPos > FBlockSize) {  // drop what lies behind
        FBuffer.erase(0, FPos);
        FPos = 0;
    }
}

bool TSourceLineFinder::Find(std::int64_t lineNo, std::string& bytes, std::u16string& text) {
    if (lineNo < FLineNo) return false;
    if (FAtStart) {
        FAtStart = false;
        const std::string_view mark = FEncoding.Bom ? ByteOrderMark(FEncoding.Kind) : std::string_view{};
        while (FBuffer.size() < mark.size() && Fill()) {}
        if (!mark.empty() && std::string_view(FBuffer).substr(0, mark.size()) == mark) FPos = mark.size();
    }
    const std::size_t unit = UnitSize();
    for (;;) {
        // Lines before the one asked for are passed in bulk (results may lie far apart).
        while (unit == 1 && FLineNo < lineNo) {
            std::int64_t left = lineNo - FLineNo;
            const char* const from = FBuffer.data();
            const char* const to = PassLineEnds(from + FPos, from + FBuffer.size(), left);
            if (left < lineNo - FLineNo) {
                FLineNo = lineNo - left;
                Advance(static_cast<std::size_t>(to - from));
            } else if (FBuffer.size() - FPos > FBlockSize || !Fill()) {
                break;  // a long line, or the end of the file: scanned below
            }
        }
        // Scan the line at FPos for its end.
        std::size_t q = FPos;
        std::size_t length = 0;
        for (;;) {
            if (q + unit > FBuffer.size() && !Fill()) break;
            if (q + unit > FBuffer.size()) continue;
            if (unit == 1) {  // straight to the next CR or LF
                const char* const from = FBuffer.data() + q;
                std::size_t n = FBuffer.size() - q;
                if (const void* lf = std::memchr(from, '\n', n)) n = static_cast<std::size_t>(static_cast<const char*>(lf) - from);
                if (const void* cr = std::memchr(from, '\r', n)) n = static_cast<std::size_t>(static_cast<const char*>(cr) - from);
                q += n;
                if (q == FBuffer.size()) continue;
            }
            if (IsLineEnd(q, length)) break;
            q += unit;
        }
        const bool ended = length != 0;
        if (!ended && q + unit > FBuffer.size()) {
            q = FBuffer.size();  // the last line, without a line end (an odd byte included)
            if (q == FPos) return false;
        }
        if (FLineNo == lineNo) {
            bytes.assign(FBuffer, FPos, q - FPos);
            text.clear();
            if (FEncoding.Kind == TEncoding::Jis) {
                auto set = static_cast<TJisSet>(FJisSet);
                encoding_detail::DecodeJisLine(bytes, set, text);
            } else {
                text = DecodeText(bytes, {FEncoding.Kind, false});
            }
            return true;
        }
        if (!ended) return false;
        Advance(q + length);
        ++FLineNo;
    }
}

}  // namespace xavo
