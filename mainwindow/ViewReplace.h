// Replacing in the text view: the replace dialog's selection test and "replace all" as one
// undo step.
//
// Positions are the view's byte positions. Entry points: SelectionMatches, ReplaceAllInView,
// ReplaceSelectionInView, OccursInView.
#pragma once

#include "FindOptions.h"

#include <QString>

#include <string_view>

namespace xavo {

class TXavoMemo;

// True when the view's selected text equals Find, compared without regard to case
// (whatever the find options say), as the replace button decides what to replace.
bool SelectionMatches(TXavoMemo& memo, const QString& find);

// Replaces the selection when it matches Find (SelectionMatches, with Find as Shift-JIS
// bytes), then every occurrence after it that the view's forward search finds, as one undo
// step. Each search resumes after the previous occurrence, so the replacement is never
// searched again. The caret ends after the last replacement; with none, nothing changes.
// Returns the number of replacements. Replacement goes into the text as it stands, a
// character Shift-JIS lacks included (saving decides what becomes of it); the byte view of
// a large file, which holds Shift-JIS, refuses such a replacement as it refuses typing.
int ReplaceAllInView(TXavoMemo& memo, std::string_view find, const QString& replacement, TFindOptions options);

// Replaces the view's selection by Text, taken as ReplaceAllInView takes its replacement
// (undoable).
void ReplaceSelectionInView(TXavoMemo& memo, const QString& text);

// Whether ReplaceAllInView would replace anything; the view is left as it is.
bool OccursInView(TXavoMemo& memo, std::string_view find, TFindOptions options);

}  // namespace xavo
