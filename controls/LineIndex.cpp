// Line byte positions (Fenwick tree) and per-line unit <-> byte maps.
#include "LineIndex.h"

#include "SjisCodec.h"

#include <algorithm>

namespace xavo {

void TLineIndex::Assign(std::vector<int> lengths) {
    if (lengths.empty()) lengths.push_back(0);
    FLengths = std::move(lengths);
    FDirty = true;
}

void TLineIndex::Replace(int first, int count, const std::vector<int>& lengths) {
    const auto begin = FLengths.begin() + first;
    if (count == 1 && lengths.size() == 1) {
        // One line edited in place, the common case while typing: a point update.
        const int delta = lengths[0] - *begin;
        *begin = lengths[0];
        if (!FDirty)
            for (std::size_t i = static_cast<std::size_t>(first) + 1; i <= FLengths.size(); i += i & (~i + 1))
                FTree[i] += delta;
        return;
    }
    FLengths.erase(begin, begin + count);
    FLengths.insert(FLengths.begin() + first, lengths.begin(), lengths.end());
    if (FLengths.empty()) FLengths.push_back(0);
    FDirty = true;
}

void TLineIndex::Rebuild() const {
    const std::size_t n = FLengths.size();
    FTree.assign(n + 1, 0);
    for (std::size_t i = 1; i <= n; ++i) {
        FTree[i] += FLengths[i - 1] + 2;
        const std::size_t parent = i + (i & (~i + 1));
        if (parent <= n) FTree[parent] += FTree[i];
    }
    FDirty = false;
}

std::int64_t TLineIndex::Start(int line) const {
    if (FDirty) Rebuild();
    std::int64_t sum = 0;
    for (std::size_t i = static_cast<std::size_t>(std::clamp(line, 0, LineCount())); i > 0; i -= i & (~i + 1))
        sum += FTree[i];
    return sum;
}

int TLineIndex::LineOf(std::int64_t position) const {
    if (FDirty) Rebuild();
    // Descend the tree for the number of whole lines (length + 2 each) that end at or
    // before Position: that many lines lie before the one containing it.
    const std::size_t n = FLengths.size();
    std::size_t step = 1;
    while (step * 2 <= n) step *= 2;
    std::size_t line = 0;
    std::int64_t rest = position;
    for (; step > 0; step /= 2) {
        if (line + step <= n && FTree[line + step] <= rest) {
            line += step;
            rest -= FTree[line];
        }
    }
    return static_cast<int>(std::min(line, n - 1));
}

TLineMap::TLineMap(std::u16string text) : FText(std::move(text)) {
    const std::u16string_view view(FText);
    int bytes = 0;
    for (std::size_t at = 0; at < view.size(); at += kCheckpointUnits) {
        FCheckpoints.push_back(bytes);
        bytes += static_cast<int>(SjisLength(view.substr(at, kCheckpointUnits)));
    }
    FBytes = bytes;
}

int TLineMap::BytesBefore(int units) const {
    units = std::clamp(units, 0, Units());
    const int checkpoint = units / kCheckpointUnits;
    if (checkpoint >= static_cast<int>(FCheckpoints.size())) return FBytes;
    const std::size_t from = static_cast<std::size_t>(checkpoint) * kCheckpointUnits;
    return FCheckpoints[static_cast<std::size_t>(checkpoint)] +
           static_cast<int>(SjisLength(std::u16string_view(FText).substr(from, static_cast<std::size_t>(units) - from)));
}

int TLineMap::UnitAt(int bytes) const {
    if (bytes >= FBytes) return Units();
    if (bytes <= 0) return 0;
    const auto it = std::upper_bound(FCheckpoints.begin(), FCheckpoints.end(), bytes) - 1;
    std::size_t unit = static_cast<std::size_t>(it - FCheckpoints.begin()) * kCheckpointUnits;
    int at = *it;
    while (unit < FText.size()) {
        const int next = at + SjisLength(FText[unit]);
        if (next > bytes) break;
        at = next;
        ++unit;
    }
    return static_cast<int>(unit);
}

}  // namespace xavo
