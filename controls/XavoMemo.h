// The text view: a QPlainTextEdit that speaks the program's byte-position model.
//
// Positions are byte offsets into the view's Shift-JIS text: a double-byte character
// takes two positions and every line break two (CR LF), whatever the file used; lines
// count from 0. Qt positions (UTF-16 units, one separator per block) are mapped through
// a line index in O(log lines). Files come in through LoadFromFile (plain text, or RTF
// when PlainText is off) and go out byte for byte through SaveToFile. A large file shows
// its first lines at once and the rest is appended while the event loop runs; every
// public operation first completes such a load. A plain-text file may be in any Japanese
// encoding (Encoding.h): it is shown decoded and saved in its own encoding, while the byte
// positions and byte texts here stay those of the text in Shift-JIS.
//
// A Shift-JIS plain-text file of kByteViewBytes or more is shown instead by a TTextView
// over its bytes (read or mapped once, never decoded whole): it opens at once whatever its
// size, and every operation here goes to that view (ShowsBytes). Positions stay int: in a
// text longer than INT_MAX they are clamped, so the end of such a text is reached by the
// view's own keys and scroll bar, not by position. Entry point: TXavoMemo.
#pragma once

#include "Encoding.h"
#include "FindOptions.h"
#include "LineIndex.h"
#include "PlainTextFile.h"

#include <QPlainTextEdit>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace xavo {

class TXavoMemo;
class TFileBytes;
class TTextBuffer;
class TTextView;
struct TRtfDocument;

// A failure to read or write a file; the message is for the user.
class EXavoMemoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kStreamReadError = "ｽﾄﾘｰﾑからの読み込みに失敗しました";

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// The view's text as a list of lines (a handle; the view owns the text). Lines are byte
// strings without their line break. Count is the view's line count, less one when the
// last line is empty.
class TMemoLines {
public:
    explicit TMemoLines(TXavoMemo& memo) : FMemo(&memo) {}

    int Count() const;
    // Line Index (0 <= Index < Count); raises std::out_of_range otherwise.
    std::string operator[](int index) const;
    std::vector<std::string> ToVector() const;
    // Replaces the text by the lines, each followed by CR LF.
    void Assign(const std::vector<std::string>& lines);
    void Clear();
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path);

private:
    TXavoMemo* FMemo;
};

// The view keeps its own document; replacing it with setDocument is not supported.
class TXavoMemo : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TXavoMemo(QWidget* parent = nullptr);
    ~TXavoMemo() override;

    // --- Queries and scrolling. Positions in bytes, lines from 0, pixels in viewport
    // coordinates (the viewport is the widget's client area).
    QRect FormatRect();                 // the rectangle the text is laid out in
    int CaretLine();                    // line of the selection start
    int CaretColumn();                  // selection start minus its line's start (bytes)
    int LineCount();
    int FirstVisibleLine();             // the line at the top of the viewport
    int CharFromPos(int x, int y);      // position nearest the point
    int LineFromChar(int position);     // line containing Position (clamped)
    int LineIndex(int line);            // start of Line (-1: the caret line); -1 past the last
    int LineLength(int position);       // bytes of Position's line, break excluded
    bool CanUndo();
    void Undo();
    // Scrolls by character columns (average character width) and by lines; with word
    // wrap a line here is a screen row.
    void LineScroll(int columns, int lines);
    void ScrollLine(bool down);
    // Searches the byte text from the selection (frDown, frMatchCase, frWholeWord),
    // selects the match and scrolls one line in the search direction. False (selection
    // and view unchanged) for an empty text or view or when there is no match. A '?' never
    // matches a character the bytes stand in for (one Shift-JIS cannot hold).
    bool FindText(std::string_view sjis, TFindOptions options);
    // As above for Unicode text; text that cannot be stored in CP932 is never found.
    bool FindText(const QString& text, TFindOptions options);

    // --- Text and selection, as Shift-JIS bytes with CR LF line breaks.
    TMemoLines Lines() { return TMemoLines(*this); }
    std::string Text();
    // Replaces everything and clears undo; with PlainText off, a text that begins with
    // "{\rtf" is read as RTF.
    void SetText(std::string_view sjis);
    int GetTextLen();
    int SelStart();
    void SetSelStart(int position);             // collapses the selection there
    int SelLength();
    void SetSelLength(int length);              // from SelStart; the caret ends the selection
    std::string SelText();
    void SetSelText(std::string_view sjis);     // replaces the selection (undoable)
    void SelectAll();
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    // Position of the first character that the text's encoding (Encoding) cannot store
    // (saving would write '?' for it), or -1 when the whole text can be saved as it is.
    int FindUnencodable();

    // --- Files. Both raise EXavoMemoError with a message for the user.
    // Loading reads plain text, or RTF when PlainText is off and the file begins with
    // "{\rtf"; the view is unchanged when it fails. It returns once the first screen is
    // in; IsLoading is true until the rest has been appended (FinishLoading does it now).
    // Plain text is read in Encoding, completed from the file's byte-order mark
    // (WithFileMark); without one, the encoding is detected where its text stops being ASCII.
    void LoadFromFile(const std::string& path, std::optional<TEncoding> encoding = std::nullopt);
    // Plain text in Encoding() with the line ends the text was loaded with (CR LF for a new
    // text), byte for byte as read when unedited; or RTF (Shift-JIS) when PlainText is off.
    // Characters the encoding cannot store are written as '?' (see FindUnencodable).
    void SaveToFile(const std::string& path);
    // The encoding the shown text was read in and will be saved in: Shift-JIS for RTF and
    // for text given by SetText.
    TFileEncoding Encoding() const { return FEncoding; }
    bool IsLoading() const { return FLoading; }
    // The shown text was read as RTF, by a load or SetText (saving it as plain text drops
    // its formatting). The window forgets it once the text has been saved as plain text.
    bool ReadAsRichText() const { return FReadAsRichText; }
    void ForgetRichText() { FReadAsRichText = false; }
    void FinishLoading();

    // --- Properties (the font is the widget's own: font(), setFont()).
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);
    bool PlainText() const { return FPlainText; }
    void SetPlainText(bool plainText) { FPlainText = plainText; }
    bool WordWrap() const { return lineWrapMode() != NoWrap; }
    void SetWordWrap(bool wrap);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle style);
    QColor Color() const;
    void SetColor(const QColor& color);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool hide);
    bool LineSelect() const { return FLineSelect; }
    void SetLineSelect(bool enabled);
    // Whether the pointer setting is the line-selection pointer (an arrow).
    bool LineSelectPointer() const;

    // --- The byte view of large plain files.
    static constexpr std::int64_t kByteViewBytes = 4 << 20;
    // The size from which files go to the byte view (kByteViewBytes; benchmarks compare
    // both views on one file by moving it).
    static void SetByteViewThreshold(std::int64_t bytes) { FByteViewThreshold = bytes; }
    bool ShowsBytes() const { return FView != nullptr; }
    TTextView* ByteView() const { return FView; }
    // Puts Line at the top of the view.
    void ScrollToLine(int line);
    // Whether the text was edited since it was loaded or saved (the document's flag for
    // the document view, the buffer's for the byte view; document()->setModified sets both).
    bool IsModified() const;

