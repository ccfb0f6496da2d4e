// Byte scans. Each vector scan is written once, over a vector type (16 bytes with SSE2,
// 32 with AVX2 where the processor has it), and stops where fewer than a vector's worth
// of bytes is left; the 32-byte scan hands its rest to the 16-byte one, and a plain loop
// does the tail. All widths give the same results.
//
// How the two widths share one body:
// 1. TVec16 and TVec32 name the few operations the scans need. TVec32's are compiled
//    for AVX2 (a target attribute), so the file needs no AVX2 flag and runs everywhere.
// 2. A scan is a template over the vector type, forced inline. Its 32-byte instance is
//    only ever inlined into a small AVX2 function (the ...Wide functions below), so the
//    AVX2 operations are inlined into AVX2 code and 32-byte values never pass between
//    code compiled for different targets. That is why -Wpsabi, which warns of such
//    passing, is silenced here.
// 3. A scan steps a local copy of its cursor and stores it back once: a store through a
//    byte pointer may alias a cursor held by reference and would reload it every step.
#include "ByteScan.h"

#include <algorithm>
#include <atomic>
#include <cstring>

// x86-64: SSE2 always, AVX2 where the processor has it (asked at run time).
#if defined(__x86_64__)
#include <immintrin.h>
#define XAVO_HAVE_VECTORS 1
#endif

#pragma GCC diagnostic ignored "-Wpsabi"

#define XAVO_SCAN inline __attribute__((always_inline))
#define XAVO_AVX2 __attribute__((target("avx2")))

