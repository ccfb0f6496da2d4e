// The text view (see XavoMemo.h): position mapping, loading and saving, margin line
// selection and find over the byte text.
#include "XavoMemo.h"

#include <cstring>

#include "Detect.h"
#include "EncodedText.h"
#include "ErrorText.h"
#include "Rtf.h"
#include "SjisQt.h"
#include "TextFileIo.h"
#include "TextSearch.h"
#include "TextView.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <climits>

namespace xavo {
namespace {

constexpr int kSelectionBarWidth = 8;           // the document margin; line selection starts left of the text
constexpr std::size_t kFirstUnits = 64 * 1024;  // appended before LoadFromFile returns: the first screen
constexpr std::size_t kChunkUnits = 256 * 1024; // appended at a time afterwards
constexpr qint64 kChunkMillis = 30;             // appending per turn of the event loop
constexpr std::size_t kLineMapsKept = 4;

// Positions of the byte view in the int interface.
int Clamped(std::int64_t position) { return static_cast<int>(std::clamp<std::int64_t>(position, INT_MIN, INT_MAX)); }

// Every kind of line break as the one that QTextCursor::insertText turns into a block.
QString NormalizeBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar(u'\r'), QChar(u'\n'));
    text.replace(QChar(QChar::LineSeparator), QChar(u'\n'));
    return text;
}

QTextCharFormat ToQtFormat(const TRtfCharFormat& format) {
    QTextCharFormat f;
    if (format.Bold) f.setFontWeight(QFont::Bold);
    if (format.Italic) f.setFontItalic(true);
    if (format.Underline) f.setFontUnderline(true);
    if (format.StrikeOut) f.setFontStrikeOut(true);
    if (format.HalfPoints > 0) f.setFontPointSize(format.HalfPoints / 2.0);
    if (format.HasColor)
        f.setForeground(QColor(static_cast<int>(format.Color >> 16 & 0xFF), static_cast<int>(format.Color >> 8 & 0xFF),
                               static_cast<int>(format.Color & 0xFF)));
    if (!format.FontName.empty()) f.setFontFamilies(QStringList{ToQString(format.FontName)});
    return f;
}

// Fragments of one font share one name (see TRtfFontName): LastFont holds the latest.
TRtfCharFormat FromQtFormat(const QTextCharFormat& f, TRtfFontName& lastFont) {
    TRtfCharFormat format;
    format.Bold = f.fontWeight() > QFont::Medium;
    format.Italic = f.fontItalic();
    format.Underline = f.fontUnderline();
    format.StrikeOut = f.fontStrikeOut();
    if (f.hasProperty(QTextFormat::FontPointSize)) format.HalfPoints = qRound(f.fontPointSize() * 2);
    if (f.hasProperty(QTextFormat::ForegroundBrush)) {
        const QColor c = f.foreground().color();
        format.HasColor = true;
        format.Color = static_cast<std::uint32_t>(c.red() << 16 | c.green() << 8 | c.blue());
    }
    if (f.hasProperty(QTextFormat::FontFamilies)) {
        const QStringList families = f.fontFamilies().toStringList();
        if (!families.isEmpty()) {
            const std::u16string_view name = View(families.first()).substr(0, kMaxRtfFontNameLength);
            if (lastFont.View() != name) lastFont = TRtfFontName(name);
            format.FontName = lastFont;
        }
    }
    return format;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TMemoLines

int TMemoLines::Count() const {
    if (TTextView* view = FMemo->FView) {
        const TTextBuffer& b = view->Buffer();
        const std::int64_t last = b.LineCount() - 1;
        return Clamped(b.LineLength(b.LineIndex(last)) == 0 ? last : last + 1);
    }
    const int count = FMemo->LineCount();
    return FMemo->FLines.Length(count - 1) == 0 ? count - 1 : count;
}

std::string TMemoLines::operator[](int index) const {
    if (index < 0 || index >= Count()) throw std::out_of_range("line index out of range: " + std::to_string(index));
    return FMemo->LineBytes(index);
}

std::vector<std::string> TMemoLines::ToVector() const {
    std::vector<std::string> lines;
    const int count = Count();
    lines.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) lines.push_back(FMemo->LineBytes(i));
    return lines;
}

void TMemoLines::Assign(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    FMemo->SetText(text);
}

void TMemoLines::Clear() { FMemo->SetText({}); }
void TMemoLines::LoadFromFile(const std::string& path) { FMemo->LoadFromFile(path); }
void TMemoLines::SaveToFile(const std::string& path) { FMemo->SaveToFile(path); }

// ---------------------------------------------------------------------------------------
// Construction and properties

TXavoMemo::TXavoMemo(QWidget* parent) : QPlainTextEdit(parent) {
    document()->setDocumentMargin(kSelectionBarWidth);
    setTabStopDistance(logicalDpiX() / 2.0);  // half an inch, as rich-edit controls do
    FLoadTimer.setSingleShot(true);
    FLoadTimer.setInterval(0);
    connect(&FLoadTimer, &QTimer::timeout, this, &TXavoMemo::AppendSomeMore);
    connect(document(), &QTextDocument::contentsChange, this, &TXavoMemo::OnContentsChange);
    SetScrollBars(FScrollBars);
    ApplyPalette();
    viewport()->setMouseTracking(true);  // the pointer follows the margin without a button down
    SetLineSelectPointer(false);
    // Setting the margin counts as an edit to Qt: a new view starts unedited, with nothing to undo.
    document()->clearUndoRedoStacks();
    document()->setModified(false);
    // The window keeps the unsaved-edit flag on the document; the byte view follows it.
    connect(document(), &QTextDocument::modificationChanged, this, [this](bool modified) {
        if (FView != nullptr) FView->SetModified(modified);
    });
}

