// Byte scans. The vector paths look at 16 bytes at a time and fall back to plain loops
// for the tail; both give the same results.
#include "ByteScan.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
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

std::size_t CountLineFeeds(const unsigned char* p, const unsigned char* end) {
    std::size_t count = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        count += static_cast<std::size_t>(__builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)))));
    }
#endif
    for (; p < end; ++p) count += *p == '\n';
    return count;
}

const unsigned char* FindLastLineFeed(const unsigned char* p, const unsigned char* end) {
    const void* hit = ::memrchr(p, '\n', static_cast<std::size_t>(end - p));
    return static_cast<const unsigned char*>(hit);
}

void NormalizeText(unsigned char* p, unsigned char* end) {
    const auto fix = [](unsigned char* q) {
        if (*q == '\0')
            *q = ' ';
        else if (*q == '\r' && q[1] != '\n')
            *q = '\n';
    };
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i cr = _mm_set1_epi8('\r');
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, zero), _mm_cmpeq_epi8(v, cr)));
        while (mask != 0) {
            fix(p + __builtin_ctz(static_cast<unsigned>(mask)));
            mask &= mask - 1;
        }
    }
#endif
    for (; p < end; ++p) fix(p);
}

}  // namespace xavo
