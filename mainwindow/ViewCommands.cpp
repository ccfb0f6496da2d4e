// TForm1's keys and view behaviour: the text view read like a pager (space bar paging,
// caret keys that stop at the ends), the focus keys, the auto-hiding left pane, the
// minimum window size, the tree filled after the window first appears, and the view
// options (word wrap, scroll bars, tool bar, status bar, fonts, background, help).
#include "MainWindow.h"

#include "ComboBox98.h"
#include "DirTree.h"
#include "HelpWindow.h"
#include "MessageBoxes.h"
#include "SettingsQt.h"
#include "ShellListBox.h"
#include "TextListBox.h"
#include "ViewerLogic.h"
#include "XavoMemo.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>

#include <climits>

namespace xavo {
namespace {

// What keeps a pane usable at the window's minimum size: lines (rows) and characters.
constexpr int kUsableTextLines = 4;       // the text view
constexpr int kUsableRows = 3;            // the results list, the tree, the file list
constexpr int kUsableTextColumns = 30;    // across the right pane
constexpr int kUsableNameColumns = 18;    // across the left pane

// The height of Rows rows of RowHeight in Pane, with its frame and a horizontal scroll bar.
int UsableHeight(const QAbstractScrollArea* pane, int rowHeight, int rows) {
    return rows * rowHeight + 2 * pane->frameWidth() + pane->horizontalScrollBar()->sizeHint().height();
}

// The width of Columns characters of Pane's font after Indent, with its frame and a
// vertical scroll bar.
int UsableWidth(const QAbstractScrollArea* pane, int columns, int indent) {
    return indent + columns * pane->fontMetrics().averageCharWidth() + 2 * pane->frameWidth() +
           pane->verticalScrollBar()->sizeHint().width();
}

TCaretKey CaretKeyOf(int key) {
    switch (key) {
    case Qt::Key_PageUp: return TCaretKey::PageUp;
    case Qt::Key_PageDown: return TCaretKey::PageDown;
    case Qt::Key_Left: return TCaretKey::Left;
    case Qt::Key_Up: return TCaretKey::Up;
    case Qt::Key_Right: return TCaretKey::Right;
    case Qt::Key_Down: return TCaretKey::Down;
    default: return TCaretKey::Other;
    }
}

// Exactly Ctrl held (the keypad flag aside).
bool OnlyControl(const QKeyEvent* event) {
    return (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

}  // namespace

int TForm1::VisibleLineCount() {
    const int lineHeight = QFontMetrics(Memo->font()).lineSpacing();
    return lineHeight > 0 ? Memo->FormatRect().height() / lineHeight : 0;
}

// ---------------------------------------------------------------------------------------
// Keys

bool TForm1::IsFormKeyTarget(QObject* watched) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this) return false;
    QWidget* focus = QApplication::focusWidget();
    return widget == focus || (focus == nullptr && widget == this);
}

bool TForm1::IsInGrepBar(QObject* watched) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget != nullptr && (widget == EdGrep || EdGrep->isAncestorOf(widget));
}

bool TForm1::FormKeyPress(QKeyEvent* event) {
    if (IsInGrepBar(QApplication::focusWidget())) return false;
    if (!Memo->ReadOnly() || event->text() != QStringLiteral(" ")) return false;
    const int steps = PagingSteps(Memo->Lines().Count(), VisibleLineCount(), MmHalfScroll->isChecked());
    if (steps > 0) Memo->LineScroll(0, event->modifiers().testFlag(Qt::ShiftModifier) ? -steps : steps);
    return true;  // the space is used up either way
}

void TForm1::FormKeyUp(QKeyEvent* event) {
    if (event->key() == Qt::Key_L && OnlyControl(event)) CbSetting->setFocus();
}

bool TForm1::MemoKeyDown(QKeyEvent* event) {
    if (Memo->ReadOnly() && ViewModeKey(event)) return true;
    const TCaretKey key = CaretKeyOf(event->key());
    if (key == TCaretKey::Other) return false;
    TCaretPlace place;
    place.Line = Memo->CaretLine();
    place.Column = Memo->CaretColumn();
    place.LineLength = Memo->LineLength(Memo->SelStart());
    place.ListCount = Memo->Lines().Count();
    place.LastListLineEmpty = place.ListCount > 0 && Memo->LineLength(Memo->LineIndex(place.ListCount - 1)) == 0;
    return DiscardCaretKey(key, place);
}

bool TForm1::ViewModeKey(const QKeyEvent* event) {
    // A pager: the keys move the view, not the caret, which may stay anywhere (at the top
    // after loading); the view itself stops at the ends of the text.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (modifiers == Qt::ControlModifier && (event->key() == Qt::Key_Home || event->key() == Qt::Key_End)) {
        const bool end = event->key() == Qt::Key_End;
        Memo->SetSelStart(end ? Memo->GetTextLen() : 0);
        Memo->LineScroll(0, end ? INT_MAX / 2 : -(INT_MAX / 2));
        return true;
    }
    if (modifiers != Qt::NoModifier) return false;
    const int page = std::max(VisibleLineCount(), 1);
    switch (event->key()) {
    case Qt::Key_Up: Memo->LineScroll(0, -1); return true;
    case Qt::Key_Down: Memo->LineScroll(0, 1); return true;
    case Qt::Key_PageUp: Memo->LineScroll(0, -page); return true;
    case Qt::Key_PageDown: Memo->LineScroll(0, page); return true;
    default: return false;
    }
}

