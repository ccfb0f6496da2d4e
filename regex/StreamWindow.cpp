// Block reading and in-place normalisation for the fast search.
#include "StreamWindow.h"

#include "ByteScan.h"

#include <cstring>

namespace xavo {

TStreamWindow::TStreamWindow(const std::string& fileName, const std::atomic<bool>& cancelFlag,
                             const TIdleHook& idle, std::size_t blockSize)
    : FBlockSize(blockSize), FFile(OpenForReading(fileName)), FCancelFlag(cancelFlag), FIdle(idle) {
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
    // Drop what is no longer needed.
    if (FKeep > FBase) {
        const std::size_t drop = static_cast<std::size_t>(FKeep - FBase);
        std::memmove(FData, FData + drop, FSize - drop);
        FSize -= drop;
        FFinal -= drop;
        FBase = FKeep;
    }
    if (FCapacity < FSize + FBlockSize + 2) Reserve((FSize + FBlockSize) * 3 / 2 + 2);
    char* const into = reinterpret_cast<char*>(FData + FSize);
    const std::size_t n = ReadFully(FFile.Get(), into, FBlockSize);
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
        FLineFeedsToEnd += NormalizeText(FData + from, FData + FSize);
        FFinal = FSize;
    } else {
        FData[FSize] = '\0';
        FLineFeedsToEnd += NormalizeText(FData + from, FData + FSize - 1);
        const bool waitingCR = FData[FSize - 1] == '\r';
        if (!waitingCR) FLineFeedsToEnd += NormalizeText(FData + FSize - 1, FData + FSize);
        FFinal = FSize - (waitingCR ? 1 : 0);
    }
    if (FIdle) FIdle();
    if (FCancelFlag.load(std::memory_order_relaxed)) throw EGrepCancel();
    return true;
}

std::int32_t TStreamWindow::LineFeedsBefore(std::uint64_t pos) {
    // Count from the last position asked for or back from the end, whichever is nearer.
    const std::uint64_t end = End();
    if (FCountedTo >= FBase && FCountedTo <= pos && pos - FCountedTo <= end - pos)
        FCounted += CountLineFeeds(Ptr(FCountedTo), Ptr(pos));
    else if (FCountedTo >= FBase && pos < FCountedTo && FCountedTo - pos <= end - pos)
        FCounted -= CountLineFeeds(Ptr(pos), Ptr(FCountedTo));
    else
        FCounted = FLineFeedsToEnd - CountLineFeeds(Ptr(pos), Ptr(end));
    FCountedTo = pos;
    return static_cast<std::int32_t>(FCounted);
}

}  // namespace xavo