signals:
    // A load that ran on in the background has appended its last line.
    void loadFinished();
    // Input the view cannot store was dropped (the byte view holds Shift-JIS only).
    void refused(const QString& message);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
public:
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
protected:

private:
    friend class TMemoLines;

    // Positions.
    int BytePosition(int qtPosition);
    int QtPosition(int bytePosition);
    const TLineMap& LineMapOf(const QTextBlock& block);
    void Select(int anchor, int caret);
    int ClampPosition(int position);
    std::string LineBytes(int line);
    bool MatchesUnencodable(int at, std::string_view sjis);
    const std::string& ByteText();

    // Keeping the line index in step with the document.
    void OnContentsChange(int position, int removed, int added);
    void RebuildLineIndex();

    // Loading.
    void ReadBytes(std::string bytes, TFileEncoding encoding = {});
    void ShowPlainText(TPlainText text, std::string bytes);
    void ShowRtf(const TRtfDocument& rtf);
    void BeginLoad();
    void AppendPending(std::size_t units);
    void AppendSomeMore();
    void EndLoad();
    std::string EncodePlainText();
    TRtfDocument DocumentToRtf();

    // Margin line selection.
    bool StartLineSelection(QMouseEvent* event);
    void DragLineSelection(QPoint point);
    void SetLineSelectPointer(bool lineSelect);

    void ApplyPalette();

    // The byte view.
    void ShowBytes(TTextBuffer buffer);
    void ShowSavedBytes(const std::string& path, std::string bytes);
    void DropByteView();
    int FindUnencodableInBytes();
    TTextView* FView = nullptr;
    std::unique_ptr<TFileBytes> FOriginalFile;  // the file behind a byte view in another encoding
    static inline std::int64_t FByteViewThreshold = kByteViewBytes;

    bool FLineDragging = false;
    int FAnchor = 0;
    int FLastY = 0;
    QRect FRect;
    bool FLineSelect = true;
    bool FLineSelectPointer = false;

    bool FReadOnly = false;
    bool FPlainText = false;
    bool FReadAsRichText = false;
    bool FHideSelection = true;
    TScrollStyle FScrollBars = ssBoth;

    TLineIndex FLines;                 // byte lengths of the document's blocks
    TLineEnd FLineEnd = TLineEnd::CrLf;
    TFileEncoding FEncoding;           // of the plain text shown and saved
    struct TCachedLine {
        int Block = -1;
        TLineMap Map;
    };
    std::vector<TCachedLine> FLineMaps;  // a few recently used lines
    std::string FByteText;             // the whole text as bytes, while valid
    bool FByteTextValid = false;

    bool FLoading = false;             // pending text is still being appended
    bool FUpdatingIndex = true;        // contentsChange keeps FLines in step
    std::u16string FPending;           // decoded text not yet in the document
    std::size_t FPendingAt = 0;
    std::vector<std::pair<int, TLineEnd>> FPendingEnds;
    QTimer FLoadTimer;
};

}  // namespace xavo
