// The window's file commands driven on the real window: showing a file once, the file
// list, next and previous file, a drop on the text view, saving byte for byte (and what a
// failed or refused save leaves, the questions before writing what other programs cannot
// read back or what would end a file's being UTF-8), edit mode, the plain-text switch, the
// Edit menu, and the questions that keep unsaved edits from being lost.
#include "ComboBox98.h"
#include "ContextMenuEx.h"
#include "CommandGuard.h"
#include "DirTree.h"
#include "FileSizeLimit.h"
#include "FormFixture.h"
#include "ShellListBox.h"
#include "SjisQt.h"
#include "XavoMemo.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QTextBlock>
#include <QToolButton>

#include <sys/stat.h>

using namespace xavo;
using xavo::test::TFileSizeLimit;
using xavo::test::NumberedLines;
using xavo::test::ReadBytes;
using xavo::test::TFormFixture;

namespace {

void DropFiles(QWidget* receiver, const QStringList& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    const QPoint point(10, 10);
    QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(receiver, &enter);
    QDropEvent drop(QPointF(point), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(receiver, &drop);
}

// Right-clicks the file list at Point and, when the context menu opens, chooses its copy
// of the path; returns what reached the clipboard (empty when no menu opened).
QString CopyPathByContextMenu(TShellListBox* list, const QPoint& point) {
    QGuiApplication::clipboard()->clear();
    QTimer menuWatch;
    QObject::connect(&menuWatch, &QTimer::timeout, [&menuWatch] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        menuWatch.stop();
        for (QAction* action : menu->actions()) {
            if (action->data().toInt() == TContextMenuEx::cmCopyPath) {
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
            }
        }
    });
    menuWatch.start(10);
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, point);
    return QGuiApplication::clipboard()->text();
}

// Types Text into the text view at its caret.
void Type(TXavoMemo* memo, const QString& text) {
    memo->setFocus();
    QTest::keyClicks(memo, text);
}


}  // namespace

