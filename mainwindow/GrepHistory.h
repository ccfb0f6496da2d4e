// The GREP bar's history of searched words: newest first, at most 20, each word once
// without regard to letter case. Words are Shift-JIS bytes. Plain C++.
// Entry point: AddGrepHistoryWord.
#pragma once

#include <string>
#include <vector>

namespace xavo {

inline constexpr std::size_t kGrepHistoryMax = 20;

// Puts Word at the top of History: an entry equal to it ignoring case (SameTextIgnoringCase)
// is removed first, and the list is cut to kGrepHistoryMax entries. The caller calls it only after a run
// that ended without an error.
void AddGrepHistoryWord(std::vector<std::string>& history, const std::string& word);

}  // namespace xavo
