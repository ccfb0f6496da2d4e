// The text stream of one file for the fast search, held in a sliding window.
//
// Stream position 0 is a line feed; then the file's bytes follow with every NUL turned
// into a space and every lone CR into a LF, in place; a CR LF stays as two bytes (readers
// skip the CR); a final LF is added when the file lacks one. The file is read in blocks of
// 102400 bytes; after each block the idle hook runs and the cancel flag is honoured.
// Positions are absolute; bytes before the keep position may be dropped when reading on.
#pragma once

#include "TxtFile.h"

#include <cstdint>
#include <deque>
#include <cstdlib>
#include <memory>
#include <vector>

namespace xavo {

class TStreamWindow {
public:
    static constexpr std::size_t kBlockSize = TTxtFile::kBuffSize;

    // Opens the file. Raises EFileNotFound. Reads nothing yet.
    TStreamWindow(const std::string& fileName, const std::atomic<bool>& cancelFlag, const TIdleHook& idle,
                  std::size_t blockSize = kBlockSize);
    // Reads Source, which must outlive the window. Reads nothing yet.
    TStreamWindow(TByteSource& source, const std::atomic<bool>& cancelFlag, const TIdleHook& idle,
                  std::size_t blockSize = kBlockSize);

    // Makes the stream available up to and including pos; false when the stream ends before
    // pos. Raises EInOutError and EGrepCancel. May move the data (pointers go stale).
    bool Ensure(std::uint64_t pos) { return pos < FBase + FFinal || EnsureSlow(pos); }
    // Reads one more block; false at the end of the file.
    bool ReadMore();

    unsigned char At(std::uint64_t pos) const { return FData[static_cast<std::size_t>(pos - FBase)]; }
    const unsigned char* Ptr(std::uint64_t pos) const { return FData + (pos - FBase); }
    std::uint64_t Base() const { return FBase; }
    // Where the byte at Pos lies in what the source gave (the stream starts with a line
    // feed of its own).
    static std::uint64_t SourceOffset(std::uint64_t pos) { return pos - 1; }
    // End of the bytes that are final (a trailing CR waits for its next byte).
    std::uint64_t End() const { return FBase + FFinal; }
    bool AtEnd() const { return FAtEnd; }

    // Bytes before pos are no longer needed.
    void Keep(std::uint64_t pos) { FKeep = pos; }

    // Number of line feeds in [0, pos); pos must lie in the window, at or before End().
    std::int64_t LineFeedsBefore(std::uint64_t pos);

private:
    bool EnsureSlow(std::uint64_t pos);
    void Reserve(std::size_t capacity);
    void Normalize(std::size_t from, std::size_t to);

    // Line feeds counted up to every multiple of this many stream bytes, so that a line
    // number costs at most this much counting.
    static constexpr std::uint64_t kAnchorSpacing = 4096;
    struct TAnchor {
        std::uint64_t Pos;
        std::uint64_t LineFeeds;  // in [0, Pos)
    };
    std::deque<TAnchor> FAnchors;

    std::size_t FBlockSize;
    std::unique_ptr<TFileSource> FOwnSource;
    TByteSource& FSource;
    const std::atomic<bool>& FCancelFlag;
    const TIdleHook& FIdle;
    // Stream bytes from FBase, with room for a sentinel. Grown with realloc, which moves
    // large blocks by remapping pages: a very long line costs its own size, not twice it.
    struct TFree {
        void operator()(unsigned char* p) const { std::free(p); }
    };
    std::unique_ptr<unsigned char, TFree> FBuffer;
    unsigned char* FData = nullptr;
    std::size_t FCapacity = 0;
    std::uint64_t FBase = 0;
    std::size_t FSize = 0;             // bytes held
    std::size_t FFinal = 0;            // bytes that are final
    std::uint64_t FKeep = 0;
    std::uint64_t FFileBytes = 0;
    bool FAtEnd = false;
    std::uint64_t FLineFeedsToEnd = 1; // line feeds in [0, End()), counted as blocks arrive
    std::uint64_t FCountedTo = 0;      // the last position asked for, and its count
    std::uint64_t FCounted = 0;
};

}  // namespace xavo
