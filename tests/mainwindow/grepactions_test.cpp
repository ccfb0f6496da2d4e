// The GREP bar's option menu on its own: the exclusive scope items and the scope they
// give (the whole GREP menu is checked on the main window).
#include "GrepActions.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QtTest>

using namespace xavo;

class TGrepActionsTest : public QObject {
    Q_OBJECT

private slots:
    void OptionMenuScopesAreExclusive() {
        QWidget window;
        const TGrepActions a = CreateGrepActions(&window);
        const QList<QAction*> items = a.PmGrepOpt->actions();
        QCOMPARE(items.size(), 6);
        QCOMPARE(items[0], a.PmGrepDir);
        QCOMPARE(items[1], a.PmGrepRec);
        QCOMPARE(items[2], a.PmGrepOne);
        QVERIFY(items[3]->isSeparator());
        QCOMPARE(items[4], a.PmGFuzzy);
        QVERIFY(a.PmGFuzzy->isCheckable() && !a.PmGFuzzy->isChecked());
        QCOMPARE(items[5], a.PmGMigemo);
        QVERIFY(a.PmGMigemo->isCheckable() && !a.PmGMigemo->isChecked());

        QCOMPARE(CheckedBarScope(a), TGrepScope::Directory);  // as designed
        a.PmGrepRec->trigger();
        QCOMPARE(CheckedBarScope(a), TGrepScope::Recursive);
        QVERIFY(!a.PmGrepDir->isChecked());
        CheckBarScope(a, TGrepScope::SelectedFile);
        QCOMPARE(CheckedBarScope(a), TGrepScope::SelectedFile);
        CheckBarScope(a, GrepScopeOf(7));  // an unknown stored scope leaves the check
        QCOMPARE(CheckedBarScope(a), TGrepScope::SelectedFile);
        a.PmGrepOne->setChecked(false);  // none checked: no scope
        QCOMPARE(CheckedBarScope(a), std::nullopt);
    }
};

QTEST_MAIN(TGrepActionsTest)
#include "grepactions_test.moc"