namespace xavo {

namespace {

#if defined(XAVO_HAVE_VECTORS)

struct TVec16 {
    using T = __m128i;
    static constexpr std::ptrdiff_t kWidth = 16;
    static T Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static T Splat(unsigned char b) { return _mm_set1_epi8(static_cast<char>(b)); }
    static T Zero() { return _mm_setzero_si128(); }
    static T Equal(T a, T b) { return _mm_cmpeq_epi8(a, b); }
    static T Or(T a, T b) { return _mm_or_si128(a, b); }
    static T And(T a, T b) { return _mm_and_si128(a, b); }
    static T AndNot(T notThis, T b) { return _mm_andnot_si128(notThis, b); }
    // Lane counters: subtracting a compare result (0 or -1 per byte) counts its hits.
    static T CountIn(T lanes, T hits) { return _mm_sub_epi8(lanes, hits); }
    static std::uint32_t Mask(T v) { return static_cast<std::uint32_t>(_mm_movemask_epi8(v)); }
    static std::size_t SumLanes(T lanes) {
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        return static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
               static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
};

struct TVec32 {
    using T = __m256i;
    static constexpr std::ptrdiff_t kWidth = 32;
    XAVO_AVX2 static T Load(const unsigned char* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    XAVO_AVX2 static T Splat(unsigned char b) { return _mm256_set1_epi8(static_cast<char>(b)); }
    XAVO_AVX2 static T Zero() { return _mm256_setzero_si256(); }
    XAVO_AVX2 static T Equal(T a, T b) { return _mm256_cmpeq_epi8(a, b); }
    XAVO_AVX2 static T Or(T a, T b) { return _mm256_or_si256(a, b); }
    XAVO_AVX2 static T And(T a, T b) { return _mm256_and_si256(a, b); }
    XAVO_AVX2 static T AndNot(T notThis, T b) { return _mm256_andnot_si256(notThis, b); }
    XAVO_AVX2 static T CountIn(T lanes, T hits) { return _mm256_sub_epi8(lanes, hits); }
    XAVO_AVX2 static std::uint32_t Mask(T v) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(v)); }
    XAVO_AVX2 static std::size_t SumLanes(T lanes) {
        const __m256i sums = _mm256_sad_epu8(lanes, _mm256_setzero_si256());
        return static_cast<std::size_t>(_mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
                                        _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3));
    }
};

std::atomic<bool> gWideVectors{__builtin_cpu_supports("avx2") != 0};

bool UsesWideVectors() { return gWideVectors.load(std::memory_order_relaxed); }

// Lane counters hold at most 255 hits, so they are summed after this many rounds.
constexpr std::ptrdiff_t kRoundsPerSum = 255;

// Rounds of a counting loop before its sums, when Bytes are left and each round takes
// Width of them: a counted loop, which the compiler keeps in registers.
constexpr std::ptrdiff_t RoundsBeforeSum(std::ptrdiff_t bytes, std::ptrdiff_t width) {
    return std::min(kRoundsPerSum, bytes / width);
}

// The first of up to four bytes (padded with repeats), or advances Cursor to where the vector
// part stopped and returns nullptr.
template <class TVec>
XAVO_SCAN const unsigned char* FindAnyOfFour(const unsigned char*& cursor, const unsigned char* end,
                                             const unsigned char (&bytes)[4]) {
    const unsigned char* p = cursor;
    const typename TVec::T b0 = TVec::Splat(bytes[0]), b1 = TVec::Splat(bytes[1]), b2 = TVec::Splat(bytes[2]), b3 = TVec::Splat(bytes[3]);
    for (; end - p >= TVec::kWidth; p += TVec::kWidth) {
        const typename TVec::T v = TVec::Load(p);
        const std::uint32_t mask =
            TVec::Mask(TVec::Or(TVec::Or(TVec::Equal(v, b0), TVec::Equal(v, b1)), TVec::Or(TVec::Equal(v, b2), TVec::Equal(v, b3))));
        if (mask != 0) return p + __builtin_ctz(mask);
    }
    cursor = p;
    return nullptr;
}

// The code-set compare, unrolled for a number of slots. Returns the mask of the first
// block with a hit and leaves Cursor at it, or returns 0 with Cursor where the vector part stopped.
template <class TVec, int kSingles, int kLeads, int kTrails>
XAVO_SCAN std::uint32_t FindCodesIn(const TCodeSetFinder::TNeedles& set, const unsigned char*& cursor,
                                    const unsigned char* end) {
    const unsigned char* p = cursor;
    typename TVec::T singles[kSingles > 0 ? kSingles : 1], leads[kLeads > 0 ? kLeads : 1],
        trails[kLeads > 0 ? kLeads : 1][kTrails];
    for (int i = 0; i < kSingles; ++i) singles[i] = TVec::Load(set.Singles[i]);
    for (int l = 0; l < kLeads; ++l) {
        leads[l] = TVec::Load(set.Leads[l]);
        for (int t = 0; t < kTrails; ++t) trails[l][t] = TVec::Load(set.Trails[l][t]);
    }
    for (; end - p > TVec::kWidth; p += TVec::kWidth) {  // each position with the byte after it
        const typename TVec::T here = TVec::Load(p);
        const typename TVec::T next = TVec::Load(p + 1);
        typename TVec::T hit = TVec::Zero();
        for (int i = 0; i < kSingles; ++i) hit = TVec::Or(hit, TVec::Equal(here, singles[i]));
        for (int l = 0; l < kLeads; ++l) {
            typename TVec::T trail = TVec::Zero();
            for (int t = 0; t < kTrails; ++t) trail = TVec::Or(trail, TVec::Equal(next, trails[l][t]));
            hit = TVec::Or(hit, TVec::And(trail, TVec::Equal(here, leads[l])));
        }
        if (const std::uint32_t mask = TVec::Mask(hit); mask != 0) {
            cursor = p;
            return mask;
        }
    }
    cursor = p;
    return 0;
}

template <class TVec, int kSingles, int kLeads>
XAVO_SCAN std::uint32_t FindCodesWithLeads(const TCodeSetFinder::TNeedles& set, const unsigned char*& p,
                                           const unsigned char* end) {
    if (set.TrailSlots == 2) return FindCodesIn<TVec, kSingles, kLeads, 2>(set, p, end);
    if (set.TrailSlots == 4) return FindCodesIn<TVec, kSingles, kLeads, 4>(set, p, end);
    return FindCodesIn<TVec, kSingles, kLeads, 8>(set, p, end);
}

template <class TVec, int kSingles>
XAVO_SCAN std::uint32_t FindCodesWithSingles(const TCodeSetFinder::TNeedles& set, const unsigned char*& p,
                                             const unsigned char* end) {
    if (set.LeadSlots == 0) return FindCodesIn<TVec, kSingles, 0, 1>(set, p, end);
    if (set.LeadSlots == 1) return FindCodesWithLeads<TVec, kSingles, 1>(set, p, end);
    return FindCodesWithLeads<TVec, kSingles, 2>(set, p, end);
}

template <class TVec>
XAVO_SCAN std::uint32_t FindCodes(const TCodeSetFinder::TNeedles& set, const unsigned char*& p,
                                  const unsigned char* end) {
    if (set.SingleSlots == 0) return FindCodesWithSingles<TVec, 0>(set, p, end);
    if (set.SingleSlots == 2) return FindCodesWithSingles<TVec, 2>(set, p, end);
    return FindCodesWithSingles<TVec, 8>(set, p, end);
}

// Positions where the bytes at offsets First and Second equal the pair (with a folded
// literal, once the case bits are or-ed in), each confirmed by Confirm. Returns the first
// confirmed position, or advances Cursor to where the vector part stopped and returns nullptr.
// LAST is the last position where the literal fits.
template <class TVec, bool kFolded, class TConfirm>
XAVO_SCAN const unsigned char* FindPairs(const unsigned char*& cursor, const unsigned char* last, std::size_t first,
                                         std::size_t second, const unsigned char (&pair)[2],
                                         const unsigned char (&caseBits)[2], const TConfirm& confirm) {
    const unsigned char* p = cursor;
    const typename TVec::T v1 = TVec::Splat(pair[0]), v2 = TVec::Splat(pair[1]);
    const typename TVec::T f1 = TVec::Splat(caseBits[0]), f2 = TVec::Splat(caseBits[1]);
    for (; last - p >= TVec::kWidth - 1; p += TVec::kWidth) {  // positions p .. p + width - 1 all fit
        typename TVec::T a = TVec::Load(p + first), b = TVec::Load(p + second);
        if constexpr (kFolded) {
            a = TVec::Or(a, f1);
            b = TVec::Or(b, f2);
        }
        for (std::uint32_t mask = TVec::Mask(TVec::And(TVec::Equal(a, v1), TVec::Equal(b, v2))); mask != 0; mask &= mask - 1) {
            const unsigned char* candidate = p + __builtin_ctz(mask);
            if (confirm(candidate)) return candidate;
        }
    }
    cursor = p;
    return nullptr;
}

// Line feeds in [p, end), advancing Cursor to where the vector part stopped.
template <class TVec>
XAVO_SCAN std::size_t CountLineFeedsIn(const unsigned char*& cursor, const unsigned char* end) {
    const unsigned char* p = cursor;
    std::size_t count = 0;
    const typename TVec::T lf = TVec::Splat('\n');
    while (end - p >= TVec::kWidth) {
        typename TVec::T lanes = TVec::Zero();
        for (std::ptrdiff_t round = RoundsBeforeSum(end - p, TVec::kWidth); round > 0; --round, p += TVec::kWidth)
            lanes = TVec::CountIn(lanes, TVec::Equal(TVec::Load(p), lf));
        count += TVec::SumLanes(lanes);
    }
    cursor = p;
    return count;
}

// CountLineBreaks' counts for [p, end): the CRs and LFs, and the CR LF pairs among them;
// advances Cursor to where the vector part stopped (the byte after each position is
// read too).
template <class TVec>
XAVO_SCAN void CountBreaksIn(const unsigned char*& cursor, const unsigned char* end, std::size_t& ends,
                             std::size_t& pairs) {
    const unsigned char* p = cursor;
    const typename TVec::T cr = TVec::Splat('\r'), lf = TVec::Splat('\n');
    while (end - p > TVec::kWidth) {
        typename TVec::T endLanes = TVec::Zero(), pairLanes = TVec::Zero();
        for (std::ptrdiff_t round = RoundsBeforeSum(end - p - 1, TVec::kWidth); round > 0; --round, p += TVec::kWidth) {
            const typename TVec::T here = TVec::Load(p);
            const typename TVec::T isCr = TVec::Equal(here, cr);
            endLanes = TVec::CountIn(endLanes, TVec::Or(isCr, TVec::Equal(here, lf)));
            pairLanes = TVec::CountIn(pairLanes, TVec::And(isCr, TVec::Equal(TVec::Load(p + 1), lf)));
        }
        ends += TVec::SumLanes(endLanes);
        pairs += TVec::SumLanes(pairLanes);
    }
    cursor = p;
}

// NormalizeText for [p, end), advancing Cursor to where the vector part stopped. A vector of
// the next bytes tells a lone CR from a CR LF; a block is counted after it is fixed.
template <class TVec>
XAVO_SCAN std::size_t NormalizeIn(unsigned char*& cursor, unsigned char* end) {
    unsigned char* p = cursor;
    std::size_t count = 0;
    const typename TVec::T zero = TVec::Zero(), cr = TVec::Splat('\r'), lf = TVec::Splat('\n');
    while (end - p >= TVec::kWidth) {
        typename TVec::T lanes = zero;
        for (std::ptrdiff_t round = RoundsBeforeSum(end - p, TVec::kWidth); round > 0; --round, p += TVec::kWidth) {
            typename TVec::T here = TVec::Load(p);
            const typename TVec::T lone = TVec::AndNot(TVec::Equal(TVec::Load(p + 1), lf), TVec::Equal(here, cr));
            std::uint32_t mask = TVec::Mask(TVec::Or(TVec::Equal(here, zero), lone));
            if (mask != 0) {
                for (; mask != 0; mask &= mask - 1) {
                    unsigned char* q = p + __builtin_ctz(mask);
                    *q = *q == '\0' ? ' ' : '\n';
                }
                here = TVec::Load(p);
            }
            lanes = TVec::CountIn(lanes, TVec::Equal(here, lf));
        }
        count += TVec::SumLanes(lanes);
    }
    cursor = p;
    return count;
}

// The 32-byte instances, compiled for AVX2.
XAVO_AVX2 const unsigned char* FindAnyOfFourWide(const unsigned char*& p, const unsigned char* end,
                                                 const unsigned char (&bytes)[4]) {
    return FindAnyOfFour<TVec32>(p, end, bytes);
}
XAVO_AVX2 std::uint32_t FindCodesWide(const TCodeSetFinder::TNeedles& set, const unsigned char*& p,
                                      const unsigned char* end) {
    return FindCodes<TVec32>(set, p, end);
}
template <bool kFolded, class TConfirm>
XAVO_AVX2 const unsigned char* FindPairsWide(const unsigned char*& p, const unsigned char* last, std::size_t first,
                                             std::size_t second, const unsigned char (&pair)[2],
                                             const unsigned char (&caseBits)[2], const TConfirm& confirm) {
    return FindPairs<TVec32, kFolded>(p, last, first, second, pair, caseBits, confirm);
}
XAVO_AVX2 std::size_t CountLineFeedsWide(const unsigned char*& p, const unsigned char* end) {
    return CountLineFeedsIn<TVec32>(p, end);
}
XAVO_AVX2 void CountBreaksWide(const unsigned char*& p, const unsigned char* end, std::size_t& ends, std::size_t& pairs) {
    CountBreaksIn<TVec32>(p, end, ends, pairs);
}
XAVO_AVX2 std::size_t NormalizeWide(unsigned char*& p, unsigned char* end) { return NormalizeIn<TVec32>(p, end); }

// FindPairs over the widest vectors the processor has.
template <bool kFolded, class TConfirm>
const unsigned char* FindPairsVectored(const unsigned char*& p, const unsigned char* last, std::size_t first,
                                       std::size_t second, const unsigned char (&pair)[2],
                                       const unsigned char (&caseBits)[2], const TConfirm& confirm) {
    if (UsesWideVectors())
        if (const unsigned char* hit = FindPairsWide<kFolded>(p, last, first, second, pair, caseBits, confirm)) return hit;
    return FindPairs<TVec16, kFolded>(p, last, first, second, pair, caseBits, confirm);
}

// Runs a scan over the widest vectors the processor has, then over 16 bytes for the rest.
template <class TWide, class TNarrow>
void ScanVectored(const TWide& wide, const TNarrow& narrow) {
    if (UsesWideVectors()) wide();
    narrow();
}

#endif  // XAVO_HAVE_VECTORS

// The bit that tells an ASCII letter's cases apart, for a byte of a folded literal.
unsigned char CaseBit(unsigned char b) { return b >= 'a' && b <= 'z' ? 0x20 : 0; }

}  // namespace

