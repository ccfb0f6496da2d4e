// The text view on the offscreen platform: the byte-position model, edits keeping it,
// byte-exact load and save (plain and RTF), find with its boundary rule, and margin line
// selection driven by mouse events.
#include "SjisCodec.h"
#include "TempDir.h"
#include "XavoMemo.h"

#include "Rtf.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>

using namespace xavo;

namespace {

// The start of the character that holds byte Pos of Text (CR LF counts as the end of its
// line), walking from the start.
int CharStartAt(const std::string& text, int pos) {
    int at = 0;
    while (at < static_cast<int>(text.size())) {
        int length = 1;
        const auto b = static_cast<unsigned char>(text[static_cast<std::size_t>(at)]);
        if (b == '\r' && at + 1 < static_cast<int>(text.size()) && text[static_cast<std::size_t>(at) + 1] == '\n') length = 2;
        else if (((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) && at + 1 < static_cast<int>(text.size())) {
            const auto t = static_cast<unsigned char>(text[static_cast<std::size_t>(at) + 1]);
            if (t >= 0x40 && t <= 0xFC && t != 0x7F) length = 2;
        }
        if (at + length > pos) return at;
        at += length;
    }
    return at;
}

// Every line's start, length and text agree with the byte text.
void VerifyLineModel(TXavoMemo& memo) {
    const std::string text = memo.Text();
    QCOMPARE(memo.GetTextLen(), static_cast<std::int64_t>(text.size()));
    std::int64_t start = 0;
    std::int64_t line = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", static_cast<std::size_t>(start));
        const auto length = static_cast<std::int64_t>((end == std::string::npos ? text.size() : end) - static_cast<std::size_t>(start));
        QCOMPARE(memo.LineIndex(line), start);
        QCOMPARE(memo.LineLength(start), length);
        QCOMPARE(memo.LineFromChar(start + length), line);
        if (line < memo.Lines().Count()) QCOMPARE(memo.Lines()[line], text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length)));
        if (end == std::string::npos) break;
        start = static_cast<std::int64_t>(end) + 2;
        ++line;
    }
    QCOMPARE(memo.LineCount(), line + 1);
    QCOMPARE(memo.LineIndex(line + 1), std::int64_t{-1});
}

void Hover(QWidget* widget, QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

}  // namespace

class TXavoMemoTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FDir;
    std::string Path(const char* name) { return (FDir.path() + "/" + name).toStdString(); }

    // A shown view with 40 lines "line NN" and a fixed font.
    void ShowLines(TXavoMemo& memo) {
        std::string text;
        for (int i = 0; i < 40; ++i) text += "line " + std::to_string(100 + i) + "\r\n";
        memo.SetText(text);
        memo.setFont(QFont("IPAGothic", 10));
        memo.SetWordWrap(false);
        memo.resize(400, 300);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
    }

    QPoint MarginPointOf(TXavoMemo& memo, std::int64_t line) {
        return QPoint(2, memo.PositionRect(memo.LineIndex(line)).center().y());
    }

