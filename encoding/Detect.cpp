// The detection rule. Shift-JIS against EUC-JP works from the byte ranges, not from a
// statistical model, so that it decides a few characters as well as a long text:
//   1. A reading with fewer ill-formed sequences wins. Most Shift-JIS text is not EUC-JP at
//      all: kana (0x82, 0x83), punctuation (0x81) and most kanji (0x88-0x9F) lead bytes are
//      outside EUC-JP; EUC-JP trail bytes 0xFD-0xFE are outside Shift-JIS. A pair of the
//      EUC-JP reading that is well-formed but holds no JIS X 0208 character (a JIS X 0213
//      character, a vendor's) counts only beyond one in kUnknownAllowance of its pairs, so
//      that one such character in an EUC-JP text does not hand it to Shift-JIS.
//   2. Both readings well-formed: the bytes are all 0xA1-0xFE, 0x8E and 0x8F (plus ASCII).
//      a. Two EUC-JP half-width kana (0x8E xx) in a row: EUC-JP. In Shift-JIS that would be
//         two 0x8E-row kanji with trail bytes 0xA1-0xDF in a row, which real text hardly has.
//      b. The Shift-JIS reading mixes half-width kana with double-byte characters of lead
//         0xE0-0xFC (level-2 kanji, user-defined area): EUC-JP. That is what EUC-JP kanji
//         look like (their trail bytes fall on 0xE0-0xFE a third of the time).
//      c. Only half-width kana in the Shift-JIS reading: a frequency vote. For EUC-JP, each
//         kana or punctuation character (lead 0xA1, 0xA4, 0xA5), the commonest characters of
//         Japanese text, weighs kKanaWeight; for Shift-JIS, each pair common in half-width
//         words (a voiced mark after a letter that takes it, a long-vowel mark or small kana
//         after a kana) and each level-2 kanji of the EUC-JP reading (lead 0xD0 on, rare
//         in text, while half-width letters 0xD0-0xDD are common) weighs one. A run of
//         exactly two bytes above 0x7F casts no half-width vote: it is one EUC-JP kanji as
//         often as a half-width word of two letters (図 is "ｿﾞ"). A row of JIS X 0208
//         without characters is an error of the EUC-JP reading (1.).
//      d. A tie: EUC-JP. On Linux, EUC-JP files are far commoner than Shift-JIS files of
//         half-width katakana alone, and such files rarely lack the pairs of c.
// UTF-8 comes before both: it wins when its well-formed multi-byte sequences outnumber its
// ill-formed ones kUtf8Majority to one (Shift-JIS and EUC-JP text hardly ever spells one).
#include "Detect.h"

#include "JisTables.h"
#include "SjisBytes.h"
#include "Utf8Valid.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace xavo {
namespace {

// One EUC-JP kana counts as this many half-width pairs: kana make half of most Japanese
// text, while a kanji's bytes form a plausible half-width pair only now and then.
constexpr std::size_t kKanaWeight = 3;

// The readings are compared after every stretch of this many bytes, and the one with this
// many more errors loses at once.
constexpr std::size_t kStretch = 1024;
constexpr std::size_t kFirstStretch = 64;  // then doubling: most Japanese text decides early
constexpr std::size_t kDecisiveErrors = 16;

// A well-formed EUC-JP pair without a JIS X 0208 character is forgiven once per this many
// pairs that have one.
constexpr std::size_t kUnknownAllowance = 16;

// Well-formed UTF-8 multi-byte sequences needed per ill-formed one; the reading gives up
// once the ill-formed ones are kUtf8Slack beyond that share of what it has read (Shift-JIS
// and EUC-JP text within a few characters).
constexpr std::size_t kUtf8Majority = 16;
constexpr std::size_t kUtf8Slack = 1;

unsigned char Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The designations that make a file ISO-2022-JP (a switch back to ASCII alone does not).
constexpr std::string_view kDesignations[] = {"\x1B$B", "\x1B$@", "\x1B(J", "\x1B(I", "\x1B$(D"};

// Whether S (an escape and what follows it, cut by the end of the bytes) may still grow
// into a designation.
bool IsDesignationPrefix(std::string_view s) {
    return std::any_of(std::begin(kDesignations), std::end(kDesignations),
                       [&](std::string_view d) { return s.size() < d.size() && StartsWith(d, s); });
}

bool HasJisDesignation(std::string_view s) {
    for (std::size_t i = s.find('\x1B'); i != std::string_view::npos; i = s.find('\x1B', i + 1))
        for (const std::string_view d : kDesignations)
            if (StartsWith(s.substr(i), d)) return true;
    return false;
}

// The first position from I (before Limit) whose byte is above 0x7F, or Limit; eight at a
// time: most files are mostly ASCII.
std::size_t SkipAscii(std::string_view s, std::size_t i, std::size_t limit) {
    for (; i + 8 <= limit; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if ((word & 0x8080808080808080ULL) != 0) break;
    }
    while (i < limit && Byte(s, i) < 0x80) ++i;
    return i;
}

// True when no byte of S is above 0x7F; eight at a time.
bool IsAscii(std::string_view s) {
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if ((word & 0x8080808080808080ULL) != 0) return false;
    }
    for (; i < s.size(); ++i)
        if (Byte(s, i) >= 0x80) return false;
    return true;
}

