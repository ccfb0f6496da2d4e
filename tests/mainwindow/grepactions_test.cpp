// The GREP menu and the GREP bar's option menu: captions, short-cuts, hints and scope tags,
// the menus' order, the exclusive scope items, and the hidden GREP-bar command's short-cut.
#include "GrepActions.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>

using namespace xavo;

class TGrepActionsTest : public QObject {
    Q_OBJECT

private slots:
    void GrepMenuItems() {
        QWidget window;
        const TGrepActions a = CreateGrepActions(&window);
        struct Row {
            QAction* Action;
            const char* Caption;
            QKeySequence Shortcut;
            const char* Hint;
            int Tag;
        } rows[] = {
            {a.MmDirectory, "現在のﾃﾞｨﾚｸﾄﾘ(&D)", QKeySequence("Ctrl+D"), "ファイルリストのすべてのファイルに対してGREPを行います。", 1},
            {a.Recursible1, "ｻﾌﾞﾃﾞｨﾚｸﾄﾘを含む(&R)", QKeySequence("Ctrl+R"),
             "現在のディレクトリとその下位ディレクトリにあるファイルに対してGREPを行います。", 2},
            {a.MmOneFile, "選択ﾌｧｲﾙのみ(&O)", QKeySequence("Ctrl+O"), "現在読み込んでいるファイルだけGREPを行います。", 0},
            {a.MmJumpNext, "次にﾀｸﾞｼﾞｬﾝﾌﾟ(&N)", QKeySequence("F8"), "GREP結果を下向きにタグジャンプします。", -1},
            {a.MmJumpPrev, "前にﾀｸﾞｼﾞｬﾝﾌﾟ(&P)", QKeySequence("Shift+F8"), "GREP結果を上向きにタグジャンプします。", -1},
            {a.Cancel1, "GREPをｷｬﾝｾﾙ(&E)", QKeySequence("Ctrl+E"), "GREP処理が長いとき、強制的に中断します。", -1},
            {a.GREPBar1, "&GREP Bar", QKeySequence("Ctrl+G"), "", -1},
        };
        for (const Row& r : rows) {
            QCOMPARE(r.Action->text(), QString::fromUtf8(r.Caption));
            QCOMPARE(r.Action->shortcut(), r.Shortcut);
            QCOMPARE(r.Action->statusTip(), QString::fromUtf8(r.Hint));
            if (r.Tag >= 0) QCOMPARE(r.Action->data().toInt(), r.Tag);
        }
        QCOMPARE(a.MmGrep->title(), QStringLiteral("&GREP"));
        QCOMPARE(a.MmGrep->menuAction()->statusTip(), QStringLiteral("GREP (internal)"));
        const QList<QAction*> items = a.MmGrep->actions();
        QCOMPARE(items.size(), 8);
        const QList<QAction*> expected = {a.MmDirectory, a.Recursible1, a.MmOneFile, nullptr,
                                          a.MmJumpNext,  a.MmJumpPrev,  nullptr,      a.Cancel1};
        for (int i = 0; i < items.size(); ++i) {
            if (expected[i] == nullptr)
                QVERIFY(items[i]->isSeparator());
            else
                QCOMPARE(items[i], expected[i]);
        }
        QVERIFY(!items.contains(a.GREPBar1));  // not shown, yet its short-cut works
        QSignalSpy focusBar(a.GREPBar1, &QAction::triggered);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(focusBar.count(), 1);
    }

    void OptionMenuScopesAreExclusive() {
        QWidget window;
        const TGrepActions a = CreateGrepActions(&window);
        const QList<QAction*> items = a.PmGrepOpt->actions();
        QCOMPARE(items.size(), 5);
        QCOMPARE(items[0]->text(), QStringLiteral("現在のﾃﾞｨﾚｸﾄﾘ"));
        QCOMPARE(items[1]->text(), QStringLiteral("ｻﾌﾞﾃﾞｨﾚｸﾄﾘを含む"));
        QCOMPARE(items[2]->text(), QStringLiteral("選択ﾌｧｲﾙのみ"));
        QVERIFY(items[3]->isSeparator());
        QCOMPARE(items[4], a.PmGFuzzy);
        QCOMPARE(a.PmGFuzzy->text(), QStringLiteral("あいまい検索"));
        QVERIFY(a.PmGFuzzy->isCheckable() && !a.PmGFuzzy->isChecked());

        QCOMPARE(CheckedBarScope(a), 1);  // as designed
        a.PmGrepRec->trigger();
        QCOMPARE(CheckedBarScope(a), 2);
        QVERIFY(!a.PmGrepDir->isChecked());
        CheckBarScope(a, 0);
        QCOMPARE(CheckedBarScope(a), 0);
        CheckBarScope(a, 7);  // an unknown stored scope leaves the check
        QCOMPARE(CheckedBarScope(a), 0);
        a.PmGrepOne->setChecked(false);  // none checked: no scope
        QCOMPARE(CheckedBarScope(a), -1);
    }
};

QTEST_MAIN(TGrepActionsTest)
#include "grepactions_test.moc"
