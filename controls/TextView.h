// The text view: a scroll area over a TTextBuffer that decodes and lays out only what is
// on screen, so a file of any size and encoding shows at once and costs little more
// memory than its bytes (or its converted text).
//
// Positions are the buffer's view positions (Shift-JIS bytes, every line break counting
// two), 64-bit. Each line is laid out in pieces of at most kPieceBytes, cut on character
// boundaries, so a line of megabytes costs no more than the pieces on screen; a piece is
// one QTextLayout, cached while it stays near the screen. The view scrolls by screen rows
// (a wrapped piece has several); the vertical scroll bar counts lines.
//
// The caret and selection are byte positions kept on character boundaries (a surrogate
// pair held as two foreign units is one character). Typed, pasted and input-method text
// goes in as UTF-16: what Shift-JIS cannot hold is kept as foreign units. Read-only, the
// view is a pager: the arrow and page keys scroll, Ctrl+Home and Ctrl+End go to the ends.
// Entry point: TTextView.
#pragma once

#include "TextBuffer.h"
#include "TextSearch.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QTextLayout>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace xavo {

class TLineMap;

class TTextView : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int kMargin = 8;                 // around the text; the left one is the line-selection bar
    static constexpr std::int64_t kPieceBytes = 4096; // longer lines are laid out piece by piece

    explicit TTextView(QWidget* parent = nullptr);
    ~TTextView() override;

    // Replaces the document; the caret goes to the start, nothing to undo, unmodified.
    void SetBuffer(TTextBuffer buffer);
    const TTextBuffer& Buffer() const { return FBuffer; }

    // --- Selection (Anchor .. Caret; either order) ---
    std::int64_t Anchor() const { return FAnchor; }
    std::int64_t Caret() const { return FCaret; }
    std::int64_t SelStart() const { return std::min(FAnchor, FCaret); }
    std::int64_t SelEnd() const { return std::max(FAnchor, FCaret); }
    // Both ends are clamped to the text and moved back onto character boundaries.
    void Select(std::int64_t anchor, std::int64_t caret);
    std::string SelText() const;
    // The character boundary at or before Position (a break's second byte gives its first).
    std::int64_t CharStart(std::int64_t position) const;

    // --- Editing (also in read-only mode: that only stops the user) ---
    // Replaces the selection by Shift-JIS bytes or by text (breaks of any kind) as one
    // undo step; the caret ends after it.
    void ReplaceSelection(std::string_view sjis);
    void ReplaceSelection(std::u16string_view text);
    bool CanUndo() const { return FBuffer.CanUndo(); }
    void Undo();
    // Whether the text differs from its save point (see TTextBuffer::Modified).
    bool Modified() const { return FBuffer.Modified(); }
    void SetModified(bool modified);
    // Replaces, as one undo step, the selection when Selected says it is an occurrence,
    // then every match of Find after it that forward searches find one after the other,
    // by Replacement, in one pass over the text. Progress (when given) is told how far the
    // search has come (view bytes of the length) and may stop it by returning false: the
    // text is then left as it was and -1 returned. Returns how many were replaced; the
    // caret ends after the last.
    std::int64_t ReplaceAll(std::string_view find, std::u16string_view replacement, TFindOptions options,
                            const std::function<bool(const std::string& selected)>& selected = {},
                            const std::function<bool(std::int64_t done, std::int64_t length)>& progress = {});
    void Copy();
    void Cut();
    void Paste();

    // --- Search: FindInBuffer from the selection; the match start or -1 ---
    std::int64_t Find(std::string_view pattern, std::int64_t selStart, std::int64_t selLength, TFindOptions options) const;

    // --- Scrolling and geometry (viewport coordinates) ---
    std::int64_t FirstVisibleLine() const { return FTop.Line; }
    // Scrolls by columns (average character width) and screen rows.
    void LineScroll(int columns, std::int64_t rows);
    // Puts the first row of Line RowsAbove screen rows below the top, as near as the text
    // allows (the last row comes no higher than the bottom): the line is then on screen.
    void ScrollToLine(std::int64_t line, int rowsAbove = 0);
    void EnsureCaretVisible();
    std::int64_t PositionAt(QPoint point);
    // The caret rectangle of Position (its row's height), whether or not it is on screen
    // (off screen: a rectangle above or below the viewport).
    QRect PositionRect(std::int64_t position);
    int RowHeight() const;
    // Whole rows the viewport shows.
    int VisibleRows() const;

    // --- Options ---
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);
    bool WordWrap() const { return FWrap; }
    void SetWordWrap(bool wrap);
    bool LineSelect() const { return FLineSelect; }
    void SetLineSelect(bool enabled);
    // Whether the pointer setting is the line-selection pointer (an arrow).
    bool LineSelectPointer() const { return FLineSelectPointer; }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

signals:
    void textEdited();                     // the text changed (by the user or the program)
    void selectionMoved();
    void modificationChanged(bool modified);
    void refused(const QString& message);  // a command could not be done (said, with a beep)

protected:
    // Hooks for a view that keeps something in step with the text: before each undo step
    // begins (the text still as it was), after each change (the ranges replaced, in view
    // positions before it, ascending, and the view bytes put in each), and after an undo.
    virtual void EditStarting() {}
    virtual void TextReplaced(const std::vector<TViewRange>& /*ranges*/, std::int64_t /*inserted*/) {}
    virtual void EditUndone() {}

    TTextBuffer& MutableBuffer() { return FBuffer; }
    // After the buffer changed under the view (the view drops what it laid out).
    void BufferChanged();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

