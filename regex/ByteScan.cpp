// Byte scans. The vector paths look at 16 bytes at a time and fall back to plain loops
// for the tail; both give the same results.
#include "ByteScan.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#define XAVO_HAVE_AVX2_PATH 1
#endif

namespace xavo {

TByteFinder::TByteFinder(const std::vector<unsigned char>& bytes) : FBytes(bytes) {
    for (const unsigned char b : bytes) FTable[b] = true;
}

const unsigned char* TByteFinder::Find(const unsigned char* p, const unsigned char* end) const {
    if (FBytes.size() == 1) {
        const void* hit = std::memchr(p, FBytes[0], static_cast<std::size_t>(end - p));
        return hit != nullptr ? static_cast<const unsigned char*>(hit) : end;
    }
#if defined(__SSE2__)
    if (FBytes.size() <= 4) {
        __m128i needle[4];
        for (std::size_t i = 0; i < 4; ++i)
            needle[i] = _mm_set1_epi8(static_cast<char>(FBytes[i < FBytes.size() ? i : 0]));
        for (; end - p >= 16; p += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, needle[0]), _mm_cmpeq_epi8(v, needle[1])),
                                             _mm_or_si128(_mm_cmpeq_epi8(v, needle[2]), _mm_cmpeq_epi8(v, needle[3])));
            const int mask = _mm_movemask_epi8(hit);
            if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
        }
    }
#endif
    for (; p < end; ++p)
        if (FTable[*p]) return p;
    return end;
}

TCodeSetFinder::TCodeSetFinder(const std::vector<std::uint16_t>& codes) {
    for (const std::uint16_t code : codes) {
        if (code < 0x100) {
            FSingles.push_back(static_cast<unsigned char>(code));
            continue;
        }
        const auto lead = static_cast<unsigned char>(code >> 8);
        auto it = std::find_if(FLeads.begin(), FLeads.end(), [&](const Lead& l) { return l.Byte == lead; });
        if (it == FLeads.end()) it = FLeads.insert(FLeads.end(), Lead{lead, {}});
        it->Trails.push_back(static_cast<unsigned char>(code & 0xFF));
    }
    FPacked.Fits = FSingles.size() <= 8 && FLeads.size() <= 2 &&
                   std::all_of(FLeads.begin(), FLeads.end(), [](const Lead& l) { return l.Trails.size() <= 8; });
    if (!FPacked.Fits) return;
    FPacked.SingleCount = FSingles.size();
    std::copy(FSingles.begin(), FSingles.end(), FPacked.Singles);
    FPacked.LeadCount = FLeads.size();
    for (std::size_t i = 0; i < FLeads.size(); ++i) {
        FPacked.Leads[i] = FLeads[i].Byte;
        FPacked.TrailCount[i] = FLeads[i].Trails.size();
        std::copy(FLeads[i].Trails.begin(), FLeads[i].Trails.end(), FPacked.Trails[i]);
    }
}