void TForm1::MemoKeyUp(QKeyEvent* event) {
    if (event->key() == Qt::Key_W && OnlyControl(event) && Memo->hasFocus()) LbGrep->setFocus();
}

bool TForm1::IsMenuShortcut(QKeyEvent* event) const {
    const QKeySequence pressed(event->keyCombination());
    const QList<QAction*> own = findChildren<QAction*>();
    return std::any_of(own.begin(), own.end(), [&](const QAction* action) {
        return action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed;
    });
}

// ---------------------------------------------------------------------------------------
// Panes and the window's size

void TForm1::PnLeftResize() {
    if (PnLeft->width() > kCollapsedLeftPaneWidth) FLeftPaneWidth = PnLeft->width();
    UpdateMinimumSize();
}

void TForm1::MemoMouseMove() {
    if (MmHideLPanel->isChecked() && PnLeft->width() == FLeftPaneWidth) SetLeftPaneWidth(kCollapsedLeftPaneWidth);
}

void TForm1::SLBoxMouseMove() {
    if (MmHideLPanel->isChecked() && PnLeft->width() == kCollapsedLeftPaneWidth) SetLeftPaneWidth(FLeftPaneWidth);
}

void TForm1::SetLeftPaneWidth(int width) {
    const QList<int> sizes = Split1->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    Split1->setSizes({width, std::max(total - width, 0)});
}

void TForm1::UpdatePaneMinimums() {
    // Narrow across: the left pane collapses to a strip with auto-hide, and the window's
    // minimum width (UpdateMinimumSize) keeps the right pane wide enough.
    const QFontMetrics text(Memo->font());
    Memo->setMinimumSize(1, UsableHeight(Memo, text.lineSpacing(), kUsableTextLines));
    LbGrep->setMinimumSize(1, UsableHeight(LbGrep, QFontMetrics(LbGrep->font()).lineSpacing(), kUsableRows));
    DTView->setMinimumSize(1, UsableHeight(DTView, std::max(DTView->fontMetrics().height(), 16) + 4, kUsableRows));
    SLBox->setMinimumSize(1, UsableHeight(SLBox, std::max(SLBox->fontMetrics().height() + 2, TShellListBox::kItemHeight), kUsableRows));
    PnMemo->setMinimumWidth(UsableWidth(Memo, kUsableTextColumns, 0));
    UpdateMinimumSize();
}

void TForm1::UpdateMinimumSize() {
    if (!FShown) return;
    // Every pane at its minimum (the tool bar's row whole, the menu and status bars), with a
    // left pane wide enough for its names however narrow the user has made it.
    const QSize least = minimumSizeHint();
    const int leftWidth = UsableWidth(SLBox, kUsableNameColumns, TShellListBox::kItemHeight + 4);
    const QSize need(std::max(least.width(), leftWidth + Split1->handleWidth() + PnMemo->minimumWidth()), least.height());
    if (minimumSize() != need) setMinimumSize(need);
}

void TForm1::FirstAppearance() {
    if (!isVisible()) return;
    repaint();  // the window is on the screen before the drives are read
    if (!isVisible() || DTView->Directory() != "?") return;
    DTView->SetReadOnStart(true);
    DTView->Reload();
    DTView->SetDirectory(ProcessDirectory());
}

// ---------------------------------------------------------------------------------------
// View options

void TForm1::MmWordWrapClick() {
    const bool wrap = MmWordWrap->isChecked();
    TbWordWrap->setChecked(wrap);
    // A text still loading keeps its caret anyway; asking for it would complete the load.
    const int caret = Memo->IsLoading() ? -1 : Memo->SelStart();
    Memo->SetWordWrap(wrap);
    Memo->setFocus();
    if (caret >= 0) Memo->SetSelStart(caret);
}

void TForm1::MmVertBarClick() {
    const bool both = MmVertBar->isChecked();
    TbVertBar->setChecked(both);
    Memo->SetScrollBars(both ? ssBoth : ssVertical);
}

void TForm1::MmToolBarClick() {
    PnTb->setVisible(MmToolBar->isChecked());
    UpdateMinimumSize();
}

void TForm1::MmStBarClick() {
    SB->setVisible(MmStBar->isChecked());
    UpdateMinimumSize();
}

void TForm1::Font1Click() {
    if (const std::optional<QFont> font = FDialogs.ChooseFont(this, Memo->font(), true)) {
        FMemoFont = ToFontSpec(*font, FMemoFont.Color);
        ApplyMemoFont();
    }
}

void TForm1::GrepFont1Click() {
    if (const std::optional<QFont> font = FDialogs.ChooseFont(this, LbGrep->font(), true)) {
        FGrepFont = ToFontSpec(*font, FGrepFont.Color);
        ApplyGrepFont();
    }
}

void TForm1::MmBgColorClick() {
    const QPalette system = QApplication::palette();
    if (const std::optional<QColor> color = FDialogs.ChooseColor(this, ToQColor(FMemoColor, system))) {
        FMemoColor = NormalizeBackground(ToTColor(*color));
        Memo->SetColor(ToQColor(FMemoColor, system));
    }
}

void TForm1::Topic1Click() {
    if (!FHelpWindow) FHelpWindow = new THelpWindow(this);
    FHelpWindow->ShowTopic(FHelpFile, 1);
}

void TForm1::MmAboutClick() {
    ShowInformationBox(kApplicationTitle,
                       QStringLiteral("Xavoline %1\nShift-JIS テキストビューア・GREP ツール").arg(QCoreApplication::applicationVersion()));
}

}  // namespace xavo
