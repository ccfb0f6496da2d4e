// The text view's half of a tag jump: the file is shown, now put the caret on the result
// line's line, select the line's text and scroll it near the top of the view.
// Entry point: ShowTagJumpLine.
#pragma once

#include "FindOptions.h"
#include "ResultLine.h"

namespace xavo {

class TXavoMemo;

// Focuses Memo, puts the caret at the start of Target's line (the last line when the file
// is shorter now), searches forward from there for Target.Text with FindOptions (frDown
// added), selects at least Text's length of bytes and scrolls the selection to the fourth
// row of the view. The caller has set the find dialog's text and direction.
void ShowTagJumpLine(TXavoMemo& memo, const TTagJumpTarget& target, TFindOptions findOptions);

}  // namespace xavo