// How many bytes at the end of S begin a multi-byte sequence that S ends before it does.
std::size_t CutAtEnd(std::string_view s) {
    for (std::size_t back = 1; back <= 3 && back <= s.size(); ++back) {
        const unsigned b = Byte(s, s.size() - back);
        if (b < 0x80) return 0;
        if (b < 0xC0) continue;  // a continuation: look further back for its lead
        const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        return length > back ? back : 0;
    }
    return 0;
}

// Whether S reads as UTF-8: well-formed multi-byte sequences, and at most one ill-formed
// sequence (a maximal subpart) per kUtf8Majority of them, never more than kUtf8Slack
// beyond that share along the way. A sequence cut by the end of a partial head counts as
// neither.
bool LooksUtf8(std::string_view s, bool wholeFile) {
    // Most UTF-8 files are well-formed throughout: tell that at vector speed, leaving a
    // character cut by the end of a partial head aside.
    const std::string_view whole = wholeFile ? s : s.substr(0, s.size() - CutAtEnd(s));
    if (IsWellFormedUtf8(whole)) return !IsAscii(whole);
    std::size_t good = 0, bad = 0;
    std::size_t i = 0;
    const auto fail = [&] { return ++bad > kUtf8Slack + good / kUtf8Majority; };
    while (i < s.size()) {
        const unsigned b0 = Byte(s, i);
        if (b0 < 0x80) {
            i = SkipAscii(s, i + 1, s.size());
            continue;
        }
        // The common case of Japanese text first: a three-byte sequence without the
        // special ranges of 0xE0 and 0xED.
        if (b0 >= 0xE1 && b0 <= 0xEF && b0 != 0xED && i + 2 < s.size() && (Byte(s, i + 1) & 0xC0) == 0x80 &&
            (Byte(s, i + 2) & 0xC0) == 0x80) {
            ++good;
            i += 3;
            continue;
        }
        int extra;
        unsigned lo = 0x80, hi = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) extra = 1;
        else if (b0 >= 0xE0 && b0 <= 0xEF) extra = 2, lo = b0 == 0xE0 ? 0xA0 : 0x80, hi = b0 == 0xED ? 0x9F : 0xBF;
        else if (b0 >= 0xF0 && b0 <= 0xF4) extra = 3, lo = b0 == 0xF0 ? 0x90 : 0x80, hi = b0 == 0xF4 ? 0x8F : 0xBF;
        else {
            ++i;
            if (fail()) return false;
            continue;
        }
        int k = 1;
        for (; k <= extra; ++k) {
            if (i + k >= s.size()) break;
            const unsigned b = Byte(s, i + k);
            if (b < lo || b > hi) break;
            lo = 0x80;
            hi = 0xBF;
        }
        if (k <= extra && i + k >= s.size() && !wholeFile) break;  // cut by the end of the head
        i += static_cast<std::size_t>(k);
        if (k <= extra) {
            if (fail()) return false;
        } else {
            ++good;
        }
    }
    return good > 0 && bad * kUtf8Majority <= good;
}

struct TSjisReading {
    std::size_t Errors = 0;
    std::size_t Letters = 0;      // half-width kana 0xB1-0xDF
    std::size_t Punctuation = 0;  // half-width 0xA1-0xB0
    std::size_t HighDouble = 0;   // double-byte characters of lead 0xE0-0xFC
    std::size_t KanaPairs = 0;    // a voiced mark after a letter that takes it, a long-vowel mark after kana
    std::size_t Pos = 0;          // where reading goes on
    std::size_t RunStart = 0;     // first byte of the current run of bytes above 0x7F
};

