// Placing the view on a tag jump's line, see TagJump.h.
#include "TagJump.h"

#include "XavoMemo.h"

#include <algorithm>
#include <climits>

namespace xavo {

namespace {

constexpr int kContextLinesAbove = 3;

}  // namespace

void ShowTagJumpLine(TXavoMemo& memo, const TTagJumpTarget& target, TFindOptions findOptions) {
    memo.setFocus();
    int start = memo.LineIndex(target.LineIndex());
    if (start < 0) start = std::max(0, memo.LineIndex(std::max(0, memo.LineCount() - 1)));
    memo.SetSelStart(start);
    memo.FindText(std::string_view(target.Text), findOptions | frDown);
    // The line is selected even when its text is no longer found there.
    const int length = static_cast<int>(std::min<std::size_t>(target.Text.size(), INT_MAX));
    if (memo.SelLength() < length) memo.SetSelLength(length);
    memo.LineScroll(0, memo.LineFromChar(memo.SelStart()) - memo.FirstVisibleLine() - kContextLinesAbove);
}

}  // namespace xavo
