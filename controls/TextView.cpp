// The text view over a piece table (see TextView.h): pieces of lines laid out on demand,
// row-wise scrolling, painting, keys, mouse, input methods and windowed search.
#include "TextView.h"

#include "FindOptions.h"
#include "LineIndex.h"
#include "SjisQt.h"
#include "TextSearch.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextLine>

#include <algorithm>
#include <climits>
#include <cmath>

namespace xavo {
namespace {

constexpr std::size_t kLayoutsKept = 400;      // pieces kept laid out (a few screens)
constexpr std::int64_t kSearchWindow = 16 << 20;
constexpr std::int64_t kClipboardLimit = 256 << 20;
constexpr std::int64_t kBoundaryLookBack = 1024;

// Bytes a Shift-JIS text takes as view positions (every break two).
std::int64_t ViewLength(std::string_view sjis) {
    std::int64_t length = 0;
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        if (sjis[i] == '\r' && i + 1 < sjis.size() && sjis[i + 1] == '\n') {
            length += 2;
            ++i;
        } else {
            length += sjis[i] == '\r' || sjis[i] == '\n' ? 2 : 1;
        }
    }
    return length;
}

// Clipboard and input-method text with every kind of break as LF.
QString NormalizeBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    text.replace(QChar(QChar::LineSeparator), QChar(u'\n'));
    text.replace(QChar(QChar::ParagraphSeparator), QChar(u'\n'));
    return text;
}

// The character boundary at or before Position (see TTextView::CharStart).
std::int64_t CharStartIn(const TTextBuffer& buffer, std::int64_t position) {
    position = std::clamp<std::int64_t>(position, 0, buffer.Length());
    const std::int64_t start = buffer.LineIndex(buffer.LineFromChar(position));
    const std::int64_t end = start + buffer.LineLength(start);
    if (position > end) return end;  // inside the break
    if (position == start || position == end) return position;
    // A run of lead-range bytes longer than the look-back (never in real text) is paired
    // from where the look-back starts.
    const std::int64_t from = std::max(start, position - kBoundaryLookBack);
    const std::string text = buffer.Text(from, position - from + 1);
    return IsCharBoundary(text, static_cast<std::size_t>(position - from)) ? position : position - 1;
}

int ClampInt(std::int64_t value) { return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX)); }

}  // namespace

TTextView::TTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    SetLineSelectPointer(false);
    verticalScrollBar()->setSingleStep(1);
}

TTextView::~TTextView() = default;

void TTextView::SetBuffer(TTextBuffer buffer) {
    FTyping = false;
    FBuffer = std::move(buffer);
    FBuffer.SetModified(false);
    FAnchor = FCaret = 0;
    FGoalX = -1;
    FTop = {};
    FHScroll = 0;
    FWidest = 0;
    FPreedit.clear();
    DropLayouts();
    SyncScrollBars();
    viewport()->update();
    emit textEdited();
    emit selectionMoved();
}

void TTextView::SetReadOnly(bool readOnly) {
    FReadOnly = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    viewport()->update();
}

void TTextView::SetWordWrap(bool wrap) {
    if (wrap == FWrap) return;
    FWrap = wrap;
    FTop.Piece = FTop.Row = 0;
    FHScroll = 0;
    FWidest = 0;
    DropLayouts();
    SyncScrollBars();
    viewport()->update();
}

void TTextView::SetLineSelect(bool enabled) {
    FLineSelect = enabled;
    if (!enabled) SetLineSelectPointer(false);
}

void TTextView::SetLineSelectPointer(bool lineSelect) {
    FLineSelectPointer = lineSelect;
    viewport()->setCursor(lineSelect ? Qt::ArrowCursor : Qt::IBeamCursor);
}

void TTextView::SetModified(bool modified) {
    if (modified == FBuffer.Modified()) return;
    FBuffer.SetModified(modified);
    emit modificationChanged(modified);
}

int TTextView::RowHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

// ---------------------------------------------------------------------------------------
// Characters

std::int64_t TTextView::CharStart(std::int64_t position) const { return CharStartIn(FBuffer, position); }

std::int64_t TTextView::NextCharPosition(std::int64_t position) const {
    const std::int64_t length = FBuffer.Length();
    if (position >= length) return length;
    const std::int64_t start = FBuffer.LineIndex(FBuffer.LineFromChar(position));
    const std::int64_t end = start + FBuffer.LineLength(start);
    if (position >= end) return std::min(length, end + 2);
    return position + SjisCharLength(FBuffer.Text(position, 2), 0);
}

std::int64_t TTextView::PrevCharPosition(std::int64_t position) const {
    if (position <= 0) return 0;
    const std::int64_t start = FBuffer.LineIndex(FBuffer.LineFromChar(position));
    if (position == start) return position - 2;
    return CharStart(position - 1);
}

std::int64_t TTextView::WordStart(std::int64_t position) const {
    const std::int64_t start = FBuffer.LineIndex(FBuffer.LineFromChar(position));
    const std::int64_t from = std::max(start, position - 4096);
    const std::string text = FBuffer.Text(from, position - from);
    std::size_t at = text.size();
    while (at > 0 && IsWordByte(static_cast<unsigned char>(text[at - 1]))) --at;
    return from + static_cast<std::int64_t>(at);
}

std::int64_t TTextView::WordEnd(std::int64_t position) const {
    const std::int64_t start = FBuffer.LineIndex(FBuffer.LineFromChar(position));
    const std::int64_t end = start + FBuffer.LineLength(start);
    const std::string text = FBuffer.Text(position, std::min<std::int64_t>(end - position, 4096));
    std::size_t at = 0;
    while (at < text.size() && IsWordByte(static_cast<unsigned char>(text[at]))) ++at;
    return position + static_cast<std::int64_t>(at);
}