TXavoMemo::~TXavoMemo() = default;

bool TXavoMemo::LineSelectPointer() const { return FView != nullptr ? FView->LineSelectPointer() : FLineSelectPointer; }

bool TXavoMemo::IsModified() const { return FView != nullptr ? FView->Modified() : document()->isModified(); }

void TXavoMemo::ShowBytes(TTextBuffer buffer) {
    FOriginalFile.reset();
    FLoadTimer.stop();
    FLoading = false;
    FPending = std::u16string();
    FPendingAt = 0;
    FPendingEnds.clear();
    if (FView == nullptr) {
        // Inside the viewport: drags over the byte view go on to the viewport, where drop
        // targets watch, and this widget's frame stays the frame.
        FView = new TTextView(viewport());
        FView->SetFocusOwner(this);
        FView->setFocusPolicy(Qt::NoFocus);
        FView->setFrameShape(QFrame::NoFrame);
        FView->setGeometry(viewport()->rect());
        viewport()->installEventFilter(this);
        connect(FView, &TTextView::modificationChanged, this, [this](bool modified) {
            if (modified != document()->isModified()) document()->setModified(modified);
        });
        connect(FView, &TTextView::textEdited, this, [this] { emit textChanged(); });
        connect(FView, &TTextView::selectionMoved, this, [this] { emit cursorPositionChanged(); });
        connect(FView, &TTextView::refused, this, &TXavoMemo::refused);
    }
    // The document view's text goes: the byte view is the whole text now.
    FUpdatingIndex = false;
    document()->setUndoRedoEnabled(false);
    document()->clear();
    document()->setUndoRedoEnabled(true);
    FLines.Assign({0});
    FLineMaps.clear();
    FByteTextValid = false;
    FByteText = std::string();
    FUpdatingIndex = true;
    FView->SetBuffer(std::move(buffer));
    FView->SetReadOnly(FReadOnly);
    FView->SetWordWrap(WordWrap());
    FView->SetLineSelect(FLineSelect);
    SetScrollBars(FScrollBars);
    FView->show();
    FView->raise();
    document()->setModified(false);
}

// The byte view holds Shift-JIS, which UTF-8 and UTF-16 store whole; EUC-JP and JIS lack
// some of its characters. Searched in windows of whole lines.
int TXavoMemo::FindUnencodableInBytes() {
    if (FEncoding.Kind == TEncoding::Sjis || FEncoding.Kind == TEncoding::Utf8 || FEncoding.Kind == TEncoding::Utf16Le ||
        FEncoding.Kind == TEncoding::Utf16Be)
        return -1;
    const TTextBuffer& buffer = FView->Buffer();
    constexpr std::int64_t kWindow = 16 << 20;
    for (std::int64_t from = 0; from < buffer.Length();) {
        const std::int64_t line = buffer.LineFromChar(std::min(buffer.Length(), from + kWindow));
        const std::int64_t next = buffer.LineIndex(line + 1);
        const std::int64_t to = next < 0 ? buffer.Length() : next;
        const std::u16string text = DecodeSjis(buffer.Text(from, to - from));
        const std::size_t at = FindUnencodableIn(text, FEncoding);
        if (at != std::u16string::npos) return Clamped(from + TLineMap(text).BytesBefore(static_cast<int>(at)));
        from = to;
    }
    return -1;
}

void TXavoMemo::DropByteView() {
    FOriginalFile.reset();
    if (FView == nullptr) return;
    TTextView* view = FView;
    FView = nullptr;
    SetScrollBars(FScrollBars);
    view->hide();
    view->deleteLater();
    view->SetBuffer(TTextBuffer());  // the file's bytes go now, not when the event loop runs
}

bool TXavoMemo::eventFilter(QObject* watched, QEvent* event) {
    if (FView != nullptr && watched == viewport() && event->type() == QEvent::Resize) FView->setGeometry(viewport()->rect());
    return QPlainTextEdit::eventFilter(watched, event);
}

void TXavoMemo::ScrollToLine(int line) {
    if (FView != nullptr) return FView->ScrollToLine(line);
    FinishLoading();
    verticalScrollBar()->setValue(line);
}

void TXavoMemo::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    if (FView != nullptr) FView->setGeometry(viewport()->rect());
}

void TXavoMemo::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    if (FView != nullptr) FView->FocusChanged();
}

void TXavoMemo::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (FView != nullptr) FView->FocusChanged();
}

void TXavoMemo::SetReadOnly(bool readOnly) {
    FReadOnly = readOnly;
    if (FView != nullptr) FView->SetReadOnly(readOnly);
    if (!FLoading) setReadOnly(readOnly);
    SetLineSelectPointer(FLineSelectPointer);  // Qt resets the viewport's pointer
}

