// Block reading and in-place normalisation for the fast search.
#include "StreamWindow.h"

#include "ByteScan.h"

#include <algorithm>
#include <cstring>

namespace xavo {

TStreamWindow::TStreamWindow(const std::string& fileName, const std::atomic<bool>& cancelFlag,
                             const TIdleHook& idle, std::size_t blockSize)
    : FBlockSize(blockSize), FOwnSource(std::make_unique<TFileSource>(fileName)), FSource(*FOwnSource),
      FCancelFlag(cancelFlag), FIdle(idle) {
    Reserve(FBlockSize * 2 + 16);
    FData[0] = '\n';
    FSize = FFinal = 1;
}

TStreamWindow::TStreamWindow(TByteSource& source, const std::atomic<bool>& cancelFlag, const TIdleHook& idle,
                             std::size_t blockSize)
    : FBlockSize(blockSize), FSource(source), FCancelFlag(cancelFlag), FIdle(idle) {
    Reserve(FBlockSize * 2 + 16);
    FData[0] = '\n';
    FSize = FFinal = 1;
}

void TStreamWindow::Reserve(std::size_t capacity) {
    auto* grown = static_cast<unsigned char*>(std::realloc(FBuffer.get(), capacity));
    if (grown == nullptr) throw std::bad_alloc();
    (void)FBuffer.release();
    FBuffer.reset(grown);
    FData = grown;
    FCapacity = capacity;
}

bool TStreamWindow::EnsureSlow(std::uint64_t pos) {
    while (pos >= FBase + FFinal)
        if (!ReadMore()) return false;
    return true;
}

bool TStreamWindow::ReadMore() {
    if (FAtEnd) return false;
    // Drop what is no longer needed, but never the last byte: at the end of the file it
    // decides whether a line feed must be added.
    if (FKeep > FBase && FSize > 1) {
        const std::size_t drop = static_cast<std::size_t>(std::min<std::uint64_t>(FKeep - FBase, FSize - 1));
        std::memmove(FData, FData + drop, FSize - drop);
        FSize -= drop;
        FFinal -= drop;
        FBase += drop;
    }
    if (FCapacity < FSize + FBlockSize + 2) Reserve((FSize + FBlockSize) * 3 / 2 + 2);
    char* const into = reinterpret_cast<char*>(FData + FSize);
    const std::size_t n = FSource.Read(into, FBlockSize);
    if (n == 0 && FFileBytes == 0) {
        FAtEnd = true;  // an empty file: nothing to search, no block was read
        return false;
    }
    FFileBytes += n;
    const std::size_t from = FFinal;  // a CR left waiting is judged again now
    FSize += n;
    if (n < FBlockSize) {
        FAtEnd = true;
        if (FData[FSize - 1] != '\n') FData[FSize++] = '\n';  // a trailing CR becomes CR LF
        FData[FSize] = '\0';
        Normalize(from, FSize);
        FFinal = FSize;
    } else {
        FData[FSize] = '\0';
        const bool waitingCR = FData[FSize - 1] == '\r';
        FFinal = FSize - (waitingCR ? 1 : 0);
        Normalize(from, FFinal);
    }
    if (FIdle) FIdle();
    if (FCancelFlag.load(std::memory_order_relaxed)) throw EGrepCancel();
    return true;
}

void TStreamWindow::Normalize(std::size_t from, std::size_t to) {
    // In pieces that end at multiples of kAnchorSpacing, each end noted with its count.
    while (from < to) {
        const std::uint64_t absolute = FBase + from;
        const std::uint64_t boundary = (absolute / kAnchorSpacing + 1) * kAnchorSpacing;
        const std::size_t pieceEnd = static_cast<std::size_t>(std::min<std::uint64_t>(boundary - FBase, to));
        FLineFeedsToEnd += NormalizeText(FData + from, FData + pieceEnd);
        if (FBase + pieceEnd == boundary) FAnchors.push_back({boundary, FLineFeedsToEnd});
        from = pieceEnd;
    }
}

std::int64_t TStreamWindow::LineFeedsBefore(std::uint64_t pos) {
    // Count on from the nearest known position at or before pos: the last one asked for,
    // or an anchor noted while normalising (at most kAnchorSpacing bytes away).
    while (!FAnchors.empty() && FAnchors.front().Pos < FBase) FAnchors.pop_front();
    std::uint64_t from = 0;
    std::uint64_t count = 0;
    bool known = false;
    const auto anchor = std::upper_bound(FAnchors.begin(), FAnchors.end(), pos,
                                         [](std::uint64_t p, const TAnchor& a) { return p < a.Pos; });
    if (anchor != FAnchors.begin()) {
        from = std::prev(anchor)->Pos;
        count = std::prev(anchor)->LineFeeds;
        known = true;
    }
    if (FCountedTo >= FBase && FCountedTo <= pos && (!known || FCountedTo >= from)) {
        from = FCountedTo;
        count = FCounted;
        known = true;
    }
    if (known) {
        FCounted = count + CountLineFeeds(Ptr(from), Ptr(pos));
    } else {
        FCounted = FLineFeedsToEnd - CountLineFeeds(Ptr(pos), Ptr(End()));
    }
    FCountedTo = pos;
    return static_cast<std::int64_t>(FCounted);
}

}  // namespace xavo