// ---------------------------------------------------------------------------------------
// Pieces and their layouts

// Piece K of a line starts at K * kPieceBytes, one byte earlier when that is inside a
// double-byte character: every cut is found on its own, so a line of gigabytes costs no
// more than its pieces on screen.
int TTextView::PieceCount(std::int64_t line) {
    const std::int64_t start = FBuffer.LineIndex(line);
    const std::int64_t length = start < 0 ? 0 : FBuffer.LineLength(start);
    return static_cast<int>(std::max<std::int64_t>(1, (length + kPieceBytes - 1) / kPieceBytes));
}

std::int64_t TTextView::PieceCut(std::int64_t lineStart, std::int64_t lineLength, std::int64_t piece) const {
    if (piece <= 0) return 0;
    const std::int64_t at = piece * kPieceBytes;
    if (at >= lineLength) return lineLength;
    return CharStartIn(FBuffer, lineStart + at) - lineStart;
}

void TTextView::DropLayouts() {
    FLayouts.clear();
    FLayoutWidth = -1;
}

TTextView::TPieceLayout& TTextView::Piece(std::int64_t line, int piece) {
    const int width = std::max(1, viewport()->width() - 2 * kMargin);
    if (FWrap && width != FLayoutWidth) {
        FLayouts.clear();
    }
    FLayoutWidth = width;
    const auto key = std::make_pair(line, piece);
    if (auto it = FLayouts.find(key); it != FLayouts.end()) return it->second;

    const std::int64_t start = FBuffer.LineIndex(line);
    const std::int64_t length = FBuffer.LineLength(start);
    const std::int64_t from = PieceCut(start, length, piece);
    const std::int64_t to = PieceCut(start, length, piece + 1);

    TPieceLayout p;
    p.Start = start + from;
    p.Bytes = static_cast<int>(to - from);
    p.LastPiece = to >= length;
    p.X = FWrap ? 0 : static_cast<double>(from) * fontMetrics().horizontalAdvance(QLatin1Char('0'));
    p.Map = std::make_unique<TLineMap>(DecodeSjis(FBuffer.Text(p.Start, p.Bytes)));
    p.Layout = std::make_unique<QTextLayout>(ToQString(ShownText(p.Map->Text())), font());  // 0xED40 drawn as 纊
    QTextOption option;
    option.setWrapMode(FWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setTabStopDistance(logicalDpiX() / 2.0);
    p.Layout->setTextOption(option);
    p.Layout->setCacheEnabled(true);
    if (!FPreedit.isEmpty() && FCaret >= p.Start && FCaret <= p.Start + p.Bytes &&
        (FCaret < p.Start + p.Bytes || p.LastPiece)) {
        p.PreeditAt = p.Map->UnitAt(static_cast<int>(FCaret - p.Start));
        p.Layout->setPreeditArea(p.PreeditAt, FPreedit);
    }
    const int rowHeight = RowHeight();
    p.Layout->beginLayout();
    int rows = 0;
    for (;;) {
        QTextLine row = p.Layout->createLine();
        if (!row.isValid()) break;
        row.setLineWidth(FWrap ? width : 1e7);
        row.setPosition(QPointF(0, rows * rowHeight));
        ++rows;
    }
    p.Layout->endLayout();
    p.Rows = std::max(1, rows);
    return FLayouts.emplace(key, std::move(p)).first->second;
}

TTextView::TPlace TTextView::PlaceOf(std::int64_t position) {
    position = std::clamp<std::int64_t>(position, 0, FBuffer.Length());
    TPlace place;
    place.Line = FBuffer.LineFromChar(position);
    const std::int64_t start = FBuffer.LineIndex(place.Line);
    const std::int64_t offset = std::min(position - start, FBuffer.LineLength(start));
    const std::int64_t length = FBuffer.LineLength(start);
    std::int64_t index = std::min<std::int64_t>(offset / kPieceBytes, PieceCount(place.Line) - 1);
    if (offset < PieceCut(start, length, index)) --index;
    else if (index + 1 < PieceCount(place.Line) && offset >= PieceCut(start, length, index + 1)) ++index;
    place.Piece = static_cast<int>(index);
    TPieceLayout& piece = Piece(place.Line, place.Piece);
    place.Unit = piece.Map->UnitAt(static_cast<int>(start + offset - piece.Start));
    if (FWrap) {
        int at = place.Unit;
        if (piece.PreeditAt >= 0 && at >= piece.PreeditAt) at += FPreeditCursor;
        const QTextLine row = piece.Layout->lineForTextPosition(at);
        place.Row = row.isValid() ? row.lineNumber() : std::max(0, piece.Layout->lineCount() - 1);
    }
    return place;
}

std::int64_t TTextView::PositionOf(std::int64_t line, int piece, int unit) {
    TPieceLayout& p = Piece(line, piece);
    unit = std::clamp(unit, 0, p.Map->Units());
    return p.Start + p.Map->BytesBefore(unit);
}

// ---------------------------------------------------------------------------------------
// Rows and scrolling

bool TTextView::NextRow(TRowPos& row) {
    if (FWrap) {
        if (row.Row + 1 < Piece(row.Line, row.Piece).Rows) {
            ++row.Row;
            return true;
        }
        if (row.Piece + 1 < PieceCount(row.Line)) {
            ++row.Piece;
            row.Row = 0;
            return true;
        }
    }
    if (row.Line + 1 >= FBuffer.LineCount()) return false;
    row = {row.Line + 1, 0, 0};
    return true;
}

bool TTextView::PrevRow(TRowPos& row) {
    if (FWrap) {
        if (row.Row > 0) {
            --row.Row;
            return true;
        }
        if (row.Piece > 0) {
            --row.Piece;
            row.Row = Piece(row.Line, row.Piece).Rows - 1;
            return true;
        }
    }
    if (row.Line <= 0) return false;
    row.Line -= 1;
    row.Piece = FWrap ? PieceCount(row.Line) - 1 : 0;
    row.Row = FWrap ? Piece(row.Line, row.Piece).Rows - 1 : 0;
    return true;
}

std::int64_t TTextView::MoveRows(TRowPos& row, std::int64_t rows) {
    if (!FWrap) {
        const std::int64_t line = std::clamp<std::int64_t>(row.Line + rows, 0, FBuffer.LineCount() - 1);
        const std::int64_t moved = line - row.Line;
        row = {line, 0, 0};
        return moved;
    }
    // A move further than any screen (to the start or the end) goes there without laying
    // out every row on the way.
    constexpr std::int64_t kFar = 1 << 20;
    if (rows <= -kFar) {
        row = {};
        return rows;
    }
    if (rows >= kFar) {
        row.Line = FBuffer.LineCount() - 1;
        row.Piece = PieceCount(row.Line) - 1;
        row.Row = Piece(row.Line, row.Piece).Rows - 1;
        return rows;
    }
    std::int64_t moved = 0;
    while (moved < rows && NextRow(row)) ++moved;
    while (moved > rows && PrevRow(row)) --moved;
    return moved;
}

int TTextView::VisibleRows() const { return std::max(1, (viewport()->height() - 2 * kMargin) / RowHeight()); }

void TTextView::ClampTop() {
    // The last row may come up to the bottom of the view, not higher.
    TRowPos last{FBuffer.LineCount() - 1, 0, 0};
    if (FWrap) {
        last.Piece = PieceCount(last.Line) - 1;
        last.Row = Piece(last.Line, last.Piece).Rows - 1;
    }
    MoveRows(last, -(VisibleRows() - 1));
    const auto key = [](const TRowPos& r) { return std::make_tuple(r.Line, r.Piece, r.Row); };
    if (key(FTop) > key(last)) FTop = last;
    if (FTop.Line < 0) FTop = {};
}

void TTextView::SetTop(TRowPos top) {
    if (FLayouts.size() > kLayoutsKept) DropLayouts();
    FTop = top;
    ClampTop();
    SyncScrollBars();
    viewport()->update();
}

void TTextView::SyncScrollBars() {
    FSyncing = true;
    QScrollBar* v = verticalScrollBar();
    const std::int64_t maxLine = FWrap ? FBuffer.LineCount() - 1 : FBuffer.LineCount() - VisibleRows();
    v->setRange(0, ClampInt(std::max<std::int64_t>(0, maxLine)));
    v->setPageStep(VisibleRows());
    v->setValue(ClampInt(FTop.Line));
    QScrollBar* h = horizontalScrollBar();
    const int hMax = FWrap ? 0 : std::max(0, static_cast<int>(std::ceil(FWidest)) + 2 * kMargin - viewport()->width());
    h->setRange(0, hMax);
    h->setPageStep(std::max(1, viewport()->width()));
    h->setSingleStep(std::max(1, fontMetrics().averageCharWidth()));
    FHScroll = std::clamp(FHScroll, 0, hMax);
    h->setValue(FHScroll);
    FSyncing = false;
}

void TTextView::scrollContentsBy(int, int) {
    if (FSyncing) return;
    FHScroll = horizontalScrollBar()->value();
    const int line = verticalScrollBar()->value();
    if (line != FTop.Line) {
        FTop = {line, 0, 0};
        if (FLayouts.size() > kLayoutsKept) DropLayouts();
    }
    viewport()->update();
}

void TTextView::LineScroll(int columns, std::int64_t rows) {
    TRowPos top = FTop;
    MoveRows(top, rows);
    FHScroll += columns * fontMetrics().averageCharWidth();
    SetTop(top);
}

void TTextView::ScrollToLine(std::int64_t line) {
    SetTop({std::clamp<std::int64_t>(line, 0, FBuffer.LineCount() - 1), 0, 0});
}

int TTextView::RowOffset(const TRowPos& target, int limit) {
    const auto key = [](const TRowPos& r) { return std::make_tuple(r.Line, r.Piece, r.Row); };
    TRowPos row = FTop;
    if (key(target) < key(row)) {
        for (int i = 1; i <= limit; ++i) {
            if (!PrevRow(row)) break;
            if (key(row) == key(target)) return -i;
        }
        return INT_MIN;
    }
    if (!FWrap) return target.Line - FTop.Line <= limit ? static_cast<int>(target.Line - FTop.Line) : INT_MIN;
    for (int i = 0; i <= limit; ++i) {
        if (key(row) == key(target)) return i;
        if (!NextRow(row)) break;
    }
    return INT_MIN;
}

void TTextView::EnsureCaretVisible() {
    const TPlace place = PlaceOf(FCaret);
    const TRowPos target{place.Line, place.Piece, place.Row};
    const auto key = [](const TRowPos& r) { return std::make_tuple(r.Line, r.Piece, r.Row); };
    const int rows = VisibleRows();
    if (key(target) < key(FTop)) {
        FTop = target;
    } else {
        const int offset = RowOffset(target, rows);
        if (offset == INT_MIN || offset >= rows) {
            TRowPos top = target;
            MoveRows(top, -(rows - 1));
            FTop = top;
        }
    }
    if (!FWrap) {
        const double x = CaretX(FCaret);
        const int width = viewport()->width() - 2 * kMargin;
        if (x < FHScroll) FHScroll = static_cast<int>(std::max(0.0, x - width / 4.0));
        else if (x > FHScroll + width - 2) FHScroll = static_cast<int>(x - width * 3 / 4.0);
        FWidest = std::max(FWidest, x);
    }
    SetTop(FTop);
}

double TTextView::CaretX(std::int64_t position) {
    const TPlace place = PlaceOf(position);
    TPieceLayout& piece = Piece(place.Line, place.Piece);
    const QTextLine row = piece.Layout->lineAt(std::min(place.Row, piece.Layout->lineCount() - 1));
    return piece.X + (row.isValid() ? row.cursorToX(place.Unit) : 0);
}

QRect TTextView::PositionRect(std::int64_t position) {
    const TPlace place = PlaceOf(position);
    const int rowHeight = RowHeight();
    int offset = RowOffset({place.Line, place.Piece, place.Row}, VisibleRows() + 2);
    if (offset == INT_MIN) offset = place.Line < FTop.Line ? -1 : VisibleRows() + 1;
    const int x = kMargin - FHScroll + static_cast<int>(CaretX(position));
    return QRect(x, kMargin + offset * rowHeight, 1, rowHeight);
}

std::int64_t TTextView::PositionAt(QPoint point) {
    const int rowHeight = RowHeight();
    const int y = point.y() - kMargin;
    const std::int64_t rowIndex = y < 0 ? -1 - (-y - 1) / rowHeight : y / rowHeight;
    TRowPos row = FTop;
    MoveRows(row, rowIndex);
    return PositionOnRow(row, point.x() - kMargin + FHScroll);
}

std::int64_t TTextView::PositionOnRow(const TRowPos& row, double x) {
    int piece = row.Piece;
    if (!FWrap) {
        // Pieces of a long line sit side by side.
        const int count = PieceCount(row.Line);
        while (piece + 1 < count && Piece(row.Line, piece + 1).X <= x) ++piece;
    }
    TPieceLayout& p = Piece(row.Line, piece);
    const QTextLine textRow = p.Layout->lineAt(std::min(row.Row, p.Layout->lineCount() - 1));
    int unit = textRow.isValid() ? textRow.xToCursor(x - p.X) : 0;
    // The last row of a wrapped piece ends at its text; others end before the next row's first character.
    if (FWrap && textRow.isValid() && row.Row + 1 < p.Layout->lineCount())
        unit = std::min(unit, textRow.textStart() + textRow.textLength() - 1);
    return CharStart(PositionOf(row.Line, piece, unit));
}

// ---------------------------------------------------------------------------------------
// Selection and editing

void TTextView::Select(std::int64_t anchor, std::int64_t caret) {
    FAnchor = CharStart(anchor);
    FCaret = CharStart(caret);
    SelectionChanged();
}

void TTextView::EndTyping() {
    if (!FTyping) return;
    FTyping = false;
    FBuffer.EndUndoGroup();
}

void TTextView::SelectionChanged() {
    EndTyping();
    RestartBlink();
    viewport()->update();
    emit selectionMoved();
}

std::string TTextView::SelText() const { return FBuffer.Text(SelStart(), SelEnd() - SelStart()); }

void TTextView::ReplaceRange(std::int64_t from, std::int64_t to, std::string_view sjis) {
    if (!FTypingNow) EndTyping();
    from = CharStart(from);
    to = CharStart(to);
    if (to < from) std::swap(from, to);
    const bool wasModified = FBuffer.Modified();
    FBuffer.Replace(from, to - from, sjis);
    FAnchor = FCaret = CharStart(from + ViewLength(sjis));
    AfterEdit(wasModified);
}

void TTextView::ReplaceSelection(std::string_view sjis) { ReplaceRange(SelStart(), SelEnd(), sjis); }

void TTextView::Undo() {
    EndTyping();
    if (!FBuffer.CanUndo()) return;
    const bool wasModified = FBuffer.Modified();
    FBuffer.Undo();
    FAnchor = FCaret = CharStart(std::min(FCaret, FBuffer.Length()));
    AfterEdit(wasModified);
}

void TTextView::AfterEdit(bool wasModified) {
    FBuffer.SetModified(true);
    DropLayouts();
    FGoalX = -1;
    ClampTop();
    SyncScrollBars();
    RestartBlink();
    viewport()->update();
    emit textEdited();
    emit selectionMoved();
    if (!wasModified) emit modificationChanged(true);
}

std::int64_t TTextView::ReplaceAll(std::string_view find, std::string_view replacement, int options) {
    if (find.empty()) return 0;
    std::int64_t count = 0;
    const std::int64_t replacedLength = ViewLength(replacement);
    const std::int64_t findLength = static_cast<std::int64_t>(find.size());
    EndTyping();
    const bool wasModified = FBuffer.Modified();
    FBuffer.BeginUndoGroup();
    std::int64_t at = SelEnd();
    if (SelEnd() > SelStart() && SjisToQString(SelText()).compare(SjisToQString(find), Qt::CaseInsensitive) == 0) {
        const std::int64_t start = SelStart();
        FBuffer.Replace(start, SelEnd() - start, replacement);
        at = start + replacedLength;
        FCaret = at;
        ++count;
    }
    for (;;) {
        const std::int64_t hit = Find(find, at, 0, options | frDown);
        if (hit < 0) break;
        FBuffer.Replace(hit, findLength, replacement);
        at = hit + replacedLength;
        FCaret = at;
        ++count;
    }
    FBuffer.EndUndoGroup();
    if (count == 0) return 0;
    FAnchor = FCaret = CharStart(FCaret);
    AfterEdit(wasModified);
    EnsureCaretVisible();
    return count;
}

void TTextView::Copy() {
    if (SelEnd() == SelStart()) return;
    if (SelEnd() - SelStart() > kClipboardLimit) {
        QApplication::beep();
        emit refused(QStringLiteral("選択範囲が大きすぎるため、クリップボードにコピーできません"));
        return;
    }
    QApplication::clipboard()->setText(NormalizeBreaks(SjisToQString(SelText())));
}

void TTextView::Cut() {
    if (FReadOnly || SelEnd() == SelStart()) return;
    Copy();
    if (SelEnd() - SelStart() <= kClipboardLimit) ReplaceSelection({});
}

void TTextView::Paste() {
    if (FReadOnly) return;
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (mime == nullptr || !mime->hasText()) return;
    InsertTyped(mime->text());
    EnsureCaretVisible();
}

bool TTextView::Holds(const QString& text) {
    std::size_t unencodable = 0;
    (void)QStringToSjis(text, unencodable);
    if (unencodable == 0) return true;
    QApplication::beep();
    emit refused(QStringLiteral("Shift-JIS (CP932) で表せない文字は入力できません"));
    return false;
}

bool TTextView::InsertTyped(const QString& text) {
    const QString normalized = NormalizeBreaks(text);
    if (!Holds(normalized)) return false;
    ReplaceSelection(QStringToSjis(normalized));
    return true;
}

// ---------------------------------------------------------------------------------------
// Search

std::int64_t TTextView::Find(std::string_view pattern, std::int64_t selStart, std::int64_t selLength, int options) const {
    return FindInBuffer(FBuffer, pattern, selStart, selLength, options, kSearchWindow);
}

std::int64_t FindInBuffer(const TTextBuffer& buffer, std::string_view pattern, std::int64_t selStart,
                          std::int64_t selLength, int options, std::int64_t window) {
    // A window starts at a line start, or on a character boundary before the first
    // candidate, and ends at a line end or a character boundary, with the byte after it
    // read too: the boundaries and word delimiters seen inside are those of the whole text.
    // Lines longer than the window are cut (a line of gigabytes is read piece by piece).
    const std::int64_t length = buffer.Length();
    const std::int64_t m = static_cast<std::int64_t>(pattern.size());
    if (length == 0 || m == 0) return -1;
    window = std::max<std::int64_t>(window, 1);
    const auto lineStart = [&](std::int64_t position) { return buffer.LineIndex(buffer.LineFromChar(position)); };
    const auto lineEnd = [&](std::int64_t position) {
        const std::int64_t start = lineStart(position);
        return std::min(length, std::max(position, start + buffer.LineLength(start)));
    };
    const auto options32 = static_cast<TFindOptions>(options);
    // A text stored in one piece with CR LF breaks only (an unedited Windows file) is its
    // own view text: windows are then views of it, nothing is copied.
    std::string_view flat;
    if (buffer.RawLength() == length) {
        int pieces = 0;
        buffer.ForEachRawSpan([&](std::string_view span) {
            flat = span;
            return ++pieces < 2;
        });
        if (pieces != 1 || static_cast<std::int64_t>(flat.size()) != length) flat = {};
    }
    std::string copy;
    const auto windowText = [&](std::int64_t from, std::int64_t to) -> std::string_view {
        to = std::min(length, to + 1);
        if (!flat.empty()) return flat.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
        copy = buffer.Text(from, to - from);
        return copy;
    };
    if ((options & frDown) != 0) {
        // First: where the search's scan starts (a whole word is looked for after the word there).
        std::int64_t first = std::max<std::int64_t>(0, selStart + selLength);
        while (first <= length - m) {
            const std::int64_t ls = lineStart(first);
            const std::int64_t ws = first - ls <= window ? ls : CharStartIn(buffer, first - 1);
            const std::int64_t target = std::min(length, std::max(ws + window, first + m + 2));
            const std::int64_t le = lineEnd(target);
            const std::int64_t we = le - target <= window ? le : CharStartIn(buffer, target);
            const int hit = SearchBuffer(windowText(ws, we), static_cast<int>(first - ws), 0, pattern, options32);
            if (hit >= 0 && ws + hit + m <= we) return ws + hit;
            if (we >= length) break;
            // Every candidate up to We - M is decided; the scan goes on from there (a match
            // across the window's end is found next).
            first = we - m;
        }
        return -1;
    }
    std::int64_t end = std::min(selStart, length);
    std::int64_t previous = length + 1;  // where the last window started
    while (end - m >= 0) {
        const std::int64_t le = lineEnd(end);
        const std::int64_t we = le - end <= window ? le : (CharStartIn(buffer, end) == end ? end : end + 1);
        const std::int64_t target = std::min(previous - 1, std::max<std::int64_t>(0, end - m - window));
        const std::int64_t ls = lineStart(target);
        const std::int64_t ws = target - ls <= window ? ls : CharStartIn(buffer, target);
        previous = ws;
        const int hit = SearchBuffer(windowText(ws, we), static_cast<int>(end - ws), 0, pattern, options32);
        if (hit > 0 || (hit == 0 && (ws == ls || (options & frWholeWord) == 0))) return ws + hit;
        if (hit == 0) {
            end = ws + m;  // a word cut by the window's start: again, with the bytes before it
            continue;
        }
        if (ws == 0) break;
        end = std::min(end, ws - 1 + m);
    }
    return -1;
}

// ---------------------------------------------------------------------------------------
// Painting

void TTextView::paintEvent(QPaintEvent*) {
    if (FLayouts.size() > kLayoutsKept) DropLayouts();
    QPainter painter(viewport());
    const QPalette& pal = palette();
    const QPalette::ColorGroup group = Focused() ? QPalette::Active : QPalette::Inactive;
    painter.fillRect(viewport()->rect(), pal.color(QPalette::Active, QPalette::Base));
    painter.setPen(pal.color(group, QPalette::Text));
    const int rowHeight = RowHeight();
    const int height = viewport()->height();
    const double charWidth = fontMetrics().horizontalAdvance(QLatin1Char(' '));
    const std::int64_t selFrom = SelStart(), selTo = SelEnd();
    QTextCharFormat selected;
    selected.setBackground(pal.brush(group, QPalette::Highlight));
    selected.setForeground(pal.brush(group, QPalette::HighlightedText));
    const bool caretOn = Focused() && FCaretShown && !FReadOnly;
    const double left = kMargin - FHScroll;
    const double viewWidth = viewport()->width();
    double widest = FWidest;
    painter.setClipRect(QRect(0, 0, viewport()->width(), height));

    TRowPos row = FTop;
    for (int y = kMargin;;) {
        const int count = FWrap ? 1 : PieceCount(row.Line);
        int first = FWrap ? row.Piece : 0;
        if (!FWrap && count > 1) {
            // Only the pieces that reach into the viewport.
            const double perPiece = kPieceBytes * fontMetrics().horizontalAdvance(QLatin1Char('0'));
            first = std::clamp(static_cast<int>((FHScroll - kMargin) / perPiece) - 1, 0, count - 1);
        }
        const int rows = FWrap ? 1 : count;
        for (int k = 0; k < rows; ++k) {
            const int index = FWrap ? row.Piece : first + k;
            if (index >= (FWrap ? PieceCount(row.Line) : count)) break;
            TPieceLayout& piece = Piece(row.Line, index);
            const double x = left + piece.X;
            if (!FWrap && x > viewWidth) break;
            QList<QTextLayout::FormatRange> ranges;
            const std::int64_t pieceEnd = piece.Start + piece.Bytes;
            if (selTo > piece.Start && selFrom < pieceEnd + (piece.LastPiece ? 2 : 0) && selTo > selFrom) {
                const int a = piece.Map->UnitAt(static_cast<int>(std::max(selFrom, piece.Start) - piece.Start));
                const int b = piece.Map->UnitAt(static_cast<int>(std::min(selTo, pieceEnd) - piece.Start));
                if (b > a) ranges.append({a, b - a, selected});
            }
            const QTextLine textRow = piece.Layout->lineAt(FWrap ? row.Row : 0);
            const double top = y - (FWrap ? row.Row * rowHeight : 0);
            if (textRow.isValid()) {
                // Draw only this row: clip to it, the layout draws the rest outside.
                painter.save();
                painter.setClipRect(QRectF(0, y, viewWidth, rowHeight), Qt::IntersectClip);
                piece.Layout->draw(&painter, QPointF(x, top), ranges);
                // The selected line break shows as a space's width after the line.
                if (piece.LastPiece && selFrom <= pieceEnd && selTo > pieceEnd &&
                    (!FWrap || row.Row == piece.Layout->lineCount() - 1)) {
                    painter.fillRect(QRectF(x + textRow.naturalTextWidth() + textRow.x(), y, charWidth, rowHeight),
                                     pal.brush(group, QPalette::Highlight));
                }
                if (caretOn && FCaret >= piece.Start && FCaret <= pieceEnd && (FCaret < pieceEnd || piece.LastPiece)) {
                    int unit = piece.Map->UnitAt(static_cast<int>(FCaret - piece.Start));
                    if (piece.PreeditAt >= 0) unit += FPreeditCursor;
                    const QTextLine caretRow = piece.Layout->lineForTextPosition(unit);
                    if (!FWrap || (caretRow.isValid() && caretRow.lineNumber() == row.Row))
                        piece.Layout->drawCursor(&painter, QPointF(x, top), unit, 1);
                }
                painter.restore();
                if (!FWrap) widest = std::max(widest, piece.X + (piece.LastPiece ? textRow.naturalTextWidth() : 0));
            }
            if (!FWrap && count > 1 && piece.LastPiece) widest = std::max(widest, piece.X + textRow.naturalTextWidth());
        }
        if (!FWrap && count > 1) {
            const std::int64_t lineLength = FBuffer.LineLength(FBuffer.LineIndex(row.Line));
            widest = std::max(widest, lineLength * static_cast<double>(fontMetrics().horizontalAdvance(QLatin1Char('0'))));
        }
        y += rowHeight;
        if (y >= height || !NextRow(row)) break;
    }
    if (widest > FWidest + 0.5) {
        FWidest = widest;
        SyncScrollBars();
    }
}

void TTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (FWrap) {
        DropLayouts();
        FTop.Row = 0;
    }
    ClampTop();
    SyncScrollBars();
}

