// Byte scans for the hot loops of the search: finding any byte of a small set, counting
// line feeds, and normalising freshly read text. SSE2 where the machine has it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace xavo {

// Finds the first byte of a fixed set. One byte uses memchr; up to four use vector
// compares; more use a table.
class TByteFinder {
public:
    explicit TByteFinder(const std::vector<unsigned char>& bytes);
    // The first position in [p, end) holding a byte of the set, or end.
    const unsigned char* Find(const unsigned char* p, const unsigned char* end) const;
    bool Empty() const { return FBytes.empty(); }

private:
    std::vector<unsigned char> FBytes;
    std::array<bool, 256> FTable{};
};

// Number of line feeds in [p, end).
std::size_t CountLineFeeds(const unsigned char* p, const unsigned char* end);

// Position of the last line feed in [p, end), or nullptr.
const unsigned char* FindLastLineFeed(const unsigned char* p, const unsigned char* end);

// Rewrites [p, end) in place so that every NUL reads as a space and every CR that is not
// followed by a LF reads as a LF. The byte at end must be readable (the caller's sentinel
// or the next byte of the text); a CR just before end is judged by it.
void NormalizeText(unsigned char* p, unsigned char* end);

}  // namespace xavo
