// The text view's byte-position interface, files in and out, the watched file, and the
// formatted view of rich text (see XavoMemo.h).
#include "XavoMemo.h"

#include "Detect.h"
#include "EncodedText.h"
#include "ErrorText.h"
#include "LineMap.h"
#include "SjisQt.h"
#include "TextFile.h"
#include "TextFileIo.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <climits>

namespace xavo {
namespace {

constexpr std::size_t kTailBytes = 4096;              // kept of a file's end, to tell it grew
constexpr std::uint64_t kGrowthLimit = 64u << 20;     // more new bytes than this: read it again
constexpr std::int64_t kUnencodableWindow = 16 << 20; // decoded at a time to look for such characters

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

std::string TailOf(std::string_view bytes) { return std::string(bytes.substr(bytes.size() - std::min(bytes.size(), kTailBytes))); }

// Whether Tail ends with a line feed of Encoding.
bool EndsWithLineFeed(std::string_view tail, TFileEncoding encoding) {
    switch (encoding.Kind) {
    case TEncoding::Utf16Le: return tail.size() >= 2 && tail.size() % 2 == 0 && tail.substr(tail.size() - 2) == std::string_view("\n\0", 2);
    case TEncoding::Utf16Be: return tail.size() >= 2 && tail.size() % 2 == 0 && tail.substr(tail.size() - 2) == std::string_view("\0\n", 2);
    default: return !tail.empty() && tail.back() == '\n';
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TMemoLines

std::int64_t TMemoLines::Count() const {
    const TTextBuffer& b = FMemo->Buffer();
    const std::int64_t last = b.LineCount() - 1;
    return b.LineLength(b.LineIndex(last)) == 0 ? last : last + 1;
}

std::string TMemoLines::operator[](std::int64_t index) const {
    if (index < 0 || index >= Count()) throw std::out_of_range("line index out of range: " + std::to_string(index));
    return FMemo->Buffer().LineText(index);
}

std::vector<std::string> TMemoLines::ToVector() const {
    std::vector<std::string> lines;
    const std::int64_t count = Count();
    lines.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) lines.push_back(FMemo->Buffer().LineText(i));
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

TXavoMemo::TXavoMemo(QWidget* parent) : TTextView(parent) {
    SetScrollBars(FScrollBars);
    ApplyPalette();
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { FollowScrollInRichView(); });
    connect(this, &TTextView::selectionMoved, this, [this] { FollowSelectionInRichView(); });
}

TXavoMemo::~TXavoMemo() = default;

void TXavoMemo::SetReadOnly(bool readOnly) {
    TTextView::SetReadOnly(readOnly);
    UpdateRichView();
}

void TXavoMemo::SetScrollBars(TScrollStyle style) {
    FScrollBars = style;
    setVerticalScrollBarPolicy(style == ssVertical || style == ssBoth ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(style == ssHorizontal || style == ssBoth ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
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

// ---------------------------------------------------------------------------------------
// Queries and scrolling

QRect TXavoMemo::FormatRect() { return viewport()->rect().adjusted(kMargin, kMargin, -kMargin, -kMargin); }
std::int64_t TXavoMemo::CaretLine() { return Buffer().LineFromChar(SelStart()); }
std::int64_t TXavoMemo::CaretColumn() { return SelStart() - LineIndex(CaretLine()); }
std::int64_t TXavoMemo::LineCount() { return Buffer().LineCount(); }
std::int64_t TXavoMemo::CharFromPos(int x, int y) { return PositionAt(QPoint(x, y)); }
std::int64_t TXavoMemo::LineFromChar(std::int64_t position) { return Buffer().LineFromChar(position); }
std::int64_t TXavoMemo::LineIndex(std::int64_t line) { return Buffer().LineIndex(line < 0 ? CaretLine() : line); }
std::int64_t TXavoMemo::LineLength(std::int64_t position) { return Buffer().LineLength(position); }
void TXavoMemo::ScrollLine(bool down) { LineScroll(0, down ? 1 : -1); }
void TXavoMemo::ScrollLineToRow(std::int64_t line, int row) { ScrollToLine(line, row); }

bool TXavoMemo::FindText(std::string_view sjis, TFindOptions options) {
    if (sjis.empty() || Buffer().Length() == 0) return false;
    const std::int64_t at = Find(sjis, SelStart(), SelEnd() - SelStart(), options);
    if (Buffer().LostBytes()) throw EXavoMemoError(kCutShortError);
    if (at < 0) return false;
    Select(at, at + static_cast<std::int64_t>(sjis.size()));
    EnsureCaretVisible();
    ScrollLine((options & frDown) != 0);
    return true;
}

bool TXavoMemo::FindText(const QString& text, TFindOptions options) {
    std::size_t unencodable = 0;
    const std::string sjis = QStringToSjis(text, unencodable);
    return unencodable == 0 && FindText(sjis, options);
}

// ---------------------------------------------------------------------------------------
// Text and selection

std::string TXavoMemo::Text() { return Buffer().Text(); }
std::int64_t TXavoMemo::GetTextLen() { return Buffer().Length(); }
std::int64_t TXavoMemo::SelLength() { return SelEnd() - SelStart(); }

void TXavoMemo::SetText(std::string_view sjis) {
    if (!FPlainText && LooksLikeRtf(sjis))
        ShowRtf(ReadRtf(sjis));
    else
        Show(TTextBuffer(TFileBytes(std::string(sjis))), {});
    NoteFile({}, {});
}

void TXavoMemo::SetSelStart(std::int64_t position) {
    Select(position, position);
    EnsureCaretVisible();
}

void TXavoMemo::SetSelLength(std::int64_t length) {
    const std::int64_t start = SelStart();
    Select(start, start + std::max<std::int64_t>(length, 0));
    EnsureCaretVisible();
}

void TXavoMemo::SetSelText(std::string_view sjis) { ReplaceSelection(sjis); }
void TXavoMemo::SelectAll() { Select(0, Buffer().Length()); }
void TXavoMemo::CopyToClipboard() { Copy(); }
void TXavoMemo::CutToClipboard() { Cut(); }
void TXavoMemo::PasteFromClipboard() { Paste(); }

std::int64_t TXavoMemo::FindUnencodable() {
    // Shift-JIS, UTF-8 and UTF-16 hold every character the document holds natively: only
    // its foreign units can fail them.
    const TEncoding kind = FEncoding.Kind;
    if (kind != TEncoding::EucJp && kind != TEncoding::Jis && !Buffer().HasForeign()) return -1;
    return FindUnencodableFrom(0, Buffer().Length());
}

// Windows of whole lines (a longer line in pieces cut on characters), decoded one at a time.
std::int64_t TXavoMemo::FindUnencodableFrom(std::int64_t from, std::int64_t to) {
    const TTextBuffer& buffer = Buffer();
    while (from < to) {
        std::int64_t end = std::min(to, from + kUnencodableWindow);
        if (end < to) {
            const std::int64_t next = buffer.LineIndex(buffer.LineFromChar(end) + 1);
            end = next >= 0 && next - from <= 2 * kUnencodableWindow ? next : CharStart(end);
            if (end <= from) end = std::min(to, from + kUnencodableWindow);
        }
        const std::u16string text = buffer.Decode(from, end - from);
        const std::size_t at = FindUnencodableIn(text, FEncoding);
        if (at != std::u16string::npos)
            return from + static_cast<std::int64_t>(SjisLength(std::u16string_view(text).substr(0, at)));
        from = end;
    }
    return -1;
}

// ---------------------------------------------------------------------------------------
// Loading and saving

void TXavoMemo::Show(TTextBuffer buffer, TFileEncoding encoding) {
    FFormats.Clear();
    FFormatsBefore.clear();
    FReadAsRichText = false;
    FEncoding = encoding;
    SetBuffer(std::move(buffer));
    UpdateRichView();
}

void TXavoMemo::ShowRtf(const TRtfDocument& rtf) {
    TRichFormats formats;
    const std::u16string text = TRichFormats::FromRtf(rtf, formats);
    Show(TTextBuffer(ToSjisText(text)), {});
    FFormats = std::move(formats);
    FReadAsRichText = true;
    UpdateRichView();
}

void TXavoMemo::ForgetRichText() {
    FReadAsRichText = false;
    FFormats.Clear();
    FFormatsBefore.clear();
    UpdateRichView();
}

void TXavoMemo::NoteFile(const std::string& path, const TFileStamp& stamp) {
    FFileName = path;
    FStamp = stamp;
    FTail.clear();
    if (!path.empty() && stamp.Size > 0) {
        const std::uint64_t size = static_cast<std::uint64_t>(stamp.Size);
        const std::uint64_t from = size - std::min<std::uint64_t>(size, kTailBytes);
        if (!ReadFileRange(path, from, static_cast<std::size_t>(size - from), FTail)) FTail.clear();
    }
}

void TXavoMemo::LoadFromFile(const std::string& path, std::optional<TEncoding> encoding) {
    TFileBytes file;
    try {
        file = TFileBytes::Open(path);
    } catch (const std::exception&) {
        throw EXavoMemoError(kStreamReadError);
    }
    const TFileStamp stamp = file.Stamp();
    const std::string_view head = file.View().substr(0, kDetectionBytes);
    if (!FPlainText && LooksLikeRtf(head)) {
        ShowRtf(ReadRtf(file.View()));
        NoteFile(path, stamp);
        return;
    }
    const TFileEncoding fileEncoding = encoding ? WithFileMark({*encoding, false}, head) : DetectEncoding(file.View());
    TTextBuffer buffer;
    try {
        buffer = ReadTextBuffer(std::move(file), fileEncoding);
    } catch (const std::bad_alloc&) {
        throw EXavoMemoError(kStreamReadError);
    }
    Show(std::move(buffer), fileEncoding);
    NoteFile(path, stamp);
}

void TXavoMemo::SaveToFile(const std::string& path) {
    const std::string bytes = FPlainText ? EncodeTextBuffer(Buffer(), FEncoding) : WriteRtf(FFormats.ToRtf(Buffer()), View(font().family()));
    // Pages of the file that another program cut off while it was shown read as zeros
    // (found while the bytes above were gathered): they are not the text, and writing them
    // would lose it.
    if (Buffer().LostBytes())
        throw EXavoMemoError(path + " に書き込めません: " + kCutShortError);
    // A save in place (hard links, another owner, a read-only directory) rewrites the
    // mapped file under the pieces, which would then read the new bytes at old offsets:
    // the text is kept in memory first, as it is now, and shown from there.
    const bool inPlace = Buffer().MapsFile(path);
    std::string kept;
    if (inPlace) kept = FPlainText && FEncoding.Kind == TEncoding::Sjis ? bytes : Buffer().RawText();
    if (const int error = WriteFileBytes(path, bytes); error != 0)
        throw EXavoMemoError(path + " に書き込めません: " + ErrorReason(error));
    if (inPlace) {
        const std::int64_t anchor = Anchor(), caret = Caret(), top = FirstVisibleLine();
        TRichFormats formats = FFormats;
        SetBuffer(TTextBuffer(TFileBytes(std::move(kept))));
        FFormats = std::move(formats);
        FFormatsBefore.clear();
        ScrollToLine(top);
        Select(anchor, caret);
    }
    if (!FFileName.empty() && path == FFileName) NoteFile(path, TFileStamp::Of(path));
    SetModified(false);
}

// ---------------------------------------------------------------------------------------
// The watched file

void TXavoMemo::WatchFile(const std::string& path) { NoteFile(path, TFileStamp::Of(path)); }

TDiskChange TXavoMemo::DiskChange() const {
    if (FFileName.empty()) return TDiskChange::None;
    const TFileStamp now = TFileStamp::Of(FFileName);
    if (!now.Exists()) return TDiskChange::Gone;
    if (now == FStamp) return TDiskChange::None;
    if (now.SameFile(FStamp) && now.Size > FStamp.Size) {
        std::string tail;
        const auto size = static_cast<std::uint64_t>(std::max<std::int64_t>(FStamp.Size, 0));
        if (ReadFileRange(FFileName, size - FTail.size(), FTail.size(), tail) && tail == FTail) return TDiskChange::Grown;
    }
    return TDiskChange::Changed;
}

void TXavoMemo::Reload(std::optional<TEncoding> encoding) {
    if (FFileName.empty()) return;
    const std::int64_t line = CaretLine(), column = CaretColumn(), top = FirstVisibleLine();
    const std::string path = FFileName;
    LoadFromFile(path, encoding);
    ScrollToLine(top);
    const std::int64_t start = Buffer().LineIndex(std::min(line, Buffer().LineCount() - 1));
    Select(start + std::min(column, Buffer().LineLength(start)), start + std::min(column, Buffer().LineLength(start)));
}

bool TXavoMemo::TakeGrowth() {
    if (Modified() || FReadAsRichText || DiskChange() != TDiskChange::Grown) return false;
    // The new end is converted on its own: the old one must have ended a line.
    if (!EndsWithLineFeed(FTail, FEncoding)) return false;
    const TFileStamp now = TFileStamp::Of(FFileName);
    const std::uint64_t grown = static_cast<std::uint64_t>(now.Size - FStamp.Size);
    if (grown > kGrowthLimit) return false;
    std::string bytes;
    if (!ReadFileRange(FFileName, static_cast<std::uint64_t>(FStamp.Size), static_cast<std::size_t>(grown), bytes)) return false;
    const std::int64_t oldLength = Buffer().Length();
    const bool follow = Anchor() == oldLength && Caret() == oldLength;
    const std::int64_t anchor = Anchor(), caret = Caret();
    FTail = TailOf(FTail + bytes);
    const std::int64_t oldSize = FStamp.Size;
    FStamp = now;
    FStamp.Size = oldSize + static_cast<std::int64_t>(bytes.size());  // what was read, should more have come since
    if (FEncoding.Kind == TEncoding::Sjis)
        MutableBuffer().AppendOriginal(TFileBytes(std::move(bytes)));
    else
        MutableBuffer().AppendOriginal(ConvertToSjisText(bytes, FEncoding, false));
    BufferChanged();
    if (follow) {
        Select(Buffer().Length(), Buffer().Length());
        EnsureCaretVisible();
    } else {
        Select(anchor, caret);
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Rich text: formats in step with the text, and their formatted view

void TXavoMemo::EditStarting() {
    if (FFormats.Empty()) return;
    const std::size_t step = Buffer().UndoSteps();
    while (!FFormatsBefore.empty() && FFormatsBefore.back().first >= step) FFormatsBefore.pop_back();
    FFormatsBefore.emplace_back(step, FFormats.Runs());
}

void TXavoMemo::TextReplaced(const std::vector<TViewRange>& ranges, std::int64_t inserted) {
    FFormats.Replace(ranges, inserted);
}

void TXavoMemo::EditUndone() {
    const std::size_t step = Buffer().UndoSteps();
    while (!FFormatsBefore.empty() && FFormatsBefore.back().first > step) FFormatsBefore.pop_back();
    if (!FFormatsBefore.empty() && FFormatsBefore.back().first == step) {
        FFormats.Assign(std::move(FFormatsBefore.back().second));
        FFormatsBefore.pop_back();
    }
}

QTextEdit* TXavoMemo::RichView() const { return FRichView != nullptr && !FRichView->isHidden() ? FRichView : nullptr; }

void TXavoMemo::UpdateRichView() {
    if (FFormats.Empty() || !ReadOnly()) {
        if (FRichView != nullptr) FRichView->hide();
        return;
    }
    if (FRichView == nullptr) {
        // Over the viewport: the view's own scroll bars stay and drive it.
        FRichView = new QTextEdit(viewport());
        FRichView->setReadOnly(true);
        FRichView->setFocusPolicy(Qt::NoFocus);
        FRichView->setFrameShape(QFrame::NoFrame);
        FRichView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        FRichView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        FRichView->document()->setDocumentMargin(kMargin);
        FRichView->viewport()->installEventFilter(this);
        connect(FRichView, &QTextEdit::selectionChanged, this, [this] { TakeRichViewSelection(); });
    }
    FSyncingRichView = true;
    FRichView->setFont(font());
    FRichView->setPalette(palette());
    FRichView->setLineWrapMode(WordWrap() ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    QTextDocument* document = FRichView->document();
    document->clear();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    const std::vector<TRichFormats::TRun>& runs = FFormats.Runs();
    const std::int64_t length = Buffer().Length();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::int64_t from = i == 0 ? 0 : std::min(runs[i].Start, length);
        const std::int64_t to = i + 1 < runs.size() ? std::min(runs[i + 1].Start, length) : length;
        if (to <= from) continue;
        const QTextCharFormat format = ToQtFormat(runs[i].Format);
        const std::u16string text = Buffer().Decode(from, to - from);
        std::size_t at = 0;
        for (;;) {
            const std::size_t end = text.find(u"\r\n", at);
            cursor.insertText(ToQString(std::u16string_view(text).substr(at, end == std::u16string::npos ? end : end - at)), format);
            if (end == std::u16string::npos) break;
            cursor.insertBlock(QTextBlockFormat(), format);
            at = end + 2;
        }
    }
    cursor.endEditBlock();
    FRichView->setGeometry(viewport()->rect());
    FRichView->show();
    FSyncingRichView = false;
    FollowScrollInRichView();
    FollowSelectionInRichView();
}

void TXavoMemo::FollowScrollInRichView() {
    if (RichView() == nullptr) return;
    const QTextBlock block = FRichView->document()->findBlockByNumber(static_cast<int>(std::min<std::int64_t>(FirstVisibleLine(), INT_MAX)));
    if (!block.isValid()) return;
    const QRectF rect = FRichView->document()->documentLayout()->blockBoundingRect(block);
    FRichView->verticalScrollBar()->setValue(static_cast<int>(rect.top()));
}

// Positions of the view and of the rich view's document (units, one per paragraph break),
// through the line's units.
void TXavoMemo::FollowSelectionInRichView() {
    if (RichView() == nullptr || FSyncingRichView) return;
    const auto toDocument = [&](std::int64_t position) {
        const std::int64_t line = Buffer().LineFromChar(position);
        const std::int64_t start = Buffer().LineIndex(line);
        const TLineMap map(Buffer().Decode(start, Buffer().LineLength(start)));
        const QTextBlock block = FRichView->document()->findBlockByNumber(static_cast<int>(line));
        return block.isValid() ? block.position() + map.UnitAt(static_cast<int>(position - start)) : 0;
    };
    FSyncingRichView = true;
    QTextCursor cursor(FRichView->document());
    cursor.setPosition(toDocument(Anchor()));
    cursor.setPosition(toDocument(Caret()), QTextCursor::KeepAnchor);
    FRichView->setTextCursor(cursor);
    FSyncingRichView = false;
    FollowScrollInRichView();
}

void TXavoMemo::TakeRichViewSelection() {
    if (RichView() == nullptr || FSyncingRichView) return;
    const auto toView = [&](int position) {
        const QTextBlock block = FRichView->document()->findBlock(position);
        const std::int64_t start = Buffer().LineIndex(block.blockNumber());
        if (start < 0) return Buffer().Length();
        const TLineMap map(Buffer().Decode(start, Buffer().LineLength(start)));
        return start + map.BytesBefore(position - block.position());
    };
    const QTextCursor cursor = FRichView->textCursor();
    FSyncingRichView = true;
    Select(toView(cursor.anchor()), toView(cursor.position()));
    FSyncingRichView = false;
}

bool TXavoMemo::eventFilter(QObject* watched, QEvent* event) {
    if (FRichView != nullptr && watched == FRichView->viewport() && event->type() == QEvent::Wheel) {
        QCoreApplication::sendEvent(viewport(), event);  // the view scrolls, the rich view follows
        return true;
    }
    return TTextView::eventFilter(watched, event);
}

void TXavoMemo::resizeEvent(QResizeEvent* event) {
    TTextView::resizeEvent(event);
    if (FRichView != nullptr) FRichView->setGeometry(viewport()->rect());
}

void TXavoMemo::changeEvent(QEvent* event) {
    TTextView::changeEvent(event);
    if ((event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) && RichView() != nullptr) UpdateRichView();
}

}  // namespace xavo
