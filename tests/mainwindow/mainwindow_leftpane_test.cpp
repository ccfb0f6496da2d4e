// The favourites list and the moves by dragging onto the tree, driven on the real window:
// the input boxes and questions asked, what is stored, where the tree and the list go, and
// what stays untouched when a move is refused or fails. The rules themselves are tested
// without a window in favourites_test.cpp and files/move_test.cpp.
#include "DirTree.h"
#include "FormFixture.h"
#include "ShellListBox.h"
#include "SjisQt.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QStatusTipEvent>
#include <QTreeWidgetItemIterator>

#include <filesystem>
#include <memory>

using namespace xavo;
using xavo::test::ReadBytes;
using xavo::test::TFormFixture;

namespace {

struct TInputBox {
    QString Caption, Prompt, Initial;
};

// Records every input box and answers from Answers (cancelled when none is left).
void RecordInputBoxes(TFormFixture& f, std::vector<TInputBox>& asked, std::deque<std::optional<QString>>& answers) {
    f.Form->Dialogs().InputText = [&](QWidget*, const QString& caption, const QString& prompt, const QString& initial) {
        asked.push_back({caption, prompt, initial});
        if (answers.empty()) return std::optional<QString>();
        const std::optional<QString> answer = answers.front();
        answers.pop_front();
        return answer;
    };
}

QTreeWidgetItem* NodeOf(Tdirtree* tree, const std::string& path) {
    for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
        if (Tdirtree::PathOf(*it) == path) return *it;
    }
    return nullptr;
}

