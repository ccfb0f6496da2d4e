// Chunked break counts (see BreakIndex.h).
#include "BreakIndex.h"

#include "ByteScan.h"

#include <algorithm>

namespace xavo {
namespace {

const TByteFinder& BreakFinder() {
    static const TByteFinder finder({'\r', '\n'});
    return finder;
}

std::uint64_t BreakLength(const unsigned char* data, std::uint64_t size, std::uint64_t at) {
    return data[at] == '\r' && at + 1 < size && data[at + 1] == '\n' ? 2 : 1;
}

}  // namespace

void TBreakIndex::Build(const unsigned char* data, std::uint64_t size) {
    FChunks.clear();
    FTotal = {};
    FSize = 0;
    for (std::uint64_t at = 0; at < size;) {
        std::uint64_t end = std::min(size, at + kChunk);
        if (end < size && data[end - 1] == '\r' && data[end] == '\n') ++end;
        Append(data, at, end);
        at = end;
    }
}

void TBreakIndex::Append(const unsigned char* data, std::uint64_t oldSize, std::uint64_t newSize) {
    if (FChunks.empty() || oldSize - FChunks.back().Start >= kChunk) FChunks.push_back({oldSize, FTotal});
    const TLineBreakCount c = CountLineBreaks(data + oldSize, data + newSize);
    FTotal.Breaks += c.Breaks;
    FTotal.CrLfs += c.CrLfs;
    FSize = newSize;
}

TBreakIndex::TCounts TBreakIndex::Before(const unsigned char* data, std::uint64_t x) const {
    if (FChunks.empty()) return {};
    const auto it = std::upper_bound(FChunks.begin(), FChunks.end(), x,
                                     [](std::uint64_t value, const TChunk& c) { return value < c.Start; }) - 1;
    const TLineBreakCount c = CountLineBreaks(data + it->Start, data + x);
    return {it->Before.Breaks + c.Breaks, it->Before.CrLfs + c.CrLfs};
}

// Both searches below skip whole blocks of a chunk by counting them with the vector scan,
// and walk break by break only inside the block that holds the answer; a block never
// ends between the CR and the LF of a pair.
std::uint64_t TBreakIndex::BlockEnd(const unsigned char* data, std::uint64_t p) const {
    std::uint64_t e = std::min(FSize, p + kBlock);
    if (e < FSize && data[e - 1] == '\r' && data[e] == '\n') ++e;
    return e;
}

std::uint64_t TBreakIndex::FindBreak(const unsigned char* data, std::uint64_t size, std::uint64_t index) const {
    if (FChunks.empty() || index >= FTotal.Breaks) return size;
    const auto it = std::upper_bound(FChunks.begin(), FChunks.end(), index,
                                     [](std::uint64_t value, const TChunk& c) { return value < c.Before.Breaks; }) - 1;
    std::uint64_t n = it->Before.Breaks;
    std::uint64_t p = it->Start;
    while (p < size) {
        const std::uint64_t e = BlockEnd(data, p);
        const TLineBreakCount block = CountLineBreaks(data + p, data + e);
        if (n + block.Breaks <= index) {
            n += block.Breaks;
            p = e;
            continue;
        }
        for (;;) {
            const std::uint64_t q = static_cast<std::uint64_t>(BreakFinder().Find(data + p, data + e) - data);
            if (n == index || q >= e) return q;
            ++n;
            p = q + BreakLength(data, size, q);
        }
    }
    return size;
}

TBreakIndex::TViewHit TBreakIndex::FromView(const unsigned char* data, std::uint64_t size, std::uint64_t view) const {
    if (FChunks.empty()) return {};
    const auto chunkView = [](const TChunk& c) { return c.Start + c.Before.Breaks - c.Before.CrLfs; };
    const auto it = std::upper_bound(FChunks.begin(), FChunks.end(), view,
                                     [&](std::uint64_t value, const TChunk& c) { return value < chunkView(c); }) - 1;
    std::uint64_t p = it->Start;
    std::uint64_t at = chunkView(*it);  // the view offset of P
    while (p < size) {
        const std::uint64_t e = BlockEnd(data, p);
        const TLineBreakCount block = CountLineBreaks(data + p, data + e);
        if (at + (e - p) + block.Breaks - block.CrLfs <= view) {
            at += (e - p) + block.Breaks - block.CrLfs;
            p = e;
            continue;
        }
        for (;;) {
            const std::uint64_t q = static_cast<std::uint64_t>(BreakFinder().Find(data + p, data + e) - data);
            if (view < at + (q - p) || q >= e) return {p + (view - at), false, 0};
            at += q - p;
            const std::uint64_t length = BreakLength(data, size, q);
            if (view == at) return {q, false, length};
            if (view == at + 1) return {q, true, length};
            at += 2;
            p = q + length;
        }
    }
    return {size, false, 0};
}

}  // namespace xavo
