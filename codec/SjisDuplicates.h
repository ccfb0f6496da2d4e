// The Shift-JIS characters that have more than one code in CP932: the NEC-selected IBM
// extensions (0xED40-0xEEFC) repeat the IBM extensions (0xFA40-0xFC4B), and some NEC row 13
// and IBM codes repeat JIS X 0208 symbols. 396 characters, 398 duplicate codes, each with
// the code CP932's encoder writes for its character (the preferred code). Header only, with
// no ICU, so that the engine can widen a pattern to every code of its characters; the codec
// test holds the table equal to ICU's windows-31j. Entry point: ForEachSjisTwin.
#pragma once

#include <cstdint>

namespace xavo {

// A run of duplicate codes Duplicate .. Duplicate + Count - 1 whose preferred codes are
// Preferred .. Preferred + Count - 1.
struct TSjisDuplicateRun {
    std::uint16_t Duplicate;
    std::uint16_t Preferred;
    std::uint16_t Count;
};

inline constexpr TSjisDuplicateRun kSjisDuplicateRuns[] = {
    {0x8790, 0x81E0, 1},  {0x8791, 0x81DF, 1}, {0x8792, 0x81E7, 1},  {0x8795, 0x81E3, 1},  {0x8796, 0x81DB, 1},
    {0x8797, 0x81DA, 1},  {0x879A, 0x81E6, 1}, {0x879B, 0x81BF, 1},  {0x879C, 0x81BE, 1},  {0xED40, 0xFA5C, 35},
    {0xED63, 0xFA80, 28}, {0xED80, 0xFA9C, 97}, {0xEDE1, 0xFB40, 28}, {0xEE40, 0xFB5C, 35}, {0xEE63, 0xFB80, 28},
    {0xEE80, 0xFB9C, 97}, {0xEEE1, 0xFC40, 12}, {0xEEEF, 0xFA40, 10}, {0xEEF9, 0x81CA, 1},  {0xEEFA, 0xFA55, 3},
    {0xFA4A, 0x8754, 10}, {0xFA54, 0x81CA, 1},  {0xFA58, 0x878A, 1},  {0xFA59, 0x8782, 1},  {0xFA5A, 0x8784, 1},
    {0xFA5B, 0x81E6, 1},
};

// The code CP932's encoder writes for the character of Code (Code itself when it has one
// code only, or is no character).
constexpr std::uint16_t PreferredSjisCode(std::uint16_t code) {
    for (const TSjisDuplicateRun& run : kSjisDuplicateRuns)
        if (code >= run.Duplicate && code - run.Duplicate < run.Count)
            return static_cast<std::uint16_t>(run.Preferred + (code - run.Duplicate));
    return code;
}

// Calls Found(from, to) for ranges of codes that, with [Lo, Hi], hold every code of every
// character [Lo, Hi] has a code of: the other codes of its characters (a range may overlap
// [Lo, Hi] or come more than once).
template <class Found>
constexpr void ForEachSjisTwin(std::uint16_t lo, std::uint16_t hi, Found found) {
    // [From, To] of a run's codes starting at First, moved to the run's codes starting at To.
    const auto moved = [](unsigned code, unsigned first, unsigned target) {
        return static_cast<std::uint16_t>(code - first + target);
    };
    for (const TSjisDuplicateRun& run : kSjisDuplicateRuns) {
        const unsigned dupLast = run.Duplicate + run.Count - 1u, prefLast = run.Preferred + run.Count - 1u;
        // Duplicates in the range: their preferred codes, and the other duplicates of those
        // (¬ ∵ have three codes).
        const unsigned dupFrom = lo > run.Duplicate ? lo : run.Duplicate, dupTo = hi < dupLast ? hi : dupLast;
        if (dupFrom <= dupTo) {
            const unsigned pFrom = moved(dupFrom, run.Duplicate, run.Preferred), pTo = moved(dupTo, run.Duplicate, run.Preferred);
            found(static_cast<std::uint16_t>(pFrom), static_cast<std::uint16_t>(pTo));
            for (const TSjisDuplicateRun& other : kSjisDuplicateRuns) {
                const unsigned otherLast = other.Preferred + other.Count - 1u;
                const unsigned from = pFrom > other.Preferred ? pFrom : other.Preferred, to = pTo < otherLast ? pTo : otherLast;
                if (&other != &run && from <= to)
                    found(moved(from, other.Preferred, other.Duplicate), moved(to, other.Preferred, other.Duplicate));
            }
        }
        // Preferred codes in the range: their duplicates.
        const unsigned prefFrom = lo > run.Preferred ? lo : run.Preferred, prefTo = hi < prefLast ? hi : prefLast;
        if (prefFrom <= prefTo) found(moved(prefFrom, run.Preferred, run.Duplicate), moved(prefTo, run.Preferred, run.Duplicate));
    }
}

}  // namespace xavo
