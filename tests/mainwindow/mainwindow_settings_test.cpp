// The main window as a whole: the designed state at first start, the menu, the settings
// written at close and read at the next start, the file named on the command line, the
// tree filled after the window appears, hints, help and the minimum size.
#include "ComboBox98.h"
#include "DirTree.h"
#include "FormFixture.h"
#include "HelpWindow.h"
#include "ShellListBox.h"
#include "TextListBox.h"
#include "XavoMemo.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTextBrowser>
#include <QToolButton>

using namespace xavo;
using xavo::test::TFormFixture;

namespace {

// "caption[shortcut]" per item, "-" per separator; "(disabled)" marks items not enabled.
QStringList Items(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            items << QStringLiteral("-");
            continue;
        }
        QString item = action->text();
        if (!action->shortcut().isEmpty()) item += "[" + action->shortcut().toString() + "]";
        if (!action->isEnabled()) item += "(disabled)";
        items << item;
    }
    return items;
}

}  // namespace

class TMainWindowSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void firstStartGivesTheDesignedDefaults() {
        TFormFixture f;
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        QCOMPARE(form.windowTitle(), QStringLiteral("Xavoline"));
        QVERIFY(c.MmWordWrap->isChecked() && c.Memo->WordWrap() && c.TbWordWrap->isChecked());
        QVERIFY(c.MmStBar->isChecked() && c.SB->isVisible());
        QVERIFY(c.PmGFuzzy->isChecked());
        QVERIFY(c.MmToolBar->isChecked() && c.PnTb->isVisible());
        QVERIFY(c.MmPlainText->isChecked() && c.Memo->PlainText());
        QVERIFY(c.MmFullAddDir->isChecked());
        QVERIFY(c.MmJAGrep->isChecked());
        QVERIFY(c.MmShowQGC->isChecked());
        QVERIFY(!c.MmVertBar->isChecked() && !c.TbVertBar->isChecked());
        QCOMPARE(c.Memo->ScrollBars(), ssVertical);
        QVERIFY(!c.MmHideLPanel->isChecked());
        QVERIFY(!c.MmHalfScroll->isChecked());
        QVERIFY(c.PmGrepDir->isChecked() && !c.PmGrepRec->isChecked() && !c.PmGrepOne->isChecked());
        QCOMPARE(c.PmGrepDir->text(), QStringLiteral("現在のﾃﾞｨﾚｸﾄﾘ"));
        QCOMPARE(form.GrepOpt(), std::string("-1+ -c -E"));
        QCOMPARE(form.GrepExe(), std::string());
        QCOMPARE(c.Memo->Color(), QApplication::palette().color(QPalette::Active, QPalette::Base));
        QCOMPARE(c.Memo->height(), 269);
        QCOMPARE(c.PnLeft->width(), 161);
        QCOMPARE(c.DTView->height(), 143);
        // View mode; the mask; nothing shown.
        QVERIFY(c.Memo->ReadOnly() && !c.MmEditMode->isChecked() && !c.SbReadOnly->isChecked());
        QVERIFY(!c.MmCut->isEnabled() && !c.MmUndo->isEnabled());
        QCOMPARE(c.SBPanel0->text(), QStringLiteral("*.txt"));
        QCOMPARE(c.SLBox->Mask(), std::string("*.txt"));
        QCOMPARE(form.CurrentFile(), std::string());
        QCOMPARE(c.Memo->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
        QVERIFY(!std::filesystem::exists(f.IniPath()));  // starting writes nothing
    }

