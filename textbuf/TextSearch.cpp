// Literal search on Shift-JIS byte text (see TextSearch.h).
#include "TextSearch.h"

#include "SjisBytes.h"
#include "TextBuffer.h"

#include <algorithm>
#include <array>
#include <string>

namespace xavo {
namespace {

constexpr std::int64_t kBoundaryLookBack = 1024;

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

// ---------------------------------------------------------------------------------------
// A whole document, window by window

std::int64_t CharStartIn(const TTextBuffer& buffer, std::int64_t position) {
    position = std::clamp<std::int64_t>(position, 0, buffer.Length());
    const std::int64_t start = buffer.LineIndex(buffer.LineFromChar(position));
    const std::int64_t end = start + buffer.LineLength(start);
    if (position > end) return end;  // inside the break
    if (position == start || position == end) return position;
    // A run of lead-range bytes longer than the look-back (never in real text) is paired
    // from where the look-back starts.
    const std::int64_t from = std::max(start, position - kBoundaryLookBack);
    const std::string text = buffer.Text(from, position - from + 1);
    return IsCharBoundary(text, static_cast<std::size_t>(position - from)) ? position : position - 1;
}

namespace {

// The windows of one search. A window starts at a line start, or on a character boundary
// before the first candidate, and ends at a line end or a character boundary, with the
// byte after it read too: the boundaries and word delimiters seen inside are those of the
// whole text. Lines longer than the window are cut (a line of gigabytes is read piece by
// piece). A text stored in one piece with CR LF breaks only (an unedited Windows file) is
// its own view text: windows are then views of it, nothing is copied.
class TWindows {
public:
    TWindows(const TTextBuffer& buffer, std::string_view pattern, std::int64_t window)
        : FBuffer(buffer), FPattern(pattern), FLength(buffer.Length()), FWindow(std::max<std::int64_t>(window, 1)),
          FForeign(pattern.find('?') != std::string_view::npos && buffer.HasForeign()) {
        if (buffer.RawLength() != FLength) return;
        int pieces = 0;
        buffer.ForEachRawSpan([&](std::string_view span) {
            FFlat = span;
            return ++pieces < 2;
        });
        if (pieces != 1 || static_cast<std::int64_t>(FFlat.size()) != FLength) FFlat = {};
    }

    std::int64_t Length() const { return FLength; }
    std::int64_t Window() const { return FWindow; }
    std::int64_t LineStart(std::int64_t position) const { return FBuffer.LineIndex(FBuffer.LineFromChar(position)); }
    std::int64_t LineEnd(std::int64_t position) const {
        const std::int64_t start = LineStart(position);
        return std::min(FLength, std::max(position, start + FBuffer.LineLength(start)));
    }
    std::int64_t CharStart(std::int64_t position) const { return CharStartIn(FBuffer, position); }

    // The text of [From, To) and the byte after it.
    std::string_view Text(std::int64_t from, std::int64_t to) {
        to = std::min(FLength, to + 1);
        if (!FFlat.empty()) return FFlat.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
        FCopy = FBuffer.Text(from, to - from);
        return FCopy;
    }

