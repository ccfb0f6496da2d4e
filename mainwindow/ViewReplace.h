// Replacing in the text view: the replace dialog's selection test and "replace all" as one
// undo step.
//
// Positions are the view's byte positions. Entry points: SelectionMatches, ReplaceAllInView,
// ReplaceSelectionInView, OccursInView.
#pragma once

#include "FindOptions.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string_view>

namespace xavo {

class TXavoMemo;

// True when the view's selected text equals Find, compared without regard to case
// (whatever the find options say), as the replace button decides what to replace.
bool SelectionMatches(TXavoMemo& memo, const QString& find);

// Replaces the selection when it matches Find (SelectionMatches, with Find as Shift-JIS
// bytes), then every occurrence after it that the view's forward search finds, as one undo
// step, in one pass over the text. Each search resumes after the previous occurrence, so
// the replacement is never searched again. The caret ends after the last replacement;
// with none, nothing changes. Returns the number of replacements, or -1 when Progress
// (told how far the search has come, in view bytes) stopped it: the text is then as it
// was. Replacement goes into the text as it stands, a character Shift-JIS lacks included
// (saving decides what becomes of it). Raises EXavoMemoError (the text unchanged) when the
// text read was a file another program cut short.
std::int64_t ReplaceAllInView(TXavoMemo& memo, std::string_view find, const QString& replacement, TFindOptions options,
                              const std::function<bool(std::int64_t done, std::int64_t length)>& progress = {});

// Replaces the view's selection by Text (undoable).
void ReplaceSelectionInView(TXavoMemo& memo, const QString& text);

// Whether ReplaceAllInView would replace anything; the view is left as it is.
bool OccursInView(TXavoMemo& memo, std::string_view find, TFindOptions options);

}  // namespace xavo