bool UseWideVectors(bool use) {
#if defined(XAVO_HAVE_VECTORS)
    gWideVectors = use && __builtin_cpu_supports("avx2");
    return gWideVectors;
#else
    (void)use;
    return false;
#endif
}

TByteFinder::TByteFinder(const std::vector<unsigned char>& bytes) : FBytes(bytes) {
    for (const unsigned char b : bytes) FTable[b] = true;
}

const unsigned char* TByteFinder::Find(const unsigned char* p, const unsigned char* end) const {
    if (FBytes.size() == 1) {
        const void* hit = std::memchr(p, FBytes[0], static_cast<std::size_t>(end - p));
        return hit != nullptr ? static_cast<const unsigned char*>(hit) : end;
    }
#if defined(XAVO_HAVE_VECTORS)
    if (FBytes.size() <= 4) {
        unsigned char four[4];
        for (std::size_t i = 0; i < 4; ++i) four[i] = FBytes[i < FBytes.size() ? i : 0];
        if (UsesWideVectors())
            if (const unsigned char* hit = FindAnyOfFourWide(p, end, four)) return hit;
        if (const unsigned char* hit = FindAnyOfFour<TVec16>(p, end, four)) return hit;
    }
#endif
    for (; p < end; ++p)
        if (FTable[*p]) return p;
    return end;
}

