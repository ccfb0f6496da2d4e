// The text view on the offscreen platform: caret positions on characters, keys, input
// methods, the clipboard's break rules, a line of megabytes, and large files in every
// encoding shown by TXavoMemo.
#include "DropDst.h"
#include "ProcStatus.h"
#include "Encoding.h"
#include "SjisCodec.h"
#include "TempDir.h"
#include "TextSearch.h"
#include "TextView.h"
#include "XavoMemo.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <random>
#include <fcntl.h>
#include <unistd.h>

using namespace xavo;

namespace {

std::string Sjis(const char16_t* text) { return EncodeSjis(text); }

// Anonymous memory of this process (copies, as opposed to mapped file pages), in KiB.
long AnonymousKib() { return test::ProcStatusKib("RssAnon"); }

void ShowView(TTextView& view, std::string text, bool wrap = false) {
    view.SetBuffer(TTextBuffer(TFileBytes(std::move(text))));
    view.setFont(QFont("IPAGothic", 10));
    view.SetWordWrap(wrap);
    view.resize(400, 300);
    view.show();
    view.setFocus();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
}

}  // namespace

class TTextViewTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FDir;
    std::string Path(const char* name) { return (FDir.path() + "/" + name).toStdString(); }

private slots:
    void initTestCase() { QVERIFY(FDir.isValid()); }

    void CaretStaysOnCharacters() {
        TTextView view;
        // ab LF so kanji CR LF half-width a, a lone lead byte, CR
        view.SetBuffer(TTextBuffer(TFileBytes(std::string("ab\n\x83\x5C\x88\x9F\r\n\xB1\x83\r"))));
        struct TCase {
            std::int64_t Asked, Got;
        } cases[] = {{-3, 0}, {2, 2}, {3, 2}, {4, 4}, {5, 4}, {6, 6}, {7, 6}, {8, 8}, {9, 8}, {10, 10},
                     {11, 11}, {12, 12}, {13, 12}, {14, 14}, {99, 14}};
        for (const TCase& c : cases) {
            view.Select(c.Asked, c.Asked);
            QCOMPARE(view.Caret(), c.Got);
        }
        view.Select(1, 9);
        QCOMPARE(view.SelText(), std::string("b\r\n\x83\x5C\x88\x9F"));
    }

    void KeysEditInTheFilesBreakStyle() {
        TTextView view;
        ShowView(view, "first\n\x83\x5Cx\nlast");
        view.Select(0, 0);
        QTest::keyClick(&view, Qt::Key_Down);
        QTest::keyClick(&view, Qt::Key_Right);  // over the double-byte character
        QCOMPARE(view.Caret(), std::int64_t(9));
        QTest::keyClicks(&view, "ab");
        QTest::keyClick(&view, Qt::Key_Return);
        QTest::keyClick(&view, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(view.Buffer().RawText(), std::string("first\n\x83\x5C" "ab\n\nx\nlast"));
        QTest::keyClick(&view, Qt::Key_Backspace);
        QTest::keyClick(&view, Qt::Key_Home);
        QTest::keyClick(&view, Qt::Key_Backspace);  // joins with the line above
        for (int i = 0; i < 3; ++i) QTest::keyClick(&view, Qt::Key_Left);
        QTest::keyClick(&view, Qt::Key_Delete);  // the whole double-byte character
        QCOMPARE(view.Buffer().RawText(), std::string("first\nabx\nlast"));
        QVERIFY(view.Modified());
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(view.SelText(), std::string("abx\r\nlast"));
        QTest::keyClicks(&view, "z");
        QCOMPARE(view.Buffer().RawText(), std::string("first\nz"));
        while (view.CanUndo()) view.Undo();
        QCOMPARE(view.Buffer().RawText(), std::string("first\n\x83\x5Cx\nlast"));
        // Characters typed in a row are undone together; a caret move starts a new run.
        view.Select(0, 0);
        QTest::keyClicks(&view, "xyz");
        QTest::keyClick(&view, Qt::Key_Left);
        QTest::keyClicks(&view, "w");
        view.Undo();
        QCOMPARE(view.Buffer().RawText(), std::string("xyzfirst\n\x83\x5Cx\nlast"));
        view.Undo();
        QCOMPARE(view.Buffer().RawText(), std::string("first\n\x83\x5Cx\nlast"));
        QVERIFY(!view.CanUndo());
    }

    void ReadOnlyScrollsInsteadOfEditing() {
        TTextView view;
        std::string text;
        for (int i = 0; i < 200; ++i) text += "line " + std::to_string(i) + "\r\n";
        ShowView(view, text);
        view.SetReadOnly(true);
        QTest::keyClicks(&view, "x");
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(view.Buffer().Text(), text);
        QTest::keyClick(&view, Qt::Key_PageDown);
        QVERIFY(view.FirstVisibleLine() > 5);
        QCOMPARE(view.verticalScrollBar()->value(), static_cast<int>(view.FirstVisibleLine()));
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
        QCOMPARE(view.Caret(), view.Buffer().Length());
        QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(view.Caret(), std::int64_t{0});
        QCOMPARE(view.FirstVisibleLine(), std::int64_t{0});
        view.ReplaceSelection(std::string_view("program "));  // the program may still edit
        QVERIFY(view.Buffer().Text().starts_with("program line 0"));
    }

    void InputMethodComposesAndCommits() {
        TTextView view;
        ShowView(view, "ab\ncd");
        view.Select(1, 1);
        QSignalSpy refused(&view, &TTextView::refused);
        QInputMethodEvent preedit(QStringLiteral("にほん"), {{QInputMethodEvent::Cursor, 2, 1, QVariant()}});
        QApplication::sendEvent(&view, &preedit);
        QCOMPARE(view.Buffer().Text(), std::string("ab\r\ncd"));  // composing text is not text yet
        const QRect caret = view.inputMethodQuery(Qt::ImCursorRectangle).toRect();
        QVERIFY(view.rect().contains(caret.center()));
        QCOMPARE(view.inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("ab"));
        QCOMPARE(view.inputMethodQuery(Qt::ImCursorPosition).toInt(), 1);
        view.grab();  // paints the composing text
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("日本"));
        QApplication::sendEvent(&view, &commit);
        QCOMPARE(view.Buffer().Text(), "a" + Sjis(u"日本") + "b\r\ncd");
        QCOMPARE(view.Caret(), std::int64_t(5));
        // The input method takes back the character before the caret and puts another.
        QInputMethodEvent replace;
        replace.setCommitString(QStringLiteral("語"), -1, 1);
        QApplication::sendEvent(&view, &replace);
        QCOMPARE(view.Buffer().Text(), "a" + Sjis(u"日語") + "b\r\ncd");
        // What CP932 cannot hold is kept as itself (its byte text reads '?').
        QInputMethodEvent yen;
        yen.setCommitString(QString::fromUtf8("\u00A5"));
        QApplication::sendEvent(&view, &yen);
        QCOMPARE(view.Buffer().Text(), "a" + Sjis(u"日語") + "?b\r\ncd");
        QCOMPARE(view.Buffer().Decode(0, 7), std::u16string(u"a日語¥b"));
        QCOMPARE(refused.count(), 0);
        view.SetReadOnly(true);
        QVERIFY(!view.inputMethodQuery(Qt::ImEnabled).toBool());
    }

    void PasteTakesTheFilesBreakStyle() {
        TTextView view;
        ShowView(view, "a\nb\n");
        view.Select(1, 1);
        QApplication::clipboard()->setText(QStringLiteral("x\r\ny\rz\u2028w"));
        view.Paste();
        QCOMPARE(view.Buffer().RawText(), std::string("ax\ny\nz\nw\nb\n"));
        view.Select(0, 7);
        view.Copy();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("ax\ny\n"));
        view.Cut();
        QCOMPARE(view.Buffer().RawText(), std::string("z\nw\nb\n"));
    }

    void ALineOfMegabytesIsLaidOutInPieces() {
        std::string line;
        while (line.size() < (5u << 20)) line += "\x93\xfa\x96\x7b\x8c\xea text ";
        TTextView view;
        ShowView(view, line + "\r\nnext");
        QTest::keyClick(&view, Qt::Key_End);
        QCOMPARE(view.Caret(), static_cast<std::int64_t>(line.size()));
        QVERIFY(view.horizontalScrollBar()->value() > 0);
        QVERIFY(view.viewport()->rect().contains(view.PositionRect(view.Caret()).center()));
        QCOMPARE(view.PositionAt(view.PositionRect(view.Caret()).center()), view.Caret());
        view.grab();
        // Wrapped, the line scrolls by rows while it stays the first visible line.
        view.SetWordWrap(true);
        view.Select(0, 0);
        view.LineScroll(0, 50);
        QCOMPARE(view.FirstVisibleLine(), std::int64_t(0));
        const std::int64_t top = view.PositionAt(QPoint(TTextView::kMargin, TTextView::kMargin + 1));
        QVERIFY(top > 50 * 10);
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(view.Caret(), view.Buffer().Length());
        QCOMPARE(view.FirstVisibleLine(), std::int64_t(0));  // the last rows of the long line are above "next"
        view.grab();
    }

    // Wrapped, a line longer than a piece breaks only where the width asks: its rows are
    // those of one layout of the whole line.
    void WrapBreaksALongLineOnlyWhereTheWidthAsks() {
        std::u16string words;
        for (int i = 0; words.size() < 6000; ++i) words += i % 3 == 0 ? u"検索末尾の文字 " : u"wrapped text ";
        const std::string line = Sjis(words.c_str());
        TTextView view;
        ShowView(view, line + "\r\nnext", true);
        // The rows of one layout of the whole line, at the view's width.
        QTextLayout whole(QString::fromStdU16String(words), view.font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setTabStopDistance(view.logicalDpiX() / 2.0);
        whole.setTextOption(option);
        whole.beginLayout();
        std::vector<std::int64_t> expected;
        for (QTextLine row = whole.createLine(); row.isValid(); row = whole.createLine()) {
            row.setLineWidth(view.viewport()->width() - 2 * TTextView::kMargin);
            expected.push_back(static_cast<std::int64_t>(EncodeSjis(words.substr(0, static_cast<std::size_t>(row.textStart()))).size()));
        }
        whole.endLayout();
        QVERIFY(expected.size() > 100);
        // A view tall enough for every row, the same width.
        view.resize(view.width(), static_cast<int>(expected.size() + 2) * view.RowHeight() + 2 * TTextView::kMargin + view.height() -
                                      view.viewport()->height());
        std::vector<std::int64_t> shown;
        for (std::size_t i = 0; i < expected.size(); ++i)
            shown.push_back(view.PositionAt(QPoint(TTextView::kMargin, TTextView::kMargin + 1 + static_cast<int>(i) * view.RowHeight())));
        QCOMPARE(shown, expected);
        const QPoint after(TTextView::kMargin, TTextView::kMargin + 1 + static_cast<int>(expected.size()) * view.RowHeight());
        QCOMPARE(view.Buffer().LineFromChar(view.PositionAt(after)), std::int64_t{1});  // then "next"
        // Typing keeps the rows before it.
        view.Select(100, 100);
        QTest::keyClicks(&view, "x");
        view.ScrollToLine(0);
        QCOMPARE(view.PositionAt(QPoint(TTextView::kMargin, TTextView::kMargin + 1)), std::int64_t{0});
    }

    void MarginDragSelectsWholeLines() {
        TTextView view;
        std::string text;
        for (int i = 0; i < 40; ++i) text += "line " + std::to_string(100 + i) + "\n";
        ShowView(view, text);
        const auto margin = [&](int line) {
            return QPoint(2, view.PositionRect(view.Buffer().LineIndex(line)).center().y());
        };
        QTest::mouseMove(view.viewport(), margin(5));
        QVERIFY(view.LineSelectPointer());
        QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, margin(5));
        QCOMPARE(view.SelStart(), view.Buffer().LineIndex(5));
        QCOMPARE(view.SelEnd(), view.Buffer().LineIndex(5) + 8);
        QTest::mouseMove(view.viewport(), margin(2));
        QCOMPARE(view.SelStart(), view.Buffer().LineIndex(2));
        QCOMPARE(view.SelEnd(), view.Buffer().LineIndex(6));
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, margin(2));
        QVERIFY(!view.LineSelectPointer());
    }

    // A file past the size read into memory: mapped, never decoded whole or copied, every
    // query of the interface answered, saved byte for byte, edits tracked.
    void LargeFilesAreMappedNotCopied() {
        std::string bytes;
        for (int i = 0; bytes.size() < TFileBytes::kReadLimit + 100; ++i)
            bytes += "\x93\xfa\x96\x7b line " + std::to_string(i) + (i % 7 == 3 ? "\r\n" : "\n");
        bytes += "tail";
        test::WriteWhole(Path("big.txt"), bytes);
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.resize(500, 400);
        memo.show();
        memo.LoadFromFile(Path("big.txt"));
        QVERIFY(memo.Buffer().MapsFile(Path("big.txt")));
        QCOMPARE(memo.LineIndex(memo.LineCount() - 1), memo.GetTextLen() - 4);
        QCOMPARE(memo.Lines().Count(), memo.LineCount());
        QCOMPARE(memo.Lines()[3], std::string("\x93\xfa\x96\x7b line 3"));
        QScrollBar* bar = memo.verticalScrollBar();
        QVERIFY(bar->isVisible());
        QVERIFY(bar->maximum() > memo.LineCount() - 100);
        QVERIFY(memo.FindText(std::string("line 99999"), frDown));
        QCOMPARE(memo.SelText(), std::string("line 99999"));
        QVERIFY(memo.FirstVisibleLine() > 0);
        memo.SaveToFile(Path("same.txt"));
        QCOMPARE(test::ReadWhole(Path("same.txt")), bytes);
        QVERIFY(!memo.IsModified());
        memo.SetReadOnly(false);
        memo.setFocus();
        memo.SetSelStart(memo.GetTextLen());
        QTest::keyClicks(&memo, "!");
        QTest::keyClick(&memo, Qt::Key_Return);
        QVERIFY(memo.IsModified());
        memo.SaveToFile(Path("edited.txt"));
        QCOMPARE(test::ReadWhole(Path("edited.txt")), bytes + "!\n");
        QVERIFY(!memo.IsModified());
        // Files dropped on the view reach its drop target.
        TDropDst drop;
        drop.SetControl(&memo);
        std::vector<std::string> dropped;
        drop.SetOnFileDrop([&](TDropDst*, const std::vector<std::string>& files, int, int) { dropped = files; });
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(Path("same.txt")))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(memo.viewport(), &enter);
        QDropEvent dropEvent(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(memo.viewport(), &dropEvent);
        QCOMPARE(dropped, std::vector<std::string>{Path("same.txt")});
        // Cut short by another program while shown: the lost pages read as zeros and are
        // never saved as the text.
        memo.LoadFromFile(Path("big.txt"));
        QCOMPARE(::truncate(Path("big.txt").c_str(), 100), 0);
        QVERIFY_THROWS_EXCEPTION(EXavoMemoError, memo.SaveToFile(Path("big.txt")));
        QCOMPARE(std::filesystem::file_size(Path("big.txt")), std::uintmax_t(100));
        // A hard-linked file is saved in place, under the mapping the pieces read: what the
        // view shows and saves next must still be the text, not new bytes at old offsets.
        test::WriteWhole(Path("linked.txt"), bytes);
        QCOMPARE(::link(Path("linked.txt").c_str(), Path("link2.txt").c_str()), 0);
        memo.LoadFromFile(Path("linked.txt"));
        memo.SetSelStart(0);
        memo.SetSelText("<<");
        memo.SetSelStart(memo.LineIndex(5));
        memo.SaveToFile(Path("linked.txt"));
        QCOMPARE(test::ReadWhole(Path("link2.txt")), "<<" + bytes);
        QCOMPARE(memo.Lines()[3], std::string("\x93\xfa\x96\x7b line 3"));
        QCOMPARE(memo.SelStart(), memo.LineIndex(5));
        memo.SaveToFile(Path("again.txt"));
        QCOMPARE(test::ReadWhole(Path("again.txt")), "<<" + bytes);
        memo.SetText("small");
        QCOMPARE(memo.Text(), std::string("small"));
    }

    // A large file in another encoding is converted once into the document's Shift-JIS
    // codes (its characters Shift-JIS lacks kept as themselves), saved as it was when
    // unedited and converted back when edited.
    void LargeFilesInOtherEncodings() {
        std::u16string lines;
        while (lines.size() < TFileBytes::kReadLimit) lines += u"日本語の行 line\n";
        const TFileEncoding utf8{TEncoding::Utf8, false};
        const std::string bytes = EncodeText(lines, utf8);
        test::WriteWhole(Path("utf8.txt"), bytes);
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.LoadFromFile(Path("utf8.txt"));
        QVERIFY(memo.Encoding() == utf8);
        QVERIFY(!memo.Buffer().HasForeign());
        QCOMPARE(memo.Lines()[0], Sjis(u"日本語の行 line"));
        memo.SaveToFile(Path("utf8-same.txt"));
        QCOMPARE(test::ReadWhole(Path("utf8-same.txt")), bytes);
        memo.SetSelStart(memo.GetTextLen());
        memo.SetSelText(Sjis(u"追加"));
        memo.SaveToFile(Path("utf8-edited.txt"));
        QCOMPARE(test::ReadWhole(Path("utf8-edited.txt")), bytes + EncodeText(u"追加", utf8));
        memo.Undo();
        QVERIFY(!memo.CanUndo());
        memo.SaveToFile(Path("utf8-undone.txt"));
        QCOMPARE(test::ReadWhole(Path("utf8-undone.txt")), bytes);
        QCOMPARE(memo.FindUnencodable(), std::int64_t{-1});
        // A character Shift-JIS cannot hold is kept as itself, shown and saved so.
        const std::string euro = bytes + EncodeText(u"\u20AC end", utf8);
        test::WriteWhole(Path("euro.txt"), euro);
        memo.LoadFromFile(Path("euro.txt"));
        QVERIFY(memo.Buffer().HasForeign());
        const std::int64_t last = memo.LineIndex(memo.LineCount() - 1);
        QCOMPARE(memo.Buffer().Decode(last, 5), std::u16string(u"\u20AC end"));
        QCOMPARE(memo.Lines()[memo.LineCount() - 1], std::string("? end"));
        memo.SaveToFile(Path("euro-same.txt"));
        QCOMPARE(test::ReadWhole(Path("euro-same.txt")), euro);
        // EUC-JP lacks some Shift-JIS characters: they are reported before saving.
        const TFileEncoding euc{TEncoding::EucJp, false};
        test::WriteWhole(Path("euc.txt"), EncodeText(lines, euc));
        memo.LoadFromFile(Path("euc.txt"), TEncoding::EucJp);
        // A user-defined character (F040) has no EUC-JP code.
        QCOMPARE(memo.FindUnencodable(), std::int64_t{-1});
        memo.SetSelStart(memo.LineIndex(1000) + 4);
        memo.SetSelText("\xF0\x40");
        QCOMPARE(memo.FindUnencodable(), memo.LineIndex(1000) + 4);
    }

    // Past 2 GB (a sparse file: one line of zeros, then text): positions and line numbers
    // are exact through the memo's interface.
    void PositionsPastTwoGigabytes() {
        const std::string path = Path("sparse.txt");
        const std::int64_t hole = (std::int64_t{1} << 31) + 4096;
        const std::string tail = "\r\nend line\r\nlast";
        {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            QVERIFY(fd >= 0);
            QCOMPARE(::pwrite(fd, tail.data(), tail.size(), hole), static_cast<ssize_t>(tail.size()));
            ::close(fd);
        }
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.resize(400, 300);
        memo.show();
        memo.LoadFromFile(path);
        QCOMPARE(memo.LineCount(), std::int64_t{3});
        QCOMPARE(memo.LineIndex(1), hole + 2);
        QCOMPARE(memo.GetTextLen(), hole + static_cast<std::int64_t>(tail.size()));
        memo.SetSelStart(memo.LineIndex(2));
        QCOMPARE(memo.SelStart(), hole + 12);
        QCOMPARE(memo.CaretLine(), std::int64_t{2});
        QVERIFY(memo.FindText(std::string("end"), 0));
        QCOMPARE(memo.SelStart(), hole + 2);
        QCOMPARE(memo.LineFromChar(hole + 3), std::int64_t{1});
        QCOMPARE(memo.Lines()[1], std::string("end line"));
        memo.ScrollLineToRow(2, 3);
        QVERIFY(memo.viewport()->rect().contains(memo.PositionRect(memo.LineIndex(2)).center()));
        memo.SetText("");
        std::remove(path.c_str());
    }

    // A file another program writes to while it is shown: told apart from one rewritten,
    // and its new end added in the file's own encoding.
    void AFileThatGrowsIsFollowedInItsEncoding() {
        const std::string path = Path("grow.txt");
        const TFileEncoding utf8{TEncoding::Utf8, false};
        test::WriteWhole(path, EncodeText(u"一行目\n", utf8));
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.LoadFromFile(path);
        QVERIFY(memo.DiskChange() == TDiskChange::None);
        std::ofstream(path, std::ios::binary | std::ios::app) << EncodeText(u"二行目 ¥\n", utf8);
        QVERIFY(memo.DiskChange() == TDiskChange::Grown);
        QVERIFY(memo.TakeGrowth());
        QVERIFY(memo.DiskChange() == TDiskChange::None);
        QCOMPARE(memo.Buffer().Decode(0, memo.GetTextLen()), std::u16string(u"一行目\r\n二行目 ¥\r\n"));
        QVERIFY(!memo.IsModified());
        memo.SaveToFile(Path("grow-copy.txt"));
        QCOMPARE(test::ReadWhole(Path("grow-copy.txt")), test::ReadWhole(path));
        // The old end cut a line: the file is read again instead.
        std::ofstream(path, std::ios::binary | std::ios::app) << "half";
        QVERIFY(memo.TakeGrowth());
        std::ofstream(path, std::ios::binary | std::ios::app) << " done\n";
        QVERIFY(memo.DiskChange() == TDiskChange::Grown);
        QVERIFY(!memo.TakeGrowth());
        memo.Reload();
        QCOMPARE(memo.Lines()[2], std::string("half done"));
        // Rewritten, or cut short: changed, not grown; gone when removed.
        test::WriteWhole(path, "x\n");
        QVERIFY(memo.DiskChange() == TDiskChange::Changed);
        memo.Reload();
        std::ofstream(path, std::ios::binary | std::ios::app) << "y\n";
        memo.SetReadOnly(false);
        memo.SetSelStart(0);
        memo.SetSelText("edit");
        QVERIFY(!memo.TakeGrowth());  // an edited text is not changed under the user
        std::remove(path.c_str());
        QVERIFY(memo.DiskChange() == TDiskChange::Gone);
    }

    // A mapped file cut short by another program: what reads its lost pages (painting the
    // end, a search) says that the file changed on disk, not a library's error.
    void AFileCutShortSaysItChangedOnDisk() {
        const std::string path = Path("cut.txt");
        std::string bytes;
        while (bytes.size() < TFileBytes::kReadLimit * 2) bytes += "some line of text\r\n";
        test::WriteWhole(path, bytes);
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.resize(400, 300);
        memo.show();
        memo.LoadFromFile(path);
        QCOMPARE(::truncate(path.c_str(), 100), 0);
        memo.ScrollToLine(memo.LineCount() - 1);
        memo.grab();
        QVERIFY(memo.DiskChange() == TDiskChange::Changed);
        try {
            memo.SetSelStart(0);
            memo.FindText(std::string("no such text"), frDown);
            QFAIL("no error");
        } catch (const EXavoMemoError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("他のプログラム")), e.what());
        }
    }

    void AHundredMegabyteFileIsHeldOnce() {
        const std::string path = Path("huge.txt");
        {
            std::ofstream out(path, std::ios::binary);
            const std::string block = std::string(1000, 'x') + "\n";
            for (int i = 0; i < 100 * 1024; ++i) out << block;
        }
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.resize(500, 400);
        memo.show();
        const long before = AnonymousKib();
        memo.LoadFromFile(path);
        memo.grab();
        QCOMPARE(memo.LineCount(), 100 * 1024 + 1);
        const long grown = AnonymousKib() - before;
        QVERIFY2(grown < 16 * 1024, qPrintable(QString::number(grown)));  // the index, not a copy
        std::remove(path.c_str());
    }
};

QTEST_MAIN(TTextViewTest)
#include "textview_test.moc"