// Whether the half-width kana Mark is a voiced or semi-voiced mark, long-vowel mark or small
// kana that follows the half-width kana Before in words (ﾊﾞ ﾊﾟ ｰ ｼｮ ﾌｧ ｯ).
bool TakesMark(unsigned before, unsigned mark) {
    // Worked out per case: most bytes are no mark, and this runs for every one of them.
    const auto hGroup = [before] { return before >= 0xCA && before <= 0xCE; };  // ha hi fu he ho
    const auto letter = [before] { return before >= 0xB1 && before <= 0xDD; };
    const auto marked = [before] { return before == 0xDE || before == 0xDF; };
    switch (mark) {
    case 0xDF: return hGroup();
    case 0xDE: return hGroup() || before == 0xB3 || (before >= 0xB6 && before <= 0xC4);
    case 0xB0: return letter() || marked() || (before >= 0xA7 && before <= 0xAF);
    case 0xAF: return letter();
    case 0xAC: case 0xAD: case 0xAE:  // small ya yu yo after the i column
        return marked() || before == 0xB7 || before == 0xBC || before == 0xC1 || before == 0xC6 || before == 0xCB ||
               before == 0xD0 || before == 0xD8;
    case 0xA7: case 0xA8: case 0xA9: case 0xAA: case 0xAB:  // small a i u e o
        return marked() || before == 0xB3 || before == 0xBC || (before >= 0xC1 && before <= 0xC4) || before == 0xCC;
    default: return false;
    }
}

// Reads S on as Shift-JIS from R.Pos up to UpTo (a character may end past it).
void ReadSjis(std::string_view s, std::size_t upTo, bool wholeFile, TSjisReading& r) {
    std::size_t i = r.Pos;
    while (i < upTo) {
        const unsigned b = Byte(s, i);
        if (b < 0x80) {
            r.RunStart = i = SkipAscii(s, i + 1, upTo);
        } else if (b >= 0xA1 && b <= 0xDF) {
            ++(b <= 0xB0 ? r.Punctuation : r.Letters);
            // A long-vowel mark where an EUC-JP lead byte would stand is the lead of common
            // kanji (0xB0: 以 位 一 引 ...): no vote. Nor does a run of two bytes vote.
            if (i > 0 && TakesMark(Byte(s, i - 1), b)) {
                const bool eucLeadPosition = (i - r.RunStart) % 2 == 0;
                const bool twoByteRun = i - r.RunStart == 1 && (i + 1 == s.size() || Byte(s, i + 1) < 0x80);
                if (!(b == 0xB0 && eucLeadPosition) && !twoByteRun) ++r.KanaPairs;
            }
            ++i;
        } else if (IsLeadByte(static_cast<unsigned char>(b))) {
            if (i + 1 == s.size()) {
                if (wholeFile) ++r.Errors;
                i = s.size();
                break;
            }
            const unsigned t = Byte(s, i + 1);
            if (t >= 0x40 && t <= 0xFC && t != 0x7F) {
                if (b >= 0xE0) ++r.HighDouble;
                i += 2;
            } else {
                ++r.Errors;
                ++i;
            }
        } else {
            ++r.Errors;
            ++i;
        }
    }
    r.Pos = i;
}

struct TEucReading {
    std::size_t Errors = 0;
    std::size_t Unknown = 0;    // well-formed pairs without a JIS X 0208 character
    std::size_t Pairs = 0;      // well-formed pairs, those included
    std::size_t KanaRun = 0;    // longest run of half-width kana (0x8E xx)
    std::size_t KanaPairs = 0;  // kana and punctuation (lead 0xA1, 0xA4, 0xA5)
    std::size_t RareKanji = 0;  // level-2 kanji and beyond (lead 0xD0-0xFE)
    std::size_t Pos = 0;        // where reading goes on
    std::size_t Run = 0;        // half-width kana just read in a row
};