TCodeSetFinder::TCodeSetFinder(const std::vector<std::uint16_t>& codes) {
    for (const std::uint16_t code : codes) {
        FStarts[code < 0x100 ? code : code >> 8] = true;
        if (code < 0x100) {
            FSingles.push_back(static_cast<unsigned char>(code));
            continue;
        }
        const auto lead = static_cast<unsigned char>(code >> 8);
        auto it = std::find_if(FLeads.begin(), FLeads.end(), [&](const TLead& l) { return l.Byte == lead; });
        if (it == FLeads.end()) it = FLeads.insert(FLeads.end(), TLead{lead, {}});
        it->Trails.push_back(static_cast<unsigned char>(code & 0xFF));
    }
    std::size_t trails = 0;
    for (const TLead& lead : FLeads) trails = std::max(trails, lead.Trails.size());
    FNeedles.Fits = FSingles.size() <= 8 && FLeads.size() <= 2 && trails <= 8;
    if (!FNeedles.Fits) return;
    FNeedles.SingleSlots = static_cast<std::uint8_t>(FSingles.empty() ? 0 : FSingles.size() <= 2 ? 2 : 8);
    FNeedles.LeadSlots = static_cast<std::uint8_t>(FLeads.size());
    FNeedles.TrailSlots = static_cast<std::uint8_t>(trails <= 2 ? 2 : trails <= 4 ? 4 : 8);
    const auto fill = [](unsigned char (&row)[32], unsigned char b) { std::memset(row, b, sizeof row); };
    for (std::size_t i = 0; i < 8 && !FSingles.empty(); ++i) fill(FNeedles.Singles[i], FSingles[i % FSingles.size()]);
    for (std::size_t l = 0; l < 2 && !FLeads.empty(); ++l) {
        const TLead& lead = FLeads[l % FLeads.size()];
        fill(FNeedles.Leads[l], lead.Byte);
        for (std::size_t t = 0; t < 8; ++t) fill(FNeedles.Trails[l][t], lead.Trails[t % lead.Trails.size()]);
    }
}