void TXavoMemo::SetWordWrap(bool wrap) {
    setLineWrapMode(wrap ? WidgetWidth : NoWrap);
    if (FView != nullptr) FView->SetWordWrap(wrap);
}

void TXavoMemo::SetScrollBars(TScrollStyle style) {
    FScrollBars = style;
    const Qt::ScrollBarPolicy vertical = style == ssVertical || style == ssBoth ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    const Qt::ScrollBarPolicy horizontal = style == ssHorizontal || style == ssBoth ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (FView != nullptr) {
        // The byte view has the scroll bars; this widget's own would show through it.
        FView->setVerticalScrollBarPolicy(vertical);
        FView->setHorizontalScrollBarPolicy(horizontal);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        return;
    }
    setVerticalScrollBarPolicy(vertical);
    setHorizontalScrollBarPolicy(horizontal);
}

QColor TXavoMemo::Color() const { return palette().color(QPalette::Base); }

void TXavoMemo::SetColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Base, color);
    setPalette(p);
    ApplyPalette();
}

void TXavoMemo::SetHideSelection(bool hide) {
    FHideSelection = hide;
    ApplyPalette();
}

void TXavoMemo::ApplyPalette() {
    // Without the focus, the selection is drawn with the inactive colours: hidden means
    // drawn as plain text.
    QPalette p = palette();
    const QPalette::ColorGroup active = QPalette::Active, inactive = QPalette::Inactive;
    p.setColor(inactive, QPalette::Highlight, FHideSelection ? p.color(active, QPalette::Base) : p.color(active, QPalette::Highlight));
    p.setColor(inactive, QPalette::HighlightedText,
               FHideSelection ? p.color(active, QPalette::Text) : p.color(active, QPalette::HighlightedText));
    setPalette(p);
}

void TXavoMemo::SetLineSelect(bool enabled) {
    FLineSelect = enabled;
    if (FView != nullptr) FView->SetLineSelect(enabled);
    if (!enabled) SetLineSelectPointer(false);
}

void TXavoMemo::SetLineSelectPointer(bool lineSelect) {
    FLineSelectPointer = lineSelect;
    viewport()->setCursor(lineSelect ? Qt::ArrowCursor : Qt::IBeamCursor);
}

// ---------------------------------------------------------------------------------------
// Positions

int TXavoMemo::ClampPosition(int position) {
    return std::clamp(position, 0, static_cast<int>(FLines.TextLength()));
}

const TLineMap& TXavoMemo::LineMapOf(const QTextBlock& block) {
    const int number = block.blockNumber();
    for (const TCachedLine& cached : FLineMaps)
        if (cached.Block == number) return cached.Map;
    if (FLineMaps.size() >= kLineMapsKept) FLineMaps.erase(FLineMaps.begin());
    FLineMaps.push_back({number, TLineMap(std::u16string(View(block.text())))});
    return FLineMaps.back().Map;
}

int TXavoMemo::BytePosition(int qtPosition) {
    QTextDocument* doc = document();
    const QTextBlock block = doc->findBlock(std::clamp(qtPosition, 0, doc->characterCount() - 1));
    return static_cast<int>(FLines.Start(block.blockNumber())) +
           LineMapOf(block).BytesBefore(qtPosition - block.position());
}

int TXavoMemo::QtPosition(int bytePosition) {
    bytePosition = ClampPosition(bytePosition);
    const int line = FLines.LineOf(bytePosition);
    const QTextBlock block = document()->findBlockByNumber(line);
    return block.position() + LineMapOf(block).UnitAt(bytePosition - static_cast<int>(FLines.Start(line)));
}