// Reads S on as EUC-JP from R.Pos up to UpTo (a character may end past it).
void ReadEuc(std::string_view s, std::size_t upTo, bool wholeFile, TEucReading& r) {
    std::size_t i = r.Pos;
    const auto inRange = [&](std::size_t k) { return k < s.size() && Byte(s, k) >= 0xA1 && Byte(s, k) <= 0xFE; };
    while (i < upTo) {
        const unsigned b = Byte(s, i);
        const std::size_t need = b == 0x8F ? 3 : 2;
        if (b >= 0x80 && i + need > s.size() && !wholeFile) {  // cut by the end of the head
            i = s.size();
            break;
        }
        if (b < 0x80) {
            r.Run = 0;
            i = SkipAscii(s, i + 1, upTo);
        } else if (b == 0x8E && i + 1 < s.size() && Byte(s, i + 1) >= 0xA1 && Byte(s, i + 1) <= 0xDF) {
            r.KanaRun = std::max(r.KanaRun, ++r.Run);
            i += 2;
        } else if (b == 0x8F && inRange(i + 1) && inRange(i + 2)) {
            r.Run = 0;
            i += 3;
        } else if (b >= 0xA1 && b <= 0xFE && inRange(i + 1)) {
            // A row without characters (0xA9-0xAC, 0xAE-0xAF, 0xF5-0xFE ...) is no EUC-JP text.
            if (!encoding_detail::HoldsX0208Character(b - 0xA1, Byte(s, i + 1) - 0xA1)) ++r.Unknown;
            ++r.Pairs;
            if (b == 0xA1 || b == 0xA4 || b == 0xA5) ++r.KanaPairs;
            if (b >= 0xD0) ++r.RareKanji;
            r.Run = 0;
            i += 2;
        } else {
            r.Run = 0;
            ++r.Errors;
            ++i;
        }
    }
    r.Pos = i;
}

// The errors of an EUC-JP reading that count against it.
std::size_t Errors(const TEucReading& r) {
    const std::size_t forgiven = (r.Pairs - r.Unknown) / kUnknownAllowance;
    return r.Errors + (r.Unknown > forgiven ? r.Unknown - forgiven : 0);
}

#if defined(__x86_64__)
const bool kWideVectors = __builtin_cpu_supports("avx2") != 0;

// From I, past the 128-byte pieces of S that hold no byte above 0x7F and no 0x1B.
__attribute__((target("avx2"))) std::size_t SkipPlainWide(std::string_view s, std::size_t i) {
    const __m256i escape = _mm256_set1_epi8(0x1B);
    for (; i + 128 <= s.size(); i += 128) {
        const auto* p = reinterpret_cast<const __m256i*>(s.data() + i);
        const __m256i a = _mm256_loadu_si256(p), b = _mm256_loadu_si256(p + 1);
        const __m256i c = _mm256_loadu_si256(p + 2), d = _mm256_loadu_si256(p + 3);
        const __m256i high = _mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d));
        const __m256i esc = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(a, escape), _mm256_cmpeq_epi8(b, escape)),
                                            _mm256_or_si256(_mm256_cmpeq_epi8(c, escape), _mm256_cmpeq_epi8(d, escape)));
        if (_mm256_movemask_epi8(_mm256_or_si256(high, esc)) != 0) break;
    }
    return i;
}
#endif

// Decides a head that starts where the decision does (a byte above 0x7F or an escape).
std::optional<TFileEncoding> DecideHead(std::string_view head, bool wholeFile) {
    if (IsAscii(head)) return HasJisDesignation(head) ? std::optional<TFileEncoding>({TEncoding::Jis, false}) : std::nullopt;
    if (LooksUtf8(head, wholeFile)) return TFileEncoding{TEncoding::Utf8, false};

    // Both readings go on a stretch at a time; once one has many more errors than the
    // other, the rest would not change the outcome (most files end here within 1 KB).
    TSjisReading sjis;
    TEucReading euc;
    for (std::size_t upTo = 0; upTo < head.size();) {
        upTo = std::min(head.size(), upTo + std::clamp(upTo, kFirstStretch, kStretch));  // 64, 128, 256, ...
        ReadSjis(head, upTo, wholeFile, sjis);
        ReadEuc(head, upTo, wholeFile, euc);
        if (std::max(sjis.Errors, Errors(euc)) >= std::min(sjis.Errors, Errors(euc)) + kDecisiveErrors) break;
    }
    const TFileEncoding sjisFile{TEncoding::Sjis, false}, eucFile{TEncoding::EucJp, false};
    if (sjis.Errors != Errors(euc)) return sjis.Errors < Errors(euc) ? sjisFile : eucFile;
    if (euc.KanaRun >= 2) return eucFile;
    const std::size_t halfWidth = sjis.Letters + sjis.Punctuation;
    if (sjis.HighDouble > 0) return halfWidth > 0 ? eucFile : sjisFile;
    if (halfWidth == 0) return sjisFile;  // only 0x8E/0x8F-row kanji, or one EUC-JP half-width kana
    const std::size_t eucVotes = kKanaWeight * euc.KanaPairs;
    const std::size_t sjisVotes = sjis.KanaPairs + euc.RareKanji;
    if (eucVotes != sjisVotes) return eucVotes > sjisVotes ? eucFile : sjisFile;
    return eucFile;
}

}  // namespace

