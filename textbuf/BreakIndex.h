// Line breaks of one byte buffer, counted per chunk of about 4 KiB by one vector scan.
//
// A break is a CR LF, a lone CR or a lone LF. The index keeps, for each chunk, how many
// breaks and CR LF pairs lie before it; questions about a position inside a chunk scan at
// most that chunk. A chunk never ends between the CR and the LF of a pair. The buffer may
// grow at its end (the edit buffer); the index follows with Append.
//
// Besides byte offsets the index speaks of view offsets: the offset a byte would have if
// every break were the two bytes CR LF (View(x) = x + breaks before x - pairs before x).
#pragma once

#include <cstdint>
#include <vector>

namespace xavo {

class TBreakIndex {
public:
    static constexpr std::uint64_t kChunk = 4 * 1024;

    struct TCounts {
        std::uint64_t Breaks = 0;
        std::uint64_t CrLfs = 0;
    };

    // Indexes Data[0, Size) afresh.
    void Build(const unsigned char* data, std::uint64_t size);
    // Data[OldSize, NewSize) was appended; no CR LF pair may straddle OldSize.
    void Append(const unsigned char* data, std::uint64_t oldSize, std::uint64_t newSize);

    // Breaks and pairs that begin before X (X not between the CR and LF of a pair).
    TCounts Before(const unsigned char* data, std::uint64_t x) const;
    std::uint64_t View(const unsigned char* data, std::uint64_t x) const {
        const TCounts c = Before(data, x);
        return x + c.Breaks - c.CrLfs;
    }
    const TCounts& Total() const { return FTotal; }

    // Where break number Index (from 0, counted from the buffer's start) begins.
    std::uint64_t FindBreak(const unsigned char* data, std::uint64_t size, std::uint64_t index) const;

    // The byte at view offset View: its offset, or, for the second view byte of a break,
    // the break's start with Inside set. BreakBytes is the break's length in bytes when
    // the offset is a break's start (else 0).
    struct TViewHit {
        std::uint64_t At = 0;
        bool Inside = false;
        std::uint64_t BreakBytes = 0;
    };
    TViewHit FromView(const unsigned char* data, std::uint64_t size, std::uint64_t view) const;

private:
    static constexpr std::uint64_t kBlock = 256;
    std::uint64_t BlockEnd(const unsigned char* data, std::uint64_t p) const;

    struct TChunk {
        std::uint64_t Start;
        TCounts Before;
    };
    std::vector<TChunk> FChunks;
    TCounts FTotal;
    std::uint64_t FSize = 0;
};

}  // namespace xavo