#if defined(XAVO_HAVE_AVX2_PATH)
namespace {

std::atomic<bool> gWideVectors{__builtin_cpu_supports("avx2") != 0};

bool CpuHasAvx2() { return gWideVectors.load(std::memory_order_relaxed); }

// The code-set compare over 32 positions at a time. Returns the mask of the first block
// of 32 with a hit and sets Block to it, or returns 0 with Block where the vector part
// stopped. The byte lists are padded with repeats of a real entry to fixed lengths, so
// that the compares unroll; two leads at most.
using TCodeSetVectors = TCodeSetFinder::TPacked;

template <std::size_t kSingles, std::size_t kTrails>
__attribute__((target("avx2"))) std::uint32_t FindCodesAvx2Fixed(const TCodeSetVectors& set,
                                                                  const unsigned char*& block,
                                                                  const unsigned char* end) {
    const auto pad = [](const unsigned char* bytes, std::size_t count, std::size_t i) {
        return static_cast<char>(bytes[i < count ? i : 0]);
    };
    __m256i singles[kSingles], leads[2], trails[2][kTrails];
    for (std::size_t i = 0; i < kSingles; ++i)
        singles[i] = set.SingleCount != 0 ? _mm256_set1_epi8(pad(set.Singles, set.SingleCount, i)) : _mm256_set1_epi8(0);
    for (std::size_t l = 0; l < 2; ++l) {
        const std::size_t lead = l < set.LeadCount ? l : 0;
        leads[l] = set.LeadCount != 0 ? _mm256_set1_epi8(static_cast<char>(set.Leads[lead])) : _mm256_set1_epi8(0);
        for (std::size_t t = 0; t < kTrails; ++t)
            trails[l][t] = set.LeadCount != 0 ? _mm256_set1_epi8(pad(set.Trails[lead], set.TrailCount[lead], t))
                                              : _mm256_set1_epi8(0);
    }
    // With no singles (or no leads) the padding compares with NUL, which the normalised
    // text never holds.
    const unsigned char* p = block;
    for (; end - p >= 33; p += 32) {
        const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
        __m256i hit = _mm256_setzero_si256();
        for (std::size_t i = 0; i < kSingles; ++i) hit = _mm256_or_si256(hit, _mm256_cmpeq_epi8(v0, singles[i]));
        for (std::size_t l = 0; l < 2; ++l) {
            __m256i trail = _mm256_setzero_si256();
            for (std::size_t t = 0; t < kTrails; ++t) trail = _mm256_or_si256(trail, _mm256_cmpeq_epi8(v1, trails[l][t]));
            hit = _mm256_or_si256(hit, _mm256_and_si256(trail, _mm256_cmpeq_epi8(v0, leads[l])));
        }
        const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(hit));
        if (mask != 0) {
            block = p;
            return mask;
        }
    }
    block = p;
    return 0;
}

std::uint32_t FindCodesAvx2(const TCodeSetVectors& set, const unsigned char*& block, const unsigned char* end) {
    std::size_t trails = 0;
    for (std::size_t l = 0; l < set.LeadCount; ++l) trails = std::max(trails, set.TrailCount[l]);
    if (set.SingleCount <= 2 && trails <= 4) return FindCodesAvx2Fixed<2, 4>(set, block, end);
    return FindCodesAvx2Fixed<8, 8>(set, block, end);
}

// The literal's two bytes compared at 32 positions at a time; returns the first
// confirmed position, or advances P to where the vector part stopped and returns nullptr.
__attribute__((target("avx2"))) const unsigned char* FindLiteralAvx2(const unsigned char*& p, const unsigned char* last,
                                                                      const unsigned char* literal, std::size_t n,
                                                                      std::size_t first, std::size_t second) {
    const __m256i v1 = _mm256_set1_epi8(static_cast<char>(literal[first]));
    const __m256i v2 = _mm256_set1_epi8(static_cast<char>(literal[second]));
    for (; last - p >= 31; p += 32) {  // positions p .. p + 31 all fit
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + first));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + second));
        auto mask = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, v1), _mm256_cmpeq_epi8(b, v2))));
        while (mask != 0) {
            const unsigned char* candidate = p + __builtin_ctz(mask);
            if (std::memcmp(candidate, literal, n) == 0) return candidate;
            mask &= mask - 1;
        }
    }
    return nullptr;
}

// NormalizeText over 32 bytes at a time; advances P and returns the line feeds counted.
__attribute__((target("avx2"))) std::size_t NormalizeAvx2(unsigned char*& p, unsigned char* end) {
    std::size_t count = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    while (end - p >= 32) {
        __m256i lanes = zero;
        for (int round = 0; round < 255 && end - p >= 32; ++round, p += 32) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
            const __m256i lone = _mm256_andnot_si256(_mm256_cmpeq_epi8(next, lf), _mm256_cmpeq_epi8(v, cr));
            auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, zero), lone)));
            if (mask != 0) {
                while (mask != 0) {
                    unsigned char* q = p + __builtin_ctz(mask);
                    *q = *q == '\0' ? ' ' : '\n';
                    mask &= mask - 1;
                }
                lanes = _mm256_sub_epi8(lanes, _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), lf));
            } else {
                lanes = _mm256_sub_epi8(lanes, _mm256_cmpeq_epi8(v, lf));
            }
        }
        const __m256i sums = _mm256_sad_epu8(lanes, zero);
        count += static_cast<std::size_t>(_mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
                                          _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3));
    }
    return count;
}