const unsigned char* TCodeSetFinder::Find(const unsigned char* p, const unsigned char* end) {
#if defined(XAVO_HAVE_VECTORS)
    // Hits left over from the stretch compared last time.
    if (FChunkEnd == end && p >= FChunk && p < FChunk + FChunkWidth) {
        const std::uint32_t mask = FChunkMask & (~std::uint32_t{0} << (p - FChunk));
        if (mask != 0) return FChunk + __builtin_ctz(mask);
        p = FChunk + FChunkWidth;
    }
    if (FNeedles.Fits) {
        std::uint32_t mask = 0;
        if (UsesWideVectors() && (mask = FindCodesWide(FNeedles, p, end)) != 0) FChunkWidth = TVec32::kWidth;
        if (mask == 0 && (mask = FindCodes<TVec16>(FNeedles, p, end)) != 0) FChunkWidth = TVec16::kWidth;
        if (mask != 0) {
            FChunk = p;
            FChunkEnd = end;
            FChunkMask = mask;
            return p + __builtin_ctz(mask);
        }
    }
#endif
    for (; p < end; ++p) {
        if (!FStarts[*p]) continue;
        for (const unsigned char b : FSingles)
            if (*p == b) return p;
        if (end - p < 2) continue;
        for (const TLead& lead : FLeads)
            if (*p == lead.Byte)
                for (const unsigned char t : lead.Trails)
                    if (p[1] == t) return p;
    }
    return end;
}

TPairFinder::TPairFinder(std::string literal, std::size_t first, std::size_t second)
    : FLiteral(std::move(literal)), FFirst(std::min(first, second)), FSecond(std::max(first, second)) {}

