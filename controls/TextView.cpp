// The text view over a piece table (see TextView.h): pieces of lines laid out on demand,
// row-wise scrolling, painting, keys, mouse, input methods and editing.
#include "TextView.h"

#include "LineMap.h"
#include "SjisQt.h"

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
constexpr std::size_t kLineSpansKept = 4096;   // line starts and lengths remembered between edits
constexpr std::int64_t kChainedWrapBytes = 1 << 20;  // wrapped lines up to this long break only where the width asks
constexpr std::int64_t kClipboardLimit = 256 << 20;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Clipboard and input-method text with every kind of break as LF.
QString NormalizeBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    text.replace(QChar(QChar::LineSeparator), QChar(u'\n'));
    text.replace(QChar(QChar::ParagraphSeparator), QChar(u'\n'));
    return text;
}

int ClampInt(std::int64_t value) { return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX)); }

}  // namespace

TTextView::TTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::StyledPanel);
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
    FEditDepth = 0;
    const bool wasModified = FBuffer.Modified();
    FBuffer = std::move(buffer);
    FBuffer.SetModified(false);
    ++FGeneration;
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
    if (wasModified) emit modificationChanged(false);
}

void TTextView::BufferChanged() {
    FAnchor = std::min(FAnchor, FBuffer.Length());
    FCaret = std::min(FCaret, FBuffer.Length());
    ++FGeneration;
    FWrapStarts.clear();
    ClampTop();
    SyncScrollBars();
    viewport()->update();
    emit textEdited();
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
    EndTyping();  // what is typed after the save point is a step of its own
    const bool was = FBuffer.Modified();
    FBuffer.SetModified(modified);
    if (was != modified) emit modificationChanged(modified);
}

int TTextView::RowHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

// ---------------------------------------------------------------------------------------
// Characters

std::int64_t TTextView::CharStart(std::int64_t position) const {
    position = CharStartIn(FBuffer, position);
    // The two halves of a character beyond the BMP are one character.
    if (position > 0 && IsLowSurrogate(FBuffer.ForeignUnit(position)) && IsHighSurrogate(FBuffer.ForeignUnit(position - 1)))
        --position;
    return position;
}

