// The detection rule. Shift-JIS against EUC-JP works from the byte ranges, not from a
// statistical model, so that it decides a few characters as well as a long text:
//   1. A reading with fewer ill-formed sequences wins. Most Shift-JIS text is not EUC-JP at
//      all: kana (0x82, 0x83), punctuation (0x81) and most kanji (0x88-0x9F) lead bytes are
//      outside EUC-JP; EUC-JP trail bytes 0xFD-0xFE are outside Shift-JIS.
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
//         in text, while half-width letters 0xD0-0xDD are common) weighs one. A row of
//         JIS X 0208 without characters is an error of the EUC-JP reading (1.).
//      d. A tie: EUC-JP. On Linux, EUC-JP files are far commoner than Shift-JIS files of
//         half-width katakana alone, and such files rarely lack the pairs of c.
#include "Detect.h"

#include "JisTables.h"
#include "SjisBytes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

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

unsigned char Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool HasJisDesignation(std::string_view s) {
    for (std::size_t i = s.find('\x1B'); i != std::string_view::npos; i = s.find('\x1B', i + 1)) {
        const std::string_view rest = s.substr(i + 1, 3);
        if (StartsWith(rest, "$B") || StartsWith(rest, "$@") || StartsWith(rest, "(J") || StartsWith(rest, "(I") ||
            StartsWith(rest, "$(D"))
            return true;
    }
    return false;
}

// Valid UTF-8 with at least one multi-byte sequence (a sequence cut by the end of a partial
// head counts as one).
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

bool LooksUtf8(std::string_view s, bool wholeFile) {
    bool multiByte = false;
    std::size_t i = 0;
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
            multiByte = true;
            i += 3;
            continue;
        }
        int extra;
        unsigned lo = 0x80, hi = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) extra = 1;
        else if (b0 >= 0xE0 && b0 <= 0xEF) extra = 2, lo = b0 == 0xE0 ? 0xA0 : 0x80, hi = b0 == 0xED ? 0x9F : 0xBF;
        else if (b0 >= 0xF0 && b0 <= 0xF4) extra = 3, lo = b0 == 0xF0 ? 0x90 : 0x80, hi = b0 == 0xF4 ? 0x8F : 0xBF;
        else return false;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= s.size()) return !wholeFile;
            const unsigned b = Byte(s, i + k);
            if (b < lo || b > hi) return false;
            lo = 0x80;
            hi = 0xBF;
        }
        multiByte = true;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return multiByte;
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
    const bool hGroup = before >= 0xCA && before <= 0xCE;  // ha hi fu he ho
    const bool letter = before >= 0xB1 && before <= 0xDD;
    const bool marked = before == 0xDE || before == 0xDF;
    switch (mark) {
    case 0xDF: return hGroup;
    case 0xDE: return hGroup || before == 0xB3 || (before >= 0xB6 && before <= 0xC4);
    case 0xB0: return letter || marked || (before >= 0xA7 && before <= 0xAF);
    case 0xAF: return letter;
    case 0xAC: case 0xAD: case 0xAE:  // small ya yu yo after the i column
        return marked || before == 0xB7 || before == 0xBC || before == 0xC1 || before == 0xC6 || before == 0xCB ||
               before == 0xD0 || before == 0xD8;
    case 0xA7: case 0xA8: case 0xA9: case 0xAA: case 0xAB:  // small a i u e o
        return marked || before == 0xB3 || before == 0xBC || (before >= 0xC1 && before <= 0xC4) || before == 0xCC;
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
            // kanji (0xB0: 以 位 一 引 ...): no vote.
            const bool eucLeadPosition = (i - r.RunStart) % 2 == 0;
            if (i > 0 && TakesMark(Byte(s, i - 1), b) && !(b == 0xB0 && eucLeadPosition)) ++r.KanaPairs;
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
            if (!encoding_detail::HoldsX0208Character(b - 0xA1, Byte(s, i + 1) - 0xA1)) ++r.Errors;
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

}  // namespace

TFileEncoding DetectEncoding(std::string_view head, bool wholeFile) {
    if (head.size() > kDetectionBytes) {
        head = head.substr(0, kDetectionBytes);
        wholeFile = false;
    }
    for (const TEncoding kind : {TEncoding::Utf8, TEncoding::Utf16Le, TEncoding::Utf16Be})
        if (StartsWith(head, ByteOrderMark(kind))) return {kind, true};

    if (IsAscii(head)) return {HasJisDesignation(head) ? TEncoding::Jis : TEncoding::Sjis, false};
    if (LooksUtf8(head, wholeFile)) return {TEncoding::Utf8, false};

    // Both readings go on a stretch at a time; once one has many more errors than the
    // other, the rest would not change the outcome (most files end here within 1 KB).
    TSjisReading sjis;
    TEucReading euc;
    for (std::size_t upTo = 0; upTo < head.size();) {
        upTo = std::min(head.size(), upTo + std::clamp(upTo, kFirstStretch, kStretch));  // 64, 128, 256, ...
        ReadSjis(head, upTo, wholeFile, sjis);
        ReadEuc(head, upTo, wholeFile, euc);
        if (std::max(sjis.Errors, euc.Errors) >= std::min(sjis.Errors, euc.Errors) + kDecisiveErrors) break;
    }
    const TFileEncoding sjisFile{TEncoding::Sjis, false}, eucFile{TEncoding::EucJp, false};
    if (sjis.Errors != euc.Errors) return sjis.Errors < euc.Errors ? sjisFile : eucFile;
    if (euc.KanaRun >= 2) return eucFile;
    const std::size_t halfWidth = sjis.Letters + sjis.Punctuation;
    if (sjis.HighDouble > 0) return halfWidth > 0 ? eucFile : sjisFile;
    if (halfWidth == 0) return sjisFile;  // only 0x8E/0x8F-row kanji, or one EUC-JP half-width kana
    const std::size_t eucVotes = kKanaWeight * euc.KanaPairs;
    const std::size_t sjisVotes = sjis.KanaPairs + euc.RareKanji;
    if (eucVotes != sjisVotes) return eucVotes > sjisVotes ? eucFile : sjisFile;
    return eucFile;
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