const unsigned char* TLiteralFinder::Find(const unsigned char* p, const unsigned char* end) const {
    const std::size_t n = FLiteral.size();
    if (static_cast<std::size_t>(end - p) < n) return end;
    const unsigned char* const last = end - n;  // the last position where the literal fits
    const auto* const literal = reinterpret_cast<const unsigned char*>(FLiteral.data());
    if (n == 1) {
        const void* hit = std::memchr(p, literal[0], static_cast<std::size_t>(end - p));
        return hit != nullptr ? static_cast<const unsigned char*>(hit) : end;
    }
    const unsigned char pair[2] = {literal[FFirst], literal[FSecond]};
#if defined(XAVO_HAVE_VECTORS)
    const unsigned char noCaseBits[2] = {0, 0};
    const auto confirm = [literal, n](const unsigned char* q) { return std::memcmp(q, literal, n) == 0; };
    if (const unsigned char* hit = FindPairsVectored<false>(p, last, FFirst, FSecond, pair, noCaseBits, confirm))
        return hit;
#endif
    for (; p <= last; ++p)
        if (p[FFirst] == pair[0] && p[FSecond] == pair[1] && std::memcmp(p, literal, n) == 0) return p;
    return end;
}

bool TFoldedLiteralFinder::MatchesAt(const unsigned char* p) const {
    for (std::size_t i = 0; i < FLiteral.size(); ++i) {
        const auto b = static_cast<unsigned char>(FLiteral[i]);
        if ((p[i] | CaseBit(b)) != b) return false;
    }
    return true;
}

const unsigned char* TFoldedLiteralFinder::Find(const unsigned char* p, const unsigned char* end) const {
    const std::size_t n = FLiteral.size();
    if (static_cast<std::size_t>(end - p) < n) return end;
    const unsigned char* const last = end - n;
#if defined(XAVO_HAVE_VECTORS)
    const unsigned char pair[2] = {static_cast<unsigned char>(FLiteral[FFirst]), static_cast<unsigned char>(FLiteral[FSecond])};
    const unsigned char caseBits[2] = {CaseBit(pair[0]), CaseBit(pair[1])};
    const auto confirm = [this](const unsigned char* q) { return MatchesAt(q); };
    if (const unsigned char* hit = FindPairsVectored<true>(p, last, FFirst, FSecond, pair, caseBits, confirm)) return hit;
#endif
    for (; p <= last; ++p)
        if (MatchesAt(p)) return p;
    return end;
}

std::size_t CountLineFeeds(const unsigned char* p, const unsigned char* end) {
    std::size_t count = 0;
#if defined(XAVO_HAVE_VECTORS)
    ScanVectored([&] { count += CountLineFeedsWide(p, end); }, [&] { count += CountLineFeedsIn<TVec16>(p, end); });
#endif
    for (; p < end; ++p) count += *p == '\n';
    return count;
}

TLineBreakCount CountLineBreaks(const unsigned char* p, const unsigned char* end) {
    // Breaks = CRs + LFs - CR LF pairs.
    std::size_t ends = 0, pairs = 0;
#if defined(XAVO_HAVE_VECTORS)
    ScanVectored([&] { CountBreaksWide(p, end, ends, pairs); }, [&] { CountBreaksIn<TVec16>(p, end, ends, pairs); });
#endif
    for (; p < end; ++p) {
        ends += *p == '\r' || *p == '\n';
        pairs += *p == '\r' && end - p >= 2 && p[1] == '\n';
    }
    return {ends - pairs, pairs};
}

const unsigned char* FindLastLineFeed(const unsigned char* p, const unsigned char* end) {
    const void* hit = ::memrchr(p, '\n', static_cast<std::size_t>(end - p));
    return static_cast<const unsigned char*>(hit);
}

std::size_t NormalizeText(unsigned char* p, unsigned char* end) {
    std::size_t count = 0;
#if defined(XAVO_HAVE_VECTORS)
    ScanVectored([&] { count += NormalizeWide(p, end); }, [&] { count += NormalizeIn<TVec16>(p, end); });
#endif
    for (; p < end; ++p) {
        if (*p == '\0')
            *p = ' ';
        else if (*p == '\r' && p[1] != '\n')
            *p = '\n';
        count += *p == '\n';
    }
    return count;
}

}  // namespace xavo
