// The vector check classifies each byte pair by three 16-entry tables (the high nibble of
// the first byte, its low nibble, the high nibble of the second), whose AND is non-zero
// exactly where the pair cannot occur in UTF-8; a fourth test asks that the bytes two and
// three after a three- or four-byte lead are continuations. This is the "lookup" method of
// Keiser and Lemire (Software: Practice and Experience, 2021). Without AVX2 the bytes are
// read one sequence at a time.
#include "Utf8Valid.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace xavo {
namespace {

bool IsWellFormedScalar(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        const unsigned b0 = p[i];
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        int extra;
        unsigned lo = 0x80, hi = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) extra = 1;
        else if (b0 >= 0xE0 && b0 <= 0xEF) extra = 2, lo = b0 == 0xE0 ? 0xA0 : 0x80, hi = b0 == 0xED ? 0x9F : 0xBF;
        else if (b0 >= 0xF0 && b0 <= 0xF4) extra = 3, lo = b0 == 0xF0 ? 0x90 : 0x80, hi = b0 == 0xF4 ? 0x8F : 0xBF;
        else return false;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= n || p[i + k] < lo || p[i + k] > hi) return false;
            lo = 0x80;
            hi = 0xBF;
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

#if defined(__x86_64__)
const bool kHasAvx2 = __builtin_cpu_supports("avx2") != 0;

// Error bits of a byte pair (first, second).
constexpr std::uint8_t kTooShort = 1 << 0;     // a lead not followed by a continuation
constexpr std::uint8_t kTooLong = 1 << 1;      // ASCII followed by a continuation
constexpr std::uint8_t kOverlong3 = 1 << 2;    // E0 80..9F
constexpr std::uint8_t kTooLarge = 1 << 3;     // F4 90..BF, F5..FF
constexpr std::uint8_t kSurrogate = 1 << 4;    // ED A0..BF
constexpr std::uint8_t kOverlong2 = 1 << 5;    // C0, C1
constexpr std::uint8_t kTooLarge1000 = 1 << 6; // F5..FF 80..8F
constexpr std::uint8_t kOverlong4 = 1 << 6;    // F0 80..8F
constexpr std::uint8_t kTwoConts = 1 << 7;     // two continuations: right only after a 3- or 4-byte lead
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("avx2"))) inline __m256i Table(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2,
                                                     std::uint8_t a3, std::uint8_t a4, std::uint8_t a5,
                                                     std::uint8_t a6, std::uint8_t a7, std::uint8_t a8,
                                                     std::uint8_t a9, std::uint8_t a10, std::uint8_t a11,
                                                     std::uint8_t a12, std::uint8_t a13, std::uint8_t a14,
                                                     std::uint8_t a15) {
    return _mm256_setr_epi8(static_cast<char>(a0), static_cast<char>(a1), static_cast<char>(a2), static_cast<char>(a3),
                            static_cast<char>(a4), static_cast<char>(a5), static_cast<char>(a6), static_cast<char>(a7),
                            static_cast<char>(a8), static_cast<char>(a9), static_cast<char>(a10), static_cast<char>(a11),
                            static_cast<char>(a12), static_cast<char>(a13), static_cast<char>(a14), static_cast<char>(a15),
                            static_cast<char>(a0), static_cast<char>(a1), static_cast<char>(a2), static_cast<char>(a3),
                            static_cast<char>(a4), static_cast<char>(a5), static_cast<char>(a6), static_cast<char>(a7),
                            static_cast<char>(a8), static_cast<char>(a9), static_cast<char>(a10), static_cast<char>(a11),
                            static_cast<char>(a12), static_cast<char>(a13), static_cast<char>(a14), static_cast<char>(a15));
}

struct TUtf8Vector {
    __m256i Error = _mm256_setzero_si256();
    __m256i Previous = _mm256_setzero_si256();  // the block before (zeros: ASCII)
    __m256i FirstHigh, FirstLow, SecondHigh, Nibble;

    __attribute__((target("avx2"))) TUtf8Vector() {
        FirstHigh = Table(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,  //
                          kTwoConts, kTwoConts, kTwoConts, kTwoConts,                                      //
                          kTooShort | kOverlong2, kTooShort, kTooShort | kOverlong3 | kSurrogate,          //
                          kTooShort | kTooLarge | kTooLarge1000 | kOverlong4);
        FirstLow = Table(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry, kCarry,  //
                         kCarry | kTooLarge, kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
                         kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
                         kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
                         kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
                         kCarry | kTooLarge | kTooLarge1000 | kSurrogate, kCarry | kTooLarge | kTooLarge1000,
                         kCarry | kTooLarge | kTooLarge1000);
        constexpr std::uint8_t k80 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4;
        constexpr std::uint8_t k90 = kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge;
        constexpr std::uint8_t kA0 = kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge;
        SecondHigh = Table(kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,  //
                           k80, k90, kA0, kA0, kTooShort, kTooShort, kTooShort, kTooShort);
        Nibble = _mm256_set1_epi8(0x0F);
    }

    // The block 16 - N bytes later: each byte with the one N before it.
    template <int N>
    __attribute__((target("avx2"))) __m256i Before(__m256i input) const {
        return _mm256_alignr_epi8(input, _mm256_permute2x128_si256(Previous, input, 0x21), 16 - N);
    }

    __attribute__((target("avx2"))) void Add(__m256i input) {
        const __m256i prev1 = Before<1>(input);
        const __m256i high1 = _mm256_shuffle_epi8(FirstHigh, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), Nibble));
        const __m256i low1 = _mm256_shuffle_epi8(FirstLow, _mm256_and_si256(prev1, Nibble));
        const __m256i high2 = _mm256_shuffle_epi8(SecondHigh, _mm256_and_si256(_mm256_srli_epi16(input, 4), Nibble));
        const __m256i special = _mm256_and_si256(_mm256_and_si256(high1, low1), high2);
        const __m256i third = _mm256_subs_epu8(Before<2>(input), _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
        const __m256i fourth = _mm256_subs_epu8(Before<3>(input), _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
        const __m256i must = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
        Error = _mm256_or_si256(Error, _mm256_xor_si256(must, special));
        Previous = input;
    }

    // A sequence the last block leaves unfinished.
    __attribute__((target("avx2"))) bool Unfinished() const {
        const __m256i last = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                                              -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                              static_cast<char>(0xF0 - 1), static_cast<char>(0xE0 - 1),
                                              static_cast<char>(0xC0 - 1));
        return !_mm256_testz_si256(_mm256_subs_epu8(Previous, last), _mm256_subs_epu8(Previous, last));
    }
};

__attribute__((target("avx2"))) bool IsWellFormedAvx2(const unsigned char* p, std::size_t n) {
    TUtf8Vector v;
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        // A block of ASCII after a finished sequence cannot err: skip the tables.
        if (_mm256_movemask_epi8(input) == 0 && !v.Unfinished()) {
            v.Previous = input;
            continue;
        }
        v.Add(input);
    }
    if (i < n) {
        alignas(32) unsigned char tail[32] = {};  // zeros after the end: ASCII
        std::memcpy(tail, p + i, n - i);
        v.Add(_mm256_load_si256(reinterpret_cast<const __m256i*>(tail)));  // a cut sequence meets ASCII
    } else if (v.Unfinished()) {
        return false;
    }
    return _mm256_testz_si256(v.Error, v.Error) != 0;
}
#endif

}  // namespace

bool IsWellFormedUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
#if defined(__x86_64__)
    if (kHasAvx2) return IsWellFormedAvx2(p, bytes.size());
#endif
    return IsWellFormedScalar(p, bytes.size());
}

}  // namespace xavo