void TTextView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        DropLayouts();
            FWidest = 0;
        FTop.Row = 0;
        SyncScrollBars();
    }
    viewport()->update();
}

void TTextView::RestartBlink() {
    FCaretShown = true;
    const int flash = QApplication::cursorFlashTime();
    if (Focused() && flash > 0)
        FBlink.start(flash / 2, this);
    else
        FBlink.stop();
}

void TTextView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != FBlink.timerId()) return QAbstractScrollArea::timerEvent(event);
    FCaretShown = !FCaretShown;
    viewport()->update();
}

void TTextView::FocusChanged() {
    if (!Focused()) EndTyping();
    RestartBlink();
    if (!Focused()) FBlink.stop();
    viewport()->update();
}

void TTextView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const bool selected = SelEnd() > SelStart();
    menu.addAction(tr("&Undo"), this, [this] { Undo(); })->setEnabled(!FReadOnly && CanUndo());
    menu.addSeparator();
    menu.addAction(tr("Cu&t"), this, [this] { Cut(); })->setEnabled(!FReadOnly && selected);
    menu.addAction(tr("&Copy"), this, [this] { Copy(); })->setEnabled(selected);
    menu.addAction(tr("&Paste"), this, [this] { Paste(); })->setEnabled(!FReadOnly);
    menu.addAction(tr("Delete"), this, [this] { ReplaceSelection({}); })->setEnabled(!FReadOnly && selected);
    menu.addSeparator();
    menu.addAction(tr("Select All"), this, [this] { Select(0, FBuffer.Length()); });
    menu.exec(event->globalPos());
}

