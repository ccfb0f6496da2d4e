// A text view over a TTextBuffer that decodes and lays out only what is on screen, so a
// file of any size shows at once and costs little more memory than its bytes.
//
// Positions are the buffer's view positions (Shift-JIS bytes, every line break counting
// two), 64-bit. Each line is laid out in pieces of at most kPieceBytes, cut on character
// boundaries, so a line of megabytes costs no more than the pieces on screen; a piece is
// one QTextLayout, cached while it stays near the screen. The view scrolls by screen rows
// (a wrapped piece has several); the vertical scroll bar counts lines.
//
// The caret and selection are byte positions kept on character boundaries. Typed, pasted
// and input-method text is stored as CP932; text CP932 cannot hold is refused with a beep
// and the Refused signal, never stored as '?'. Entry point: TTextView.
#pragma once

#include "TextBuffer.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QTextLayout>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xavo {

class TLineMap;

// The literal search of SearchBuffer (frDown, frMatchCase, frWholeWord) over a whole
// buffer from a selection, reading it in windows of about Window bytes of whole lines:
// the match start, or -1.
std::int64_t FindInBuffer(const TTextBuffer& buffer, std::string_view pattern, std::int64_t selStart,
                          std::int64_t selLength, int options, std::int64_t window = 16 << 20);

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
    // Replaces the selection by Shift-JIS bytes (breaks of any kind) as one undo step; the
    // caret ends after them.
    void ReplaceSelection(std::string_view sjis);
    void ReplaceRange(std::int64_t from, std::int64_t to, std::string_view sjis);
    // Whether Text can be stored here (CP932 holds all of it); if not, beeps and reports it
    // refused, as for typed text. For callers that insert text on the user's behalf.
    bool Holds(const QString& text);
    bool CanUndo() const { return FBuffer.CanUndo(); }
    void Undo();
    bool Modified() const { return FBuffer.Modified(); }
    void SetModified(bool modified);
    // Replaces every match of Find from the selection on (the selection itself when it
    // matches) as one undo step; returns how many.
    std::int64_t ReplaceAll(std::string_view find, std::string_view replacement, int options);
    void Copy();
    void Cut();
    void Paste();

    // --- Search: the literal search of SearchBuffer over the whole text, in windows of
    // whole lines (positions and boundaries exact). Returns the match start or -1.
    std::int64_t Find(std::string_view pattern, std::int64_t selStart, std::int64_t selLength, int options) const;

    // --- Scrolling and geometry (viewport coordinates) ---
    std::int64_t FirstVisibleLine() const { return FTop.Line; }
    // Scrolls by columns (average character width) and screen rows.
    void LineScroll(int columns, std::int64_t rows);
    // Puts the first row of Line at the top.
    void ScrollToLine(std::int64_t line);
    void EnsureCaretVisible();
    std::int64_t PositionAt(QPoint point);
    // The caret rectangle of Position (its row's height), whether or not it is on screen
    // (off screen: a rectangle above or below the viewport).
    QRect PositionRect(std::int64_t position);
    int RowHeight() const;

    // --- Options ---
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);
    bool WordWrap() const { return FWrap; }
    void SetWordWrap(bool wrap);
    bool LineSelect() const { return FLineSelect; }
    void SetLineSelect(bool enabled);
    bool LineSelectPointer() const { return FLineSelectPointer; }

    // The widget whose focus the caret and selection colours follow (this one by
    // default; a widget that forwards its key and input-method events here).
    void SetFocusOwner(QWidget* owner) { FFocusOwner = owner; }
    void FocusChanged();

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    // Entry points for a widget that forwards its events here.
    void HandleKey(QKeyEvent* event) { keyPressEvent(event); }
    void HandleInputMethod(QInputMethodEvent* event) { inputMethodEvent(event); }

signals:
    void textEdited();                 // the text changed (by the user or the program)
    void selectionMoved();
    void modificationChanged(bool modified);
    void refused(const QString& message);  // input that cannot be stored was dropped

protected:
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
        std::int64_t Start = 0;   // view position of its first byte
        int Bytes = 0;
        bool LastPiece = true;
        double X = 0;             // without wrap, where the piece starts on its row
        std::unique_ptr<TLineMap> Map;
        std::unique_ptr<QTextLayout> Layout;
        int Rows = 1;
        int PreeditAt = -1;       // unit of the preedit text, or -1
    };

    // Pieces of lines.
    int PieceCount(std::int64_t line);
    // Where piece Piece starts in a line (its length for Piece == the piece count).
    std::int64_t PieceCut(std::int64_t lineStart, std::int64_t lineLength, std::int64_t piece) const;
    TPieceLayout& Piece(std::int64_t line, int piece);
    void DropLayouts();
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
    int VisibleRows() const;
    void SetTop(TRowPos top);
    void ClampTop();
    void SyncScrollBars();
    // Y of a row relative to the top row, when within Limit rows; otherwise nullopt-like INT_MIN.
    int RowOffset(const TRowPos& row, int limit);

    void MoveCaret(std::int64_t position, bool extend);
    void MoveVertically(std::int64_t rows, bool extend);
    std::int64_t NextCharPosition(std::int64_t position) const;
    std::int64_t PrevCharPosition(std::int64_t position) const;
    std::int64_t WordStart(std::int64_t position) const;
    std::int64_t WordEnd(std::int64_t position) const;
    bool InsertTyped(const QString& text);
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

    bool FReadOnly = false;
    bool FWrap = false;
    bool FLineSelect = true;
    bool FLineSelectPointer = false;
    bool FLineDragging = false;
    bool FMouseSelecting = false;
    std::int64_t FLineAnchor = 0;
    int FLastY = 0;

    bool FTyping = false;            // an undo group of typed characters is open
    bool FTypingNow = false;
    std::int64_t FTypingEnd = -1;    // where the next typed character continues it
    QString FPreedit;
    int FPreeditCursor = 0;

    QWidget* FFocusOwner = this;
    bool Focused() const { return FFocusOwner->hasFocus(); }
    QBasicTimer FBlink;
    bool FCaretShown = true;
};

}  // namespace xavo
