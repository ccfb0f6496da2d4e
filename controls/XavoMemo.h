// The text view of the main window: TTextView with the program's byte-position interface,
// files in and out, and rich text.
//
// Positions are byte offsets into the view's Shift-JIS text: a double-byte character
// takes two positions and every line break two (CR LF), whatever the file used; lines
// count from 0; 64-bit throughout, so the end of a file of any size is reached by
// position. A character Shift-JIS cannot hold takes one position per UTF-16 unit and reads
// as '?' in the byte texts here, but is shown and saved as itself.
//
// One opening path for every plain-text file: path bytes -> TFileBytes (one read or map)
// -> one encoding (chosen, or detected once) -> the document (ReadTextBuffer) -> the view.
// An RTF file read with PlainText off is held as its text plus its formats (TRichFormats)
// and shown formatted, while read-only, by a QTextDocument over the view; editing it edits
// the text, whose formats follow. The file read is watched by the caller through
// DiskChange. Entry point: TXavoMemo.
#pragma once

#include "Encoding.h"
#include "FindOptions.h"
#include "RichFormats.h"
#include "TextView.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QTextEdit;

namespace xavo {

class TXavoMemo;

// A failure to read or write a file; the message is for the user.
class EXavoMemoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kStreamReadError = "ｽﾄﾘｰﾑからの読み込みに失敗しました";
// Said when the text is found to stand on pages of a file another program cut short.
inline constexpr const char* kCutShortError = "表示中のファイルが他のプログラムによって短くされました。読み込み直してください";

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// How the file the text was read from stands on disk now.
enum class TDiskChange {
    None,     // as read (or as last saved)
    Grown,    // the same file, longer, what was read still there: a log written to
    Changed,  // rewritten, replaced or cut short by another program
    Gone,     // no longer there
};

// The view's text as a list of lines (a handle; the view owns the text). Lines are byte
// strings without their line break. Count is the view's line count, less one when the
// last line is empty.
class TMemoLines {
public:
    explicit TMemoLines(TXavoMemo& memo) : FMemo(&memo) {}

    std::int64_t Count() const;
    // Line Index (0 <= Index < Count); raises std::out_of_range otherwise.
    std::string operator[](std::int64_t index) const;
    std::vector<std::string> ToVector() const;
    // Replaces the text by the lines, each followed by CR LF.
    void Assign(const std::vector<std::string>& lines);
    void Clear();
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path);

private:
    TXavoMemo* FMemo;
};

class TXavoMemo : public TTextView {
    Q_OBJECT

public:
    explicit TXavoMemo(QWidget* parent = nullptr);
    ~TXavoMemo() override;

    // --- Queries and scrolling. Positions in bytes, lines from 0, pixels in viewport
    // coordinates (the viewport is the widget's client area).
    QRect FormatRect();                               // the rectangle the text is laid out in
    std::int64_t CaretLine();                         // line of the selection start
    std::int64_t CaretColumn();                       // selection start minus its line's start (bytes)
    std::int64_t LineCount();
    std::int64_t CharFromPos(int x, int y);           // position nearest the point
    std::int64_t LineFromChar(std::int64_t position); // line containing Position (clamped)
    std::int64_t LineIndex(std::int64_t line);        // start of Line (-1: the caret line); -1 past the last
    std::int64_t LineLength(std::int64_t position);   // bytes of Position's line, break excluded
    void ScrollLine(bool down);
    // Puts Line's first row on Row (from 0) of the view, as near as the text allows: at
    // the top of the text the line stays higher, at its end the view shows a full screen
    // and the line lower. The line is always on screen.
    void ScrollLineToRow(std::int64_t line, int row);
    // Searches the byte text from the selection (frDown, frMatchCase, frWholeWord),
    // selects the match and scrolls one line in the search direction. False (selection
    // and view unchanged) for an empty text or view or when there is no match. A '?' never
    // matches a character the bytes stand in for (one Shift-JIS cannot hold). Raises
    // EXavoMemoError (kCutShortError) when the text read was a file another program cut short.
    bool FindText(std::string_view sjis, TFindOptions options);
    // As above for Unicode text; text that cannot be stored in CP932 is never found.
    bool FindText(const QString& text, TFindOptions options);

