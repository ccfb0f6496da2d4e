// Replacing in the text view (see ViewReplace.h).
#include "ViewReplace.h"

#include "SjisQt.h"
#include "XavoMemo.h"

namespace xavo {

bool SelectionMatches(TXavoMemo& memo, const QString& find) {
    const QString selected = ToQString(memo.Buffer().Decode(memo.SelStart(), memo.SelLength()));
    return selected.compare(find, Qt::CaseInsensitive) == 0;
}

std::int64_t ReplaceAllInView(TXavoMemo& memo, std::string_view find, const QString& replacement, TFindOptions options,
                              const std::function<bool(std::int64_t, std::int64_t)>& progress) {
    const QString findText = SjisToQString(find);
    const std::int64_t count = memo.ReplaceAll(find, View(replacement), options,
                                               [&](const std::string&) { return SelectionMatches(memo, findText); }, progress);
    // Read from a file another program cut short: nothing it found can be trusted.
    if (memo.Buffer().LostBytes()) {
        if (count > 0) memo.Undo();
        throw EXavoMemoError(kCutShortError);
    }
    return count;
}

void ReplaceSelectionInView(TXavoMemo& memo, const QString& text) { memo.ReplaceSelection(View(text)); }

bool OccursInView(TXavoMemo& memo, std::string_view find, TFindOptions options) {
    if (find.empty()) return false;
    return SelectionMatches(memo, SjisToQString(find)) || memo.Find(find, memo.SelEnd(), 0, options | frDown) >= 0;
}

}  // namespace xavo