__attribute__((target("avx2"))) std::size_t FoldLanesAvx2(__m256i lanes) {
    const __m256i sums = _mm256_sad_epu8(lanes, _mm256_setzero_si256());
    return static_cast<std::size_t>(_mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
                                    _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3));
}

// CountLineBreaks over 32 bytes at a time; advances P and adds to the three counts.
__attribute__((target("avx2"))) void CountBreaksAvx2(const unsigned char*& p, const unsigned char* end, std::size_t& crs,
                                                     std::size_t& lfs, std::size_t& pairs) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    while (end - p >= 33) {
        __m256i crLanes = zero, lfLanes = zero, pairLanes = zero;
        for (int round = 0; round < 255 && end - p >= 33; ++round, p += 32) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
            const __m256i isCr = _mm256_cmpeq_epi8(v, cr);
            crLanes = _mm256_sub_epi8(crLanes, isCr);
            lfLanes = _mm256_sub_epi8(lfLanes, _mm256_cmpeq_epi8(v, lf));
            pairLanes = _mm256_sub_epi8(pairLanes, _mm256_and_si256(isCr, _mm256_cmpeq_epi8(next, lf)));
        }
        crs += FoldLanesAvx2(crLanes);
        lfs += FoldLanesAvx2(lfLanes);
        pairs += FoldLanesAvx2(pairLanes);
    }
}

}  // namespace
#endif

bool UseWideVectors(bool use) {
#if defined(XAVO_HAVE_AVX2_PATH)
    gWideVectors = use && __builtin_cpu_supports("avx2");
    return gWideVectors;
#else
    (void)use;
    return false;
#endif
}

const unsigned char* TCodeSetFinder::Find(const unsigned char* p, const unsigned char* end) {
    const auto matchesAt = [&](const unsigned char* q) {
        for (const unsigned char b : FSingles)
            if (*q == b) return true;
        if (end - q < 2) return false;
        for (const Lead& lead : FLeads)
            if (*q == lead.Byte)
                for (const unsigned char t : lead.Trails)
                    if (q[1] == t) return true;
        return false;
    };
#if defined(__SSE2__)
    // Hits left over from the stretch compared last time.
    if (FChunkEnd == end && p >= FChunk && p < FChunk + FChunkWidth) {
        const std::uint32_t mask = FChunkMask & (~std::uint32_t{0} << (p - FChunk));
        if (mask != 0) return FChunk + __builtin_ctz(mask);
        p = FChunk + FChunkWidth;
    }
    constexpr std::size_t kMax = 8;
#if defined(XAVO_HAVE_AVX2_PATH)
    if (CpuHasAvx2() && FPacked.Fits) {
        const std::uint32_t mask = FindCodesAvx2(FPacked, p, end);
        if (mask != 0) {
            FChunk = p;
            FChunkWidth = 32;
            FChunkEnd = end;
            FChunkMask = mask;
            return p + __builtin_ctz(mask);
        }
    } else
#endif
    if (FSingles.size() <= kMax && FLeads.size() <= 2) {
        __m128i singles[kMax];
        const std::size_t singleCount = FSingles.size();
        for (std::size_t i = 0; i < singleCount; ++i) singles[i] = _mm_set1_epi8(static_cast<char>(FSingles[i]));
        __m128i leads[2], trails[2][kMax];
        std::size_t trailCount[2] = {0, 0};
        bool fits = true;
        for (std::size_t i = 0; i < FLeads.size(); ++i) {
            leads[i] = _mm_set1_epi8(static_cast<char>(FLeads[i].Byte));
            fits = fits && FLeads[i].Trails.size() <= kMax;
            for (std::size_t t = 0; t < FLeads[i].Trails.size() && t < kMax; ++t)
                trails[i][trailCount[i]++] = _mm_set1_epi8(static_cast<char>(FLeads[i].Trails[t]));
        }
        const std::size_t leadCount = FLeads.size();
        for (; fits && end - p >= 17; p += 16) {  // positions p .. p + 15, with the byte after each
            const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            __m128i hit = _mm_setzero_si128();
            for (std::size_t i = 0; i < singleCount; ++i) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v0, singles[i]));
            for (std::size_t i = 0; i < leadCount; ++i) {
                __m128i trail = _mm_setzero_si128();
                for (std::size_t t = 0; t < trailCount[i]; ++t) trail = _mm_or_si128(trail, _mm_cmpeq_epi8(v1, trails[i][t]));
                hit = _mm_or_si128(hit, _mm_and_si128(trail, _mm_cmpeq_epi8(v0, leads[i])));
            }
            const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(hit));
            if (mask != 0) {
                FChunk = p;
                FChunkWidth = 16;
                FChunkEnd = end;
                FChunkMask = mask;
                return p + __builtin_ctz(mask);
            }
        }
    }