    // --- Text and selection, as Shift-JIS bytes with CR LF line breaks. Setting the
    // selection scrolls its caret end into view.
    TMemoLines Lines() { return TMemoLines(*this); }
    std::string Text();
    // Replaces everything and clears undo; with PlainText off, a text that begins with
    // "{\rtf" is read as RTF. The text stands for no file.
    void SetText(std::string_view sjis);
    std::int64_t GetTextLen();
    void SetSelStart(std::int64_t position);             // collapses the selection there
    std::int64_t SelLength();
    void SetSelLength(std::int64_t length);              // from SelStart; the caret ends the selection
    void SetSelText(std::string_view sjis);              // replaces the selection (undoable)
    void SelectAll();
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    // Position of the first character that the text's encoding (Encoding) cannot store
    // (saving would write '?' for it), or -1 when the whole text can be saved as it is.
    std::int64_t FindUnencodable();
    // Whether the text was edited since it was loaded or saved (undoing back counts as not).
    bool IsModified() const { return Modified(); }

    // --- Files. Both raise EXavoMemoError with a message for the user.
    // Reads plain text, or RTF when PlainText is off and the file begins with "{\rtf"; the
    // view is unchanged when it fails. Plain text is read in Encoding, completed from the
    // file's byte-order mark (WithFileMark); without one, the encoding is detected once,
    // where the text stops being ASCII.
    // The file becomes the one DiskChange watches.
    void LoadFromFile(const std::string& path, std::optional<TEncoding> encoding = std::nullopt);
    // Plain text in Encoding() with the line ends the text was loaded with (CR LF for a new
    // text), byte for byte as read when unedited; or RTF (Shift-JIS) when PlainText is off.
    // Characters the encoding cannot store are written as '?' (see FindUnencodable).
    // Saving to the watched file makes what was written the state DiskChange compares with.
    void SaveToFile(const std::string& path);
    // The encoding the shown text was read in and will be saved in: Shift-JIS for RTF and
    // for text given by SetText.
    TFileEncoding Encoding() const { return FEncoding; }
    // The shown text was read as RTF, by a load or SetText (saving it as plain text drops
    // its formatting). The window forgets it once the text has been saved as plain text.
    bool ReadAsRichText() const { return FReadAsRichText; }
    void ForgetRichText();

    // --- The file on disk (path bytes as given to LoadFromFile; empty: none).
    const std::string& FileName() const { return FFileName; }
    // Makes Path the watched file, in the state it has now (after a save under a new name).
    void WatchFile(const std::string& path);
    TDiskChange DiskChange() const;
    // Takes the file's present state as the one the text stands for, without reading it
    // (the user keeps the text): asked about once per change.
    void AcceptDiskState();
    // Reads the watched file again in Encoding (detected without one), keeping the caret's
    // line and column and the top line where the new text allows. The text is unchanged
    // when it fails (EXavoMemoError).
    void Reload(std::optional<TEncoding> encoding = std::nullopt);
    // Adds what was written to the end of the watched file (DiskChange Grown) to an
    // unedited text as read, without reading the rest again: the caret stays, or follows
    // the end when it was there. False when the new end cannot be taken on its own (the
    // old end was no line end, or it is very large): Reload instead.
    bool TakeGrowth();

    // --- Properties (the font is the widget's own: font(), setFont()).
    void SetReadOnly(bool readOnly);
    bool PlainText() const { return FPlainText; }
    void SetPlainText(bool plainText) { FPlainText = plainText; }
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle style);
    QColor Color() const;
    void SetColor(const QColor& color);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool hide);
    // The read-only QTextDocument view of rich text, or null while the text shows itself.
    QTextEdit* RichView() const;

protected:
    void EditStarting() override;
    void TextReplaced(const std::vector<TViewRange>& ranges, std::int64_t inserted) override;
    void EditUndone() override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TMemoLines;

    void Show(TTextBuffer buffer, TFileEncoding encoding);
    void ShowRtf(const TRtfDocument& rtf);
    void ApplyPalette();
    void UpdateRichView();
    void FollowSelectionInRichView();
    void FollowScrollInRichView();
    void TakeRichViewSelection();
    std::int64_t FindUnencodableFrom(std::int64_t from, std::int64_t to);
    void NoteFile(const std::string& path, const TFileStamp& stamp);

    bool FPlainText = false;
    bool FReadAsRichText = false;
    bool FHideSelection = true;
    TScrollStyle FScrollBars = ssBoth;
    TFileEncoding FEncoding;           // of the plain text shown and saved

    // Rich text: the formats, and their state before each undo step (by the step's index).
    TRichFormats FFormats;
    std::vector<std::pair<std::size_t, std::vector<TRichFormats::TRun>>> FFormatsBefore;
    QTextEdit* FRichView = nullptr;
    bool FSyncingRichView = false;

    // The watched file: its path, its state when read or saved, and its last bytes then
    // (to tell a file that only grew).
    std::string FFileName;
    TFileStamp FStamp;
    std::string FTail;
};

}  // namespace xavo
