// Keys and view behaviour on the real window: space bar paging, caret keys at the ends of
// the text, the focus keys, menu short-cuts before the focused control's keys, the
// auto-hiding left pane and the view options.
#include "ComboBox98.h"
#include "DirTree.h"
#include "FormFixture.h"
#include "ShellListBox.h"
#include "TextListBox.h"
#include "TextView.h"
#include "XavoMemo.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>

#include <filesystem>

using namespace xavo;
using xavo::test::NumberedLines;
using xavo::test::TFormFixture;

namespace {

void MoveMouseOver(QWidget* viewport) {
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
}

// Gives Widget the focus in the active window.
void Focus(QWidget* widget) {
    widget->setFocus();
    QTRY_VERIFY(widget->hasFocus());
}

// A key pressed and released where the focus is, as the keyboard delivers it.
void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus != nullptr);
    QTest::keyClick(focus, static_cast<Qt::Key>(key), modifiers);
}

}  // namespace

class TMainWindowKeysTest : public QObject {
    Q_OBJECT

private slots:
    void spacePagesTheTextWithoutMovingTheCaret() {
        TFormFixture f;
        const std::string file = f.Dir.File("long.txt", NumberedLines(100));
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        c.MmWordWrap->trigger();  // off: one line per row
        QVERIFY(form.OpenFile(file));
        const int visible = form.VisibleLineCount();
        QVERIFY2(visible > 4 && visible < 40, qPrintable(QString::number(visible)));
        Focus(c.SLBox);
        Press(Qt::Key_Space);
        QCOMPARE(c.Memo->FirstVisibleLine(), visible);
        QCOMPARE(c.Memo->SelStart(), 0);
        Press(Qt::Key_Space, Qt::ShiftModifier);
        QCOMPARE(c.Memo->FirstVisibleLine(), 0);
        c.MmHalfScroll->trigger();
        Focus(c.Memo);
        Press(Qt::Key_Space);
        QCOMPARE(c.Memo->FirstVisibleLine(), visible / 2);
        QCOMPARE(c.Memo->SelStart(), 0);
        QCOMPARE(c.Memo->Text(), NumberedLines(100));  // nothing typed
    }

    void spaceDoesNothingWhenTheTextFits() {
        TFormFixture f;
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        const std::string file = f.Dir.File("short.txt", NumberedLines(form.VisibleLineCount() - 1));
        QVERIFY(form.OpenFile(file));
        Focus(c.Memo);
        Press(Qt::Key_Space);
        QCOMPARE(c.Memo->FirstVisibleLine(), 0);
        QCOMPARE(c.Memo->Text(), NumberedLines(form.VisibleLineCount() - 1));
    }

