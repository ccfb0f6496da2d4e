// The find-option set of the find and replace dialogs and of TXavoMemo::FindText.
// A set is a bit mask of TFindOption values (frDown | frMatchCase ...).
#pragma once

namespace xavo {

enum TFindOption : unsigned {
    frDown = 1u << 0,          // search forward; absent = backward
    frFindNext = 1u << 1,
    frHideMatchCase = 1u << 2,
    frHideWholeWord = 1u << 3,
    frHideUpDown = 1u << 4,
    frMatchCase = 1u << 5,
    frDisableMatchCase = 1u << 6,
    frDisableUpDown = 1u << 7,
    frDisableWholeWord = 1u << 8,
    frReplace = 1u << 9,
    frReplaceAll = 1u << 10,
    frWholeWord = 1u << 11,
    frShowHelp = 1u << 12,
};

using TFindOptions = unsigned;

}  // namespace xavo
