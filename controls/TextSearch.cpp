// Literal search on Shift-JIS byte text (see TextSearch.h).
#include "TextSearch.h"

#include "SjisBytes.h"

#include <array>
#include <string>

namespace xavo {
namespace {


unsigned char At(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

}  // namespace

int SjisCharLength(std::string_view text, std::size_t pos) {
    return pos + 1 < text.size() && IsLeadByte(At(text, pos)) && IsTrailByte(At(text, pos + 1)) ? 2 : 1;
}

bool IsCharBoundary(std::string_view text, std::size_t pos) {
    // A byte that is no lead byte always ends a character (alone, or as a trail byte), so
    // the position after the nearest one is a boundary. Every lead-range byte is also a
    // valid trail, so the run of lead-range bytes after it pairs up from its start: an
    // even run ends on a boundary; an odd run leaves its last lead byte to pair with the
    // byte at Pos, if that is a trail byte.
    if (pos == 0 || pos >= text.size()) return true;
    std::size_t run = 0;
    while (run < pos && IsLeadByte(At(text, pos - 1 - run))) ++run;
    return run % 2 == 0 || !IsTrailByte(At(text, pos));
}

int SearchBuffer(std::string_view buffer, int selStart, int selLength, std::string_view pattern,
                 TFindOptions options) {
    const long long length = static_cast<long long>(buffer.size());
    const long long m = static_cast<long long>(pattern.size());
    if (length == 0 || m == 0) return -1;
    const bool down = (options & frDown) != 0;
    const bool wholeWord = (options & frWholeWord) != 0;
    long long first, last;
    if (down) {
        first = static_cast<long long>(selStart) + selLength;
        last = length - m;
        if (first < 0) first = 0;
        if (first > last) return -1;
    } else {
        first = static_cast<long long>(selStart) - m;
        last = 0;
        if (first < 0 || first > length) return -1;
        if (first > length - m) first = length - m;  // no match can run past the end
        if (first < 0) return -1;
    }

    std::array<unsigned char, 256> map;
    for (unsigned b = 0; b < 256; ++b) map[b] = static_cast<unsigned char>(b);
    std::string folded(pattern);
    bool foldCase = (options & frMatchCase) == 0;
    for (const char c : pattern)
        if (static_cast<unsigned char>(c) >= 0x80) foldCase = false;
    if (foldCase) {
        for (unsigned b = 'a'; b <= 'z'; ++b) map[b] = static_cast<unsigned char>(b - 'a' + 'A');
        for (char& c : folded) c = static_cast<char>(map[static_cast<unsigned char>(c)]);
    }

    const auto boundaries = [&](long long c) {
        return IsCharBoundary(buffer, static_cast<std::size_t>(c)) &&
               IsCharBoundary(buffer, static_cast<std::size_t>(c + m));
    };

    if (!foldCase && !wholeWord) {
        // Exact bytes: the library search (memchr for the first byte, then a compare).
        std::size_t c = static_cast<std::size_t>(first);
        for (;;) {
            const std::size_t hit = down ? buffer.find(pattern, c) : buffer.rfind(pattern, c);
            if (hit == std::string_view::npos) return -1;
            if (down && static_cast<long long>(hit) > last) return -1;
            if (boundaries(static_cast<long long>(hit))) return static_cast<int>(hit);
            if (!down && hit == 0) return -1;
            c = down ? hit + 1 : hit - 1;
        }
    }

    // Candidate by candidate, each step using one up; with frWholeWord the candidate is
    // first moved to a word start (forward: over the rest of a word, then delimiters;
    // backward: over delimiters, then a word, and back onto its first byte).
    const long long step = down ? 1 : -1;
    long long c = first;
    long long remaining = down ? last - first + 1 : first + 1;
    const auto isWord = [&](long long i) { return IsWordByte(At(buffer, static_cast<std::size_t>(i))); };
    while (remaining > 0) {
        if (wholeWord) {
            if (down) {
                while (remaining > 0 && isWord(c)) ++c, --remaining;
                while (remaining > 0 && !isWord(c)) ++c, --remaining;
                if (remaining == 0) break;
            } else {
                while (remaining > 0 && !isWord(c)) --c, --remaining;
                if (remaining == 0) break;
                while (remaining > 0 && isWord(c)) --c, --remaining;
                ++c, ++remaining;
            }
        }
        long long i = 0;
        while (i < m && map[At(buffer, static_cast<std::size_t>(c + i))] == static_cast<unsigned char>(folded[static_cast<std::size_t>(i)]))
            ++i;
        if (i == m && boundaries(c) && (!wholeWord || c + m == length || !isWord(c + m)))
            return static_cast<int>(c);
        c += step;
        --remaining;
    }
    return -1;
}

}  // namespace xavo