void TXavoMemo::Select(int anchor, int caret) {
    QTextCursor cursor = textCursor();
    cursor.setPosition(QtPosition(anchor));
    cursor.setPosition(QtPosition(caret), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

std::string TXavoMemo::LineBytes(int line) {
    if (FView != nullptr) return FView->Buffer().LineText(line);
    FinishLoading();
    return EncodeSjis(View(document()->findBlockByNumber(line).text()));
}

// ---------------------------------------------------------------------------------------
// Queries and scrolling

QRect TXavoMemo::FormatRect() {
    if (FView != nullptr) {
        const int margin = TTextView::kMargin;
        return FRect = FView->viewport()->rect().adjusted(margin, margin, -margin, -margin);
    }
    const int margin = static_cast<int>(document()->documentMargin());
    FRect = viewport()->rect().adjusted(margin, margin, -margin, -margin);
    return FRect;
}

int TXavoMemo::CaretLine() { return LineFromChar(SelStart()); }

int TXavoMemo::CaretColumn() { return SelStart() - LineIndex(CaretLine()); }

int TXavoMemo::LineCount() {
    if (FView != nullptr) return Clamped(FView->Buffer().LineCount());
    FinishLoading();
    return FLines.LineCount();
}

int TXavoMemo::FirstVisibleLine() {
    if (FView != nullptr) return Clamped(FView->FirstVisibleLine());
    FinishLoading();
    return firstVisibleBlock().blockNumber();
}

int TXavoMemo::CharFromPos(int x, int y) {
    if (FView != nullptr) return Clamped(FView->PositionAt(QPoint(x, y)));
    FinishLoading();
    return BytePosition(cursorForPosition(QPoint(x, y)).position());
}

int TXavoMemo::LineFromChar(int position) {
    if (FView != nullptr) return Clamped(FView->Buffer().LineFromChar(position));
    FinishLoading();
    return FLines.LineOf(position);
}

int TXavoMemo::LineIndex(int line) {
    FinishLoading();
    if (line < 0) line = CaretLine();
    if (FView != nullptr) {
        const std::int64_t start = FView->Buffer().LineIndex(line);
        return start > INT_MAX ? INT_MAX : static_cast<int>(start);
    }
    if (line >= FLines.LineCount()) return -1;
    return static_cast<int>(FLines.Start(line));
}

int TXavoMemo::LineLength(int position) {
    if (FView != nullptr) return Clamped(FView->Buffer().LineLength(position));
    FinishLoading();
    return FLines.Length(FLines.LineOf(position));
}

bool TXavoMemo::CanUndo() {
    if (FView != nullptr) return FView->CanUndo();
    FinishLoading();
    return document()->isUndoAvailable();
}

void TXavoMemo::Undo() {
    if (FView != nullptr) return FView->Undo();
    FinishLoading();
    undo();
}

void TXavoMemo::LineScroll(int columns, int lines) {
    if (FView != nullptr) return FView->LineScroll(columns, lines);
    FinishLoading();
    verticalScrollBar()->setValue(verticalScrollBar()->value() + lines);
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + columns * fontMetrics().averageCharWidth());
}

void TXavoMemo::ScrollLine(bool down) { LineScroll(0, down ? 1 : -1); }

bool TXavoMemo::FindText(std::string_view sjis, TFindOptions options) {
    if (FView != nullptr) {
        const std::int64_t at = FView->Find(sjis, FView->SelStart(), FView->SelEnd() - FView->SelStart(), options);
        if (at < 0) return false;
        FView->Select(at, at + static_cast<std::int64_t>(sjis.size()));
        FView->EnsureCaretVisible();
        ScrollLine((options & frDown) != 0);
        return true;
    }
    FinishLoading();
    if (sjis.empty() || GetTextLen() == 0) return false;
    const int length = static_cast<int>(sjis.size());
    int from = SelStart(), selected = SelLength();
    int at = -1;
    for (;;) {
        at = SearchBuffer(ByteText(), from, selected, sjis, options);
        if (at < 0) return false;
        if (!MatchesUnencodable(at, sjis)) break;
        // Try again one byte further on.
        if (options & frDown) {
            from = at;
            selected = 1;
        } else {
            from = at + length - 1;
            selected = 0;
        }
    }
    Select(at, at + length);
    ScrollLine((options & frDown) != 0);
    return true;
}

bool TXavoMemo::MatchesUnencodable(int at, std::string_view sjis) {
    // Every character the text's bytes cannot hold is a '?' there, which only a '?' matches.
    for (std::size_t i = sjis.find('?'); i != std::string_view::npos; i = sjis.find('?', i + 1))
        if (document()->characterAt(QtPosition(at + static_cast<int>(i))) != QLatin1Char('?')) return true;
    return false;
}

bool TXavoMemo::FindText(const QString& text, TFindOptions options) {
    std::size_t unencodable = 0;
    const std::string sjis = QStringToSjis(text, unencodable);
    return unencodable == 0 && FindText(sjis, options);
}

// ---------------------------------------------------------------------------------------
// Text and selection

const std::string& TXavoMemo::ByteText() {
    if (!FByteTextValid) {
        FByteText.clear();
        FByteText.reserve(static_cast<std::size_t>(FLines.TextLength()));
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
            if (block != document()->begin()) FByteText += "\r\n";
            FByteText += EncodeSjis(View(block.text()));
        }
        FByteTextValid = true;
    }
    return FByteText;
}

std::string TXavoMemo::Text() {
    if (FView != nullptr) return FView->Buffer().Text();
    FinishLoading();
    return ByteText();
}

void TXavoMemo::SetText(std::string_view sjis) {
    DropByteView();
    ReadBytes(std::string(sjis));
    FinishLoading();
}

int TXavoMemo::GetTextLen() {
    if (FView != nullptr) return Clamped(FView->Buffer().Length());
    FinishLoading();
    return static_cast<int>(FLines.TextLength());
}

int TXavoMemo::SelStart() {
    if (FView != nullptr) return Clamped(FView->SelStart());
    FinishLoading();
    return BytePosition(textCursor().selectionStart());
}

void TXavoMemo::SetSelStart(int position) {
    if (FView != nullptr) return FView->Select(position, position);
    FinishLoading();
    Select(position, position);
}

int TXavoMemo::SelLength() {
    if (FView != nullptr) return Clamped(FView->SelEnd() - FView->SelStart());
    FinishLoading();
    const QTextCursor cursor = textCursor();
    return BytePosition(cursor.selectionEnd()) - BytePosition(cursor.selectionStart());
}

void TXavoMemo::SetSelLength(int length) {
    if (FView != nullptr) {
        const std::int64_t start = FView->SelStart();
        return FView->Select(start, start + length);
    }
    const int start = SelStart();
    Select(start, ClampPosition(start + length));
}