void TTextView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    RestartBlink();
    viewport()->update();
}

void TTextView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    EndTyping();
    FBlink.stop();
    viewport()->update();
}

bool TTextView::focusNextPrevChild(bool) { return false; }  // Tab is text

// ---------------------------------------------------------------------------------------
// Keys

void TTextView::MoveCaret(std::int64_t position, bool extend) {
    FCaret = CharStart(position);
    if (!extend) FAnchor = FCaret;
    EnsureCaretVisible();
    SelectionChanged();
}

void TTextView::MoveVertically(std::int64_t rows, bool extend) {
    const TPlace place = PlaceOf(FCaret);
    if (FGoalX < 0) FGoalX = CaretX(FCaret);
    const double goal = FGoalX;
    TRowPos row{place.Line, place.Piece, place.Row};
    MoveRows(row, rows);
    MoveCaret(PositionOnRow(row, goal), extend);
    FGoalX = goal;
}

void TTextView::keyPressEvent(QKeyEvent* event) {
    const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    if (event->matches(QKeySequence::Copy)) return Copy();
    if (event->matches(QKeySequence::SelectAll)) {
        FAnchor = 0;
        FCaret = FBuffer.Length();
        return SelectionChanged();
    }
    if (FReadOnly) {
        // The view mode scrolls instead of moving a caret.
        switch (event->key()) {
        case Qt::Key_Up: return LineScroll(0, -1);
        case Qt::Key_Down: return LineScroll(0, 1);
        case Qt::Key_PageUp: return LineScroll(0, -VisibleRows());
        case Qt::Key_PageDown: return LineScroll(0, VisibleRows());
        case Qt::Key_Left: return LineScroll(-1, 0);
        case Qt::Key_Right: return LineScroll(1, 0);
        case Qt::Key_Home:
            if (ctrl) return SetTop({});
            FHScroll = 0;
            SyncScrollBars();
            viewport()->update();
            return;
        case Qt::Key_End: return ctrl ? SetTop({FBuffer.LineCount(), 0, 0}) : void();
        default: event->ignore(); return;
        }
    }
    if (event->matches(QKeySequence::Cut)) return Cut();
    if (event->matches(QKeySequence::Paste)) return Paste();
    if (event->matches(QKeySequence::Undo)) {
        Undo();
        return EnsureCaretVisible();
    }
    const std::int64_t lineStart = FBuffer.LineIndex(FBuffer.LineFromChar(FCaret));
    switch (event->key()) {
    case Qt::Key_Left:
        if (!shift && SelEnd() > SelStart()) return MoveCaret(SelStart(), false);
        return MoveCaret(ctrl ? (FCaret == lineStart ? PrevCharPosition(FCaret) : WordStart(PrevCharPosition(FCaret)))
                              : PrevCharPosition(FCaret),
                         shift);
    case Qt::Key_Right:
        if (!shift && SelEnd() > SelStart()) return MoveCaret(SelEnd(), false);
        return MoveCaret(ctrl ? std::max(NextCharPosition(FCaret), WordEnd(FCaret)) : NextCharPosition(FCaret), shift);
    case Qt::Key_Up: return MoveVertically(-1, shift);
    case Qt::Key_Down: return MoveVertically(1, shift);
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int rows = event->key() == Qt::Key_PageUp ? -VisibleRows() : VisibleRows();
        TRowPos top = FTop;
        MoveRows(top, rows);
        SetTop(top);
        return MoveVertically(rows, shift);
    }
    case Qt::Key_Home:
    case Qt::Key_End: {
        const bool home = event->key() == Qt::Key_Home;
        if (ctrl) return MoveCaret(home ? 0 : FBuffer.Length(), shift);
        const TPlace place = PlaceOf(FCaret);
        TPieceLayout& piece = Piece(place.Line, place.Piece);
        if (!FWrap) return MoveCaret(home ? lineStart : lineStart + FBuffer.LineLength(lineStart), shift);
        const QTextLine row = piece.Layout->lineAt(place.Row);
        int unit = home ? row.textStart() : row.textStart() + row.textLength();
        // The end of a row that wraps is before its last character (the next row's start).
        if (!home && place.Row + 1 < piece.Layout->lineCount()) unit = std::max(row.textStart(), unit - 1);
        return MoveCaret(PositionOf(place.Line, place.Piece, unit), shift);
    }
    case Qt::Key_Backspace:
        if (SelEnd() == SelStart()) FAnchor = PrevCharPosition(FCaret);
        ReplaceSelection({});
        return EnsureCaretVisible();
    case Qt::Key_Delete:
        if (SelEnd() == SelStart()) FAnchor = NextCharPosition(FCaret);
        ReplaceSelection({});
        return EnsureCaretVisible();
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ReplaceSelection("\r\n");  // Shift+Enter too: a real line break
        return EnsureCaretVisible();
    case Qt::Key_Tab:
        ReplaceSelection("\t");
        return EnsureCaretVisible();
    default: break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && !ctrl && (text.at(0).isPrint() || text.at(0) == QChar(u'\t'))) {
        // Characters typed one after another are one undo step.
        if (!FTyping || FCaret != FTypingEnd || SelEnd() != SelStart()) {
            EndTyping();
            FBuffer.BeginUndoGroup();
            FTyping = true;
        }
        FTypingNow = true;
        InsertTyped(text);
        FTypingNow = false;
        FTypingEnd = FCaret;
        EnsureCaretVisible();
        return;
    }
    event->ignore();
}