std::size_t FindDecidingByte(std::string_view bytes) {
    std::size_t i = 0;
    for (;;) {
        // 128 bytes at a time with AVX2, 64 with SSE2, else eight: a byte above 0x7F, or
        // one equal to 0x1B. A search reads every block of an ASCII file through here.
#if defined(__x86_64__)
        if (kWideVectors) i = SkipPlainWide(bytes, i);
        const __m128i escape = _mm_set1_epi8(0x1B);
        const auto marks = [&](std::size_t at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + at));
            return _mm_or_si128(v, _mm_cmpeq_epi8(v, escape));
        };
        for (; i + 64 <= bytes.size(); i += 64)
            if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(marks(i), marks(i + 16)),
                                               _mm_or_si128(marks(i + 32), marks(i + 48)))) != 0)
                break;
        for (; i + 16 <= bytes.size(); i += 16)
            if (_mm_movemask_epi8(marks(i)) != 0) break;
#endif
        for (; i + 8 <= bytes.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes.data() + i, 8);
            const std::uint64_t esc = word ^ 0x1B1B1B1B1B1B1B1BULL;
            if (((word | ((esc - 0x0101010101010101ULL) & ~esc)) & 0x8080808080808080ULL) != 0) break;
        }
        while (i < bytes.size() && Byte(bytes, i) < 0x80 && Byte(bytes, i) != 0x1B) ++i;
        if (i == bytes.size()) return std::string_view::npos;
        if (Byte(bytes, i) >= 0x80) return i;
        // An escape: a designation, or one that the end of Bytes may cut.
        const std::string_view rest = bytes.substr(i, 4);
        if (StartsWithDesignation(rest) || (rest.size() < 4 && IsDesignationPrefix(rest))) return i;
        ++i;
    }
}

bool StartsWithDesignation(std::string_view bytes) {
    return std::any_of(std::begin(kDesignations), std::end(kDesignations),
                       [&](std::string_view d) { return StartsWith(bytes, d); });
}

std::optional<TFileEncoding> DecideEncoding(std::string_view bytes, bool wholeFile, bool fileStart) {
    if (fileStart)
        for (const TEncoding kind : {TEncoding::Utf8, TEncoding::Utf16Le, TEncoding::Utf16Be})
            if (StartsWith(bytes, ByteOrderMark(kind))) return TFileEncoding{kind, true};
    const std::size_t from = FindDecidingByte(bytes);
    if (from == std::string_view::npos) return std::nullopt;
    const std::string_view head = bytes.substr(from, kDetectionBytes);
    return DecideHead(head, wholeFile && from + head.size() == bytes.size());
}

TFileEncoding DetectEncoding(std::string_view bytes, bool wholeFile) {
    return DecideEncoding(bytes, wholeFile).value_or(TFileEncoding{TEncoding::Sjis, false});
}

TFileEncoding WithFileMark(TFileEncoding chosen, std::string_view head) {
    switch (chosen.Kind) {
    case TEncoding::Utf16Le:
    case TEncoding::Utf16Be:
        if (StartsWith(head, ByteOrderMark(TEncoding::Utf16Le))) return {TEncoding::Utf16Le, true};
        if (StartsWith(head, ByteOrderMark(TEncoding::Utf16Be))) return {TEncoding::Utf16Be, true};
        return {chosen.Kind, false};
    case TEncoding::Utf8: return {TEncoding::Utf8, StartsWith(head, ByteOrderMark(TEncoding::Utf8))};
    default: return chosen;
    }
}

}  // namespace xavo