    void theMenuHoldsEveryItemInOrder() {
        TFormFixture f;
        f.Open();
        const TForm1Components& c = f.C();
        QStringList titles;
        for (const QAction* a : f.Form->menuBar()->actions()) titles << a->text();
        QCOMPARE(titles, (QStringList{"ﾌｧｲﾙ(&F)", "編集(&E)", "&GREP", "&Q-GREP", "ｵﾌﾟｼｮﾝ(&O)", "ﾍﾙﾌﾟ(&H)", "Debug"}));
        QCOMPARE(Items(c.MmFile), (QStringList{"次のﾌｧｲﾙ(&N)[F9]", "前のﾌｧｲﾙ(&P)[Shift+F9]", "-", "ﾌｧｲﾙﾏｽｸ(&K)[Ctrl+K]", "-",
                                               "上書き保存(&S)[Ctrl+S]", "名前をつけて保存(&A)", "-", "文字コード", "-", "終了(&X)"}));
        QCOMPARE(Items(c.Edit1),
                 (QStringList{"やり直し(&U)[Ctrl+Z](disabled)", "-", "切り取り(&T)(disabled)", "コピー(&C)", "貼り付け(&P)", "-",
                              "検索(&F)[Ctrl+F]", "次を検索[F3]", "前へ検索[Shift+F3]", "-> 次を検索[F4]",
                              "-> 前へ検索[Shift+F4]", "-", "置換(&R)(disabled)", "一括置換", "編集ﾓｰﾄﾞ[Ctrl+N]"}));
        QCOMPARE(Items(c.MmGrep),
                 (QStringList{"現在のﾃﾞｨﾚｸﾄﾘ(&D)[Ctrl+D]", "ｻﾌﾞﾃﾞｨﾚｸﾄﾘを含む(&R)[Ctrl+R]", "選択ﾌｧｲﾙのみ(&O)[Ctrl+O]", "-",
                              "次にﾀｸﾞｼﾞｬﾝﾌﾟ(&N)[F8]", "前にﾀｸﾞｼﾞｬﾝﾌﾟ(&P)[Shift+F8]", "-", "GREPをｷｬﾝｾﾙ(&E)[Ctrl+E]"}));
        QCOMPARE(Items(c.Grep21), (QStringList{"[Q]現在のﾃﾞｨﾚｸﾄﾘ(&Q)[Ctrl+Q]", "[Q]選択ﾌｧｲﾙのみ", "-",
                                               "QGrep起動ｵﾌﾟｼｮﾝ...", "QGrepのｲﾝｽﾄｰﾙ先..."}));
        QCOMPARE(Items(c.Option1),
                 (QStringList{"右側で折り返す(&P)[Ctrl+P]", "水平ｽｸﾛｰﾙﾊﾞｰ(&B)[Ctrl+B]", "ツールバーを表示する(&T)",
                              "ステータスバーを表示する", "リストを自動的に隠す", "半画面スクロールにする", "ﾃｷｽﾄだけ表示",
                              "QGREP起動時にｵﾌﾟｼｮﾝ表示(&S)", "ﾃﾞｨﾚｸﾄﾘ登録はﾃﾞﾌｫﾙﾄでﾌﾙﾊﾟｽ", "GREP実行後にﾀｸﾞｼﾞｬﾝﾌﾟする", "-",
                              "ﾌｫﾝﾄ...(&F)", "GREP結果のﾌｫﾝﾄ...", "背景色..."}));
        QCOMPARE(Items(c.Help1), (QStringList{"ﾄﾋﾟｯｸの検索(&H)", "バージョン情報(&A)..."}));
        QVERIFY(c.MmDebug->actions().isEmpty());
        QCOMPARE(Items(c.PmGrepOpt),
                 (QStringList{"現在のﾃﾞｨﾚｸﾄﾘ", "ｻﾌﾞﾃﾞｨﾚｸﾄﾘを含む", "選択ﾌｧｲﾙのみ", "-", "あいまい検索", "ローマ字検索"}));
        QCOMPARE(Items(c.PmSetting),
                 (QStringList{"ﾘｽﾄに追加", "名前を変更(disabled)", "-", "ﾘｽﾄから削除"}));
        // The GREP bar item is not shown, but its short-cut belongs to the window.
        QVERIFY(!c.MmGrep->actions().contains(c.GREPBar1));
        QVERIFY(f.Form->actions().contains(c.GREPBar1));
        QCOMPARE(c.GREPBar1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
        QCOMPARE(c.MmDirectory->data().toInt(), 1);
        QCOMPARE(c.Recursible1->data().toInt(), 2);
        QCOMPARE(c.MmOneFile->data().toInt(), 0);
        QCOMPARE(c.PmGrepOne->data().toInt(), 0);
        QVERIFY(c.PmGrepScope->isExclusive());
        QCOMPARE(c.MmOneFile->statusTip(), QStringLiteral("現在読み込んでいるファイルだけGREPを行います。"));
        QCOMPARE(c.TbGrepOpt->menu(), c.PmGrepOpt);
    }

    void settingsWrittenOnCloseAreReadAtTheNextStart() {
        TFormFixture f;
        {
            TForm1& form = f.Shown();
            const TForm1Components& c = f.C();
            c.MmJAGrep->trigger();      // off
            c.MmHalfScroll->trigger();  // on
            c.MmVertBar->trigger();     // on
            c.MmStBar->trigger();       // off
            c.PmGFuzzy->trigger();      // off
            c.PmGrepRec->trigger();
            c.EdGrep->addItem(QStringLiteral("漢字"));
            c.Split2->setSizes({200, c.Split2->height() - 200});
            f.Script.Colors.push_back(QColor(0x11, 0x22, 0x33));
            c.MmBgColor->trigger();
            QFont font(QStringLiteral("IPAGothic"));
            font.setPointSize(14);
            f.Script.Fonts.push_back(font);
            c.Font1->trigger();
            form.GrepExe() = "/opt/q";
            f.CloseForm();
        }
        const std::string ini = test::ReadBytes(f.IniPath());
        QVERIFY(ini.find("JAGREP=0") != std::string::npos);
        QVERIFY(ini.find("BackGround=0x00332211") != std::string::npos);
        QVERIFY(ini.find("GrepMode=2") != std::string::npos);
        QVERIFY(ini.find("GrepMode") > ini.find("BackGround"));
        QVERIFY(ini.find("Vbar=200") != std::string::npos);

        f.Shown();
        const TForm1Components& c = f.C();
        QVERIFY(!c.MmJAGrep->isChecked());
        QVERIFY(c.MmHalfScroll->isChecked());
        QVERIFY(c.MmVertBar->isChecked() && c.TbVertBar->isChecked());
        QCOMPARE(c.Memo->ScrollBars(), ssBoth);
        QVERIFY(!c.MmStBar->isChecked() && !c.SB->isVisible());
        QVERIFY(!c.PmGFuzzy->isChecked());
        QVERIFY(c.PmGrepRec->isChecked() && !c.PmGrepDir->isChecked());
        QCOMPARE(c.EdGrep->count(), 1);
        QCOMPARE(c.EdGrep->itemText(0), QStringLiteral("漢字"));
        QCOMPARE(c.EdGrep->currentText(), QString());
        QCOMPARE(c.Memo->height(), 200);
        QCOMPARE(c.Memo->Color(), QColor(0x11, 0x22, 0x33));
        QCOMPARE(c.Memo->font().family(), QStringLiteral("IPAGothic"));
        QCOMPARE(c.Memo->font().pointSize(), 14);
        QCOMPARE(f.Form->GrepExe(), std::string("/opt/q"));
    }

    void damagedOrHugeStoredValuesNeitherStopTheStartNorOutgrowTheScreen() {
        TFormFixture f;
        std::ofstream(f.IniPath(), std::ios::binary)
            << "[WindowPos]\r\nMain.X=0\r\nMain.Y=0\r\nMain.XSize=50000\r\nMain.YSize=40000\r\n"
            << "[Font]\r\nEditFont.Color=black\r\nEditFont.Size=2147483647\r\n[GFont]\r\nGEditFont.Color=oops\r\n"
            << "[option]\r\nHbar=5000\r\nVbar=5000\r\nDTVh=-5000\r\nBackGround=0x\r\n";
        TForm1& form = f.Shown();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QApplication::processEvents();
        QVERIFY2(form.width() <= screen.width(), qPrintable(QString::number(form.width())));
        QVERIFY(form.height() <= screen.height());
        // Sizes that do not fit give way to the designed ones.
        QCOMPARE(f.C().PnLeft->width(), 161);
        QCOMPARE(f.C().Memo->height(), 269);
        QCOMPARE(f.C().DTView->height(), 143);
        QCOMPARE(f.C().Memo->font().pointSize(), 9);
        QVERIFY(f.Boxes.Errors.isEmpty());
    }

    void aStoredGrepModeOfSevenIsWrittenBackAsOne() {
        TFormFixture f;
        std::ofstream(f.IniPath(), std::ios::binary) << "[option]\r\nGrepMode=7\r\n";
        f.Shown();
        QVERIFY(f.C().PmGrepDir->isChecked());
        f.CloseForm();
        QVERIFY(test::ReadBytes(f.IniPath()).find("GrepMode=1\r\n") != std::string::npos);
    }

    void aPaneCollapsedByAutoHideIsStoredAtItsOpenWidth() {
        TFormFixture f;
        f.Shown();
        f.C().MmHideLPanel->trigger();
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(f.C().Memo->viewport(), &move);
        QCOMPARE(f.C().PnLeft->width(), 16);
        f.CloseForm();
        QVERIFY(test::ReadBytes(f.IniPath()).find("Hbar=161") != std::string::npos);
    }

    void settingsThatCannotBeWrittenAreReportedAndTheWindowStillCloses() {
        TFormFixture f;
        TFormOptions options;
        options.IniPath = f.Dir.Path("missing/dir/Xavoline.ini");
        TForm1 form(options);
        form.show();
        QVERIFY(form.close());
        QCOMPARE(f.Boxes.Errors.size(), 1);
        QVERIFY(f.Boxes.Errors.front().contains(QStringLiteral("書き込めません")));
        QVERIFY(f.Boxes.Errors.front().endsWith(QStringLiteral(": そのようなファイルやディレクトリはありません")));

        // The file replaced by a directory while the window was open: the box says so.
        options.IniPath = f.Dir.Path("Xavoline.ini");
        TForm1 second(options);
        second.show();
        std::filesystem::create_directory(options.IniPath);
        QVERIFY(second.close());
        QCOMPARE(f.Boxes.Errors.size(), 2);
        QCOMPARE(f.Boxes.Errors.back(), QString::fromStdString(options.IniPath) + QStringLiteral(" に書き込めません: ディレクトリです"));
    }

    void theFileArgumentIsShownAndSetsTheMask() {
        TFormFixture f;
        std::filesystem::create_directory(f.Dir.Path("sub"));
        const std::string file = f.Dir.File("memo.txt", "hello\r\n");
        TForm1& form = f.Open(std::string("sub/../memo.txt"));
        QCOMPARE(form.CurrentFile(), file);
        QCOMPARE(form.windowTitle(), QStringLiteral("Xavoline ") + QString::fromStdString(file));
        QCOMPARE(f.C().SBPanel0->text(), QStringLiteral("*.txt"));
        QCOMPARE(f.C().SLBox->Mask(), std::string("*.txt"));
        QCOMPARE(f.C().Memo->Text(), std::string("hello\r\n"));
        QCOMPARE(f.C().MmFile->actions().last()->text(), QStringLiteral("*.txt"));  // the recent masks
        f.Shown();
        QCOMPARE(f.C().DTView->Directory(), f.Root());
        QCOMPARE(f.C().SLBox->Directory(), f.Root());
        QCOMPARE(f.C().SLBox->Items(), std::vector<std::string>{file});
    }

    void aFileArgumentWithoutExtensionSetsTheMaskStar() {
        TFormFixture f;
        const std::string file = f.Dir.File("README", "x");
        TForm1& form = f.Open(file);
        QCOMPARE(form.CurrentFile(), file);
        QCOMPARE(f.C().SLBox->Mask(), std::string("*"));
        TForm1& again = f.Open(f.Dir.Path("missing.log"));
        QCOMPARE(again.CurrentFile(), std::string());
        QCOMPARE(f.C().SLBox->Mask(), std::string("*.log"));
        QCOMPARE(again.windowTitle(), QStringLiteral("Xavoline"));
        QVERIFY(f.Boxes.Errors.isEmpty());
    }

    void theTreeIsFilledAfterTheWindowAppears() {
        TFormFixture f;
        f.Dir.File("a.txt", "a");
        TForm1& form = f.Open();
        QCOMPARE(f.C().DTView->Directory(), std::string("?"));
        QCOMPARE(f.C().DTView->topLevelItemCount(), 0);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_COMPARE(f.C().DTView->Directory(), f.Root());
        QCOMPARE(f.C().SLBox->Directory(), f.Root());
        QCOMPARE(f.C().SLBox->Count(), 1);
    }

    void hintsAppearInStatusPanelOne() {
        TFormFixture f;
        f.Shown();
        const TForm1Components& c = f.C();
        c.MmSave->showStatusText(f.Form->menuBar());
        QCOMPARE(c.SBPanel1->text(), QStringLiteral("現在開いているファイルを上書き保存します。"));
        QStatusTipEvent tip(c.EdGrep->statusTip());
        QApplication::sendEvent(c.EdGrep, &tip);
        QCOMPARE(c.SBPanel1->text(), QStringLiteral("GREPバー : GREPしたい文字を入力またはリストから選択し、EnterキーでGREPを開始します。"));
        QCOMPARE(c.SBPanel0->text(), QStringLiteral("*.txt"));  // the mask panel is not touched
        f.Form->ShowAppHint(QString());
        QCOMPARE(c.SBPanel1->text(), QString());
    }

    void theHelpCommandShowsTheHelpFile() {
        TFormFixture f;
        f.Open(std::nullopt, XAVOLINE_HELP_FILE);
        f.C().Topic1->trigger();
        THelpWindow* help = f.Form->HelpWindow();
        QVERIFY(help != nullptr && help->isVisible());
        QVERIFY(help->Browser()->toPlainText().contains(QStringLiteral("Xavoline ヘルプ")));
        QVERIFY(help->Browser()->toPlainText().contains(QStringLiteral("スペース")));
        QVERIFY(f.Boxes.Errors.isEmpty());

        f.Open(std::nullopt, f.Dir.Path("nothing.hlp"));
        f.C().Topic1->trigger();
        QCOMPARE(f.Boxes.Errors.size(), 1);
        QVERIFY(f.Boxes.Errors.front().contains(QStringLiteral("nothing.hlp")));
    }

    // The help opens over the main window, inside the screen's available area, wherever
    // the main window is; Esc closes it.
    void theHelpWindowOpensInsideTheScreenAndEscClosesIt() {
        TFormFixture f;
        f.Open(std::nullopt, XAVOLINE_HELP_FILE);
        TForm1& form = f.Shown();
        const QRect screen = form.screen()->availableGeometry();
        for (const QPoint corner : {screen.bottomRight() - QPoint(200, 150), screen.topLeft()}) {
            form.move(corner);
            f.C().Topic1->trigger();
            THelpWindow* help = form.HelpWindow();
            QVERIFY(QTest::qWaitForWindowExposed(help));
            const QRect placed = help->frameGeometry();
            QVERIFY2(screen.contains(placed), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(placed.x()).arg(placed.y())
                                                              .arg(placed.width()).arg(placed.height())));
            QVERIFY(placed.intersects(form.frameGeometry()));
            QTest::keyClick(help->Browser(), Qt::Key_Escape);
            QTRY_VERIFY(!help->isVisible());
        }
    }