std::string TXavoMemo::SelText() {
    if (FView != nullptr) return FView->SelText();
    FinishLoading();
    const QString selected = textCursor().selectedText();
    std::string bytes;
    qsizetype from = 0;
    for (;;) {
        const qsizetype end = selected.indexOf(QChar(QChar::ParagraphSeparator), from);
        bytes += EncodeSjis(View(selected.mid(from, end < 0 ? -1 : end - from)));
        if (end < 0) return bytes;
        bytes += "\r\n";
        from = end + 1;
    }
}

void TXavoMemo::SetSelText(std::string_view sjis) {
    if (FView != nullptr) return FView->ReplaceSelection(sjis);
    FinishLoading();
    QTextCursor cursor = textCursor();
    cursor.insertText(ToQString(SplitPlainText(sjis).Text));
    setTextCursor(cursor);
}

void TXavoMemo::SelectAll() {
    if (FView != nullptr) return FView->Select(0, FView->Buffer().Length());
    FinishLoading();
    selectAll();
}

void TXavoMemo::CopyToClipboard() {
    if (FView != nullptr) return FView->Copy();
    FinishLoading();
    copy();
}

void TXavoMemo::CutToClipboard() {
    if (FView != nullptr) return FView->Cut();
    FinishLoading();
    if (!FReadOnly) cut();
}

void TXavoMemo::PasteFromClipboard() {
    if (FView != nullptr) return FView->Paste();
    FinishLoading();
    if (!FReadOnly) paste();
}

int TXavoMemo::FindUnencodable() {
    if (FView != nullptr) return FindUnencodableInBytes();
    FinishLoading();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        const std::size_t at = FindUnencodableIn(View(text), FEncoding);
        if (at != std::u16string_view::npos)
            return static_cast<int>(FLines.Start(block.blockNumber())) + LineMapOf(block).BytesBefore(static_cast<int>(at));
    }
    return -1;
}

// ---------------------------------------------------------------------------------------
// Keeping the line index in step with edits

void TXavoMemo::OnContentsChange(int position, int /*removed*/, int added) {
    if (!FUpdatingIndex) return;  // a load sets the index itself
    FLineMaps.clear();
    // The change touches new blocks [first, last]; the blocks before are untouched and
    // those after moved by delta, so they replace old blocks [first, last - delta].
    QTextDocument* doc = document();
    const int oldCount = FLines.LineCount();
    const int delta = doc->blockCount() - oldCount;
    const int end = doc->characterCount() - 1;
    const int first = doc->findBlock(std::clamp(position, 0, end)).blockNumber();
    const int last = doc->findBlock(std::clamp(position + added, 0, end)).blockNumber();
    const int oldLast = last - delta;
    if (first < 0 || last < first || oldLast < first || oldLast >= oldCount) {
        FByteTextValid = false;
        FByteText = std::string();
        RebuildLineIndex();
        return;
    }
    // The byte text, when kept, has the old lines' bytes replaced in place: a search
    // after typing does not encode the whole text again.
    std::string bytes;
    std::vector<int> lengths;
    for (QTextBlock block = doc->findBlockByNumber(first); block.isValid() && block.blockNumber() <= last; block = block.next()) {
        const std::string line = EncodeSjis(View(block.text()));
        if (block.blockNumber() > first) bytes += "\r\n";
        bytes += line;
        lengths.push_back(static_cast<int>(line.size()));
    }
    if (FByteTextValid) {
        const auto from = static_cast<std::size_t>(FLines.Start(first));
        const auto to = static_cast<std::size_t>(FLines.Start(oldLast) + FLines.Length(oldLast));
        FByteText.replace(from, to - from, bytes);
    }
    FLines.Replace(first, oldLast - first + 1, lengths);
    if (FLines.LineCount() != doc->blockCount()) {  // a change reported unlike the above
        FByteTextValid = false;
        FByteText = std::string();
        RebuildLineIndex();
    }
}

void TXavoMemo::RebuildLineIndex() {
    std::vector<int> lengths;
    lengths.reserve(static_cast<std::size_t>(document()->blockCount()));
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        lengths.push_back(static_cast<int>(SjisLength(View(block.text()))));
    FLines.Assign(std::move(lengths));
}

// ---------------------------------------------------------------------------------------
// Loading and saving