// Drags Data over Point of the tree and drops it there; then lets the queued command run.
// Returns whether the tree accepted the drag.
bool DragAndDrop(Tdirtree* tree, const QMimeData* data, const QPoint& point) {
    QDragEnterEvent enter(point, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(point, Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &move);
    QDropEvent drop(QPointF(point), Qt::CopyAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &drop);
    QCoreApplication::processEvents();
    return enter.isAccepted();
}

// Drops Data on the node of the directory Target (read into the tree before, so that it
// has a node; the selection is put back afterwards).
bool DropOnNode(Tdirtree* tree, const QMimeData* data, const std::string& target) {
    const std::string selected = tree->Directory();
    tree->SetDirectory(target);
    tree->SetDirectory(selected);
    QTreeWidgetItem* node = NodeOf(tree, target);
    if (node == nullptr) return false;
    tree->scrollToItem(node);
    // On the node's icon: a long name elsewhere in the tree makes the row wider than the view.
    const QRect row = tree->visualItemRect(node);
    return DragAndDrop(tree, data, QPoint(row.left() + 8, row.center().y()));
}

// The data of a drag of the tree's selected directory.
std::unique_ptr<QMimeData> TreeDrag(Tdirtree* tree) { return std::unique_ptr<QMimeData>(tree->model()->mimeData({tree->currentIndex()})); }

// Chooses the list item of Path as the user does (a click, which also shows the file) and
// returns the data of a drag started on it.
std::unique_ptr<QMimeData> ListDrag(TShellListBox* list, const std::string& path) {
    const auto& items = list->Items();
    const auto at = std::find(items.begin(), items.end(), path);
    if (at == items.end()) return std::make_unique<QMimeData>();
    const QModelIndex index = list->model()->index(static_cast<int>(at - items.begin()), 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    return std::unique_ptr<QMimeData>(list->model()->mimeData({index}));
}

bool Exists(const std::string& path) { return std::filesystem::exists(std::filesystem::symlink_status(path)); }

}  // namespace

class TMainWindowLeftPaneTest : public QObject {
    Q_OBJECT

private slots:
    void addingAsksForANameAndMovesNothing() {
        TFormFixture f;
        std::filesystem::create_directory(f.Dir.Path("sub"));
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        std::vector<TInputBox> asked;
        std::deque<std::optional<QString>> answers = {std::nullopt, QStringLiteral("mine"), QStringLiteral("top")};
        RecordInputBoxes(f, asked, answers);
        c.DTView->SetDirectory(f.Root() + "sub/");

        c.MmAdd->trigger();  // cancelled
        QVERIFY(form.PathList().empty());
        QCOMPARE(c.CbSetting->count(), 0);
        c.MmAdd->trigger();
        QCOMPARE(asked.size(), std::size_t(2));
        QCOMPARE(asked[1].Caption, QStringLiteral("お気に入りリストに追加"));
        QCOMPARE(asked[1].Prompt, QStringLiteral("名前をつけてください (マスク: *.txt)"));
        QCOMPARE(asked[1].Initial, QString::fromStdString(f.Root() + "sub"));
        QCOMPARE(form.PathList(), std::vector<std::string>{"mine@" + f.Root() + "sub/@*.txt"});
        QCOMPARE(c.CbSetting->currentText(), QStringLiteral("mine"));

        c.MmFullAddDir->setChecked(false);
        c.DTView->SetDirectory("/");
        c.DTView->SetDirectory(f.Root());  // the tree goes elsewhere; the favourite is not chosen
        c.DTView->SetDirectory("/");
        c.MmAdd->trigger();
        QCOMPARE(asked[2].Initial, QString());  // the root's last component
        QCOMPARE(form.PathList().back(), std::string("top@/@*.txt"));
        QCOMPARE(c.DTView->Directory(), std::string("/"));

        // Stored as two parallel lists and read back.
        f.CloseForm();
        TForm1& again = f.Open();
        QCOMPARE(again.PathList().size(), std::size_t(2));
        QCOMPARE(again.Components().CbSetting->itemText(1), QStringLiteral("top"));
    }

    void aDirectoryOfTheTreeDroppedOnTheListIsAdded() {
        TFormFixture f;
        f.Shown();
        const TForm1Components& c = f.C();
        std::vector<TInputBox> asked;
        std::deque<std::optional<QString>> answers = {QStringLiteral("dropped")};
        RecordInputBoxes(f, asked, answers);
        const std::unique_ptr<QMimeData> tree = TreeDrag(c.DTView);
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp"))});
        for (const QMimeData* data : {static_cast<const QMimeData*>(&files), static_cast<const QMimeData*>(tree.get())}) {
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, {});
            QApplication::sendEvent(c.CbSetting, &enter);
            QCOMPARE(enter.isAccepted(), data == tree.get());
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, {});
            QApplication::sendEvent(c.CbSetting, &drop);
            QCoreApplication::processEvents();
        }
        QCOMPARE(asked.size(), std::size_t(1));
        QCOMPARE(f.Form->PathList(), std::vector<std::string>{"dropped@" + f.Root() + "@*.txt"});
    }

    void renamingAndDeletingWorkOnTheSelectedEntry() {
        TFormFixture f;
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        const std::string smallA = "\x83\x40";  // ァ
        form.PathList() = {"one@/a/@*.txt", "x" + smallA + "@/b/@*.c"};
        c.CbSetting->addItems({QStringLiteral("one"), SjisToQString("x" + smallA)});
        c.CbSetting->setCurrentIndex(-1);
        emit c.PmSetting->aboutToShow();
        QVERIFY(!c.MmChange->isEnabled() && !c.MmDel->isEnabled());

        c.CbSetting->setCurrentIndex(1);
        emit c.PmSetting->aboutToShow();
        QVERIFY(c.MmChange->isEnabled() && c.MmDel->isEnabled());
        std::vector<TInputBox> asked;
        std::deque<std::optional<QString>> answers = {std::nullopt, QStringLiteral("ァ新")};
        RecordInputBoxes(f, asked, answers);
        c.MmChange->trigger();  // cancelled
        QCOMPARE(form.PathList()[1], "x" + smallA + "@/b/@*.c");
        c.MmChange->trigger();
        QCOMPARE(asked[1].Caption, QStringLiteral("登録されている名前の変更"));
        QCOMPARE(asked[1].Initial, QStringLiteral("xァ"));
        QCOMPARE(form.PathList()[1], QStringToSjis(QStringLiteral("ァ新")) + "@/b/@*.c");
        QCOMPARE(c.CbSetting->itemText(1), QStringLiteral("ァ新"));
        QCOMPARE(c.CbSetting->currentIndex(), 1);

        f.Script.Answers = {QMessageBox::No, QMessageBox::Yes};
        c.MmDel->trigger();
        QCOMPARE(f.Script.Asked.last(), QStringLiteral("お気に入りリストから\n\"ァ新\" を削除します"));
        QCOMPARE(form.PathList().size(), std::size_t(2));
        c.MmDel->trigger();
        QCOMPARE(form.PathList(), std::vector<std::string>{"one@/a/@*.txt"});
        QCOMPARE(c.CbSetting->count(), 1);
        QCOMPARE(c.CbSetting->currentIndex(), -1);
    }

    void choosingMovesTheTreeAndAppliesTheMask() {
        TFormFixture f;
        for (const char* d : {"a", "b", "gone"}) std::filesystem::create_directory(f.Dir.Path(d));
        f.Dir.File("a/x.md", "x");
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        const std::string root = f.Root();
        form.PathList() = {"md@" + root + "a/@*.md", "md@" + root + "b/@*.txt", "txt@" + root + "b/@*.md",
                           "gone@" + root + "gone/@*.log", "a@b@" + root + "a/@*"};
        c.CbSetting->addItems({"md", "md", "txt", "gone", "a@b"});
        const auto choose = [&](int index) {
            c.CbSetting->setCurrentIndex(index);
            emit c.CbSetting->activated(index);
        };

        choose(1);  // two equal names: the first one's directory and mask
        QCOMPARE(c.DTView->Directory(), root + "a/");
        QCOMPARE(c.SLBox->Mask(), std::string("*.md"));
        QCOMPARE(c.SLBox->Items(), std::vector<std::string>{root + "a/x.md"});
        QCOMPARE(c.SBPanel0->text(), QStringLiteral("*.md"));
        const qsizetype recentMasks = c.MmFile->actions().size();
        choose(2);  // the mask is the current one: neither it nor the recent masks are touched
        QCOMPARE(c.DTView->Directory(), root + "b/");
        QCOMPARE(c.MmFile->actions().size(), recentMasks);

        std::filesystem::remove(f.Dir.Path("gone"));
        choose(3);
        const QString cantFind = QString::fromStdString("Can't find \"" + root + "gone/\"");
        QCOMPARE(c.SBPanel1->text(), cantFind);
        // A hint passing over it leaves the message in place once it has gone.
        QStatusTipEvent hint(c.SLBox->statusTip());
        QApplication::sendEvent(c.SLBox, &hint);
        QCOMPARE(c.SBPanel1->text(), c.SLBox->statusTip());
        QStatusTipEvent hintGone{QString()};
        QApplication::sendEvent(c.SLBox, &hintGone);
        QCOMPARE(c.SBPanel1->text(), cantFind);
        QCOMPARE(c.SLBox->Mask(), std::string());
        QCOMPARE(c.DTView->Directory(), root + "b/");

        choose(4);  // its name part ends at the "@"
        QCOMPARE(f.Boxes.Informations, QStringList{QStringLiteral("SList:Can't Find \"a@b\"")});
        QCOMPARE(c.DTView->Directory(), root + "b/");
    }

    void aFileDroppedOnTheTreeMovesOrAsks() {
        TFormFixture f;
        for (const char* d : {"src", "dst"}) std::filesystem::create_directory(f.Dir.Path(d));
        const std::string root = f.Root();
        for (const char* name : {"a.txt", "memo.txt", "b.txt", "c.txt"}) f.Dir.File(std::string("src/") + name, name);
        f.Dir.File("dst/memo.txt", "old memo");
        f.Dir.File("dst/taken.txt", "taken");
        f.Shown();
        const TForm1Components& c = f.C();
        c.DTView->SetDirectory(root + "src/");
        std::vector<TInputBox> asked;
        std::deque<std::optional<QString>> answers = {QStringLiteral("old"), QStringLiteral("old.bak"),
                                                      QStringLiteral("taken"), QStringLiteral("renamed")};
        RecordInputBoxes(f, asked, answers);

        // No clash: moved without a question; the list is read again. The shown file is
        // then saved where it went.
        QVERIFY(f.Form->OpenFile(root + "src/a.txt"));
        QVERIFY(DropOnNode(c.DTView, ListDrag(c.SLBox, root + "src/a.txt").get(), root + "dst/"));
        QCOMPARE(ReadBytes(root + "dst/a.txt"), std::string("a.txt"));
        QVERIFY(f.Script.Asked.isEmpty());
        QCOMPARE(c.SLBox->Count(), 3);
        QCOMPARE(f.Form->CurrentFile(), root + "dst/a.txt");
        QVERIFY(f.Form->windowTitle().endsWith(QStringLiteral("dst/a.txt")));

        // A clash: Cancel, then Yes (overwrite), each with the three-way question.
        f.Script.Answers = {QMessageBox::Cancel, QMessageBox::Yes};
        DropOnNode(c.DTView, ListDrag(c.SLBox, root + "src/memo.txt").get(), root + "dst/");
        QVERIFY(Exists(root + "src/memo.txt"));
        QVERIFY(f.Script.Asked.last().startsWith(QStringLiteral("上書きで置き換えますか？")));
        DropOnNode(c.DTView, ListDrag(c.SLBox, root + "src/memo.txt").get(), root + "dst/");
        QCOMPARE(ReadBytes(root + "dst/memo.txt"), std::string("memo.txt"));
        QVERIFY(!Exists(root + "src/memo.txt"));

        // No: renamed, the old extension added when none is typed; a taken name fails.
        f.Dir.File("src/memo.txt", "second");
        f.Dir.File("src/d.txt", "d");
        c.SLBox->Update();
        f.Script.Answers = {QMessageBox::No, QMessageBox::No, QMessageBox::No};
        DropOnNode(c.DTView, ListDrag(c.SLBox, root + "src/memo.txt").get(), root + "dst/");
        QCOMPARE(asked[0].Caption, QStringLiteral("新しいファイル名を入力"));
        QCOMPARE(asked[0].Initial, QStringLiteral("memo.txt"));
        QCOMPARE(ReadBytes(root + "dst/old.txt"), std::string("second"));
        f.Dir.File("dst/d.txt", "other d");
        DropOnNode(c.DTView, ListDrag(c.SLBox, root + "src/d.txt").get(), root + "dst/");
        QCOMPARE(ReadBytes(root + "dst/old.bak"), std::string("d"));
        f.Dir.File("src/d.txt", "d again");
        c.SLBox->Update();
        DropOnNode(c.DTView, ListDrag(c.SLBox, root + "src/d.txt").get(), root + "dst/");
        QCOMPARE(f.Boxes.Informations, QStringList{QStringLiteral("失敗しました")});
        QCOMPARE(ReadBytes(root + "dst/taken.txt"), std::string("taken"));
        QCOMPARE(ReadBytes(root + "src/d.txt"), std::string("d again"));

        // Dropped on its own directory: Yes does nothing, No renames in place.
        f.Script.Answers = {QMessageBox::Yes, QMessageBox::No};
        DropOnNode(c.DTView, ListDrag(c.SLBox, root + "src/b.txt").get(), root + "src/");
        QCOMPARE(ReadBytes(root + "src/b.txt"), std::string("b.txt"));
        DropOnNode(c.DTView, ListDrag(c.SLBox, root + "src/b.txt").get(), root + "src/");
        QCOMPARE(ReadBytes(root + "src/renamed.txt"), std::string("b.txt"));
        QVERIFY(!Exists(root + "src/b.txt"));
        QVERIFY(f.Script.Unexpected.isEmpty());
        QVERIFY(answers.empty());
    }

    void anEmptyListOrNoHighlightedNodeMovesNothing() {
        TFormFixture f;
        for (const char* d : {"src", "dst"}) std::filesystem::create_directory(f.Dir.Path(d));
        f.Dir.File("src/a.txt", "a");
        f.Shown();
        const TForm1Components& c = f.C();
        const std::string root = f.Root();
        c.DTView->SetDirectory(root + "src/");
        const std::unique_ptr<QMimeData> drag = ListDrag(c.SLBox, root + "src/a.txt");
        c.DTView->SetDirectory(root + "dst/");  // the list is empty now
        QVERIFY(!DropOnNode(c.DTView, drag.get(), root + "src/"));

        c.DTView->SetDirectory(root + "src/");
        const QRect area = c.DTView->viewport()->rect();
        DragAndDrop(c.DTView, drag.get(), QPoint(area.right() + 50, area.bottom() + 50));
        QVERIFY(c.DTView->DropTargetDir().empty());
        QVERIFY(Exists(root + "src/a.txt"));
        QVERIFY(f.Script.Asked.isEmpty() && f.Boxes.Informations.isEmpty());
    }

    void aDirectoryDraggedInTheTreeMovesIntoTheOneDroppedOn() {
        TFormFixture f;
        for (const char* d : {"a", "a/b", "x"}) std::filesystem::create_directory(f.Dir.Path(d));
        f.Dir.File("a/b/in.txt", "in");
        f.Shown();
        const TForm1Components& c = f.C();
        const std::string root = f.Root();
        const auto dragDirectory = [&](const std::string& directory, const std::string& target) {
            c.DTView->SetDirectory(directory);
            const std::unique_ptr<QMimeData> drag = TreeDrag(c.DTView);
            return DropOnNode(c.DTView, drag.get(), target);
        };

        QVERIFY(dragDirectory(root + "a/b/", root + "a/b/"));
        QVERIFY(dragDirectory(root + "a/b/", root + "a/"));
        QCOMPARE(f.Boxes.Informations, QStringList({QStringLiteral("移動元と移動先が同じディレクトリです"),
                                                    QStringLiteral("同じ親ディレクトリには移動できません")}));
        QVERIFY(f.Script.Asked.isEmpty());

        f.Script.Answers = {QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::Ok};
        dragDirectory(root + "a/", root + "a/b/");  // cancelled
        QVERIFY(Exists(root + "a/b/in.txt"));
        dragDirectory(root + "a/", root + "a/b/");  // into its own subtree
        QCOMPARE(f.Boxes.Informations.last(), QStringLiteral("失敗しました"));
        QVERIFY(Exists(root + "a/b/in.txt"));
        QCOMPARE(f.Script.Asked.last(), QStringLiteral("移動してよろしいですか？"));

        QVERIFY(f.Form->OpenFile(root + "a/b/in.txt"));
        dragDirectory(root + "a/b/", root + "x/");
        QCOMPARE(ReadBytes(root + "x/b/in.txt"), std::string("in"));
        QCOMPARE(f.Form->CurrentFile(), root + "x/b/in.txt");  // the shown file went with it
        QVERIFY(!Exists(root + "a/b"));
        QCOMPARE(c.DTView->Directory(), root + "x/b/");
        QCOMPARE(c.SLBox->Items(), std::vector<std::string>{root + "x/b/in.txt"});
        QVERIFY(f.Script.Unexpected.isEmpty());
    }
};

QTEST_MAIN(TMainWindowLeftPaneTest)
#include "mainwindow_leftpane_test.moc"
