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
//         Japanese text; for Shift-JIS, each voiced sound mark after a letter that takes it
//         and each long-vowel mark after a kana, the commonest pairs of half-width text.
//         Still tied: EUC-JP when punctuation and small kana (0xA1-0xB0) outnumber letters
//         (0xB1-0xDF), as EUC-JP kana put 0xA4 or 0xA5 in every second byte.
//      d. Otherwise (a tie, level-2 kanji only): Shift-JIS, the native encoding.
#include "Detect.h"

#include <algorithm>

namespace xavo {
namespace {

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
bool LooksUtf8(std::string_view s, bool wholeFile) {
    bool multiByte = false;
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned b0 = Byte(s, i);
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
};

// Whether half-width Mark (0xDE voiced, 0xDF semi-voiced, 0xB0 long vowel) may follow the
// half-width kana Before.
bool TakesMark(unsigned before, unsigned mark) {
    const bool hGroup = before >= 0xCA && before <= 0xCE;  // ha hi fu he ho
    if (mark == 0xDF) return hGroup;
    if (mark == 0xDE) return hGroup || before == 0xB3 || (before >= 0xB6 && before <= 0xC4);
    return (before >= 0xA6 && before <= 0xAF) || (before >= 0xB1 && before <= 0xDF);
}

TSjisReading ReadSjis(std::string_view s, bool wholeFile) {
    TSjisReading r;
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned b = Byte(s, i);
        if (b < 0x80) {
            ++i;
        } else if (b >= 0xA1 && b <= 0xDF) {
            ++(b <= 0xB0 ? r.Punctuation : r.Letters);
            if ((b == 0xDE || b == 0xDF || b == 0xB0) && i > 0 && TakesMark(Byte(s, i - 1), b)) ++r.KanaPairs;
            ++i;
        } else if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
            if (i + 1 == s.size()) {
                if (wholeFile) ++r.Errors;
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
    return r;
}

struct TEucReading {
    std::size_t Errors = 0;
    std::size_t KanaRun = 0;    // longest run of half-width kana (0x8E xx)
    std::size_t KanaPairs = 0;  // kana and punctuation (lead 0xA1, 0xA4, 0xA5)
};

TEucReading ReadEuc(std::string_view s, bool wholeFile) {
    TEucReading r;
    std::size_t run = 0;
    std::size_t i = 0;
    const auto inRange = [&](std::size_t k) { return k < s.size() && Byte(s, k) >= 0xA1 && Byte(s, k) <= 0xFE; };
    while (i < s.size()) {
        const unsigned b = Byte(s, i);
        const std::size_t need = b == 0x8F ? 3 : 2;
        if (b >= 0x80 && i + need > s.size() && !wholeFile) break;  // cut by the end of the head
        if (b < 0x80) {
            run = 0;
            ++i;
        } else if (b == 0x8E && i + 1 < s.size() && Byte(s, i + 1) >= 0xA1 && Byte(s, i + 1) <= 0xDF) {
            r.KanaRun = std::max(r.KanaRun, ++run);
            i += 2;
        } else if (b == 0x8F && inRange(i + 1) && inRange(i + 2)) {
            run = 0;
            i += 3;
        } else if (b >= 0xA1 && b <= 0xFE && inRange(i + 1)) {
            if (b == 0xA1 || b == 0xA4 || b == 0xA5) ++r.KanaPairs;
            run = 0;
            i += 2;
        } else {
            run = 0;
            ++r.Errors;
            ++i;
        }
    }
    return r;
}

}  // namespace

TFileEncoding DetectEncoding(std::string_view head, bool wholeFile) {
    if (head.size() > kDetectionBytes) {
        head = head.substr(0, kDetectionBytes);
        wholeFile = false;
    }
    for (const TEncoding kind : {TEncoding::Utf8, TEncoding::Utf16Le, TEncoding::Utf16Be})
        if (StartsWith(head, ByteOrderMark(kind))) return {kind, true};

    bool highBytes = false;
    for (const char c : head) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            highBytes = true;
            break;
        }
    }
    if (!highBytes) return {HasJisDesignation(head) ? TEncoding::Jis : TEncoding::Sjis, false};
    if (LooksUtf8(head, wholeFile)) return {TEncoding::Utf8, false};

    const TSjisReading sjis = ReadSjis(head, wholeFile);
    const TEucReading euc = ReadEuc(head, wholeFile);
    const TFileEncoding sjisFile{TEncoding::Sjis, false}, eucFile{TEncoding::EucJp, false};
    if (sjis.Errors != euc.Errors) return sjis.Errors < euc.Errors ? sjisFile : eucFile;
    if (euc.KanaRun >= 2) return eucFile;
    if (sjis.HighDouble > 0) return sjis.Letters + sjis.Punctuation > 0 ? eucFile : sjisFile;
    if (euc.KanaPairs != sjis.KanaPairs) return euc.KanaPairs > sjis.KanaPairs ? eucFile : sjisFile;
    return sjis.Punctuation > sjis.Letters ? eucFile : sjisFile;
}

}  // namespace xavo