#endif
    for (; p < end; ++p)
        if (matchesAt(p)) return p;
    return end;
}

TLiteralFinder::TLiteralFinder(std::string literal, std::size_t first, std::size_t second)
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
    const unsigned char b1 = literal[FFirst];
    const unsigned char b2 = literal[FSecond];
#if defined(XAVO_HAVE_AVX2_PATH)
    if (CpuHasAvx2())
        if (const unsigned char* hit = FindLiteralAvx2(p, last, literal, n, FFirst, FSecond)) return hit;
#endif
#if defined(__SSE2__)
    const __m128i v1 = _mm_set1_epi8(static_cast<char>(b1));
    const __m128i v2 = _mm_set1_epi8(static_cast<char>(b2));
    for (; last - p >= 15; p += 16) {  // positions p .. p + 15 all fit
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + FFirst));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + FSecond));
        int mask = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, v1), _mm_cmpeq_epi8(b, v2)));
        while (mask != 0) {
            const unsigned char* candidate = p + __builtin_ctz(static_cast<unsigned>(mask));
            if (std::memcmp(candidate, literal, n) == 0) return candidate;
            mask &= mask - 1;
        }
    }
#endif
    for (; p <= last; ++p)
        if (p[FFirst] == b1 && p[FSecond] == b2 && std::memcmp(p, literal, n) == 0) return p;
    return end;
}

namespace {

// The bit that tells an ASCII letter's cases apart, for a byte of a folded literal.
unsigned char CaseBit(unsigned char b) { return b >= 'a' && b <= 'z' ? 0x20 : 0; }

}  // namespace

TFoldedLiteralFinder::TFoldedLiteralFinder(std::string literal, std::size_t first, std::size_t second)
    : FLiteral(std::move(literal)), FFirst(std::min(first, second)), FSecond(std::max(first, second)) {}

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
    const auto b1 = static_cast<unsigned char>(FLiteral[FFirst]);
    const auto b2 = static_cast<unsigned char>(FLiteral[FSecond]);
#if defined(__SSE2__)
    const __m128i v1 = _mm_set1_epi8(static_cast<char>(b1));
    const __m128i v2 = _mm_set1_epi8(static_cast<char>(b2));
    const __m128i f1 = _mm_set1_epi8(static_cast<char>(CaseBit(b1)));
    const __m128i f2 = _mm_set1_epi8(static_cast<char>(CaseBit(b2)));
    for (; last - p >= 15; p += 16) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + FFirst)), f1);
        const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + FSecond)), f2);
        int mask = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, v1), _mm_cmpeq_epi8(b, v2)));
        while (mask != 0) {
            const unsigned char* candidate = p + __builtin_ctz(static_cast<unsigned>(mask));
            if (MatchesAt(candidate)) return candidate;
            mask &= mask - 1;
        }
    }