std::int64_t TTextView::NextCharPosition(std::int64_t position) const {
    const std::int64_t length = FBuffer.Length();
    if (position >= length) return length;
    const std::int64_t start = FBuffer.LineIndex(FBuffer.LineFromChar(position));
    const std::int64_t end = start + FBuffer.LineLength(start);
    if (position >= end) return std::min(length, end + 2);
    std::int64_t next = position + SjisCharLength(FBuffer.Text(position, 2), 0);
    if (next < end && IsLowSurrogate(FBuffer.ForeignUnit(next)) && IsHighSurrogate(FBuffer.ForeignUnit(position))) ++next;
    return next;
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

TTextView::TLineSpan TTextView::LineSpan(std::int64_t line) {
    if (FLineSpansGeneration != FGeneration || FLineSpans.size() > kLineSpansKept) {
        FLineSpans.clear();
        FLineSpansGeneration = FGeneration;
    }
    if (const auto it = FLineSpans.find(line); it != FLineSpans.end()) return it->second;
    TLineSpan span;
    span.Start = FBuffer.LineIndex(line);
    if (span.Start >= 0) {
        const std::int64_t next = FBuffer.LineIndex(line + 1);
        span.Length = (next < 0 ? FBuffer.Length() + 2 : next) - 2 - span.Start;
    }
    FLineSpans.emplace(line, span);
    return span;
}

// Pieces of a line. Without wrap, piece K starts at K * kPieceBytes, one byte earlier when
// that is inside a double-byte character: every cut is found on its own, so a line of
// gigabytes costs no more than its pieces on screen. With wrap, a piece owns the rows of
// its layout but the last, and the next piece starts where that row starts: rows break
// only where the width asks. The starts are then found in order, as far as they are
// needed, and remembered until an edit or a new width (a long line's end is laid out once
// to reach it). A line longer than kChainedWrapBytes is cut as without wrap (rows may then
// break early where its pieces meet): laying out all of it to reach its end would take
// seconds.
bool TTextView::Chained(std::int64_t line) { return FWrap && LineSpan(line).Length <= kChainedWrapBytes; }

int TTextView::PieceCount(std::int64_t line) {
    if (Chained(line)) {
        EnsureWrapStarts(line, INT_MAX);
        return static_cast<int>(FWrapStarts[line].Starts.size());
    }
    const TLineSpan span = LineSpan(line);
    const std::int64_t length = span.Start < 0 ? 0 : span.Length;
    return static_cast<int>(std::max<std::int64_t>(1, (length + kPieceBytes - 1) / kPieceBytes));
}

bool TTextView::HasPiece(std::int64_t line, int piece) {
    if (piece < 0) return false;
    if (!Chained(line)) return piece < PieceCount(line);
    EnsureWrapStarts(line, piece);
    return piece < static_cast<int>(FWrapStarts[line].Starts.size());
}

void TTextView::EnsureWrapStarts(std::int64_t line, int piece) {
    SyncLayoutWidth();  // (so that laying out below drops nothing)
    for (;;) {
        const TWrapStarts& starts = FWrapStarts[line];
        if (static_cast<int>(starts.Starts.size()) > piece || starts.Complete) return;
        const int last = static_cast<int>(starts.Starts.size()) - 1;
        const auto key = std::make_pair(line, last);
        const bool kept = FLayouts.count(key) != 0;
        Piece(line, last);  // notes the start after it
        // Laid out only for where it ends: not kept, so a long way does not pile up layouts.
        if (!kept && last < piece - 1) FLayouts.erase(key);
    }
}

std::int64_t TTextView::PieceCut(std::int64_t lineStart, std::int64_t lineLength, std::int64_t piece) const {
    if (piece <= 0) return 0;
    const std::int64_t at = piece * kPieceBytes;
    if (at >= lineLength) return lineLength;
    return CharStartIn(FBuffer, lineStart + at) - lineStart;
}

void TTextView::DropLayouts() {
    FLayouts.clear();
    FWrapStarts.clear();
    FLayoutWidth = -1;
}

void TTextView::TrimLayouts() {
    if (FLayouts.size() > kLayoutsKept) FLayouts.clear();
}

void TTextView::SyncLayoutWidth() {
    const int width = std::max(1, viewport()->width() - 2 * kMargin);
    if (FWrap && width != FLayoutWidth) {
        FLayouts.clear();
        FWrapStarts.clear();
    }
    FLayoutWidth = width;
}

TTextView::TPieceLayout& TTextView::Piece(std::int64_t line, int piece) {
    SyncLayoutWidth();
    const int width = FLayoutWidth;
    const auto key = std::make_pair(line, piece);
    if (const auto laid = FLayouts.find(key); laid != FLayouts.end() && laid->second.Generation == FGeneration)
        return laid->second;

    // The text laid out: the piece, and with wrap up to a piece's length more than it owns.
    const TLineSpan span = LineSpan(line);
    const std::int64_t start = std::max<std::int64_t>(span.Start, 0);
    const std::int64_t length = span.Length;
    std::int64_t from = 0, to = 0;
    const bool chained = Chained(line);
    if (chained) {
        EnsureWrapStarts(line, piece);
        const std::vector<std::int64_t>& starts = FWrapStarts[line].Starts;
        from = starts[static_cast<std::size_t>(std::min<int>(piece, static_cast<int>(starts.size()) - 1))];
        to = from + kPieceBytes >= length ? length : std::max(from + 1, CharStartIn(FBuffer, start + from + kPieceBytes) - start);
    } else {
        from = PieceCut(start, length, piece);
        to = PieceCut(start, length, piece + 1);
    }
    const auto found = FLayouts.find(key);  // (after the pieces before it were laid out)
    if (found != FLayouts.end()) {
        // Laid out before an edit: kept when the piece holds the same text (it may have
        // moved), so an edit lays out again only what it changed.
        TPieceLayout& cached = found->second;
        if (cached.From == from && cached.Map->Bytes() == to - from && cached.PreeditAt < 0 &&
            cached.Map->Text() == FBuffer.Decode(start + from, to - from)) {
            cached.Start = start + from;
            cached.Generation = FGeneration;
            if (chained) NoteWrapStart(line, piece, cached);
            return cached;
        }
        FLayouts.erase(found);
    }

    TPieceLayout p;
    p.Generation = FGeneration;
    p.From = from;
    p.Start = start + from;
    p.Bytes = static_cast<int>(to - from);
    p.LastPiece = to >= length;
    p.X = FWrap ? 0 : static_cast<double>(from) * fontMetrics().horizontalAdvance(QLatin1Char('0'));
    p.Map = std::make_unique<TLineMap>(FBuffer.Decode(p.Start, p.Bytes));
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
    if (chained && !p.LastPiece && rows > 1) {
        // The last row goes on in the next piece, which starts with it.
        p.Rows = rows - 1;
        p.Bytes = p.Map->BytesBefore(p.Layout->lineAt(rows - 1).textStart());
    }
    TPieceLayout& laid = FLayouts.emplace(key, std::move(p)).first->second;
    if (chained) NoteWrapStart(line, piece, laid);
    return laid;
}

void TTextView::NoteWrapStart(std::int64_t line, int piece, const TPieceLayout& laid) {
    TWrapStarts& starts = FWrapStarts[line];
    if (piece != static_cast<int>(starts.Starts.size()) - 1 || starts.Complete) return;
    if (laid.LastPiece)
        starts.Complete = true;
    else
        starts.Starts.push_back(laid.From + laid.Bytes);
}

TTextView::TPlace TTextView::PlaceOf(std::int64_t position) {
    position = std::clamp<std::int64_t>(position, 0, FBuffer.Length());
    TPlace place;
    place.Line = FBuffer.LineFromChar(position);
    const TLineSpan span = LineSpan(place.Line);
    const std::int64_t start = span.Start;
    const std::int64_t length = span.Length;
    const std::int64_t offset = std::min(position - start, length);
    std::int64_t index = 0;
    if (Chained(place.Line)) {
        // The starts as far as the position.
        SyncLayoutWidth();
        for (;;) {
            const TWrapStarts& starts = FWrapStarts[place.Line];
            if (starts.Complete || starts.Starts.back() > offset) break;
            EnsureWrapStarts(place.Line, static_cast<int>(starts.Starts.size()));
        }
        const std::vector<std::int64_t>& starts = FWrapStarts[place.Line].Starts;
        index = std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin() - 1;
    } else {
        index = std::min<std::int64_t>(offset / kPieceBytes, PieceCount(place.Line) - 1);
        if (offset < PieceCut(start, length, index)) --index;
        else if (index + 1 < PieceCount(place.Line) && offset >= PieceCut(start, length, index + 1)) ++index;
    }
    place.Piece = static_cast<int>(std::max<std::int64_t>(index, 0));
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
        if (HasPiece(row.Line, row.Piece + 1)) {
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
    const std::int64_t lines = FBuffer.LineCount();
    if (!FWrap) {
        FTop = {std::clamp<std::int64_t>(FTop.Line, 0, std::max<std::int64_t>(0, lines - VisibleRows())), 0, 0};
        return;
    }
    FTop.Line = std::clamp<std::int64_t>(FTop.Line, 0, lines - 1);
    if (!HasPiece(FTop.Line, FTop.Piece)) FTop.Piece = PieceCount(FTop.Line) - 1;
    FTop.Row = std::clamp(FTop.Row, 0, Piece(FTop.Line, FTop.Piece).Rows - 1);
    // Rows enough below the top: the text's end need not be found.
    TRowPos bottom = FTop;
    int below = 0;
    while (below < VisibleRows() - 1 && NextRow(bottom)) ++below;
    if (below < VisibleRows() - 1) {
        MoveRows(bottom, -(VisibleRows() - 1));
        FTop = bottom;
    }
}

void TTextView::SetTop(TRowPos top) {
    TrimLayouts();
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
        TrimLayouts();
    }
    viewport()->update();
}

void TTextView::LineScroll(int columns, std::int64_t rows) {
    TRowPos top = FTop;
    MoveRows(top, rows);
    FHScroll += columns * fontMetrics().averageCharWidth();
    SetTop(top);
}

void TTextView::ScrollToLine(std::int64_t line, int rowsAbove) {
    TRowPos top{std::clamp<std::int64_t>(line, 0, FBuffer.LineCount() - 1), 0, 0};
    MoveRows(top, -std::max(rowsAbove, 0));
    SetTop(top);
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

void TTextView::BeginEdit() {
    if (FEditDepth++ > 0) return;
    EditStarting();
    FBuffer.BeginUndoGroup();
}

void TTextView::EndEdit() {
    if (FEditDepth == 0) return;
    if (--FEditDepth == 0) FBuffer.EndUndoGroup();
}

void TTextView::EndTyping() {
    if (!FTyping) return;
    FTyping = false;
    EndEdit();
}

void TTextView::SelectionChanged() {
    EndTyping();
    RestartBlink();
    viewport()->update();
    emit selectionMoved();
}

std::string TTextView::SelText() const { return FBuffer.Text(SelStart(), SelEnd() - SelStart()); }

void TTextView::ReplaceRange(std::int64_t from, std::int64_t to, const std::function<void(std::int64_t, std::int64_t)>& replace) {
    if (!FTypingNow) EndTyping();
    from = CharStart(from);
    to = CharStart(to);
    if (to < from) std::swap(from, to);
    const bool wasModified = FBuffer.Modified();
    const std::int64_t before = FBuffer.Length();
    BeginEdit();
    replace(from, to - from);
    EndEdit();
    const std::int64_t inserted = FBuffer.Length() - before + (to - from);
    TextReplaced({{from, to - from}}, inserted);
    FAnchor = FCaret = CharStart(from + inserted);
    AfterEdit(wasModified);
}

void TTextView::ReplaceSelection(std::string_view sjis) {
    ReplaceRange(SelStart(), SelEnd(), [&](std::int64_t from, std::int64_t count) { FBuffer.Replace(from, count, sjis); });
}

void TTextView::ReplaceSelection(std::u16string_view text) {
    ReplaceRange(SelStart(), SelEnd(), [&](std::int64_t from, std::int64_t count) { FBuffer.Replace(from, count, text); });
}

void TTextView::Undo() {
    EndTyping();
    if (!FBuffer.CanUndo()) return;
    const bool wasModified = FBuffer.Modified();
    const std::int64_t at = FBuffer.Undo();
    FAnchor = FCaret = CharStart(at);
    EditUndone();
    AfterEdit(wasModified);
}

void TTextView::AfterEdit(bool wasModified) {
    ++FGeneration;
    FWrapStarts.clear();
    FGoalX = -1;
    ClampTop();
    SyncScrollBars();
    RestartBlink();
    viewport()->update();
    emit textEdited();
    emit selectionMoved();
    if (wasModified != FBuffer.Modified()) emit modificationChanged(FBuffer.Modified());
}

std::int64_t TTextView::ReplaceAll(std::string_view find, std::u16string_view replacement, TFindOptions options,
                                   const std::function<bool(const std::string&)>& selected,
                                   const std::function<bool(std::int64_t, std::int64_t)>& progress) {
    if (find.empty()) return 0;
    EndTyping();
    std::vector<TViewRange> ranges;
    if (SelEnd() > SelStart() && selected && selected(SelText())) ranges.push_back({SelStart(), SelEnd() - SelStart()});
    const TFoundAll found = FindAllInBuffer(FBuffer, find, SelEnd(), options | frDown, progress);
    if (found.Cancelled) return -1;
    const auto m = static_cast<std::int64_t>(find.size());
    ranges.reserve(ranges.size() + found.Starts.size());
    for (const std::int64_t start : found.Starts) ranges.push_back({start, m});
    if (ranges.empty()) return 0;
    const bool wasModified = FBuffer.Modified();
    const std::int64_t before = FBuffer.Length();
    std::int64_t removed = 0;
    for (const TViewRange& r : ranges) removed += r.Length;
    BeginEdit();
    const std::int64_t end = FBuffer.ReplaceRanges(ranges, replacement);
    EndEdit();
    const auto count = static_cast<std::int64_t>(ranges.size());
    TextReplaced(ranges, (FBuffer.Length() - before + removed) / count);
    FAnchor = FCaret = CharStart(end);
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
    QApplication::clipboard()->setText(NormalizeBreaks(ToQString(FBuffer.Decode(SelStart(), SelEnd() - SelStart()))));
}

void TTextView::Cut() {
    if (FReadOnly || SelEnd() == SelStart()) return;
    Copy();
    if (SelEnd() - SelStart() <= kClipboardLimit) ReplaceSelection(std::string_view());
}

void TTextView::Paste() {
    if (FReadOnly) return;
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (mime == nullptr || !mime->hasText()) return;
    InsertTyped(mime->text());
    EnsureCaretVisible();
}

void TTextView::InsertTyped(const QString& text) {
    const QString normalized = NormalizeBreaks(text);
    ReplaceSelection(View(normalized));
}

std::int64_t TTextView::Find(std::string_view pattern, std::int64_t selStart, std::int64_t selLength, TFindOptions options) const {
    return FindInBuffer(FBuffer, pattern, selStart, selLength, options);
}

// ---------------------------------------------------------------------------------------
// Painting

void TTextView::paintEvent(QPaintEvent*) {
    TrimLayouts();
    QPainter painter(viewport());
    const QPalette& pal = palette();
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    painter.fillRect(viewport()->rect(), pal.color(QPalette::Active, QPalette::Base));
    painter.setPen(pal.color(group, QPalette::Text));
    const int rowHeight = RowHeight();
    const int height = viewport()->height();
    const double charWidth = fontMetrics().horizontalAdvance(QLatin1Char(' '));
    const std::int64_t selFrom = SelStart(), selTo = SelEnd();
    QTextCharFormat selected;
    selected.setBackground(pal.brush(group, QPalette::Highlight));
    selected.setForeground(pal.brush(group, QPalette::HighlightedText));
    const bool caretOn = hasFocus() && FCaretShown && !FReadOnly;
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
            if (!FWrap && index >= count) break;
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
            const std::int64_t lineLength = LineSpan(row.Line).Length;
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
    if (hasFocus() && flash > 0)
        FBlink.start(flash / 2, this);
    else
        FBlink.stop();
}

void TTextView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != FBlink.timerId()) return QAbstractScrollArea::timerEvent(event);
    FCaretShown = !FCaretShown;
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
    menu.addAction(tr("Delete"), this, [this] { ReplaceSelection(std::string_view()); })->setEnabled(!FReadOnly && selected);
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

// A pager: the keys move the view, not the caret, which may stay anywhere (at the top after
// loading); the view itself stops at the ends of the text. Ctrl+Home and Ctrl+End take the
// caret to the ends as well.
void TTextView::ViewModeKey(QKeyEvent* event) {
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    switch (event->key()) {
    case Qt::Key_Up: return LineScroll(0, -1);
    case Qt::Key_Down: return LineScroll(0, 1);
    case Qt::Key_PageUp: return LineScroll(0, -VisibleRows());
    case Qt::Key_PageDown: return LineScroll(0, VisibleRows());
    case Qt::Key_Left: return LineScroll(-1, 0);
    case Qt::Key_Right: return LineScroll(1, 0);
    case Qt::Key_Home:
    case Qt::Key_End: {
        const bool home = event->key() == Qt::Key_Home;
        if (!ctrl) {
            if (!home) return;
            FHScroll = 0;  // back to the lines' starts
            SyncScrollBars();
            viewport()->update();
            return;
        }
        FAnchor = FCaret = home ? 0 : FBuffer.Length();
        SelectionChanged();
        return home ? SetTop({}) : SetTop({FBuffer.LineCount(), 0, 0});
    }
    default: event->ignore(); return;
    }
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
    if (FReadOnly) return ViewModeKey(event);
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
        ReplaceSelection(std::string_view());
        return EnsureCaretVisible();
    case Qt::Key_Delete:
        if (SelEnd() == SelStart()) FAnchor = NextCharPosition(FCaret);
        ReplaceSelection(std::string_view());
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
            BeginEdit();
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
    if (composing && SelEnd() > SelStart()) ReplaceSelection(std::string_view());
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
        return SelEnd() - SelStart() <= 64 * 1024 ? NormalizeBreaks(ToQString(FBuffer.Decode(SelStart(), SelEnd() - SelStart())))
                                                  : QString();
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
