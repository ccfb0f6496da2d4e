// The directory tree on temporary directories: lazy reading, Directory get and set,
// filters, link loops, Reload after a deletion, when OnChange is raised, drag tracking.
#include "DirTree.h"
#include "TempDir.h"

#include <QDir>
#include <QMimeData>
#include <QScrollBar>
#include <QtTest>

#include <string>
#include <unistd.h>
#include <vector>

using xavo::Tdirtree;
using xavo::test::TTempDir;
using xavo::test::TUnprivileged;

namespace {

// The node of Path, searched from the root through the nodes read so far.
QTreeWidgetItem* FindNode(const Tdirtree& tree, const std::string& path) {
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < tree.topLevelItemCount() && item == nullptr; ++i) {
        if (Tdirtree::PathOf(tree.topLevelItem(i)) == "/") item = tree.topLevelItem(i);
    }
    while (item != nullptr && Tdirtree::PathOf(item) != path) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && next == nullptr; ++i) {
            const std::string p = Tdirtree::PathOf(item->child(i));
            if (!p.empty() && path.compare(0, p.size(), p) == 0) next = item->child(i);
        }
        item = next;
    }
    return item;
}

QStringList ChildTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; item != nullptr && i < item->childCount(); ++i) texts << item->child(i)->text(0);
    return texts;
}

}  // namespace

class TDirTreeTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        tmp = std::make_unique<TTempDir>();
        for (const char* d : {"a", "a/b", "a/b/c", "a/b/c/d", "Zeta", "beta", ".hidden", "recycled", "recycled/x"})
            tmp->Dir(d);
        tmp->File("file.txt");
        tmp->Fifo("pipe");
        QVERIFY(QDir::setCurrent(QString::fromStdString(tmp->Root())));
    }
    void cleanup() {
        QDir::setCurrent(QStringLiteral("/"));
        tmp.reset();
    }

    void startsEmptyAndReloadSelectsTheCurrentDirectory() {
        Tdirtree tree;
        QCOMPARE(tree.Directory(), std::string("?"));
        QVERIFY(!tree.Ready());
        tree.SetDirectory(tmp->Root());  // nothing to find before the tree is built
        QCOMPARE(tree.Directory(), std::string("?"));
        tree.Reload();
        QVERIFY(tree.Ready());
        QCOMPARE(tree.topLevelItemCount(), 1);
        QCOMPARE(tree.topLevelItem(0)->text(0), QStringLiteral("/"));
        QCOMPARE(tree.Directory(), tmp->Root());
    }

    void aDeepLongNameScrollsSidewaysInsteadOfBeingElided() {
        const std::string deep = "a/b/c/d/a directory with a rather long name";
        tmp->Dir(deep);
        Tdirtree tree;
        tree.resize(120, 200);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        tree.Reload();
        tree.SetDirectory(tmp->Path(deep) + "/");
        QTreeWidgetItem* node = tree.currentItem();
        QVERIFY(node != nullptr);
        QApplication::processEvents();
        const QRect rect = tree.visualItemRect(node);
        const int textWidth = tree.fontMetrics().horizontalAdvance(node->text(0));
        QVERIFY2(tree.columnWidth(0) >= rect.left() + textWidth, qPrintable(QString::number(tree.columnWidth(0))));
        QVERIFY(tree.horizontalScrollBar()->maximum() > 0);
    }

    void readsTwoLevelsOnExpansionOnly() {
        Tdirtree tree;
        tree.Reload();
        tree.SetDirectory(tmp->Path("a"));
        QCOMPARE(tree.Directory(), tmp->Path("a/"));
        QTreeWidgetItem* a = FindNode(tree, tmp->Path("a/"));
        QTreeWidgetItem* b = FindNode(tree, tmp->Path("a/b/"));
        QVERIFY(a != nullptr && b != nullptr);
        QCOMPARE(b->childCount(), 0);  // b itself not read yet
        a->setExpanded(true);
        QCOMPARE(ChildTexts(b), QStringList{"c"});
        QTreeWidgetItem* c = FindNode(tree, tmp->Path("a/b/c/"));
        QCOMPARE(c->childCount(), 0);
        b->setExpanded(true);
        QCOMPARE(ChildTexts(c), QStringList{"d"});
    }

    void childrenAreSortedIgnoringCaseAndFiltered() {
        Tdirtree tree;
        tree.SetDirType(Tdirtree::dtNormal);
        tree.Reload();
        QTreeWidgetItem* root = FindNode(tree, tmp->Root());
        QVERIFY(root != nullptr);
        root->setExpanded(true);
        QCOMPARE(ChildTexts(root), (QStringList{"a", "beta", "recycled", "Zeta"}));
        tree.SetDirectory(tmp->Path(".hidden"));
        QCOMPARE(tree.Directory(), tmp->Root());  // filtered: unchanged

        tree.SetDirType(Tdirtree::dtNormal | Tdirtree::dtHidden);
        root = FindNode(tree, tmp->Root());
        root->setExpanded(true);
        QCOMPARE(ChildTexts(root), (QStringList{".hidden", "a", "beta", "recycled", "Zeta"}));
        tree.SetDirType(Tdirtree::dtHidden);  // hidden ones only: the temporary tree is not
        QVERIFY(FindNode(tree, tmp->Root()) == nullptr);
        QCOMPARE(tree.Directory(), std::string("/"));
        tree.topLevelItem(0)->setExpanded(true);
        for (const QString& name : ChildTexts(tree.topLevelItem(0))) QVERIFY(name.startsWith('.'));
    }

    void directorySetterIgnoresWhatItCannotSelect() {
        Tdirtree tree;
        tree.Reload();
        tree.SetDirectory(tmp->Path("a/b"));
        const std::string selected = tmp->Path("a/b/");
        QCOMPARE(tree.Directory(), selected);
        for (const std::string& bad : {tmp->Path("missing"), tmp->Path("file.txt"), tmp->Path("pipe"),
                                       std::string("?"), std::string(""), std::string("a")}) {
            tree.SetDirectory(bad);
            QCOMPARE(tree.Directory(), selected);
        }
        tree.SetDirectory("/");
        QCOMPARE(tree.Directory(), std::string("/"));
    }

    void linkLoopShowsNoChildrenAndCannotBeWalked() {
        tmp->Link("..", "a/up");
        tmp->Link(tmp->Path("a"), "a/b/self");
        Tdirtree tree;
        ::alarm(20);  // a hang ends the program instead of blocking the test run
        tree.Reload();
        tree.SetDirectory(tmp->Path("a/up"));
        QCOMPARE(tree.Directory(), tmp->Path("a/up/"));
        QTreeWidgetItem* up = FindNode(tree, tmp->Path("a/up/"));
        up->setExpanded(true);
        QCOMPARE(up->childCount(), 0);
        tree.SetDirectory(tmp->Path("a/up/a/"));
        QCOMPARE(tree.Directory(), tmp->Path("a/up/"));
        tree.SetDirectory(tmp->Path("a/b/self/b/self"));
        QCOMPARE(tree.Directory(), tmp->Path("a/up/"));
        ::alarm(0);
    }

    void reloadAfterTheSelectionWasDeletedSelectsTheNearestAncestor() {
        Tdirtree tree;
        tree.Reload();
        tree.SetDirectory(tmp->Path("a/b/c/d"));
        QVERIFY(QDir().rmdir(QString::fromStdString(tmp->Path("a/b/c/d"))));
        QVERIFY(QDir().rmdir(QString::fromStdString(tmp->Path("a/b/c"))));
        tree.Reload();
        QCOMPARE(tree.Directory(), tmp->Path("a/b/"));
    }

    // Expanding a node and F5 read the directories again: what other programs made or
    // removed shows, while the nodes still there keep their state and the selection.
    void expandingAndF5ReadTheDirectoriesAgain() {
        Tdirtree tree;
        tree.Reload();
        tree.SetDirectory(tmp->Path("a/b"));
        QTreeWidgetItem* root = FindNode(tree, tmp->Root());
        QVERIFY(root->isExpanded() && FindNode(tree, tmp->Path("a/"))->isExpanded());
        tmp->Dir("new");
        tmp->Dir("new/inner");
        QVERIFY(QDir().rmdir(QString::fromStdString(tmp->Path("beta"))));
        root->setExpanded(false);
        root->setExpanded(true);
        QCOMPARE(ChildTexts(root), (QStringList{".hidden", "a", "new", "recycled", "Zeta"}));
        QCOMPARE(FindNode(tree, tmp->Path("new/"))->childCount(), 1);  // its expand button is right
        QVERIFY(FindNode(tree, tmp->Path("a/"))->isExpanded());
        QCOMPARE(tree.Directory(), tmp->Path("a/b/"));

        tmp->Dir("a/b2");
        tmp->Dir("a/b/c2");
        QTest::keyClick(&tree, Qt::Key_F5);
        QCOMPARE(ChildTexts(FindNode(tree, tmp->Path("a/"))), (QStringList{"b", "b2"}));
        QCOMPARE(ChildTexts(FindNode(tree, tmp->Path("a/b/"))), (QStringList{"c", "c2"}));
        QCOMPARE(tree.Directory(), tmp->Path("a/b/"));
    }

    // The directories shown are watched: changes by other programs show by themselves, and
    // a selected directory that goes is replaced by its parent.
    void theShownDirectoriesAreWatched() {
        Tdirtree tree;
        int reports = 0;
        tree.SetOnChange([&](Tdirtree*) { ++reports; });
        tree.Reload();
        tree.SetDirectory(tmp->Path("a/b/c/d"));
        QTreeWidgetItem* root = FindNode(tree, tmp->Root());
        root->setExpanded(true);
        tmp->Dir("fresh");
        QTRY_VERIFY_WITH_TIMEOUT(ChildTexts(root).contains("fresh"), 5000);
        QVERIFY(QDir().rmdir(QString::fromStdString(tmp->Path("Zeta"))));
        QTRY_VERIFY_WITH_TIMEOUT(!ChildTexts(root).contains("Zeta"), 5000);
        reports = 0;
        QVERIFY(QDir().rmdir(QString::fromStdString(tmp->Path("a/b/c/d"))));
        QTRY_COMPARE_WITH_TIMEOUT(tree.Directory(), tmp->Path("a/b/c/"), 5000);
        QCOMPARE(reports, 1);
    }

    // Setting the directory already selected leaves the view where the user scrolled it.
    void selectingTheSelectedDirectoryAgainDoesNotScroll() {
        for (int i = 0; i < 40; ++i) tmp->Dir("many" + std::to_string(100 + i));
        Tdirtree tree;
        tree.resize(200, 150);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        tree.Reload();
        tree.SetDirectory(tmp->Path("many120"));
        QScrollBar* bar = tree.verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        bar->setValue(0);
        tree.SetDirectory(tmp->Path("many120"));
        QCOMPARE(bar->value(), 0);
        tree.SetDirectory(tmp->Path("many130"));  // another one is brought into view
        QVERIFY(bar->value() > 0);
    }

    void onChangeOnlyWhileReadyAndOncePerChange() {
        Tdirtree tree;
        int reports = 0;
        tree.SetOnChange([&](Tdirtree* sender) {
            QCOMPARE(sender, &tree);
            QVERIFY(sender->Ready());
            QVERIFY(sender->Directory() != "?");
            ++reports;
        });
        tree.Reload();
        QCOMPARE(reports, 1);  // the final selection only, not the rebuild
        tree.SetDirectory(tmp->Path("a/b/c"));
        QCOMPARE(reports, 2);
        tree.SetDirectory(tmp->Path("a/b/c"));
        QCOMPARE(reports, 2);  // same node: no change
        tree.Reload();
        QCOMPARE(reports, 3);
        QCOMPARE(tree.Directory(), tmp->Path("a/b/c/"));
    }

    void vetoAndRecycleBinRules() {
        Tdirtree tree;
        std::vector<std::string> asked;
        tree.SetOnAddDir([&](const std::string& path, bool& add) {
            asked.push_back(path);
            if (path == tmp->Path("beta/")) add = false;
        });
        tree.SetGoBelowRecycleBin(false);
        tree.Reload();
        QTreeWidgetItem* root = FindNode(tree, tmp->Root());
        root->setExpanded(true);
        QVERIFY(!ChildTexts(root).contains("beta"));
        QVERIFY(ChildTexts(root).contains("recycled"));
        QCOMPARE(FindNode(tree, tmp->Path("recycled/"))->childCount(), 0);
        QVERIFY(std::find(asked.begin(), asked.end(), "/") != asked.end());

        tree.SetOnAddDir([](const std::string& path, bool& add) { add = path != "/"; });
        tree.Reload();
        QCOMPARE(tree.topLevelItemCount(), 0);
        QCOMPARE(tree.Directory(), std::string("?"));
    }

    void recycleBinPaths_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("below");
        QTest::newRow("bin itself") << "/x/RECYCLED/" << false;
        QTest::newRow("below bin") << "/x/Recycled/y/" << true;
        QTest::newRow("trash") << "/home/u/.local/share/Trash/files/" << true;
        QTest::newRow("trash itself") << "/home/u/.local/share/Trash/" << false;
        QTest::newRow("plain Trash") << "/home/u/Trash/files/" << false;
        QTest::newRow("volume trash") << "/media/v/.Trash-1000/files/" << true;
        QTest::newRow("other") << "/home/u/recycledstuff/a/" << false;
    }
    void recycleBinPaths() {
        QFETCH(QString, path);
        QFETCH(bool, below);
        QCOMPARE(xavo::IsBelowRecycleBin(path.toStdString()), below);
    }

    void unreadableDirectoryHasNoChildren() {
        tmp->Dir("closed");
        tmp->Dir("closed/inner");
        ::chmod(tmp->Path("closed").c_str(), 0);
        TUnprivileged user;
        if (!user.Ok()) QSKIP("cannot drop root privileges here");
        Tdirtree tree;
        tree.Reload();
        tree.SetDirectory(tmp->Path("closed"));
        QTreeWidgetItem* closed = FindNode(tree, tmp->Path("closed/"));
        QVERIFY(closed != nullptr);
        closed->setExpanded(true);
        QCOMPARE(closed->childCount(), 0);
    }

    void readOnStartBuildsWhenShown() {
        Tdirtree lazy;
        lazy.SetReadOnStart(false);
        lazy.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lazy));
        QCOMPARE(lazy.topLevelItemCount(), 0);
        Tdirtree eager;
        eager.show();
        QVERIFY(QTest::qWaitForWindowExposed(&eager));
        QCOMPARE(eager.topLevelItemCount(), 1);
        QVERIFY(eager.Ready());
    }

    void dragTracksTheNodeUnderTheMouse() {
        Tdirtree tree;
        tree.resize(400, 600);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        tree.Reload();
        tree.SetDirectory(tmp->Path("a"));
        int drops = 0;
        std::string targetAtDrop;
        tree.SetOnDragOver([](Tdirtree*, QObject*) { return true; });
        tree.SetOnDragDrop([&](Tdirtree* sender, QObject*) {
            ++drops;
            targetAtDrop = sender->DropTargetDir();
        });
        QTreeWidgetItem* b = FindNode(tree, tmp->Path("a/"));
        tree.scrollToItem(b);
        const QPoint point = tree.visualItemRect(b).center();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(tmp->Path("file.txt")))});
        QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(tree.viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDragMoveEvent move(point, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(tree.viewport(), &move);
        QVERIFY(move.isAccepted());
        QCOMPARE(tree.DropTargetDir(), tmp->Path("a/"));
        QDropEvent drop(QPointF(point), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(tree.viewport(), &drop);
        QCOMPARE(drops, 1);
        QCOMPARE(targetAtDrop, tmp->Path("a/"));
        QCOMPARE(tree.Directory(), tmp->Path("a/"));  // a drop never changes the selection
        QVERIFY(FindNode(tree, tmp->Path("a/")) != nullptr);  // nor moves nodes

        tree.SetOnDragOver([](Tdirtree*, QObject*) { return false; });
        QDragEnterEvent refused(point, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(tree.viewport(), &refused);
        QVERIFY(!refused.isAccepted());
        QVERIFY(tree.DropTargetDir().empty());
    }

private:
    std::unique_ptr<TTempDir> tmp;
};

QTEST_MAIN(TDirTreeTest)
#include "dirtree_test.moc"