    void spaceIsTypedInEditModeAndIntoTheGrepBar() {
        TFormFixture f;
        f.ShownWithFile("long.txt", NumberedLines(100));
        const TForm1Components& c = f.C();
        Focus(c.EdGrep);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("a b"));
        QCOMPARE(c.EdGrep->currentText(), QStringLiteral("a b"));
        QCOMPARE(c.Memo->FirstVisibleLine(), 0);
        c.MmEditMode->trigger();
        Focus(c.Memo);
        c.Memo->SetSelStart(0);
        Press(Qt::Key_Space);
        QCOMPARE(c.Memo->Text().substr(0, 6), std::string(" line "));
    }

    void caretKeysStopAtTheEndsOfTheText() {
        TFormFixture f;
        f.ShownWithFile("a.txt", "abc\r\ndef\r\n");
        const TForm1Components& c = f.C();
        c.MmEditMode->trigger();  // the caret moves visibly in edit mode
        Focus(c.Memo);
        c.Memo->SetSelStart(0);
        for (int key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_PageUp}) {
            Press(key);
            QCOMPARE(c.Memo->SelStart(), 0);
        }
        Press(Qt::Key_Right);
        QCOMPARE(c.Memo->SelStart(), 1);
        // The last text line ("def"): Down cannot reach the empty line after the break.
        c.Memo->SetSelStart(6);
        Press(Qt::Key_Down);
        QCOMPARE(c.Memo->SelStart(), 6);
        Press(Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(c.Memo->SelStart(), 6);
        QCOMPARE(c.Memo->SelLength(), 0);
        Press(Qt::Key_PageDown);
        QCOMPARE(c.Memo->SelStart(), 6);
        Press(Qt::Key_End);
        QCOMPARE(c.Memo->SelStart(), 8);
        Press(Qt::Key_Right);
        QCOMPARE(c.Memo->SelStart(), 8);
        Press(Qt::Key_Left);
        QCOMPARE(c.Memo->SelStart(), 7);
        Press(Qt::Key_Up);
        QCOMPARE(c.Memo->CaretLine(), 0);
    }

    void viewModeKeysScrollBothWaysAndCtrlHomeEndGoToTheEnds() {
        TFormFixture f;
        const std::string file = f.Dir.File("long.txt", NumberedLines(100));
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        c.MmWordWrap->trigger();  // off: one line per row
        QVERIFY(form.OpenFile(file));
        Focus(c.Memo);
        const int page = form.VisibleLineCount();
        Press(Qt::Key_Down);
        Press(Qt::Key_Down);
        QCOMPARE(c.Memo->FirstVisibleLine(), 2);
        Press(Qt::Key_PageDown);
        QCOMPARE(c.Memo->FirstVisibleLine(), 2 + page);
        // The caret stayed on line 0; reading back up still works.
        Press(Qt::Key_Up);
        QCOMPARE(c.Memo->FirstVisibleLine(), 1 + page);
        Press(Qt::Key_PageUp);
        QCOMPARE(c.Memo->FirstVisibleLine(), 1);
        Press(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(c.Memo->SelStart(), c.Memo->GetTextLen());
        QVERIFY(c.Memo->FirstVisibleLine() > 100 - page - 2);
        Press(Qt::Key_Down);  // the view stops at the end
        Press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(c.Memo->SelStart(), 0);
        QCOMPARE(c.Memo->FirstVisibleLine(), 0);
        Press(Qt::Key_Up);
        QCOMPARE(c.Memo->FirstVisibleLine(), 0);
    }

    void focusKeysMoveBetweenThePanes() {
        TFormFixture f;
        f.Shown();
        const TForm1Components& c = f.C();
        Focus(c.SLBox);
        Press(Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(c.SLBox->hasFocus());
        Press(Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY(c.CbSetting->hasFocus());
        Press(Qt::Key_W, Qt::ControlModifier);  // only from the text view
        QVERIFY(c.CbSetting->hasFocus());
        Focus(c.Memo);
        Press(Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(c.LbGrep->hasFocus());
        Press(Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY(c.CbSetting->hasFocus());
    }

    // Tab and Shift+Tab go round the panes: GREP bar, favourites, tree, file list, text
    // view (in view mode), results list. The arrow keys move within the tree and the list;
    // a file chosen with them is shown and the list keeps the focus.
    void everyPaneIsReachedByKeyboard() {
        TFormFixture f;
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) f.Dir.File(name, "x\r\n");
        std::filesystem::create_directory(f.Dir.Path("sub"));
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        const std::vector<QWidget*> order = {c.EdGrep, c.CbSetting, c.DTView, c.SLBox, c.Memo, c.LbGrep};
        const auto inPane = [](QWidget* pane) {
            QWidget* focus = QApplication::focusWidget();
            return focus != nullptr && (focus == pane || pane->isAncestorOf(focus));
        };
        // A large file too: its text view passes Tab on in view mode.
        QVERIFY(form.OpenFile(f.Dir.File("big.log", std::string(5 << 20, 'x'))));
        Focus(c.EdGrep);
        for (std::size_t i = 1; i <= order.size(); ++i) {
            Press(Qt::Key_Tab);
            QVERIFY2(inPane(order[i % order.size()]), qPrintable(QString::number(i)));
        }
        for (std::size_t i = order.size(); i-- > 0;) {
            Press(Qt::Key_Backtab, Qt::ShiftModifier);
            QVERIFY2(inPane(order[i]), qPrintable(QString::number(i)));
        }

        Focus(c.DTView);
        const std::string before = c.DTView->Directory();
        Press(Qt::Key_Down);
        QVERIFY(c.DTView->Directory() != before);
        QCOMPARE(c.SLBox->Directory(), c.DTView->Directory());  // the list follows
        Press(Qt::Key_Up);
        QCOMPARE(c.DTView->Directory(), before);

        Focus(c.SLBox);
        Press(Qt::Key_Down);
        QCOMPARE(form.CurrentFile(), f.Dir.Path("a.txt"));
        QVERIFY(c.SLBox->hasFocus());
        Press(Qt::Key_Down);
        QCOMPARE(form.CurrentFile(), f.Dir.Path("b.txt"));
        Press(Qt::Key_Up);
        QCOMPARE(form.CurrentFile(), f.Dir.Path("a.txt"));
        QVERIFY(c.SLBox->hasFocus());
    }

    void menuShortCutsComeBeforeTheKeysOfTheFocusedControl() {
        TFormFixture f;
        f.Shown();
        const TForm1Components& c = f.C();
        Focus(c.EdGrep);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
        c.EdGrep->lineEdit()->setCursorPosition(0);
        f.Script.Inputs.push_back(QStringLiteral("*.log"));
        Press(Qt::Key_K, Qt::ControlModifier);  // the mask command, not "delete to the end"
        QCOMPARE(c.SLBox->Mask(), std::string("*.log"));
        QCOMPARE(c.EdGrep->currentText(), QStringLiteral("abc"));
        // In edit mode Ctrl+Z is the undo command, which undoes only in the text view.
        c.MmEditMode->trigger();
        Focus(c.EdGrep);
        Press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(c.EdGrep->currentText(), QStringLiteral("abc"));
        // A disabled command leaves the key to the control.
        c.MmEditMode->trigger();
        Press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(c.EdGrep->currentText(), QString());
        QVERIFY(f.Script.Unexpected.isEmpty());
    }

    void theLeftPaneHidesItselfWhileTheMouseIsOverTheText() {
        TFormFixture f;
        f.Shown();
        const TForm1Components& c = f.C();
        MoveMouseOver(c.Memo->viewport());
        QCOMPARE(c.PnLeft->width(), 161);  // auto-hide is off
        c.MmHideLPanel->trigger();
        MoveMouseOver(c.LbGrep->viewport());
        QCOMPARE(c.PnLeft->width(), 16);
        MoveMouseOver(c.Memo->viewport());
        QCOMPARE(c.PnLeft->width(), 16);
        MoveMouseOver(c.SLBox->viewport());
        QCOMPARE(c.PnLeft->width(), 161);
        MoveMouseOver(c.Memo->viewport());
        MoveMouseOver(c.DTView->viewport());
        QCOMPARE(c.PnLeft->width(), 161);
        c.Split1->setSizes({200, c.Split1->width() - 200});
        MoveMouseOver(c.Memo->viewport());
        QCOMPARE(c.PnLeft->width(), 16);
        c.MmHideLPanel->trigger();  // off: the pane stays as it is
        MoveMouseOver(c.SLBox->viewport());
        QCOMPARE(c.PnLeft->width(), 16);
        // A large file's byte view, made after the window, hides the pane as the text does.
        TXavoMemo::SetByteViewThreshold(16);
        const bool opened = f.Form->OpenFile(f.Dir.File("large.txt", std::string(64, 'a')));
        TXavoMemo::SetByteViewThreshold(TXavoMemo::kByteViewBytes);
        QVERIFY(opened && c.Memo->ShowsBytes());
        c.MmHideLPanel->trigger();
        MoveMouseOver(c.SLBox->viewport());
        QCOMPARE(c.PnLeft->width(), 200);
        MoveMouseOver(c.Memo->ByteView()->viewport());
        QCOMPARE(c.PnLeft->width(), 16);
    }

    void viewOptionsSwitchTheirControls() {
        TFormFixture f;
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        c.MmToolBar->trigger();
        QVERIFY(!c.PnTb->isVisible());
        c.MmToolBar->trigger();
        QVERIFY(c.PnTb->isVisible());
        c.MmStBar->trigger();
        QVERIFY(!c.SB->isVisible());
        c.TbVertBar->click();
        QVERIFY(c.MmVertBar->isChecked() && c.TbVertBar->isChecked());
        QCOMPARE(c.Memo->ScrollBars(), ssBoth);
        QTest::keyClick(&form, Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(c.Memo->ScrollBars(), ssVertical);
        QVERIFY(!c.TbVertBar->isChecked());
        c.TbWordWrap->click();
        QVERIFY(!c.MmWordWrap->isChecked() && !c.Memo->WordWrap() && !c.TbWordWrap->isChecked());
        QTRY_VERIFY(c.Memo->hasFocus());
        f.Script.Colors.push_back(std::nullopt);
        c.MmBgColor->trigger();
        QCOMPARE(c.Memo->Color(), QApplication::palette().color(QPalette::Active, QPalette::Base));
        QFont font(QStringLiteral("IPAGothic"));
        font.setPointSize(11);
        f.Script.Fonts.push_back(font);
        c.GrepFont1->trigger();
        QCOMPARE(c.LbGrep->font().family(), QStringLiteral("IPAGothic"));
        QVERIFY(f.Script.Unexpected.isEmpty());
    }
};

QTEST_MAIN(TMainWindowKeysTest)
#include "mainwindow_keys_test.moc"
