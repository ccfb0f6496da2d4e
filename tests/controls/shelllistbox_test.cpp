// The file list on temporary directories: what is listed and in which order, the Show
// flags' texts, OnChange only for a user's selection, drag data, the model's contract.
#include "ShellListBox.h"
#include "TempDir.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QMimeData>
#include <QtTest>

#include <string>
#include <vector>

using xavo::TShellListBox;
using xavo::test::TTempDir;
using xavo::test::TUnprivileged;

namespace {

std::vector<std::string> Names(const TShellListBox& list, const std::string& root) {
    std::vector<std::string> names;
    for (const std::string& p : list.Items()) names.push_back(p.substr(0, root.size()) == root ? p.substr(root.size()) : "!" + p);
    return names;
}

QString Joined(const std::vector<std::string>& names) {
    QStringList parts;
    for (const std::string& n : names) parts << QString::fromStdString(n);
    return parts.join(QLatin1Char('|'));
}

}  // namespace

class TShellListBoxTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        tree = std::make_unique<TTempDir>();
        for (const char* f : {"a.txt", "B.TXT", "c.log", "readme", "archive.tar.gz", ".profile"}) tree->File(f);
        tree->Dir("dir.txt");
        tree->Fifo("pipe.txt");
    }
    void cleanup() { tree.reset(); }

    void listsMatchingFilesSorted_data() {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one part") << "*.txt" << "a.txt|B.TXT";
        QTest::newRow("two parts") << "*.txt;*.log" << "a.txt|B.TXT|c.log";
        QTest::newRow("overlapping parts") << "*.txt;a*" << "a.txt|archive.tar.gz|B.TXT";
        QTest::newRow("case") << "*.TxT" << "a.txt|B.TXT";
        QTest::newRow("star dot star") << "*.*" << ".profile|a.txt|archive.tar.gz|B.TXT|c.log|readme";
        QTest::newRow("no extension") << "readme.*" << "readme";
        QTest::newRow("hidden") << ".*" << ".profile";
        QTest::newRow("empty mask") << "" << "";
        QTest::newRow("nothing") << "*.doc" << "";
    }
    void listsMatchingFilesSorted() {
        QFETCH(QString, mask);
        QFETCH(QString, expected);
        TShellListBox list;
        list.SetDirectory(tree->Root());
        list.SetMask(mask.toStdString());
        QCOMPARE(Joined(Names(list, tree->Root())), expected);
        QCOMPARE(list.model()->rowCount(), list.Count());
    }

    void directoryGetsItsSlashAndEmptyMeansTheProgramDirectory() {
        TShellListBox list;
        std::string dir = tree->Root();
        dir.pop_back();
        list.SetMask("*.log");
        list.SetDirectory(dir);
        QCOMPARE(list.Directory(), tree->Root());
        QCOMPARE(list.Items(), std::vector<std::string>{tree->Root() + "c.log"});
        list.SetDirectory("");
        QCOMPARE(QString::fromStdString(list.Directory()), QCoreApplication::applicationDirPath() + "/");
        QVERIFY(QApplication::overrideCursor() == nullptr);  // the hour-glass is gone again
    }

    void missingOrUnreadableDirectoryGivesAnEmptyList() {
        TShellListBox list;
        list.SetMask("*.*");
        list.SetDirectory(tree->Root());
        QVERIFY(list.Count() > 0);
        list.SetDirectory(tree->Path("missing"));
        QCOMPARE(list.Count(), 0);
        tree->Dir("closed");
        tree->File("closed/x.txt");
        ::chmod(tree->Path("closed").c_str(), 0);
        TUnprivileged user;
        if (!user.Ok()) QSKIP("cannot drop root privileges here");
        list.SetDirectory(tree->Path("closed"));
        QCOMPARE(list.Count(), 0);
    }

    void displayTextFollowsTheShowFlags() {
        TShellListBox list;
        const std::string root = tree->Root();
        QCOMPARE(list.DisplayText(root + "readme.txt"), QStringLiteral("readme.txt"));
        list.SetShowExtention(false);
        QCOMPARE(list.DisplayText(root + "readme.txt"), QStringLiteral("readme"));
        QCOMPARE(list.DisplayText(root + "archive.tar.gz"), QStringLiteral("archive.tar"));
        QCOMPARE(list.DisplayText(root + "readme"), QStringLiteral("readme"));
        QCOMPARE(list.DisplayText(root + ".profile"), QStringLiteral(".profile"));
        QCOMPARE(list.DisplayText(root + "\xE6\x97\xA5\xE6\x9C\xAC.txt"), QStringLiteral("日本"));
        QCOMPARE(list.DisplayText(root + "\x83\x81\x83\x82.txt"), QStringLiteral("メモ"));  // Shift-JIS
        list.SetShowFullPath(true);
        QCOMPARE(list.DisplayText(root + "a.txt"), QString::fromStdString(root + "a.txt"));
    }

    void onChangeFiresOnlyForTheUsersSelection() {
        TShellListBox list;
        list.SetMask("*.*");
        list.SetDirectory(tree->Root());
        std::vector<std::string> reported;
        list.SetOnChange([&](TShellListBox* sender) {
            QCOMPARE(sender, &list);
            reported.push_back(sender->SelectedFileName());
        });
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));

        list.SetItemIndex(1);  // from code: silent
        QCOMPARE(list.ItemIndex(), 1);
        QVERIFY(reported.empty());
        QVERIFY(list.SelectedFileName().empty());

        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(reported, std::vector<std::string>{list.Items()[2]});

        const QRect first = list.visualRect(list.model()->index(0, 0));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, first.center());
        QCOMPARE(reported.size(), 2u);
        QCOMPARE(reported.back(), list.Items()[0]);
        QCOMPARE(list.SelectedFileName(), list.Items()[0]);

        const QRect fourth = list.visualRect(list.model()->index(3, 0));
        QTest::mouseClick(list.viewport(), Qt::RightButton, {}, fourth.center());
        QCOMPARE(reported.size(), 2u);
        QCOMPARE(list.ItemIndex(), 0);

        list.Update();  // re-listing keeps the last chosen path
        QCOMPARE(list.SelectedFileName(), list.Items()[0]);
        QCOMPARE(reported.size(), 2u);
    }

    void dragCarriesTheFilesAsUrls() {
        TShellListBox list;
        list.SetMask("*.txt");
        list.SetDirectory(tree->Root());
        std::unique_ptr<QMimeData> mime(list.model()->mimeData({list.model()->index(1, 0)}));
        QCOMPARE(mime->urls(), QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(tree->Root() + "B.TXT"))});
    }

    void modelKeepsTheItemModelContract() {
        TShellListBox list;
        QAbstractItemModelTester tester(list.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.SetMask("*.*");
        list.SetDirectory(tree->Root());
        list.SetMask("*.txt");
        list.SetDirectory(tree->Path("missing"));
    }

private:
    std::unique_ptr<TTempDir> tree;
};

QTEST_MAIN(TShellListBoxTest)
#include "shelllistbox_test.moc"
