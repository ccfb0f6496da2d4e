// Replacing in the text view (see ViewReplace.h).
#include "ViewReplace.h"

#include "LineIndex.h"
#include "PlainTextFile.h"
#include "SjisQt.h"
#include "TextSearch.h"
#include "TextView.h"
#include "XavoMemo.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

namespace xavo {
namespace {

// Byte positions of the view -> positions of its document, looked up before any edit.
// Positions come in ascending order, so the last line's map is kept.
class TQtPositions {
public:
    explicit TQtPositions(TXavoMemo& memo) : FMemo(memo) {}

    int operator()(int bytePosition) {
        const int line = FMemo.LineFromChar(bytePosition);
        if (line != FLine) {
            FLine = line;
            FBlock = FMemo.document()->findBlockByNumber(line);
            FMap = TLineMap(std::u16string(View(FBlock.text())));
            FLineStart = FMemo.LineIndex(line);
        }
        return FBlock.position() + FMap.UnitAt(bytePosition - FLineStart);
    }

private:
    TXavoMemo& FMemo;
    int FLine = -1;
    int FLineStart = 0;
    QTextBlock FBlock;
    TLineMap FMap;
};

// The occurrences ReplaceAllInView replaces in the document (byte start, byte length): the
// selection when it matches, then each one the forward search finds after the last. With
// FirstOnly the search stops at the first.
std::vector<std::pair<int, int>> Occurrences(TXavoMemo& memo, std::string_view find, TFindOptions options,
                                             bool firstOnly) {
    const std::string text = memo.Text();
    const int selStart = memo.SelStart();
    const int selLength = memo.SelLength();
    std::vector<std::pair<int, int>> hits;
    if (SelectionMatches(memo, SjisToQString(find))) hits.emplace_back(selStart, selLength);
    for (int at = selStart + selLength; !(firstOnly && !hits.empty());) {
        const int hit = SearchBuffer(text, at, 0, find, options | frDown);
        if (hit < 0) break;
        hits.emplace_back(hit, static_cast<int>(find.size()));
        at = hit + static_cast<int>(find.size());
    }
    return hits;
}

}  // namespace

bool SelectionMatches(TXavoMemo& memo, const QString& find) {
    return SjisToQString(memo.SelText()).compare(find, Qt::CaseInsensitive) == 0;
}

int ReplaceAllInView(TXavoMemo& memo, std::string_view find, const QString& replacement, TFindOptions options) {
    if (find.empty()) return 0;
    if (TTextView* view = memo.ShowsBytes() ? memo.ByteView() : nullptr) {
        if (!view->Holds(replacement)) return 0;
        const std::int64_t count = view->ReplaceAll(find, QStringToSjis(replacement), options);
        return static_cast<int>(std::min<std::int64_t>(count, INT_MAX));
    }
    const std::vector<std::pair<int, int>> hits = Occurrences(memo, find, options, false);
    if (hits.empty()) return 0;

    // The view's index follows the document only after the edit block has ended, so every
    // position is mapped first.
    TQtPositions toQt(memo);
    std::vector<std::pair<int, int>> spans;
    spans.reserve(hits.size());
    for (const auto& [start, length] : hits) spans.emplace_back(toQt(start), toQt(start + length));

    QTextCursor cursor(memo.document());
    cursor.beginEditBlock();
    int shift = 0;  // what the replacements so far added to the later positions
    for (const auto& [start, end] : spans) {
        cursor.setPosition(start + shift);
        cursor.setPosition(end + shift, QTextCursor::KeepAnchor);
        cursor.insertText(replacement);
        shift += static_cast<int>(replacement.size()) - (end - start);
    }
    cursor.endEditBlock();
    memo.setTextCursor(cursor);
    memo.ensureCursorVisible();
    return static_cast<int>(hits.size());
}

void ReplaceSelectionInView(TXavoMemo& memo, const QString& text) {
    if (memo.ShowsBytes()) {
        if (memo.ByteView()->Holds(text)) memo.SetSelText(QStringToSjis(text));
        return;
    }
    memo.FinishLoading();
    QTextCursor cursor = memo.textCursor();
    cursor.insertText(text);
    memo.setTextCursor(cursor);
}

bool OccursInView(TXavoMemo& memo, std::string_view find, TFindOptions options) {
    if (find.empty()) return false;
    if (TTextView* view = memo.ShowsBytes() ? memo.ByteView() : nullptr)
        return SelectionMatches(memo, SjisToQString(find)) || view->Find(find, view->SelEnd(), 0, options | frDown) >= 0;
    return !Occurrences(memo, find, options, true).empty();
}

}  // namespace xavo
