// Placing the view on a tag jump's line, see TagJump.h.
#include "TagJump.h"

#include "TextView.h"
#include "XavoMemo.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <climits>

namespace xavo {

namespace {

constexpr int kContextLinesAbove = 3;

// Puts the first screen row of Line on the fourth row of the view. The view scrolls by
// screen rows (a wrapped line takes several), so the rows above are counted on laid-out
// lines: lines not yet shown only carry an estimate of one row.
void ScrollLineToContextRow(TXavoMemo& memo, int line) {
    QTextDocument* document = memo.document();
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    QTextBlock block = document->findBlockByNumber(line);
    if (!block.isValid()) return;
    layout->blockBoundingRect(block);  // lays the line out if it was not yet
    for (QTextBlock above = block.previous(); above.isValid(); above = above.previous()) {
        layout->blockBoundingRect(above);
        if (block.firstLineNumber() - above.firstLineNumber() >= kContextLinesAbove) break;
    }
    memo.verticalScrollBar()->setValue(std::max(block.firstLineNumber() - kContextLinesAbove, 0));
}

// The same in the byte view, with 64-bit positions: a file past 2 GB is jumped into too.
void ShowTagJumpLineInBytes(TXavoMemo& memo, TTextView& view, const TTagJumpTarget& target, TFindOptions findOptions) {
    const TTextBuffer& buffer = view.Buffer();
    std::int64_t start = buffer.LineIndex(target.LineIndex());
    if (start < 0) start = buffer.LineIndex(buffer.LineCount() - 1);
    view.Select(start, start);
    const std::int64_t length = static_cast<std::int64_t>(target.Text.size());
    const std::int64_t at = view.Find(target.Text, start, 0, findOptions | frDown);
    // The line is selected even when its text is no longer found there.
    if (at >= 0) start = at;
    view.Select(start, start + length);
    view.EnsureCaretVisible();
    view.ScrollToLine(buffer.LineFromChar(start));
    view.LineScroll(0, -kContextLinesAbove);  // screen rows, as above
    memo.setFocus();
}

}  // namespace

void ShowTagJumpLine(TXavoMemo& memo, const TTagJumpTarget& target, TFindOptions findOptions) {
    if (TTextView* view = memo.ByteView()) return ShowTagJumpLineInBytes(memo, *view, target, findOptions);
    memo.setFocus();
    int start = memo.LineIndex(target.LineIndex());
    if (start < 0) start = std::max(0, memo.LineIndex(std::max(0, memo.LineCount() - 1)));
    memo.SetSelStart(start);
    memo.FindText(std::string_view(target.Text), findOptions | frDown);
    // The line is selected even when its text is no longer found there.
    const int length = static_cast<int>(std::min<std::size_t>(target.Text.size(), INT_MAX));
    if (memo.SelLength() < length) memo.SetSelLength(length);
    ScrollLineToContextRow(memo, memo.LineFromChar(memo.SelStart()));
}

}  // namespace xavo