void TXavoMemo::LoadFromFile(const std::string& path, std::optional<TEncoding> encoding) {
    // A large regular Shift-JIS file goes to the byte view, read or mapped once, unless it
    // is RTF to be read as such (RTF files are small). Files in other encodings are decoded
    // whole as before.
    const QFileInfo info(QString::fromStdString(path));
    if (info.isFile() && info.size() >= FByteViewThreshold) {
        TFileBytes file;
        try {
            file = TFileBytes::Open(path);
        } catch (const std::exception&) {
            throw EXavoMemoError(kStreamReadError);
        }
        const std::string_view head = file.View().substr(0, kDetectionBytes);
        const TFileEncoding fileEncoding =
            encoding ? WithFileMark({*encoding, false}, head) : DetectEncoding(file.View());
        if (fileEncoding.Kind == TEncoding::Sjis && (FPlainText || !LooksLikeRtf(head))) {
            ShowBytes(TTextBuffer(std::move(file)));
            FReadAsRichText = false;
            FEncoding = fileEncoding;
            return;
        }
        if (fileEncoding.Kind != TEncoding::Sjis) {
            // Another encoding: held as Shift-JIS when every character converts there and
            // back unchanged (the file's own bytes are kept for an unedited save);
            // otherwise decoded whole below.
            std::u16string text = DecodeText(file.View(), fileEncoding);
            std::size_t unencodable = 0;
            std::string sjis = EncodeSjis(text, unencodable);
            if (unencodable == 0 && DecodeSjis(sjis) == text) {
                text = std::u16string();
                ShowBytes(TTextBuffer(TFileBytes(std::move(sjis))));
                FOriginalFile = std::make_unique<TFileBytes>(std::move(file));
                FReadAsRichText = false;
                FEncoding = fileEncoding;
                return;
            }
        }
    }
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) throw EXavoMemoError(kStreamReadError);
    const std::string_view head = std::string_view(bytes).substr(0, kDetectionBytes);
    const TFileEncoding fileEncoding =
        encoding ? WithFileMark({*encoding, false}, head) : DetectEncoding(bytes);
    ReadBytes(std::move(bytes), fileEncoding);
}

void TXavoMemo::ReadBytes(std::string bytes, TFileEncoding encoding) {
    DropByteView();
    if (!FPlainText && LooksLikeRtf(bytes)) {
        ShowRtf(ReadRtf(bytes));
        FReadAsRichText = true;
        FEncoding = {};
        return;
    }
    // Positions are 32-bit, and every line break counts two bytes; a character of another
    // encoding takes at most two bytes per byte of the file in Shift-JIS.
    const std::int64_t limit = encoding.Kind == TEncoding::Sjis ? INT_MAX : INT_MAX / 2;
    if (static_cast<std::int64_t>(bytes.size()) > limit) throw EXavoMemoError(kStreamReadError);
    TPlainText text = SplitEncodedText(bytes, encoding);
    std::int64_t length = 2 * (static_cast<std::int64_t>(text.LineBytes.size()) - 1);
    for (const int line : text.LineBytes) length += line;
    if (length > INT_MAX) throw EXavoMemoError(kStreamReadError);
    if (encoding.Kind != TEncoding::Sjis) bytes = std::string();  // not the view's byte text
    ShowPlainText(std::move(text), std::move(bytes));
    FReadAsRichText = false;
    FEncoding = encoding;
}

void TXavoMemo::BeginLoad() {
    FLoadTimer.stop();
    FLoading = false;
    FPending = std::u16string();
    FPendingAt = 0;
    FPendingEnds.clear();
    FUpdatingIndex = false;
    FLineMaps.clear();
    FByteTextValid = false;
    FByteText = std::string();
    QTextDocument* doc = document();
    doc->setUndoRedoEnabled(false);
    setReadOnly(true);  // nothing may edit a half-loaded text
    doc->clear();
    setCurrentCharFormat(QTextCharFormat());
}

void TXavoMemo::ShowPlainText(TPlainText text, std::string bytes) {
    BeginLoad();
    FLines.Assign(std::move(text.LineBytes));
    FLineEnd = text.LineEnd;
    FPendingEnds = std::move(text.OtherEnds);
    // The file's bytes are the view's byte text when every break already is CR LF.
    if (FLineEnd == TLineEnd::CrLf && FPendingEnds.empty() && (!bytes.empty() || FLines.TextLength() == 0)) {
        FByteText = std::move(bytes);
        FByteTextValid = true;
    }
    FPending = std::move(text.Text);
    AppendPending(kFirstUnits);
    setTextCursor(QTextCursor(document()));  // caret and view at the start; later pieces go after it
    if (FPendingAt < FPending.size()) {
        FLoading = true;
        FLoadTimer.start();
    } else {
        EndLoad();
    }
}

void TXavoMemo::ShowRtf(const TRtfDocument& rtf) {
    BeginLoad();
    QTextCursor cursor(document());
    // One edit: the layout runs once at the end, not again for every run of a long paragraph.
    cursor.beginEditBlock();
    for (const TRtfRun& run : rtf.Runs) {
        const QTextCharFormat format = ToQtFormat(run.Format);
        const std::u16string_view text = run.Text;
        std::size_t from = 0;
        for (;;) {
            const std::size_t end = text.find(u'\n', from);
            cursor.insertText(ToQString(text.substr(from, end == std::u16string_view::npos ? end : end - from)), format);
            if (end == std::u16string_view::npos) break;
            cursor.insertBlock(QTextBlockFormat(), format);
            from = end + 1;
        }
    }
    cursor.endEditBlock();
    FLineEnd = TLineEnd::CrLf;
    RebuildLineIndex();
    setTextCursor(QTextCursor(document()));
    EndLoad();
}