class TMainWindowFilesTest : public QObject {
    Q_OBJECT

private slots:
    void openingTheSameFileTwiceLoadsItOnce() {
        TFormFixture f;
        const std::string lower = f.Dir.File("a.txt", "lower\r\n");
        const std::string upper = f.Dir.File("A.txt", "UPPER\r\n");
        TForm1& form = f.Shown();
        QSignalSpy loads(&form, &TForm1::fileOpened);
        QVERIFY(form.OpenFile(lower));
        QVERIFY(form.OpenFile(lower));
        QCOMPARE(loads.size(), 1);
        QCOMPARE(form.windowTitle(), QStringLiteral("Xavoline ") + QString::fromStdString(lower));
        QVERIFY(form.OpenFile(upper));  // another spelling is another file here
        QCOMPARE(loads.size(), 2);
        QCOMPARE(f.C().Memo->Text(), std::string("UPPER\r\n"));
        QVERIFY(!form.OpenFile(f.Dir.Path("missing.txt")));
        QVERIFY(!form.OpenFile(f.Root()));
        QVERIFY(::mkfifo(f.Dir.Path("pipe.txt").c_str(), 0600) == 0);
        QVERIFY(!form.OpenFile(f.Dir.Path("pipe.txt")));  // never opened: reading it would block
        QCOMPARE(loads.size(), 2);
        QCOMPARE(form.CurrentFile(), upper);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void openingMovesTheDirectoryTreeAndTheList() {
        TFormFixture f;
        std::filesystem::create_directory(f.Dir.Path("sub"));
        const std::string file = f.Dir.File("sub/b.txt", "b");
        f.Dir.File("sub/c.txt", "c");
        TForm1& form = f.Shown();
        QVERIFY(form.OpenFile(file));
        QCOMPARE(test::ReadBytes("/proc/self/cwd/b.txt"), std::string("b"));
        QCOMPARE(f.C().DTView->Directory(), f.Root() + "sub/");
        QCOMPARE(f.C().SLBox->Count(), 2);
        QVERIFY(f.C().Memo->hasFocus());
    }

    // Opening a file of the tree's directory leaves the tree scrolled where it was, so the
    // folder under the mouse stays the same.
    void openingFromTheListLeavesTheTreeWhereItWas() {
        TFormFixture f;
        for (int i = 0; i < 40; ++i) std::filesystem::create_directory(f.Dir.Path("dir" + std::to_string(100 + i)));
        f.Dir.File("a.txt", "a");
        TForm1& form = f.Shown();
        QScrollBar* bar = f.C().DTView->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        QVERIFY(bar->value() > 0);  // the selected directory at the top
        bar->setValue(0);
        TShellListBox* list = f.C().SLBox;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        QCOMPARE(form.CurrentFile(), f.Dir.Path("a.txt"));
        QCOMPARE(bar->value(), 0);
    }

    void aClickOnTheListLoadsOnceAndAPressThatMovesKeepsThePressedItem() {
        TFormFixture f;
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) f.Dir.File(name, name);
        TForm1& form = f.Shown();
        TShellListBox* list = f.C().SLBox;
        QCOMPARE(list->Count(), 3);
        QSignalSpy loads(&form, &TForm1::fileOpened);
        const QRect second = list->visualRect(list->model()->index(1, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(loads.size(), 1);
        QCOMPARE(form.CurrentFile(), f.Dir.Path("b.txt"));
        QCOMPARE(list->ItemIndex(), 1);

        const QRect first = list->visualRect(list->model()->index(0, 0));
        const QPoint press(first.center().x(), first.bottom() - 1);
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, press);
        QMouseEvent move(QEvent::MouseMove, QPointF(press.x(), first.bottom() + 3), list->viewport()->mapToGlobal(QPointF(press.x(), first.bottom() + 3)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &move);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, QPoint(press.x(), first.bottom() + 3));
        QCOMPARE(loads.size(), 2);
        QCOMPARE(form.CurrentFile(), f.Dir.Path("a.txt"));
        QCOMPARE(list->ItemIndex(), 0);
    }

    void nextAndPreviousFileStopAtTheEnds() {
        TFormFixture f;
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) f.Dir.File(name, name);
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        QSignalSpy loads(&form, &TForm1::fileOpened);
        QCOMPARE(c.SLBox->ItemIndex(), -1);
        c.MmPrevFile->trigger();  // no selection: nothing
        QCOMPARE(loads.size(), 0);
        QTest::keyClick(&form, Qt::Key_F9);  // no selection: the first file
        QCOMPARE(form.CurrentFile(), f.Dir.Path("a.txt"));
        c.MmNextFile->trigger();
        c.MmNextFile->trigger();
        QCOMPARE(form.CurrentFile(), f.Dir.Path("c.txt"));
        QCOMPARE(loads.size(), 3);
        c.MmNextFile->trigger();  // on the last item
        QCOMPARE(loads.size(), 3);
        QCOMPARE(c.SLBox->ItemIndex(), 2);
        QTest::keyClick(&form, Qt::Key_F9, Qt::ShiftModifier);
        QCOMPARE(form.CurrentFile(), f.Dir.Path("b.txt"));
        c.MmPrevFile->trigger();
        c.MmPrevFile->trigger();  // on the first item
        QCOMPARE(c.SLBox->ItemIndex(), 0);
        QCOMPARE(loads.size(), 5);
        // Onto the file already shown: the selection moves, the text is not read again.
        form.OpenFile(f.Dir.Path("b.txt"));
        const int before = static_cast<int>(loads.size());
        c.MmNextFile->trigger();
        QCOMPARE(c.SLBox->ItemIndex(), 1);
        QCOMPARE(static_cast<int>(loads.size()), before);
    }

