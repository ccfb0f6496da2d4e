// Placing the view on a tag jump's line, see TagJump.h.
#include "TagJump.h"

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
    if (memo.ShowsBytes()) return memo.ScrollToLine(std::max(line - kContextLinesAbove, 0));
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
    ScrollLineToContextRow(memo, memo.LineFromChar(memo.SelStart()));
}

}  // namespace xavo