void TXavoMemo::AppendPending(std::size_t units) {
    if (FPendingAt >= FPending.size()) return;
    // Cut after a line break, so no block is laid out again for every piece of it.
    std::size_t end = std::min(FPending.size(), FPendingAt + units);
    if (end < FPending.size()) {
        const std::size_t lineEnd = FPending.find(u'\n', end - 1);
        end = lineEnd == std::u16string::npos ? FPending.size() : lineEnd + 1;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(ToQString(std::u16string_view(FPending).substr(FPendingAt, end - FPendingAt)));
    FPendingAt = end;
}

void TXavoMemo::AppendSomeMore() {
    QElapsedTimer clock;
    clock.start();
    while (FPendingAt < FPending.size() && clock.elapsed() < kChunkMillis) AppendPending(kChunkUnits);
    if (FPendingAt < FPending.size())
        FLoadTimer.start();
    else
        EndLoad();
}

void TXavoMemo::FinishLoading() {
    if (FView != nullptr) return;
    if (!FLoading) return;
    while (FPendingAt < FPending.size()) AppendPending(kChunkUnits);
    EndLoad();
}

void TXavoMemo::EndLoad() {
    FLoadTimer.stop();
    const bool wasLoading = FLoading;
    FLoading = false;
    FPending = std::u16string();
    FPendingAt = 0;
    // Lines whose break differs from the file's convention carry it as their user state.
    for (const auto& [line, end] : FPendingEnds) document()->findBlockByNumber(line).setUserState(static_cast<int>(end));
    FPendingEnds.clear();
    if (FLines.LineCount() != document()->blockCount()) RebuildLineIndex();
    FUpdatingIndex = true;
    document()->setUndoRedoEnabled(true);
    document()->setModified(false);
    setReadOnly(FReadOnly);
    SetLineSelectPointer(FLineSelectPointer);
    if (wasLoading) emit loadFinished();
}

std::string TXavoMemo::EncodePlainText() {
    if (FEncoding.Kind != TEncoding::Sjis) {
        // Encoded as one text: the encoders of stateful encodings see every line end.
        std::u16string text;
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
            text += View(block.text());
            if (block.next().isValid()) {
                const int state = block.userState();
                AppendLineEnd(text, state >= 0 && state <= static_cast<int>(TLineEnd::Cr) ? static_cast<TLineEnd>(state) : FLineEnd);
            }
        }
        return EncodeText(text, FEncoding);
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(FLines.TextLength()));
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        bytes += EncodeSjis(View(block.text()));
        if (block.next().isValid()) {
            const int state = block.userState();
            AppendLineEnd(bytes, state >= 0 && state <= static_cast<int>(TLineEnd::Cr) ? static_cast<TLineEnd>(state) : FLineEnd);
        }
    }
    return bytes;
}

TRtfDocument TXavoMemo::DocumentToRtf() {
    TRtfDocument rtf;
    TRtfCharFormat last;
    TRtfFontName lastFont;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin()) rtf.Append(u"\n", last);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid()) continue;
            last = FromQtFormat(fragment.charFormat(), lastFont);
            const QString text = fragment.text();
            rtf.Append(View(text), last);
        }
    }
    return rtf;
}

void TXavoMemo::ShowSavedBytes(const std::string& path, std::string bytes) {
    const std::int64_t anchor = FView->Anchor();
    const std::int64_t caret = FView->Caret();
    const std::int64_t top = FView->FirstVisibleLine();
    TFileBytes saved;
    try {
        saved = TFileBytes::Open(path);
    } catch (const std::exception&) {
        saved = TFileBytes(std::move(bytes));  // the text just written, kept in memory
    }
    ShowBytes(TTextBuffer(std::move(saved)));
    FView->ScrollToLine(top);
    FView->Select(anchor, caret);
}

void TXavoMemo::SaveToFile(const std::string& path) {
    if (FView != nullptr) {
        const TTextBuffer& buffer = FView->Buffer();
        std::string bytes;
        if (FPlainText && FEncoding.Kind != TEncoding::Sjis) {
            // Unedited: the file's own bytes; edited: the text converted back.
            bytes = FOriginalFile != nullptr && !FView->CanUndo() ? std::string(FOriginalFile->View())
                                                                  : EncodeText(DecodeSjis(buffer.RawText()), FEncoding);
        } else if (FPlainText) {
            bytes.reserve(static_cast<std::size_t>(buffer.RawLength()));
            buffer.ForEachRawSpan([&](std::string_view span) {
                bytes += span;
                return true;
            });
        } else {
            TRtfDocument rtf;
            rtf.Append(DecodeSjis(buffer.Text()), TRtfCharFormat());
            bytes = WriteRtf(rtf, View(font().family()));
        }
        // Pages of the file that another program cut off while it was shown read as zeros:
        // they are not the text, and writing them would lose it.
        if (buffer.Original().LostBytes() || (FOriginalFile != nullptr && FOriginalFile->LostBytes()))
            throw EXavoMemoError(path + " に書き込めません: 表示中のファイルが他のプログラムによって短くされました。読み込み直してください");
        // A save in place (hard links, another owner, a read-only directory) rewrites the
        // mapped file under the pieces, which would then read the new bytes at old offsets:
        // the saved file is shown afresh.
        const bool inPlace = buffer.Original().Mapped() && buffer.Original().IsFile(path);
        const bool originalInPlace = FOriginalFile != nullptr && FOriginalFile->Mapped() && FOriginalFile->IsFile(path);
        if (const int error = WriteFileBytes(path, bytes); error != 0)
            throw EXavoMemoError(path + " に書き込めません: " + ErrorReason(error));
        if (originalInPlace) FOriginalFile.reset();  // its bytes are no longer the file as read
        if (inPlace) ShowSavedBytes(path, std::move(bytes));
        document()->setModified(false);
        FView->SetModified(false);
        return;
    }
    FinishLoading();
    const std::string bytes = FPlainText ? EncodePlainText() : WriteRtf(DocumentToRtf(), View(font().family()));
    if (const int error = WriteFileBytes(path, bytes); error != 0)
        throw EXavoMemoError(path + " に書き込めません: " + ErrorReason(error));
    document()->setModified(false);
}