private slots:
    void initTestCase() { QVERIFY(FDir.isValid()); }

    void ANewViewIsUneditedWithNothingToUndo() {
        TXavoMemo memo;
        QVERIFY(!memo.IsModified());
        QVERIFY(!memo.CanUndo());
    }

    void PositionsFollowTheByteModel() {
        TXavoMemo memo;
        // ab / so + kanji / (empty) / half-width a, x, a lone lead byte at the end
        const std::string text = "ab\r\n\x83\x5C\x88\x9F\r\n\r\n\xB1x\x83";
        memo.SetText(text);
        QCOMPARE(memo.Text(), text);
        QCOMPARE(memo.GetTextLen(), 15);
        QCOMPARE(memo.LineCount(), 4);
        VerifyLineModel(memo);
        QCOMPARE(memo.LineIndex(1), 4);
        QCOMPARE(memo.LineIndex(3), 12);
        QCOMPARE(memo.LineLength(5), 4);
        QCOMPARE(memo.Lines().Count(), 4);
        QCOMPARE(memo.Lines()[1], std::string("\x83\x5C\x88\x9F"));
        for (int pos = 0; pos <= memo.GetTextLen(); ++pos) {
            memo.SetSelStart(pos);
            QCOMPARE(memo.SelStart(), CharStartAt(text, pos));
            QCOMPARE(memo.SelLength(), 0);
        }
        memo.SetSelStart(5);  // inside so: the selection starts at so
        QCOMPARE(memo.SelStart(), 4);
        memo.SetSelStart(4);
        memo.SetSelLength(4);
        QCOMPARE(memo.SelText(), std::string("\x83\x5C\x88\x9F"));
        QCOMPARE(memo.CaretLine(), 1);
        QCOMPARE(memo.CaretColumn(), 0);
        memo.SetSelStart(1);
        memo.SetSelLength(9);  // through two line breaks
        QCOMPARE(memo.SelText(), std::string("b\r\n\x83\x5C\x88\x9F\r\n"));
        memo.SetSelStart(-5);
        QCOMPARE(memo.SelStart(), 0);
        memo.SetSelStart(999);
        QCOMPARE(memo.SelStart(), 15);
        QCOMPARE(memo.LineFromChar(999), 3);
    }

    void LinesCountLessOneWhenTheLastLineIsEmpty() {
        TXavoMemo memo;
        QCOMPARE(memo.LineCount(), 1);
        QCOMPARE(memo.Lines().Count(), 0);
        memo.SetText("a\r\nb\r\n");
        QCOMPARE(memo.LineCount(), 3);
        QCOMPARE(memo.Lines().Count(), 2);
        memo.Lines().Assign({"x", "\x83\x5C", ""});
        QCOMPARE(memo.Text(), std::string("x\r\n\x83\x5C\r\n\r\n"));
        QCOMPARE(memo.Lines().ToVector(), (std::vector<std::string>{"x", "\x83\x5C", ""}));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, memo.Lines()[3]);
        memo.Lines().Clear();
        QCOMPARE(memo.GetTextLen(), 0);
    }

    void EditsKeepTheLineModel() {
        TXavoMemo memo;
        memo.SetText("first\r\n\x83\x5C second\r\nthird");
        memo.SetSelStart(2);
        memo.SetSelText("\x93\xfa\r\n\r\nnew");  // two new lines in the middle of line 0
        VerifyLineModel(memo);
        QCOMPARE(memo.Text(), std::string("fi\x93\xfa\r\n\r\nnewrst\r\n\x83\x5C second\r\nthird"));
        memo.SetSelStart(memo.LineIndex(1));
        memo.SetSelLength(memo.LineIndex(3) - memo.LineIndex(1));  // remove lines 1 and 2
        memo.SetSelText("");
        VerifyLineModel(memo);
        QCOMPARE(memo.Text(), std::string("fi\x93\xfa\r\n\x83\x5C second\r\nthird"));
        QVERIFY(memo.CanUndo());
        memo.Undo();
        VerifyLineModel(memo);
        QCOMPARE(memo.Text(), std::string("fi\x93\xfa\r\n\r\nnewrst\r\n\x83\x5C second\r\nthird"));
        // Typing, Enter and Shift+Enter all give real lines.
        memo.SetReadOnly(false);
        memo.SetSelStart(memo.GetTextLen());
        QTest::keyClicks(&memo, "ab");
        QTest::keyClick(&memo, Qt::Key_Return);
        QTest::keyClick(&memo, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(&memo, "c");
        VerifyLineModel(memo);
        QVERIFY(memo.Text().ends_with("thirdab\r\n\r\nc"));
        QCOMPARE(memo.FindUnencodable(), -1);
        memo.SetSelStart(4);
        memo.ReplaceSelection(std::u16string_view(u"\u00A5"));  // the yen sign has no CP932 code
        QCOMPARE(memo.FindUnencodable(), std::int64_t{4});
        QCOMPARE(memo.Text().substr(4, 1), std::string("?"));
        memo.SelectAll();
        memo.ReplaceSelection(std::u16string_view(u"replaced\nby text\r"));
        VerifyLineModel(memo);
        QCOMPARE(memo.LineCount(), std::int64_t{3});
    }

    void ReadOnlyBlocksTypingButNotTheProgram() {
        TXavoMemo memo;
        memo.SetText("abc");
        memo.SetReadOnly(true);
        memo.SetSelStart(3);
        QTest::keyClicks(&memo, "x");
        QCOMPARE(memo.Text(), std::string("abc"));
        memo.SetSelText("d");
        QCOMPARE(memo.Text(), std::string("abcd"));
        QVERIFY(memo.ReadOnly());
    }

    void PlainFilesSaveByteForByte_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("crlf") << QByteArray("a\r\n\x83\x5C\r\n");
        QTest::newRow("no final break") << QByteArray("a\r\nb");
        QTest::newRow("lf") << QByteArray("a\nb\n\n");
        QTest::newRow("cr") << QByteArray("a\rb\r");
        QTest::newRow("mixed") << QByteArray("a\nb\r\nc\rd\n\r\n");
        QTest::newRow("broken bytes") << QByteArray("\x80\xA0\xFF\xFD\x85\x40\x87\x90\xED\x40\x83\r\n\x83");
        QTest::newRow("nul and controls") << QByteArray("a\0b\x1a\x7f\t\r\n", 8);
        QTest::newRow("utf-8 text") << QByteArray("\xE6\x97\xA5\xE6\x9C\xAC\r\n");
    }

    void PlainFilesSaveByteForByte() {
        QFETCH(QByteArray, bytes);
        const std::string in = Path("in.txt"), out = Path("out.txt");
        test::WriteWhole(in, bytes.toStdString());
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.LoadFromFile(in);
        memo.SaveToFile(out);
        QCOMPARE(test::ReadWhole(out), bytes.toStdString());
        // An edit undone inside lines keeps every line end.
        memo.SetSelStart(0);
        memo.SetSelText("zz");
        memo.Undo();
        memo.Lines().SaveToFile(out);
        QCOMPARE(test::ReadWhole(out), bytes.toStdString());
    }

    void NewTextUsesCrLf() {
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.SetReadOnly(false);
        memo.show();
        QTest::keyClicks(&memo, "a");
        QTest::keyClick(&memo, Qt::Key_Return);
        QTest::keyClicks(&memo, "b");
        memo.SaveToFile(Path("new.txt"));
        QCOMPARE(test::ReadWhole(Path("new.txt")), std::string("a\r\nb"));
    }

    void LargerFilesAreWholeAtOnce() {
        std::string bytes;
        for (int i = 0; i < 20000; ++i) bytes += "\x93\xfa\x96\x7b\x8c\xea line " + std::to_string(i) + "\n";
        test::WriteWhole(Path("big.txt"), bytes);
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.LoadFromFile(Path("big.txt"));
        QCOMPARE(memo.LineCount(), std::int64_t{20001});
        QCOMPARE(memo.LineIndex(20000), static_cast<std::int64_t>(bytes.size()) + 20000);  // LF counts two
        memo.SaveToFile(Path("big-out.txt"));
        QCOMPARE(test::ReadWhole(Path("big-out.txt")), bytes);
    }

    void UnreadableFilesRaiseAndLeaveTheView() {
        TXavoMemo memo;
        memo.SetText("kept");
        // A pipe nobody writes to stands for a file whose reads wait (a kernel log): opening
        // it must not hang the window.
        QCOMPARE(::mkfifo(Path("pipe").c_str(), 0600), 0);
        for (const std::string& path : {Path("missing.txt"), FDir.path().toStdString(), Path("pipe")}) {
            try {
                memo.LoadFromFile(path);
                QFAIL("no error");
            } catch (const EXavoMemoError& e) {
                QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("ｽﾄﾘｰﾑからの読み込みに失敗しました"));
            }
            QCOMPARE(memo.Text(), std::string("kept"));
        }
        QVERIFY_THROWS_EXCEPTION(EXavoMemoError, memo.SaveToFile(Path("no-such-dir/x.txt")));
    }

    void RichTextLoadsAndSavesRtf() {
        const std::string rtf =
            "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 \\'96\\'be\\'92\\'a9;}}"
            "{\\colortbl ;\\red0\\green128\\blue0;}\\pard\\fs24 plain \\b bold\\b0\\par\\cf1\\i\\'93\\'fa\\'96\\'7b\\par}";
        test::WriteWhole(Path("doc.rtf"), rtf);
        TXavoMemo memo;
        memo.SetPlainText(false);
        memo.SetReadOnly(true);
        memo.LoadFromFile(Path("doc.rtf"));
        QVERIFY(memo.ReadAsRichText());
        QCOMPARE(memo.Text(), std::string("plain bold\r\n\x93\xfa\x96\x7b"));
        // Shown formatted, read-only.
        QVERIFY(memo.RichView() != nullptr);
        QTextCursor at(memo.RichView()->document()->findBlockByNumber(0));
        at.setPosition(8);
        QVERIFY(at.charFormat().fontWeight() >= QFont::Bold);
        at.setPosition(memo.RichView()->document()->findBlockByNumber(1).position() + 1);
        QVERIFY(at.charFormat().fontItalic());
        QCOMPARE(at.charFormat().foreground().color(), QColor(0, 128, 0));
        // A search selects in the formatted view too.
        QVERIFY(memo.FindText(std::string("bold"), frDown));
        QCOMPARE(memo.RichView()->textCursor().selectedText(), QStringLiteral("bold"));
        // What the view writes it reads back the same: saving again gives the same bytes.
        memo.SaveToFile(Path("saved.rtf"));
        const std::string saved = test::ReadWhole(Path("saved.rtf"));
        QVERIFY(saved.starts_with("{\\rtf1\\ansi\\ansicpg932"));
        memo.LoadFromFile(Path("saved.rtf"));
        QCOMPARE(memo.Text(), std::string("plain bold\r\n\x93\xfa\x96\x7b"));
        memo.SaveToFile(Path("saved2.rtf"));
        QCOMPARE(test::ReadWhole(Path("saved2.rtf")), saved);
        // Plain-text mode shows the markup; rich mode reads other files as plain text.
        memo.SetPlainText(true);
        memo.LoadFromFile(Path("doc.rtf"));
        QCOMPARE(memo.Text(), rtf);
        memo.SetPlainText(false);
        test::WriteWhole(Path("plain.txt"), "not {\\rtf\r\n");
        memo.LoadFromFile(Path("plain.txt"));
        QCOMPARE(memo.Text(), std::string("not {\\rtf\r\n"));
    }

    // Editing rich text edits its text; the formats follow the edits (and undo), and what is
    // written as RTF afterwards keeps them.
    void RichTextFormatsFollowEdits() {
        std::string rtf = "{\\rtf1\\ansi ";
        for (int i = 0; i < 500; ++i) rtf += "{\\b ab}{\\i cd}";
        test::WriteWhole(Path("runs.rtf"), rtf + "\\par next}");
        TXavoMemo memo;
        memo.SetPlainText(false);
        memo.resize(400, 300);
        memo.show();
        memo.LoadFromFile(Path("runs.rtf"));
        QCOMPARE(memo.LineCount(), std::int64_t{2});
        QCOMPARE(memo.LineLength(0), std::int64_t{2000});
        QVERIFY(memo.RichView() == nullptr);  // in edit mode the text shows itself
        memo.SetSelStart(2);
        memo.SetSelText("XY");  // after a bold "ab": bold too
        memo.SetSelStart(memo.LineIndex(1));
        memo.SetSelText("new ");
        memo.SaveToFile(Path("runs-out.rtf"));
        TRtfDocument written = ReadRtf(test::ReadWhole(Path("runs-out.rtf")));
        QCOMPARE(written.PlainText().substr(0, 8), std::u16string(u"abXYcdab"));
        QVERIFY(written.Runs[0].Format.Bold);
        QCOMPARE(written.Runs[0].Text, std::u16string(u"abXY"));
        QVERIFY(written.Runs[1].Format.Italic);
        QVERIFY(written.PlainText().ends_with(u"\nnew next"));
        memo.Undo();
        memo.Undo();
        memo.SaveToFile(Path("runs-back.rtf"));
        written = ReadRtf(test::ReadWhole(Path("runs-back.rtf")));
        QCOMPARE(written.Runs[0].Text, std::u16string(u"ab"));
        QVERIFY(written.PlainText().ends_with(u"\nnext"));
        memo.SetReadOnly(true);
        QVERIFY(memo.RichView() != nullptr);
        QCOMPARE(memo.RichView()->document()->blockCount(), 2);
    }

    void FindTextSearchesAndSelects() {
        TXavoMemo memo;
        memo.SetText("abc \x83\x5C\\ ABC\r\n\xB1" "abc");
        QVERIFY(memo.FindText(std::string("abc"), frDown));
        QCOMPARE(memo.SelStart(), 0);
        QCOMPARE(memo.SelLength(), 3);
        QVERIFY(memo.FindText(std::string("abc"), frDown));  // the next, not the same
        QCOMPARE(memo.SelStart(), 8);
        QVERIFY(memo.FindText(std::string("abc"), frDown | frMatchCase));
        QCOMPARE(memo.SelStart(), 14);  // ends at the end of the text
        QVERIFY(!memo.FindText(std::string("abc"), frDown));
        QCOMPARE(memo.SelStart(), 14);  // unchanged after a failure
        QCOMPARE(memo.SelLength(), 3);
        QVERIFY(memo.FindText(std::string("\\"), 0));  // backward: not the trail byte of so
        QCOMPARE(memo.SelStart(), 6);
        QVERIFY(memo.FindText(std::string("abc"), 0));
        QCOMPARE(memo.SelStart(), 0);  // backward to position 0
        QVERIFY(memo.FindText(std::string("\xB1"), frDown));  // half-width katakana is found
        QCOMPARE(memo.SelStart(), 13);
        QVERIFY(memo.FindText(QStringLiteral("ソ"), 0));
        QCOMPARE(memo.SelStart(), 4);
        QCOMPARE(memo.SelLength(), 2);
        QVERIFY(!memo.FindText(QString::fromUtf8("\u00A5"), frDown));  // cannot be in the text
        QVERIFY(!memo.FindText(std::string(), frDown));
        memo.SetText("");
        QVERIFY(!memo.FindText(std::string("a"), frDown));
    }

    void FindTextScrollsOneLine() {
        TXavoMemo memo;
        ShowLines(memo);
        memo.SetSelStart(0);
        QVERIFY(memo.FindText(std::string("line 130"), frDown));
        const int top = memo.FirstVisibleLine();
        QVERIFY(top > 0);
        memo.SetSelStart(memo.LineIndex(39));
        const int before = memo.FirstVisibleLine();
        QVERIFY(memo.FindText(std::string("line 138"), 0));
        QCOMPARE(memo.FirstVisibleLine(), before - 1);
    }

    void MarginPointerFollowsTheMouse() {
        TXavoMemo memo;
        ShowLines(memo);
        QCOMPARE(memo.FormatRect().left(), 8);
        Hover(memo.viewport(), QPoint(2, 20));
        QVERIFY(memo.LineSelectPointer());
        QCOMPARE(memo.viewport()->cursor().shape(), Qt::ArrowCursor);
        Hover(memo.viewport(), QPoint(50, 20));
        QVERIFY(!memo.LineSelectPointer());
        QCOMPARE(memo.viewport()->cursor().shape(), Qt::IBeamCursor);
        memo.SetLineSelect(false);
        Hover(memo.viewport(), QPoint(2, 20));
        QVERIFY(!memo.LineSelectPointer());  // the pointer never changes
        QTest::mousePress(memo.viewport(), Qt::LeftButton, Qt::NoModifier, MarginPointOf(memo, 5));
        QTest::mouseRelease(memo.viewport(), Qt::LeftButton, Qt::NoModifier, MarginPointOf(memo, 5));
        QCOMPARE(memo.SelLength(), 0);  // an ordinary click
    }

    void MarginDragSelectsWholeLines() {
        TXavoMemo memo;
        ShowLines(memo);
        QWidget* viewport = memo.viewport();
        Hover(viewport, MarginPointOf(memo, 5));
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, MarginPointOf(memo, 5));
        QCOMPARE(memo.SelStart(), memo.LineIndex(5));
        QCOMPARE(memo.SelLength(), 8);  // the line without its break
        QTest::mouseMove(viewport, MarginPointOf(memo, 8));
        QCOMPARE(memo.SelStart(), memo.LineIndex(5));
        QCOMPARE(memo.SelStart() + memo.SelLength(), memo.LineIndex(8) + 8);  // end of line 8's text
        QTest::mouseMove(viewport, MarginPointOf(memo, 2));
        QCOMPARE(memo.SelStart(), memo.LineIndex(2));
        QCOMPARE(memo.SelStart() + memo.SelLength(), memo.LineIndex(6));  // through line 5's break
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, MarginPointOf(memo, 2));
        QVERIFY(!memo.LineSelectPointer());
        QCOMPARE(memo.SelStart(), memo.LineIndex(2));
    }

    void MarginDragScrollsAtTheEdges() {
        TXavoMemo memo;
        ShowLines(memo);
        QWidget* viewport = memo.viewport();
        Hover(viewport, MarginPointOf(memo, 5));
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, MarginPointOf(memo, 5));
        const int bottom = memo.FormatRect().bottom() - 2;
        QCOMPARE(memo.FirstVisibleLine(), 0);
        QTest::mouseMove(viewport, QPoint(2, bottom - 1));
        QCOMPARE(memo.FirstVisibleLine(), 1);
        QTest::mouseMove(viewport, QPoint(2, bottom));
        QCOMPARE(memo.FirstVisibleLine(), 2);
        const int selectedEnd = memo.SelStart() + memo.SelLength();
        QTest::mouseMove(viewport, QPoint(2, bottom - 1));  // moving up near the edge: nothing
        QCOMPARE(memo.FirstVisibleLine(), 2);
        QCOMPARE(memo.SelStart() + memo.SelLength(), selectedEnd);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(2, bottom - 1));
        // At the top edge the view scrolls up while the pointer moves up.
        memo.LineScroll(0, 10);
        const int top = memo.FirstVisibleLine();
        Hover(viewport, MarginPointOf(memo, top + 5));
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, MarginPointOf(memo, top + 5));
        QTest::mouseMove(viewport, MarginPointOf(memo, top));
        QCOMPARE(memo.FirstVisibleLine(), top - 1);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, MarginPointOf(memo, top - 1));
    }

    void ShiftOrCtrlGiveTheNormalClick() {
        TXavoMemo memo;
        ShowLines(memo);
        QWidget* viewport = memo.viewport();
        memo.SetSelStart(memo.LineIndex(1) + 3);
        Hover(viewport, MarginPointOf(memo, 4));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, MarginPointOf(memo, 4));
        // A shift-click extends the selection from the caret to the clicked point.
        QCOMPARE(memo.SelStart(), memo.LineIndex(1) + 3);
        QCOMPARE(memo.SelStart() + memo.SelLength(), memo.LineIndex(4));
        Hover(viewport, MarginPointOf(memo, 6));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, MarginPointOf(memo, 6));
        QCOMPARE(memo.SelLength(), 0);
    }

    void PropertiesApply() {
        TXavoMemo memo;
        memo.SetScrollBars(ssVertical);
        QCOMPARE(memo.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(memo.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        memo.SetColor(QColor(10, 20, 30));
        QCOMPARE(memo.Color(), QColor(10, 20, 30));
        memo.SetHideSelection(false);
        QCOMPARE(memo.palette().color(QPalette::Inactive, QPalette::Highlight),
                 memo.palette().color(QPalette::Active, QPalette::Highlight));
        memo.SetHideSelection(true);
        QCOMPARE(memo.palette().color(QPalette::Inactive, QPalette::Highlight), QColor(10, 20, 30));
        memo.SetWordWrap(true);
        QVERIFY(memo.WordWrap());
    }
};

QTEST_MAIN(TXavoMemoTest)
#include "xavomemo_test.moc"