    // Whether a match at At stands only on what the pattern says: no '?' of it on a
    // foreign unit's placeholder.
    bool Accepts(std::int64_t at) const {
        if (!FForeign) return true;
        for (std::size_t i = FPattern.find('?'); i != std::string_view::npos; i = FPattern.find('?', i + 1))
            if (FBuffer.IsForeign(at + static_cast<std::int64_t>(i))) return false;
        return true;
    }

private:
    const TTextBuffer& FBuffer;
    std::string_view FPattern;
    std::int64_t FLength;
    std::int64_t FWindow;
    bool FForeign;
    std::string_view FFlat;
    std::string FCopy;
};

// The forward window that holds the candidates from First on: its start and end.
std::pair<std::int64_t, std::int64_t> ForwardWindow(const TWindows& w, std::int64_t first, std::int64_t m) {
    const std::int64_t ls = w.LineStart(first);
    const std::int64_t ws = first - ls <= w.Window() ? ls : w.CharStart(first - 1);
    const std::int64_t target = std::min(w.Length(), std::max(ws + w.Window(), first + m + 2));
    const std::int64_t le = w.LineEnd(target);
    const std::int64_t we = le - target <= w.Window() ? le : w.CharStart(target);
    return {ws, we};
}

}  // namespace

std::int64_t FindInBuffer(const TTextBuffer& buffer, std::string_view pattern, std::int64_t selStart,
                          std::int64_t selLength, TFindOptions options, std::int64_t window) {
    const std::int64_t m = static_cast<std::int64_t>(pattern.size());
    if (buffer.Length() == 0 || m == 0) return -1;
    TWindows w(buffer, pattern, window);
    const std::int64_t length = w.Length();
    if ((options & frDown) != 0) {
        // First: where the search's scan starts (a whole word is looked for after the word there).
        std::int64_t first = std::max<std::int64_t>(0, selStart + selLength);
        while (first <= length - m) {
            const auto [ws, we] = ForwardWindow(w, first, m);
            const std::string_view text = w.Text(ws, we);
            int from = static_cast<int>(first - ws), selected = 0;
            for (;;) {
                const int hit = SearchBuffer(text, from, selected, pattern, options);
                if (hit < 0 || ws + hit + m > we) break;
                if (w.Accepts(ws + hit)) return ws + hit;
                from = hit;  // on from the next byte
                selected = 1;
            }
            if (we >= length) break;
            // Every candidate up to We - M is decided; the scan goes on from there (a match
            // across the window's end is found next).
            first = we - m;
        }
        return -1;
    }
    std::int64_t end = std::min(selStart, length);
    std::int64_t previous = length + 1;  // where the last window started
    while (end - m >= 0) {
        const std::int64_t le = w.LineEnd(end);
        const std::int64_t we = le - end <= w.Window() ? le : (w.CharStart(end) == end ? end : end + 1);
        const std::int64_t target = std::min(previous - 1, std::max<std::int64_t>(0, end - m - w.Window()));
        const std::int64_t ls = w.LineStart(target);
        const std::int64_t ws = target - ls <= w.Window() ? ls : w.CharStart(target);
        previous = ws;
        const std::string_view text = w.Text(ws, we);
        int before = static_cast<int>(end - ws);
        int hit = -1;
        for (;;) {
            hit = SearchBuffer(text, before, 0, pattern, options);
            if (hit < 0 || w.Accepts(ws + hit)) break;
            before = hit + static_cast<int>(m) - 1;  // on from the byte before
        }
        if (hit > 0 || (hit == 0 && (ws == ls || (options & frWholeWord) == 0))) return ws + hit;
        if (hit == 0) {
            end = ws + m;  // a word cut by the window's start: again, with the bytes before it
            continue;
        }
        if (ws == 0) break;
        end = std::min(end, ws - 1 + m);
    }
    return -1;
}

TFoundAll FindAllInBuffer(const TTextBuffer& buffer, std::string_view pattern, std::int64_t from, TFindOptions options,
                          const std::function<bool(std::int64_t, std::int64_t)>& progress, std::int64_t window) {
    TFoundAll found;
    const std::int64_t m = static_cast<std::int64_t>(pattern.size());
    if (buffer.Length() == 0 || m == 0) return found;
    options |= frDown;
    TWindows w(buffer, pattern, window);
    const std::int64_t length = w.Length();
    std::int64_t first = std::max<std::int64_t>(0, from);
    while (first <= length - m) {
        const auto [ws, we] = ForwardWindow(w, first, m);
        const std::string_view text = w.Text(ws, we);
        int at = static_cast<int>(first - ws), selected = 0;
        std::int64_t next = we - m;  // where the next window's scan starts
        for (;;) {
            const int hit = SearchBuffer(text, at, selected, pattern, options);
            if (hit < 0 || ws + hit + m > we) break;
            if (w.Accepts(ws + hit)) {
                found.Starts.push_back(ws + hit);
                next = std::max(next, ws + hit + m);
                at = hit + static_cast<int>(m);
                selected = 0;
            } else {
                at = hit;
                selected = 1;
            }
        }
        if (progress && !progress(std::min(we, length), length)) {
            found.Starts.clear();
            found.Cancelled = true;
            return found;
        }
        if (we >= length) break;
        first = next;
    }
    return found;
}

}  // namespace xavo
