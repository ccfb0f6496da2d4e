// The hash by which sets of automaton states are found again (internal to regex/).
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

namespace xavo {

// FNV-1a over the members of a sorted set, each taken as 32 bits.
template <class TState>
std::uint64_t HashStateSet(const std::vector<TState>& set) {
    static_assert(std::is_integral_v<TState> && sizeof(TState) == 4);
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const TState s : set) h = (h ^ static_cast<std::uint32_t>(s)) * 0x100000001b3ULL;
    return h;
}

}  // namespace xavo