// ---------------------------------------------------------------------------------------
// Input methods

void TTextView::inputMethodEvent(QInputMethodEvent* event) {
    if (FReadOnly) {
        event->ignore();
        return;
    }
    const bool composing = !event->commitString().isEmpty() || !event->preeditString().isEmpty();
    if (composing && SelEnd() > SelStart()) ReplaceSelection({});
    if (event->replacementLength() > 0) {
        // Text around the caret the input method takes back (units of the caret's piece).
        const TPlace place = PlaceOf(FCaret);
        const std::int64_t from = PositionOf(place.Line, place.Piece, place.Unit + event->replacementStart());
        const std::int64_t to =
            PositionOf(place.Line, place.Piece, place.Unit + event->replacementStart() + event->replacementLength());
        FAnchor = from;
        FCaret = to;
    }
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        FPreedit.clear();
        DropLayouts();
        InsertTyped(event->commitString());
    }
    FPreedit = event->preeditString();
    FPreeditCursor = FPreedit.size();
    for (const QInputMethodEvent::Attribute& a : event->attributes())
        if (a.type == QInputMethodEvent::Cursor) FPreeditCursor = a.start;
    DropLayouts();
    EnsureCaretVisible();
    viewport()->update();
    event->accept();
}

QVariant TTextView::inputMethodQuery(Qt::InputMethodQuery query) const {
    auto* self = const_cast<TTextView*>(this);
    switch (query) {
    case Qt::ImEnabled: return !FReadOnly;
    case Qt::ImHints: return static_cast<int>(Qt::ImhMultiLine);
    case Qt::ImFont: return font();
    case Qt::ImCursorRectangle: {
        QRect r = self->PositionRect(FCaret);
        return QRectF(r.translated(viewport()->pos()));
    }
    case Qt::ImAbsolutePosition: return ClampInt(FCaret);
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition: {
        const TPlace caret = self->PlaceOf(FCaret);
        if (query == Qt::ImCursorPosition) return caret.Unit;
        const TPlace anchor = self->PlaceOf(FAnchor);
        return anchor.Line == caret.Line && anchor.Piece == caret.Piece ? anchor.Unit : caret.Unit;
    }
    case Qt::ImSurroundingText:
    case Qt::ImTextBeforeCursor:
    case Qt::ImTextAfterCursor: {
        const TPlace caret = self->PlaceOf(FCaret);
        const QString text = ToQString(self->Piece(caret.Line, caret.Piece).Map->Text());
        if (query == Qt::ImTextBeforeCursor) return text.left(caret.Unit);
        if (query == Qt::ImTextAfterCursor) return text.mid(caret.Unit);
        return text;
    }
    case Qt::ImCurrentSelection:
        return SelEnd() - SelStart() <= 64 * 1024 ? NormalizeBreaks(SjisToQString(SelText())) : QString();
    default: return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// ---------------------------------------------------------------------------------------
// Mouse, with the margin line selection

bool TTextView::StartLineSelection(QMouseEvent* event) {
    if (!FLineSelect || !FLineSelectPointer || event->button() != Qt::LeftButton) return false;
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) return false;
    const QPoint point = event->position().toPoint();
    const std::int64_t position = PositionAt(point);
    FLineDragging = true;
    FLineAnchor = FBuffer.LineIndex(FBuffer.LineFromChar(position));
    FLastY = point.y();
    FAnchor = FLineAnchor;
    FCaret = FLineAnchor + FBuffer.LineLength(FLineAnchor);
    SelectionChanged();
    return true;
}

void TTextView::DragLineSelection(QPoint point) {
    const int prevY = FLastY;
    FLastY = point.y();
    const std::int64_t line = FBuffer.LineFromChar(PositionAt(point));
    const std::int64_t start = FBuffer.LineIndex(line);
    // At the edges the view scrolls by one row per move towards the edge.
    if (line > 0 && line == FirstVisibleLine()) {
        if (point.y() >= prevY) return;
        LineScroll(0, -1);
    }
    if (line < FBuffer.LineCount() - 1 && viewport()->height() - kMargin - 1 - RowHeight() < point.y()) {
        if (point.y() <= prevY) return;
        LineScroll(0, 1);
    }
    if (start >= FLineAnchor) {
        FAnchor = FLineAnchor;
        FCaret = start + FBuffer.LineLength(start);
    } else {
        const std::int64_t next = FBuffer.LineIndex(FBuffer.LineFromChar(FLineAnchor) + 1);
        FAnchor = start;
        FCaret = next < 0 ? FBuffer.Length() : next;
    }
    SelectionChanged();
}

void TTextView::mousePressEvent(QMouseEvent* event) {
    if (StartLineSelection(event)) return;
    if (event->button() != Qt::LeftButton) return;
    const std::int64_t position = PositionAt(event->position().toPoint());
    FCaret = position;
    if (!(event->modifiers() & Qt::ShiftModifier)) FAnchor = position;
    FGoalX = -1;
    FMouseSelecting = true;
    SelectionChanged();
}

void TTextView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (FLineDragging) return DragLineSelection(point);
    if (FMouseSelecting && (event->buttons() & Qt::LeftButton)) {
        if (point.y() < 0) LineScroll(0, -1);
        else if (point.y() > viewport()->height()) LineScroll(0, 1);
        FCaret = PositionAt(point);
        SelectionChanged();
        return;
    }
    if (FLineSelect) SetLineSelectPointer(point.x() < kMargin);
}

void TTextView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (FLineDragging) {
        FLineDragging = false;
        SetLineSelectPointer(false);
        return;
    }
    FMouseSelecting = false;
}

void TTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (StartLineSelection(event)) return;
    if (event->button() != Qt::LeftButton) return;
    const std::int64_t position = PositionAt(event->position().toPoint());
    FAnchor = WordStart(position);
    FCaret = WordEnd(position);
    if (FCaret == FAnchor) FCaret = NextCharPosition(position);
    SelectionChanged();
}

void TTextView::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 40;  // three rows per notch
    if (steps != 0) LineScroll(0, -steps);
    const int columns = event->angleDelta().x() / 40;
    if (columns != 0) LineScroll(-columns, 0);
    event->accept();
}

}  // namespace xavo
