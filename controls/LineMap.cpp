// Unit <-> byte maps of pieces of lines (see LineMap.h).
#include "LineMap.h"

#include "SjisCodec.h"

#include <algorithm>

namespace xavo {

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
