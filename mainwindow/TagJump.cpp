// Placing the view on a tag jump's line, see TagJump.h.
#include "TagJump.h"

#include "XavoMemo.h"

#include <algorithm>

namespace xavo {
namespace {

constexpr int kContextRowsAbove = 3;  // the line goes to the fourth row of the view

}  // namespace

void ShowTagJumpLine(TXavoMemo& memo, const TTagJumpTarget& target, TFindOptions findOptions) {
    memo.setFocus();
    std::int64_t start = memo.LineIndex(target.LineIndex());
    if (start < 0) start = memo.LineIndex(std::max<std::int64_t>(0, memo.LineCount() - 1));
    memo.SetSelStart(start);
    memo.FindText(std::string_view(target.Text), findOptions | frDown);
    // The line is selected even when its text is no longer found there.
    const auto length = static_cast<std::int64_t>(target.Text.size());
    if (memo.SelLength() < length) memo.SetSelLength(length);
    memo.ScrollLineToRow(memo.LineFromChar(memo.SelStart()), kContextRowsAbove);
}

}  // namespace xavo