private:
    // A screen row: line, piece of that line, row of the piece's layout.
    struct TRowPos {
        std::int64_t Line = 0;
        int Piece = 0;
        int Row = 0;
    };
    // One laid-out piece of a line.
    struct TPieceLayout {
        std::uint64_t Generation = 0;  // the edit it was laid out or checked after
        std::int64_t From = 0;    // where it starts in its line
        std::int64_t Start = 0;   // view position of its first byte
        int Bytes = 0;
        bool LastPiece = true;
        double X = 0;             // without wrap, where the piece starts on its row
        std::unique_ptr<TLineMap> Map;
        std::unique_ptr<QTextLayout> Layout;
        int Rows = 1;
        int PreeditAt = -1;       // unit of the preedit text, or -1
    };

    // Where a line starts and how long it is (bytes, break excluded), remembered until the
    // next edit: the row walks ask for the same lines again and again.
    struct TLineSpan {
        std::int64_t Start = -1;
        std::int64_t Length = 0;
    };
    TLineSpan LineSpan(std::int64_t line);

    // Pieces of lines.
    bool Chained(std::int64_t line);  // with wrap, each piece starts with the last row of the one before
    int PieceCount(std::int64_t line);
    bool HasPiece(std::int64_t line, int piece);
    // Where piece Piece starts in a line (its length for Piece == the piece count).
    std::int64_t PieceCut(std::int64_t lineStart, std::int64_t lineLength, std::int64_t piece) const;
    TPieceLayout& Piece(std::int64_t line, int piece);
    void SyncLayoutWidth();  // a new width drops what was laid out for the old one
    // With wrap: where the line's pieces up to Piece start (laying out those before it).
    void EnsureWrapStarts(std::int64_t line, int piece);
    void NoteWrapStart(std::int64_t line, int piece, const TPieceLayout& laid);
    void DropLayouts();  // what is laid out no longer holds (width, font, wrap, input method)
    void TrimLayouts();  // a bounded number kept
    // Where Position lies: its line, piece, the piece layout and its unit in the piece.
    struct TPlace {
        std::int64_t Line = 0;
        int Piece = 0;
        int Unit = 0;
        int Row = 0;
    };
    TPlace PlaceOf(std::int64_t position);
    std::int64_t PositionOf(std::int64_t line, int piece, int unit);

    // Rows.
    bool NextRow(TRowPos& row);
    bool PrevRow(TRowPos& row);
    std::int64_t MoveRows(TRowPos& row, std::int64_t rows);  // how far it moved
    // The character boundary nearest to X (from the text's left edge) on Row.
    std::int64_t PositionOnRow(const TRowPos& row, double x);
    void SetTop(TRowPos top);
    void ClampTop();
    void SyncScrollBars();
    // Y of a row relative to the top row, when within Limit rows; otherwise INT_MIN.
    int RowOffset(const TRowPos& row, int limit);

    void MoveCaret(std::int64_t position, bool extend);
    void MoveVertically(std::int64_t rows, bool extend);
    void ViewModeKey(QKeyEvent* event);
    std::int64_t NextCharPosition(std::int64_t position) const;
    std::int64_t PrevCharPosition(std::int64_t position) const;
    std::int64_t WordStart(std::int64_t position) const;
    std::int64_t WordEnd(std::int64_t position) const;
    void ReplaceRange(std::int64_t from, std::int64_t to, const std::function<void(std::int64_t from, std::int64_t count)>& replace);
    void InsertTyped(const QString& text);
    void BeginEdit();
    void EndEdit();
    void AfterEdit(bool wasModified);
    void SelectionChanged();
    void EndTyping();
    void RestartBlink();
    double CaretX(std::int64_t position);

    // Margin line selection.
    bool StartLineSelection(QMouseEvent* event);
    void DragLineSelection(QPoint point);
    void SetLineSelectPointer(bool lineSelect);

    TTextBuffer FBuffer;
    std::int64_t FAnchor = 0;
    std::int64_t FCaret = 0;
    double FGoalX = -1;              // x kept by vertical moves

    TRowPos FTop;
    int FHScroll = 0;
    double FWidest = 0;
    bool FSyncing = false;

    std::map<std::pair<std::int64_t, int>, TPieceLayout> FLayouts;
    int FLayoutWidth = -1;
    std::uint64_t FGeneration = 0;  // counts edits: a layout from before one is checked again
    std::unordered_map<std::int64_t, TLineSpan> FLineSpans;
    // With wrap: the starts of each line's pieces found so far (bytes from the line's start).
    struct TWrapStarts {
        std::vector<std::int64_t> Starts{0};
        bool Complete = false;
    };
    std::unordered_map<std::int64_t, TWrapStarts> FWrapStarts;
    std::uint64_t FLineSpansGeneration = 0;

    bool FReadOnly = false;
    bool FWrap = false;
    bool FLineSelect = true;
    bool FLineSelectPointer = false;
    bool FLineDragging = false;
    bool FMouseSelecting = false;
    std::int64_t FLineAnchor = 0;
    int FLastY = 0;

    int FEditDepth = 0;              // an undo step is open
    bool FTyping = false;            // the open step gathers typed characters
    bool FTypingNow = false;         // a typed character is going in
    std::int64_t FTypingEnd = -1;    // where the next typed character continues it
    QString FPreedit;
    int FPreeditCursor = 0;

    QBasicTimer FBlink;
    bool FCaretShown = true;
};

}  // namespace xavo