#endif
    for (; p <= last; ++p)
        if (MatchesAt(p)) return p;
    return end;
}

std::size_t CountLineFeeds(const unsigned char* p, const unsigned char* end) {
    std::size_t count = 0;
#if defined(__SSE2__)
    // Compare results (0 or -1 per byte) are summed per lane for up to 255 rounds, then
    // folded with a sum of absolute differences.
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        __m128i lanes = _mm_setzero_si128();
        for (int round = 0; round < 255 && end - p >= 16; ++round, p += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(v, lf));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#endif
    for (; p < end; ++p) count += *p == '\n';
    return count;
}

TLineBreakCount CountLineBreaks(const unsigned char* p, const unsigned char* end) {
    // Breaks = CRs + LFs - pairs: three lane counters, each folded every 255 rounds.
    std::size_t crs = 0, lfs = 0, pairs = 0;
#if defined(XAVO_HAVE_AVX2_PATH)
    if (CpuHasAvx2()) CountBreaksAvx2(p, end, crs, lfs, pairs);
#endif
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const auto fold = [&zero](__m128i lanes) {
        const __m128i sums = _mm_sad_epu8(lanes, zero);
        return static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
               static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    };
    while (end - p >= 17) {  // the byte after each of the 16 is read too
        __m128i crLanes = zero, lfLanes = zero, pairLanes = zero;
        for (int round = 0; round < 255 && end - p >= 17; ++round, p += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i isCr = _mm_cmpeq_epi8(v, cr);
            crLanes = _mm_sub_epi8(crLanes, isCr);
            lfLanes = _mm_sub_epi8(lfLanes, _mm_cmpeq_epi8(v, lf));
            pairLanes = _mm_sub_epi8(pairLanes, _mm_and_si128(isCr, _mm_cmpeq_epi8(next, lf)));
        }
        crs += fold(crLanes);
        lfs += fold(lfLanes);
        pairs += fold(pairLanes);
    }
#endif
    for (; p < end; ++p) {
        crs += *p == '\r';
        lfs += *p == '\n';
        pairs += *p == '\r' && end - p >= 2 && p[1] == '\n';
    }
    return {crs + lfs - pairs, pairs};
}

const unsigned char* FindLastLineFeed(const unsigned char* p, const unsigned char* end) {
    const void* hit = ::memrchr(p, '\n', static_cast<std::size_t>(end - p));
    return static_cast<const unsigned char*>(hit);
}

std::size_t NormalizeText(unsigned char* p, unsigned char* end) {
    std::size_t count = 0;
    const auto fix = [&count](unsigned char* q) {
        if (*q == '\0')
            *q = ' ';
        else if (*q == '\r' && q[1] != '\n')
            *q = '\n';
        count += *q == '\n';
    };
#if defined(XAVO_HAVE_AVX2_PATH)
    if (CpuHasAvx2()) count += NormalizeAvx2(p, end);
#endif
#if defined(__SSE2__)
    // A vector of the next bytes tells a lone CR from a CR LF without leaving the loop;
    // line feeds are summed per lane and folded every 255 rounds.
    const __m128i zero = _mm_setzero_si128();
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        __m128i lanes = zero;
        for (int round = 0; round < 255 && end - p >= 16; ++round, p += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i lone = _mm_andnot_si128(_mm_cmpeq_epi8(next, lf), _mm_cmpeq_epi8(v, cr));
            int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, zero), lone));
            while (mask != 0) {
                unsigned char* q = p + __builtin_ctz(static_cast<unsigned>(mask));
                *q = *q == '\0' ? ' ' : '\n';
                mask &= mask - 1;
            }
            const __m128i fixed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(fixed, lf));
        }
        const __m128i sums = _mm_sad_epu8(lanes, zero);
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#endif
    for (; p < end; ++p) fix(p);
    return count;
}

}  // namespace xavo
