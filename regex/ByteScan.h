// Byte scans for the hot loops of the search: finding any byte of a small set, counting
// line feeds, and normalising freshly read text. SSE2 where the machine has it, AVX2
// where the processor has it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace xavo {

// Whether the scans may use 32-byte vectors where the processor has them (the default);
// returns whether they now do. Tests switch them off to check the 16-byte paths.
bool UseWideVectors(bool use);

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

// Finds where one of a few character codes begins (ignoring character boundaries): a
// single-byte code by its byte, a double-byte code by its lead byte followed by its trail
// byte, all compared 16 positions at a time.
class TCodeSetFinder {
public:
    TCodeSetFinder() = default;
    explicit TCodeSetFinder(const std::vector<std::uint16_t>& codes);
    // The first position in [p, end) where a code of the set begins and wholly lies, or
    // end. Remembers the last positions compared (16 or 32), so that calls moving forward through
    // one stretch of text do not compare them again.
    const unsigned char* Find(const unsigned char* p, const unsigned char* end);
    bool Empty() const { return FSingles.empty() && FLeads.empty(); }
    // The text moved or changed: compare afresh.
    void Forget() { FChunkEnd = nullptr; }

    // The set laid out for the vector compares: each byte repeated over 32 positions, so
    // that a scan of either width loads its needles instead of building them on every
    // call. The slot counts pick an unrolled compare; unused slots repeat a real entry.
    struct TNeedles {
        alignas(32) unsigned char Singles[8][32];
        alignas(32) unsigned char Leads[2][32];
        alignas(32) unsigned char Trails[2][8][32];
        std::uint8_t SingleSlots;  // 0, 2 or 8
        std::uint8_t LeadSlots;    // 0, 1 or 2
        std::uint8_t TrailSlots;   // 2, 4 or 8
        bool Fits;  // false when the set is larger: plain loops then
    };

private:
    TNeedles FNeedles{};
    std::vector<unsigned char> FSingles;
    struct TLead {
        unsigned char Byte;
        std::vector<unsigned char> Trails;
    };
    std::vector<TLead> FLeads;
    std::array<bool, 256> FStarts{};  // the singles and the leads: where a code may begin
    const unsigned char* FChunk = nullptr;  // positions FChunk .. FChunk + FChunkWidth - 1 were compared
    std::ptrdiff_t FChunkWidth = 16;
    const unsigned char* FChunkEnd = nullptr;
    std::uint32_t FChunkMask = 0;
};

// What the two literal finders share: the literal, and the offsets of the two of its
// bytes (the caller picks rare ones) that are compared 16 or 32 positions at a time
// before a position is confirmed in full.
class TPairFinder {
public:
    bool Empty() const { return FLiteral.empty(); }
    std::size_t Size() const { return FLiteral.size(); }

protected:
    TPairFinder() = default;
    // First and Second are offsets into Literal, in either order (equal for one byte).
    TPairFinder(std::string literal, std::size_t first, std::size_t second);

    std::string FLiteral;
    std::size_t FFirst = 0;  // the smaller offset
    std::size_t FSecond = 0;
};

// Finds a byte string; each position where the two bytes agree is confirmed with memcmp.
class TLiteralFinder : public TPairFinder {
public:
    TLiteralFinder() = default;
    // Literal must not be empty.
    TLiteralFinder(std::string literal, std::size_t first, std::size_t second)
        : TPairFinder(std::move(literal), first, second) {}
    // The first position in [p, end) where the whole literal lies before end, or end.
    const unsigned char* Find(const unsigned char* p, const unsigned char* end) const;
};

// Finds an ASCII string whatever the case of its letters: the two bytes are compared with
// the case bit masked, and each hit is confirmed in full.
class TFoldedLiteralFinder : public TPairFinder {
public:
    TFoldedLiteralFinder() = default;
    // Literal: printable ASCII, letters in lower case.
    TFoldedLiteralFinder(std::string literal, std::size_t first, std::size_t second)
        : TPairFinder(std::move(literal), first, second) {}
    // The first position in [p, end) where the literal lies before end in any case, or end.
    const unsigned char* Find(const unsigned char* p, const unsigned char* end) const;

private:
    bool MatchesAt(const unsigned char* p) const;
};

// Number of line feeds in [p, end).
std::size_t CountLineFeeds(const unsigned char* p, const unsigned char* end);

// Line breaks in [p, end) taken as a whole text: each CR LF, lone CR and lone LF is one
// break; CrLfs counts the CR LF pairs among them.
struct TLineBreakCount {
    std::size_t Breaks = 0;
    std::size_t CrLfs = 0;
};
TLineBreakCount CountLineBreaks(const unsigned char* p, const unsigned char* end);

// Position of the last line feed in [p, end), or nullptr.
const unsigned char* FindLastLineFeed(const unsigned char* p, const unsigned char* end);

// Rewrites [p, end) in place so that every NUL reads as a space and every CR that is not
// followed by a LF reads as a LF, and returns the number of line feeds in [p, end) after
// that. The byte at end must be readable (the caller's sentinel or the next byte of the
// text); a CR just before end is judged by it.
std::size_t NormalizeText(unsigned char* p, unsigned char* end);

}  // namespace xavo