// ---------------------------------------------------------------------------------------
// Margin line selection

bool TXavoMemo::StartLineSelection(QMouseEvent* event) {
    if (!FLineSelect || !FLineSelectPointer || event->button() != Qt::LeftButton) return false;
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) return false;
    const QPoint point = event->position().toPoint();
    const int position = CharFromPos(point.x(), point.y());
    if (position < 0) return false;
    FLineDragging = true;
    FAnchor = LineIndex(LineFromChar(position));  // the start of the clicked line
    FLastY = point.y();
    Select(FAnchor, FAnchor + LineLength(FAnchor));
    return true;
}

void TXavoMemo::DragLineSelection(QPoint point) {
    const int prevY = FLastY;
    FLastY = point.y();
    const int line = LineFromChar(CharFromPos(point.x(), point.y()));
    const int start = LineIndex(line);
    // At the edges the view scrolls by one line per move towards the edge.
    if (line > 0 && line == FirstVisibleLine()) {
        if (point.y() >= prevY) return;
        ScrollLine(false);
    }
    if (line < LineCount() - 1 && FormatRect().bottom() - std::abs(fontMetrics().height()) < point.y()) {
        if (point.y() <= prevY) return;
        ScrollLine(true);
    }
    if (start >= FAnchor) {
        // Down (or on the anchor line): from the anchor line's start to the end of this
        // line's text, its break excluded.
        const int end = start + LineLength(start);
        if (SelStart() != FAnchor) SetSelStart(FAnchor);
        if (end != SelStart() + SelLength()) SetSelLength(end - FAnchor);
    } else {
        // Up: from this line's start through the anchor line's break (to the end of the
        // text when the anchor line is the last), keeping the view where it was.
        if (SelStart() == start) return;
        const int top = FirstVisibleLine();
        const int next = LineIndex(LineFromChar(FAnchor) + 1);
        Select(start, next < 0 ? GetTextLen() : next);
        LineScroll(0, top - FirstVisibleLine());
    }
}

void TXavoMemo::mouseMoveEvent(QMouseEvent* event) {
    if (FLineDragging) {
        DragLineSelection(event->position().toPoint());
        return;
    }
    QPlainTextEdit::mouseMoveEvent(event);
    if (FLineSelect) SetLineSelectPointer(event->position().x() < FormatRect().left());
}

void TXavoMemo::mousePressEvent(QMouseEvent* event) {
    if (!StartLineSelection(event)) QPlainTextEdit::mousePressEvent(event);
}

void TXavoMemo::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!StartLineSelection(event)) QPlainTextEdit::mouseDoubleClickEvent(event);
}

void TXavoMemo::mouseReleaseEvent(QMouseEvent* event) {
    if (FLineDragging && event->button() == Qt::LeftButton) {
        FLineDragging = false;
        SetLineSelectPointer(false);
        return;
    }
    QPlainTextEdit::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------------------------------
// Input: nothing edits a half-loaded text, and every line break typed or pasted is a
// real one (never U+2028, which CP932 cannot store).

void TXavoMemo::keyPressEvent(QKeyEvent* event) {
    if (FView != nullptr) return FView->HandleKey(event);
    FinishLoading();
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & Qt::ShiftModifier) && !FReadOnly) {
        QTextCursor cursor = textCursor();
        cursor.insertText(QStringLiteral("\n"));
        setTextCursor(cursor);
        ensureCursorVisible();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

QVariant TXavoMemo::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (FView == nullptr) return QPlainTextEdit::inputMethodQuery(query);
    QVariant value = FView->inputMethodQuery(query);
    if (query == Qt::ImCursorRectangle) value = QRectF(value.toRectF().translated(FView->mapTo(this, QPoint())));
    return value;
}

void TXavoMemo::inputMethodEvent(QInputMethodEvent* event) {
    if (FView != nullptr) return FView->HandleInputMethod(event);
    FinishLoading();
    QPlainTextEdit::inputMethodEvent(event);
}

void TXavoMemo::contextMenuEvent(QContextMenuEvent* event) {
    FinishLoading();
    QPlainTextEdit::contextMenuEvent(event);
}

void TXavoMemo::dropEvent(QDropEvent* event) {
    if (FView != nullptr) {
        event->ignore();  // dropped text would go into the hidden document; files are taken before
        return;
    }
    FinishLoading();
    QPlainTextEdit::dropEvent(event);
}

void TXavoMemo::insertFromMimeData(const QMimeData* source) {
    if (source == nullptr || !source->hasText()) return;
    QTextCursor cursor = textCursor();
    cursor.insertText(NormalizeBreaks(source->text()));
    setTextCursor(cursor);
    ensureCursorVisible();
}

}  // namespace xavo
