// The GREP bar's word history, see GrepHistory.h.
#include "GrepHistory.h"

#include "StringUtils.h"

#include <algorithm>

namespace xavo {

void AddGrepHistoryWord(std::vector<std::string>& history, const std::string& word) {
    const auto same = std::find_if(history.begin(), history.end(),
                                   [&](const std::string& entry) { return SameTextIgnoringCase(entry, word); });
    if (same != history.end()) history.erase(same);
    history.insert(history.begin(), word);
    if (history.size() > kGrepHistoryMax) history.resize(kGrepHistoryMax);
}

}  // namespace xavo