    // Whenever the list is read again (at start, when the shown file's directory is
    // another), the shown file is its current item: F9 and Shift+F9 go on from it.
    void nextAndPreviousFileGoOnFromTheShownFile() {
        TFormFixture f;
        for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) f.Dir.File(name, name);
        std::filesystem::create_directory(f.Dir.Path("sub"));
        const std::string x = f.Dir.File("sub/x.txt", "x");
        f.Dir.File("sub/y.txt", "y");
        for (const Qt::KeyboardModifier shift : {Qt::NoModifier, Qt::ShiftModifier}) {
            f.Open(f.Dir.Path("c.txt"));
            TForm1& form = f.Shown();
            QCOMPARE(f.C().SLBox->Count(), 4);
            QTest::keyClick(&form, Qt::Key_F9, shift);
            QCOMPARE(form.CurrentFile(), f.Dir.Path(shift == Qt::NoModifier ? "d.txt" : "b.txt"));
        }
        TForm1& form = *f.Form;
        QVERIFY(form.OpenFile(x));  // as a tag jump does
        QCOMPARE(f.C().SLBox->ItemIndex(), 0);
        QTest::keyClick(&form, Qt::Key_F9);
        QCOMPARE(form.CurrentFile(), f.Dir.Path("sub/y.txt"));
        // A new mask reads the list again: the shown file stays its current item.
        form.SetFileMask("*", false);
        QCOMPARE(f.C().SLBox->ItemIndex(), 1);
    }

    // The context menu is for the entry right-clicked, which is selected while it shows;
    // then the list is back on the shown file. Below the entries no menu opens.
    void theContextMenuActsOnTheEntryRightClicked() {
        TFormFixture f;
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) f.Dir.File(name, name);
        TForm1& form = f.Shown();
        TShellListBox* list = f.C().SLBox;
        const auto centreOf = [list](int row) { return list->visualRect(list->model()->index(row, 0)).center(); };
        QCOMPARE(list->ItemIndex(), -1);
        QCOMPARE(CopyPathByContextMenu(list, centreOf(0)), QString::fromStdString(f.Dir.Path("a.txt")));
        QVERIFY(form.CurrentFile().empty());  // a right click opens nothing

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centreOf(1));
        QCOMPARE(form.CurrentFile(), f.Dir.Path("b.txt"));
        QCOMPARE(CopyPathByContextMenu(list, centreOf(2)), QString::fromStdString(f.Dir.Path("c.txt")));
        QCOMPARE(form.CurrentFile(), f.Dir.Path("b.txt"));
        QCOMPARE(list->ItemIndex(), 1);
        QCOMPARE(list->SelectedFileName(), f.Dir.Path("b.txt"));

        const QPoint below(centreOf(2).x(), list->visualRect(list->model()->index(2, 0)).bottom() + 20);
        QCOMPARE(CopyPathByContextMenu(list, below), QString());
        QCOMPARE(list->ItemIndex(), 1);
    }

    // Names written in Shift-JIS show decoded in the list, the tree and the caption; every
    // operation keeps their bytes (choosing, a drag onto the text view, favourites).
    void shiftJisNamesAreShownDecodedAndKeepTheirBytes() {
        TFormFixture f;
        const std::string directory = f.Dir.Path("\x83\x65\x83\x58\x83\x67");  // テスト
        std::filesystem::create_directory(directory);
        const std::string file = f.Dir.File("\x83\x65\x83\x58\x83\x67/\x83\x81\x83\x82.txt", "memo\r\n");  // メモ.txt
        const std::string other = f.Dir.File("a.txt", "a\r\n");
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        c.DTView->SetDirectory(directory);
        QCOMPARE(c.DTView->Directory(), directory + "/");
        QCOMPARE(c.DTView->currentItem()->text(0), QStringLiteral("テスト"));
        QCOMPARE(c.SLBox->Items(), std::vector<std::string>{file});
        const QModelIndex item = c.SLBox->model()->index(0, 0);
        QCOMPARE(c.SLBox->DisplayText(file), QStringLiteral("メモ"));
        QTest::mouseClick(c.SLBox->viewport(), Qt::LeftButton, {}, c.SLBox->visualRect(item).center());
        QCOMPARE(form.CurrentFile(), file);
        QVERIFY(form.windowTitle().endsWith(QStringLiteral("/テスト/メモ.txt")));

        std::unique_ptr<QMimeData> dragged(c.SLBox->model()->mimeData({item}));
        QVERIFY(form.OpenFile(other));
        const QPoint point(10, 10);
        QDragEnterEvent enter(point, Qt::CopyAction, dragged.get(), Qt::LeftButton, {});
        QApplication::sendEvent(c.Memo->viewport(), &enter);
        QDropEvent drop(QPointF(point), Qt::CopyAction, dragged.get(), Qt::LeftButton, {});
        QApplication::sendEvent(c.Memo->viewport(), &drop);
        QCOMPARE(form.CurrentFile(), file);

        c.DTView->SetDirectory(directory);
        f.Script.Inputs.push_back(QStringLiteral("sjis"));
        c.MmAdd->trigger();
        QVERIFY(!form.PathList().empty());
        QVERIFY(form.PathList().back().find("@" + directory + "/@") != std::string::npos);
    }

    void aFileDroppedOnTheTextViewSetsTheMaskAndIsShown() {
        TFormFixture f;
        std::filesystem::create_directory(f.Dir.Path("doc"));
        const std::string html = f.Dir.File("doc/a.html", "<p>x</p>");
        const std::string readme = f.Dir.File("doc/README", "read me");
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        DropFiles(c.Memo->viewport(), {QString::fromStdString(html), QString::fromStdString(readme)});
        QCOMPARE(form.CurrentFile(), html);
        QCOMPARE(c.SBPanel0->text(), QStringLiteral("*.html"));
        QCOMPARE(c.SLBox->Mask(), std::string("*.html"));
        QCOMPARE(c.SLBox->Items(), std::vector<std::string>{html});
        QCOMPARE(c.MmFile->actions().last()->text(), QStringLiteral("*.html"));
        DropFiles(c.Memo->viewport(), {QString::fromStdString(readme)});
        QCOMPARE(form.CurrentFile(), readme);
        QCOMPARE(c.SBPanel0->text(), QStringLiteral("*"));
        // The recent masks: the newest first, each a menu item that applies it again.
        const QList<QAction*> items = c.MmFile->actions();
        QCOMPARE(items.at(items.size() - 2)->text(), QStringLiteral("*"));
        items.last()->trigger();
        QCOMPARE(c.SLBox->Mask(), std::string("*.html"));
    }

    void theMaskCommandAsksAndCancellingChangesNothing() {
        TFormFixture f;
        f.Shown();
        const TForm1Components& c = f.C();
        f.Script.Inputs.push_back(std::nullopt);
        c.MmMask->trigger();
        QCOMPARE(c.SLBox->Mask(), std::string("*.txt"));
        f.Script.Inputs.push_back(QStringLiteral("*.log;*.txt"));
        QTest::mouseDClick(c.SBPanel1, Qt::LeftButton);
        QCOMPARE(c.SLBox->Mask(), std::string("*.log;*.txt"));
        QCOMPARE(c.SBPanel0->text(), QStringLiteral("*.log;*.txt"));
        QVERIFY(f.Script.Unexpected.isEmpty());
    }

    void savingWritesTheFileBackByteForByte() {
        TFormFixture f;
        // Mixed line ends, a byte that starts no character, a lone lead byte at the end.
        const std::string original = "一行目\r\nsecond\nthird\r\x80\xff\r\n\x83";
        const std::string file = f.ShownWithFile("mixed.txt", original);
        TForm1& form = *f.Form;
        const TForm1Components& c = f.C();
        c.MmEditMode->trigger();
        c.MmSave->trigger();
        QCOMPARE(ReadBytes(file), original);
        QVERIFY(!c.MmEditMode->isChecked() && c.Memo->ReadOnly());  // saving ends edit mode

        c.MmEditMode->trigger();
        c.Memo->SetSelStart(0);
        Type(c.Memo, QStringLiteral("ab"));
        QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(ReadBytes(file), "ab" + original);
        QVERIFY(!c.Memo->document()->isModified());
        QVERIFY(f.Boxes.Errors.isEmpty());
        QCOMPARE(std::distance(std::filesystem::directory_iterator(f.Dir.Root()), {}), 1);  // no temporary file left
    }

    void aFailedSaveKeepsTheOldFileShowsTheErrorAndStaysInEditMode() {
        TFormFixture f;
        const std::string file = f.ShownWithFile("keep.txt", "old\r\n");
        TForm1& form = *f.Form;
        const TForm1Components& c = f.C();
        c.MmEditMode->trigger();
        Type(c.Memo, QString(200, QLatin1Char('x')));
        {
            const TFileSizeLimit limit(64);
            c.MmSave->trigger();
        }
        QCOMPARE(ReadBytes(file), std::string("old\r\n"));
        QCOMPARE(f.Boxes.Errors.size(), 1);
        QVERIFY(f.Boxes.Errors.front().contains(QStringLiteral("keep.txt")));
        QVERIFY(f.Boxes.Errors.front().contains(QStringLiteral("ファイルが大きすぎます")));  // the reason, in Japanese
        QVERIFY(c.MmEditMode->isChecked());
        QVERIFY(c.Memo->PlainText());
        QCOMPARE(std::distance(std::filesystem::directory_iterator(f.Dir.Root()), {}), 1);
        QCOMPARE(form.windowTitle(), QStringLiteral("Xavoline ") + QString::fromStdString(file));
    }

    void savingWithNoFileShownIsAnErrorAndTheWindowGoesOn() {
        TFormFixture f;
        TForm1& form = f.Shown();
        f.C().MmSave->trigger();
        QCOMPARE(f.Boxes.Errors.size(), 1);
        QVERIFY(form.isVisible());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void textShiftJisCannotStoreIsSavedOnlyWhenTheUserAgrees() {
        TFormFixture f;
        const std::string file = f.ShownWithFile("u.txt", "a\r\n");
        const TForm1Components& c = f.C();
        c.MmEditMode->trigger();
        c.Memo->SetSelStart(1);
        c.Memo->insertPlainText(QStringLiteral("€"));  // not in CP932
        f.Script.Answers.push_back(QMessageBox::No);
        c.MmSave->trigger();
        QCOMPARE(ReadBytes(file), std::string("a\r\n"));
        QVERIFY(c.MmEditMode->isChecked());
        QCOMPARE(c.Memo->SelStart(), 1);  // the character is shown selected
        QCOMPARE(c.Memo->SelLength(), 1);
        f.Script.Answers.push_back(QMessageBox::Yes);
        c.MmSave->trigger();
        QCOMPARE(ReadBytes(file), std::string("a?\r\n"));
        QCOMPARE(f.Script.Asked.size(), 2);
    }

    void charactersOtherProgramsCannotReadBackAreSavedOnlyWhenTheUserAgrees() {
        // EUC-JP and JIS hold NEC's and IBM's characters only as vendor extensions, and JIS
        // has no half-width katakana; what the standard sets hold is saved without a word.
        const TFileEncoding euc{TEncoding::EucJp, false}, jis{TEncoding::Jis, false};
        const struct {
            TFileEncoding Encoding;
            QString Typed;
            bool Asked;
        } cases[] = {
            {euc, QStringLiteral("①"), true},
            {jis, QStringLiteral("ｶﾞ"), true},
            {euc, QStringLiteral("ｶﾞ"), false},
            {jis, QStringLiteral("漢"), false},
        };
        for (const auto& c : cases) {
            TFormFixture f;
            const std::string original = EncodeText(u"日本語の文章です。\r\n", c.Encoding);
            const std::string file = f.ShownWithFile("e.txt", original);
            const TForm1Components& w = f.C();
            (c.Encoding.Kind == TEncoding::Jis ? w.MmEncJis : w.MmEncEucJp)->trigger();
            QCOMPARE(w.Memo->Encoding(), c.Encoding);
            w.MmEditMode->trigger();
            w.Memo->SetSelStart(2);
            w.Memo->SetSelText(QStringToSjis(c.Typed));
            const std::string saved = EncodeText(u"日" + c.Typed.toStdU16String() + u"本語の文章です。\r\n", c.Encoding);
            if (c.Asked) {
                f.Script.Answers.push_back(QMessageBox::No);
                w.MmSave->trigger();
                QCOMPARE(ReadBytes(file), original);
                QCOMPARE(w.Memo->SelStart(), 2);  // the character is shown selected
                QCOMPARE(w.Memo->SelText(), QStringToSjis(c.Typed.left(1)));
                f.Script.Answers.push_back(QMessageBox::Yes);
            }
            w.MmSave->trigger();
            QCOMPARE(ReadBytes(file), saved);
            QCOMPARE(f.Script.Asked.size(), c.Asked ? 2 : 0);
        }
    }

    void utf8TextIsNotTurnedIntoOtherBytesUnasked() {
        // A UTF-8 file read as Shift-JIS (chosen, or taken so by detection): typing Japanese
        // would write Shift-JIS into it. A file of plain ASCII is no UTF-8 text to keep.
        const struct {
            std::string Bytes;
            QString Typed;
            bool Asked;
        } cases[] = {
            {"caf\xC3\xA9\r\n", QStringLiteral("漢"), true},
            {"caf\xC3\xA9\r\n", QStringLiteral("x"), false},  // the file stays UTF-8
            {"cafe\r\n", QStringLiteral("漢"), false},
        };
        for (const auto& c : cases) {
            TFormFixture f;
            const std::string file = f.ShownWithFile("u.txt", c.Bytes);
            const TForm1Components& w = f.C();
            w.MmEncSjis->trigger();
            w.MmEditMode->trigger();
            w.Memo->SetSelStart(0);
            w.Memo->SetSelText(QStringToSjis(c.Typed));
            const std::string saved = QStringToSjis(c.Typed) + c.Bytes;
            if (c.Asked) {
                f.Script.Answers.push_back(QMessageBox::No);
                w.MmSave->trigger();
                QCOMPARE(ReadBytes(file), c.Bytes);
                QVERIFY(w.MmEditMode->isChecked());
                f.Script.Answers.push_back(QMessageBox::Yes);
            }
            w.MmSave->trigger();
            QCOMPARE(ReadBytes(file), saved);
            QCOMPARE(f.Script.Asked.size(), c.Asked ? 2 : 0);
        }
    }

    void savingARichTextFileWritesPlainTextAndKeepsTheReadingMode() {
        TFormFixture f;
        const std::string file = f.Dir.File("r.rtf", "{\\rtf1\\ansi {\\b bold} text\\par}");
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        c.MmPlainText->trigger();  // off: rich text
        QVERIFY(!c.Memo->PlainText());
        QVERIFY(form.OpenFile(file));
        QCOMPARE(c.Memo->Text().substr(0, 9), std::string("bold text"));
        const std::string rtf = ReadBytes(file);
        // Saving would drop the formatting: the user is asked, and No (the default) keeps the file.
        f.Script.Answers.push_back(QMessageBox::No);
        c.MmSave->trigger();
        QCOMPARE(f.Script.Asked, QStringList{QStringLiteral("書式情報が失われます。テキストとして保存しますか？")});
        QCOMPARE(ReadBytes(file), rtf);
        f.Script.Answers.push_back(QMessageBox::Yes);
        c.MmSave->trigger();
        QVERIFY(ReadBytes(file).rfind("bold text", 0) == 0);
        QVERIFY(!c.Memo->PlainText());
        c.MmSave->trigger();  // what is on disk is plain text now: no second question
        QCOMPARE(f.Script.Asked.size(), 2);
        QVERIFY(f.Script.Unexpected.isEmpty());
    }

    void aFailedSaveAsKeepsTheFileThatCtrlSWrites() {
        TFormFixture f;
        const std::string file = f.ShownWithFile("a.txt", "text\r\n");
        TForm1& form = *f.Form;
        const TForm1Components& c = f.C();
        c.MmEditMode->trigger();
        const std::string unwritable = f.Dir.Path("no/such/dir/b.txt");
        f.Script.SavePaths.push_back(unwritable);
        c.MmSaveAs->trigger();
        QCOMPARE(f.Boxes.Errors.size(), 1);
        QCOMPARE(form.CurrentFile(), file);
        QCOMPARE(form.windowTitle(), QStringLiteral("Xavoline ") + QString::fromStdString(file));
        QVERIFY(c.MmEditMode->isChecked());
        Type(c.Memo, QStringLiteral("x"));
        c.MmSave->trigger();
        QCOMPARE(ReadBytes(file).front(), 'x');
        QVERIFY(!std::filesystem::exists(unwritable));
    }

    void saveAsNamesTheNewFileAndCancellingEndsEditMode() {
        TFormFixture f;
        f.ShownWithFile("a.txt", "text\r\n");
        TForm1& form = *f.Form;
        const TForm1Components& c = f.C();
        c.MmEditMode->trigger();
        f.Script.SavePaths.push_back(std::nullopt);
        c.MmSaveAs->trigger();
        QVERIFY(!c.MmEditMode->isChecked());
        QCOMPARE(std::distance(std::filesystem::directory_iterator(f.Dir.Root()), {}), 1);

        const std::string copy = f.Dir.Path("copy.txt");
        f.Script.SavePaths.push_back(copy);
        c.MmSaveAs->trigger();
        QCOMPARE(ReadBytes(copy), std::string("text\r\n"));
        QCOMPARE(form.CurrentFile(), copy);
        QCOMPARE(form.windowTitle(), QStringLiteral("Xavoline ") + QString::fromStdString(copy));
        QCOMPARE(c.SLBox->Count(), 1);  // the list is not re-read by saving
    }

    void editModeSwitchesItsMirrors() {
        TFormFixture f;
        f.Shown();
        const TForm1Components& c = f.C();
        for (bool edit : {true, false, true}) {
            if (edit == c.MmEditMode->isChecked()) continue;
            QTest::keyClick(f.Form.get(), Qt::Key_N, Qt::ControlModifier);
            QCOMPARE(c.MmEditMode->isChecked(), edit);
            QCOMPARE(c.SbReadOnly->isChecked(), edit);
            QCOMPARE(c.Memo->ReadOnly(), !edit);
            QCOMPARE(c.MmCut->isEnabled(), edit);
            QCOMPARE(c.MmUndo->isEnabled(), edit);
            QCOMPARE(c.MmReplace->isEnabled(), edit);
        }
        c.SbReadOnly->click();
        QVERIFY(!c.MmEditMode->isChecked() && !c.SbReadOnly->isChecked() && c.Memo->ReadOnly());
    }

    void pasteIsOfferedWhereItCanPasteAndGoesToTheFocusedControl() {
        TFormFixture f;
        f.ShownWithFile("a.txt", "abc\r\n");
        const TForm1Components& c = f.C();
        QApplication::clipboard()->setText(QStringLiteral("貼り付け"));
        c.Memo->setFocus();
        QTRY_VERIFY(c.Memo->hasFocus());
        emit c.Edit1->aboutToShow();
        QVERIFY(!c.MmPaste->isEnabled());
        c.EdGrep->setFocus();
        QTRY_VERIFY(c.EdGrep->hasFocus());
        emit c.Edit1->aboutToShow();
        QVERIFY(c.MmPaste->isEnabled());
        c.MmPaste->trigger();
        QCOMPARE(c.EdGrep->currentText(), QStringLiteral("貼り付け"));
        c.MmEditMode->trigger();
        c.Memo->setFocus();
        QTRY_VERIFY(c.Memo->hasFocus());
        emit c.Edit1->aboutToShow();
        QVERIFY(c.MmPaste->isEnabled());
        c.Memo->SetSelStart(0);
        c.MmPaste->trigger();
        QCOMPARE(c.Memo->Text(), QStringToSjis(QStringLiteral("貼り付け")) + "abc\r\n");
        c.MmUndo->trigger();
        QCOMPARE(c.Memo->Text(), std::string("abc\r\n"));
        c.Memo->SelectAll();
        c.MmCopy->trigger();
        QVERIFY(QApplication::clipboard()->text().startsWith(QStringLiteral("abc")));
    }

    void closingWithUnsavedEditsAsks() {
        TFormFixture f;
        const std::string file = f.ShownWithFile("a.txt", "abc\r\n");
        TForm1& form = *f.Form;
        const TForm1Components& c = f.C();
        c.MmEditMode->trigger();
        Type(c.Memo, QStringLiteral("x"));
        f.Script.Answers.push_back(QMessageBox::Cancel);
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QVERIFY(!std::filesystem::exists(f.IniPath()));  // nothing was written
        f.Script.Answers.push_back(QMessageBox::Yes);
        QVERIFY(form.close());
        QCOMPARE(ReadBytes(file), std::string("xabc\r\n"));
        QVERIFY(std::filesystem::exists(f.IniPath()));
        QCOMPARE(f.Script.Asked.size(), 2);
        QVERIFY(f.Script.Asked.front().contains(QStringLiteral("a.txt")));
    }

    void closingAndDiscardingLeavesTheFileAlone() {
        TFormFixture f;
        const std::string file = f.ShownWithFile("a.txt", "abc\r\n");
        TForm1& form = *f.Form;
        f.C().MmEditMode->trigger();
        Type(f.C().Memo, QStringLiteral("x"));
        f.Script.Answers.push_back(QMessageBox::No);
        QVERIFY(form.close());
        QCOMPARE(ReadBytes(file), std::string("abc\r\n"));
    }

    void openingAnotherFileWithUnsavedEditsAsks() {
        TFormFixture f;
        const std::string a = f.Dir.File("a.txt", "abc\r\n");
        const std::string b = f.Dir.File("b.txt", "other\r\n");
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        QVERIFY(form.OpenFile(a));
        c.MmEditMode->trigger();
        Type(c.Memo, QStringLiteral("x"));
        f.Script.Answers.push_back(QMessageBox::Cancel);
        QVERIFY(!form.OpenFile(b));
        QCOMPARE(form.CurrentFile(), a);
        QCOMPARE(c.Memo->Text(), std::string("xabc\r\n"));
        f.Script.Answers.push_back(QMessageBox::Yes);
        QVERIFY(form.OpenFile(b));
        QCOMPARE(ReadBytes(a), std::string("xabc\r\n"));
        QVERIFY(c.MmEditMode->isChecked());  // loading another file does not change the mode
        Type(c.Memo, QStringLiteral("y"));
        f.Script.Answers.push_back(QMessageBox::No);
        QVERIFY(form.OpenFile(a));
        QCOMPARE(ReadBytes(b), std::string("other\r\n"));
        QCOMPARE(c.Memo->Text(), std::string("xabc\r\n"));
    }

    void cancellingTheQuestionPutsTheListBackOnTheShownFile() {
        TFormFixture f;
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) f.Dir.File(name, name);
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        TShellListBox* list = c.SLBox;
        QCOMPARE(list->DisplayText(f.Dir.Path("a.txt")), QStringLiteral("a"));  // names without extension
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
        QCOMPARE(form.CurrentFile(), f.Dir.Path("b.txt"));
        c.MmEditMode->trigger();
        Type(c.Memo, QStringLiteral("x"));
        // A click on c.txt, then F9 and Shift+F9: each asked, each cancelled.
        for (int i = 0; i < 3; ++i) f.Script.Answers.push_back(QMessageBox::Cancel);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(2, 0)).center());
        QCOMPARE(form.CurrentFile(), f.Dir.Path("b.txt"));
        QCOMPARE(list->ItemIndex(), 1);
        c.MmNextFile->trigger();
        QCOMPARE(list->ItemIndex(), 1);
        c.MmPrevFile->trigger();
        QCOMPARE(list->ItemIndex(), 1);
        QCOMPARE(f.Script.Asked.size(), 3);
        QCOMPARE(form.CurrentFile(), f.Dir.Path("b.txt"));
    }

    void aTextStillLoadingIsNotAnEdit() {
        TFormFixture f;
        const std::string big = f.Dir.File("big.txt", NumberedLines(100000));
        const std::string small = f.Dir.File("small.txt", "x\r\n");
        TForm1& form = f.Shown();
        QVERIFY(form.OpenFile(big));
        QVERIFY(f.C().Memo->IsLoading());  // the rest arrives while the event loop runs
        QVERIFY(form.OpenFile(small));
        QVERIFY(form.OpenFile(big));
        QVERIFY(form.close());
        QVERIFY(f.Script.Asked.isEmpty());
    }

    void thePlainTextSwitchReReadsTheFileAndAsksAboutEdits() {
        TFormFixture f;
        const std::string file = f.ShownWithFile("a.txt", "abc\r\n");
        TForm1& form = *f.Form;
        const TForm1Components& c = f.C();
        QSignalSpy loads(&form, &TForm1::fileOpened);
        c.MmPlainText->trigger();
        QCOMPARE(loads.size(), 1);
        QVERIFY(!c.Memo->PlainText());
        c.MmPlainText->trigger();
        QCOMPARE(loads.size(), 2);
        QVERIFY(c.Memo->PlainText());
        QVERIFY(f.Script.Asked.isEmpty());

        c.MmEditMode->trigger();
        Type(c.Memo, QStringLiteral("x"));
        f.Script.Answers.push_back(QMessageBox::Cancel);
        c.MmPlainText->trigger();
        QVERIFY(c.MmPlainText->isChecked() && c.Memo->PlainText());  // the switch stays
        QCOMPARE(loads.size(), 2);
        f.Script.Answers.push_back(QMessageBox::No);
        c.MmPlainText->trigger();
        QCOMPARE(loads.size(), 3);
        QCOMPARE(c.Memo->Text(), std::string("abc\r\n"));  // the edits are gone, as chosen
        QCOMPARE(form.CurrentFile(), file);
    }

    void theEncodingMenuReReadsTheShownFileUntilAnotherIsShown() {
        TFormFixture f;
        const std::string kanji = "\xE6\xBC\xA2\xE5\xAD\x97\r\n";  // 漢字 in UTF-8
        const std::string file = f.ShownWithFile("u.txt", kanji);
        const std::string other = f.Dir.File("s.txt", "abc\r\n");
        TForm1& form = *f.Form;
        const TForm1Components& c = f.C();
        const auto shown = [&] { return c.Memo->document()->firstBlock().text(); };
        QCOMPARE(c.SBEncoding->text(), QStringLiteral("UTF-8"));
        QCOMPARE(shown(), QStringLiteral("漢字"));
        QVERIFY(c.MmEncAuto->isChecked());

        c.MmEncSjis->trigger();
        QCOMPARE(c.SBEncoding->text(), QStringLiteral("Shift-JIS"));
        QVERIFY(c.MmEncSjis->isChecked());
        QCOMPARE(shown(), SjisToQString(kanji.substr(0, 6)));
        c.MmPlainText->trigger();     // the file is read again: the choice holds
        c.MmPlainText->trigger();
        QVERIFY(c.MmEncSjis->isChecked());
        QCOMPARE(c.SBEncoding->text(), QStringLiteral("Shift-JIS"));

        // Unsaved edits are asked about first; Cancel keeps them and the choice.
        c.MmEditMode->trigger();
        Type(c.Memo, QStringLiteral("x"));
        f.Script.Answers.push_back(QMessageBox::Cancel);
        c.MmEncUtf8->trigger();
        QVERIFY(c.MmEncSjis->isChecked());
        QVERIFY(c.Memo->document()->isModified());
        f.Script.Answers.push_back(QMessageBox::No);
        c.MmEncUtf8->trigger();
        QCOMPARE(shown(), QStringLiteral("漢字"));
        QCOMPARE(form.CurrentFile(), file);

        // Another file is detected, and so is the first one again.
        QVERIFY(form.OpenFile(other));
        QVERIFY(c.MmEncAuto->isChecked());
        c.MmEncEucJp->trigger();
        QCOMPARE(c.SBEncoding->text(), QStringLiteral("EUC-JP"));
        QVERIFY(form.OpenFile(file));
        QVERIFY(c.MmEncAuto->isChecked());
        QCOMPARE(c.SBEncoding->text(), QStringLiteral("UTF-8"));
        QCOMPARE(ReadBytes(file), kanji);
        QCOMPARE(f.Script.Asked.size(), 2);
    }

    void aBusyCaptionIsRestoredWhenTheOperationFails() {
        const test::TRecordedBoxes boxes;
        QWidget window;
        window.setWindowTitle(QStringLiteral("before"));
        RunCommand([&] {
            const TBusyCaption busy(&window, QStringLiteral("ファイル読み込み中..."), QStringLiteral("Xavoline /x"));
            QCOMPARE(window.windowTitle(), QStringLiteral("ファイル読み込み中..."));
            QVERIFY(QApplication::overrideCursor() != nullptr);
            throw EXavoMemoError("ｽﾄﾘｰﾑからの読み込みに失敗しました");
        });
        QCOMPARE(window.windowTitle(), QStringLiteral("Xavoline /x"));
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(boxes.Errors, QStringList{QStringLiteral("ｽﾄﾘｰﾑからの読み込みに失敗しました")});
        {
            const TBusyCaption busy(&window, QStringLiteral("GREP処理中..."));
        }
        QCOMPARE(window.windowTitle(), QStringLiteral("Xavoline /x"));
    }
};

QTEST_MAIN(TMainWindowFilesTest)
#include "mainwindow_files_test.moc"
