// File masks: "*.txt;*.log" matched against file names.
//
// A mask list is split at ";" into parts (blanks around a part trimmed, empty parts
// dropped); a name matches the list when it matches any part. Within a part "*" stands for
// any run of characters and "?" for exactly one; letters match without regard to ASCII
// case. Names are bytes: a valid UTF-8 sequence counts as one character, any other byte as
// one. A part ending in ".*" also matches names the rest of the part matches without that
// ".*", so "*.*" matches every name and "readme.*" matches "readme".
// Entry points: TFileMask (a parsed list) and MatchMask (one part).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace xavo {

// True when Name matches the single mask Part (no ";" handling; a "/" in Part never matches).
bool MatchMask(std::string_view part, std::string_view name);

class TFileMask {
public:
    TFileMask() = default;  // matches nothing
    explicit TFileMask(std::string_view maskList);

    bool Matches(std::string_view name) const;
    bool IsEmpty() const { return FParts.empty(); }
    // The parts after splitting and trimming, in the order given, duplicates kept.
    const std::vector<std::string>& Parts() const { return FParts; }

private:
    std::vector<std::string> FParts;
};

}  // namespace xavo