    void everyToolButtonIsWholeAtEveryWidth() {
        TFormFixture f;
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        for (const int width : {100, 400, 652, 1000}) {
            form.resize(width, 527);
            QApplication::processEvents();
            QRect previous;
            for (QToolButton* button : {c.SbReadOnly, c.SbFind, c.SbFindDw, c.SbFindEx, c.SbReplace, c.TbWordWrap,
                                        c.TbVertBar, c.TbJump, c.TbGrepOpt}) {
                const QRect r(button->mapTo(c.PnTb, QPoint(0, 0)), button->size());
                QVERIFY2(c.PnTb->rect().contains(r), qPrintable(QStringLiteral("%1 at %2").arg(button->text()).arg(width)));
                QVERIFY2(button->visibleRegion().boundingRect().size() == button->size(), qPrintable(button->text()));
                QVERIFY2(!r.intersects(previous), qPrintable(QStringLiteral("%1 at %2").arg(button->text()).arg(width)));
                previous = r;
            }
            QVERIFY(c.EdGrep->width() > 0);
        }
    }

    // At its minimum size every pane keeps a few lines and a few dozen characters, however
    // wide the left pane was; at the designed size and above the layout is the designed one.
    void everyPaneStaysUsableAtTheMinimumSize() {
        TFormFixture f;
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        form.resize(1200, 900);
        QApplication::processEvents();
        QCOMPARE(c.PnLeft->width(), 161);
        QCOMPARE(c.Memo->height(), 269);
        QCOMPARE(c.DTView->height(), 143);
        c.Split1->setSizes({340, c.Split1->width() - 340});
        form.resize(1, 1);
        QApplication::processEvents();
        QCOMPARE(form.size(), form.minimumSize());
        const auto lines = [](const QWidget* pane, int height) { return pane->height() / height; };
        const QFontMetrics memo(c.Memo->font());
        QVERIFY2(lines(c.Memo->viewport(), memo.lineSpacing()) >= 3, qPrintable(QString::number(c.Memo->viewport()->height())));
        QVERIFY2(c.Memo->viewport()->width() >= 24 * memo.averageCharWidth(), qPrintable(QString::number(c.Memo->viewport()->width())));
        QVERIFY(lines(c.LbGrep->viewport(), QFontMetrics(c.LbGrep->font()).lineSpacing()) >= 3);
        QVERIFY(lines(c.DTView->viewport(), c.DTView->sizeHintForRow(0)) >= 3);
        QVERIFY(lines(c.SLBox->viewport(), TShellListBox::kItemHeight) >= 3);
        QVERIFY2(c.SLBox->viewport()->width() >= 16 * QFontMetrics(c.SLBox->font()).averageCharWidth(),
                 qPrintable(QString::number(c.SLBox->viewport()->width())));
        // The minimum does not grow with the left pane.
        const QSize minimum = form.minimumSize();
        form.resize(900, 700);
        c.Split1->setSizes({500, c.Split1->width() - 500});
        QApplication::processEvents();
        QCOMPARE(form.minimumSize(), minimum);
    }
};

QTEST_MAIN(TMainWindowSettingsTest)
#include "mainwindow_settings_test.moc"
