// The GREP menu and the GREP bar's option menu: scope tags, distinct short-cuts, the menus'
// order, the exclusive scope items, and the hidden GREP-bar command's short-cut.
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
        // The scope each menu command runs, and the short-cuts that must not collide.
        const std::pair<QAction*, int> scopes[] = {{a.MmDirectory, 1}, {a.Recursible1, 2}, {a.MmOneFile, 0}};
        for (const auto& [action, scope] : scopes) QCOMPARE(action->data().toInt(), scope);
        QSet<QString> shortcuts;
        for (QAction* action : {a.MmDirectory, a.Recursible1, a.MmOneFile, a.GREPBar1, a.MmJumpNext, a.MmJumpPrev, a.Cancel1})
            shortcuts.insert(action->shortcut().toString());
        QCOMPARE(shortcuts.size(), 7);
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
        QCOMPARE(items[0], a.PmGrepDir);
        QCOMPARE(items[1], a.PmGrepRec);
        QCOMPARE(items[2], a.PmGrepOne);
        QVERIFY(items[3]->isSeparator());
        QCOMPARE(items[4], a.PmGFuzzy);
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
