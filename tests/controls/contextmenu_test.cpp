// The file context menu: the Send To folder's entries, sending by copy and by running a
// program, the 99-entry limit, the failure box, and the popup itself driven by the keyboard.
#include "ContextMenuEx.h"
#include "MessageBoxes.h"
#include "TempDir.h"

#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QtTest>

#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

using xavo::TContextMenuEx;
using xavo::TSendToEntry;
using xavo::test::TTempDir;

namespace {

std::string ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("<missing>");
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Closes, or triggers an action of, the popup menu as soon as it is open.
void WhenMenuOpens(std::function<void(QMenu*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            timer->stop();
            timer->deleteLater();
            act(menu);
        }
    });
    timer->start(10);
}

}  // namespace

class TContextMenuTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        tmp = std::make_unique<TTempDir>();
        for (const char* d : {"data", "data/xavoline", "data/xavoline/SendTo", "data/xavoline/SendTo/Backup",
                              "data/xavoline/SendTo/.hidden", "other", "work", "work/folder"})
            tmp->Dir(d);
        tmp->File("work/memo.txt", "memo");
        tmp->File("work/folder/inside.txt", "inside");
        tmp->File("data/xavoline/SendTo/notes.txt");
        tmp->File("data/xavoline/SendTo/run.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/../../../ran.txt\"\n");
        ::chmod(tmp->Path("data/xavoline/SendTo/run.sh").c_str(), 0755);
        tmp->Link(tmp->Path("other"), "data/xavoline/SendTo/another place");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(tmp->Path("data")));
        boxes.clear();
        previous = xavo::SetMessagePresenter([this](xavo::TMessageKind, const QString& caption, const QString& text) {
            boxes.push_back(caption + "|" + text);
        });
    }
    void cleanup() {
        xavo::SetMessagePresenter(previous);
        tmp.reset();
    }

    void sendToEntriesAreSortedWithTheirKinds() {
        QCOMPARE(TContextMenuEx::SendToFolder(), tmp->Path("data/xavoline/SendTo/"));
        const std::vector<TSendToEntry> entries = TContextMenuEx::SendToEntries(TContextMenuEx::SendToFolder());
        QStringList names;
        for (const TSendToEntry& e : entries) names << e.DisplayName;
        QCOMPARE(names, (QStringList{"another place", "Backup", "notes.txt", "run.sh"}));
        QCOMPARE(entries[0].Kind, TSendToEntry::Directory);
        QCOMPARE(entries[1].Kind, TSendToEntry::Directory);
        QCOMPARE(entries[2].Kind, TSendToEntry::Other);
        QCOMPARE(entries[3].Kind, TSendToEntry::Program);
        QVERIFY(TContextMenuEx::SendToEntries(tmp->Path("missing/")).empty());
    }

    void sendToADirectoryEntryCopiesWithoutReplacing() {
        TContextMenuEx menu;
        const int backup = TContextMenuEx::kSendToFirstId + 1;
        QVERIFY(menu.InvokeCommand(nullptr, backup, tmp->Path("work/memo.txt"), true));
        QCOMPARE(ReadFile(tmp->Path("data/xavoline/SendTo/Backup/memo.txt")), std::string("memo"));
        QVERIFY(ReadFile(tmp->Path("work/memo.txt")) == "memo");  // the original stays
        QVERIFY(boxes.isEmpty());

        tmp->File("work/memo.txt", "changed");
        QVERIFY(!menu.InvokeCommand(nullptr, backup, tmp->Path("work/memo.txt"), true));
        QCOMPARE(ReadFile(tmp->Path("data/xavoline/SendTo/Backup/memo.txt")), std::string("memo"));
        QCOMPARE(boxes, QStringList{" TContextMenuEx component version 1.04| InvokeCommand failed! "});

        QVERIFY(menu.InvokeCommand(nullptr, TContextMenuEx::kSendToFirstId, tmp->Path("work/folder/"), true));
        QCOMPARE(ReadFile(tmp->Path("other/folder/inside.txt")), std::string("inside"));
    }

    void sendToAProgramRunsItWithThePath() {
        TContextMenuEx menu;
        QVERIFY(menu.InvokeCommand(nullptr, TContextMenuEx::kSendToFirstId + 3, tmp->Path("work/memo.txt"), true));
        QTRY_COMPARE(ReadFile(tmp->Path("ran.txt")), tmp->Path("work/memo.txt"));
    }

    void otherEntriesAndUnknownCommandsFail() {
        TContextMenuEx menu;
        QVERIFY(!menu.InvokeCommand(nullptr, TContextMenuEx::kSendToFirstId + 2, tmp->Path("work/memo.txt"), true));
        QVERIFY(!menu.InvokeCommand(nullptr, 999, tmp->Path("work/memo.txt"), true));
        QCOMPARE(boxes.size(), 2);
    }

    void tooManyEntriesAreListedButNotSent() {
        for (int i = 0; i < 120; ++i) tmp->Dir("data/xavoline/SendTo/d" + std::to_string(1000 + i));
        TContextMenuEx menu;
        bool listed = true;
        std::unique_ptr<QMenu> popup(menu.BuildMenu(nullptr, listed));
        QVERIFY(!listed);
        const QMenu* sendTo = nullptr;
        for (QAction* a : popup->actions()) {
            if (a->menu() != nullptr) sendTo = a->menu();
        }
        QVERIFY(sendTo != nullptr);
        QCOMPARE(sendTo->actions().size(), TContextMenuEx::kMaxSendToEntries);
        QVERIFY(!menu.InvokeCommand(nullptr, TContextMenuEx::kSendToFirstId + 1, tmp->Path("work/memo.txt"), listed));
        QVERIFY(!Exists(tmp->Path("data/xavoline/SendTo/Backup/memo.txt")));
        QCOMPARE(boxes.size(), 1);
    }

    void emptySendToFolderDisablesTheSubmenu() {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(tmp->Path("nowhere")));
        TContextMenuEx menu;
        bool listed = true;
        std::unique_ptr<QMenu> popup(menu.BuildMenu(nullptr, listed));
        QVERIFY(!listed);
        for (QAction* a : popup->actions()) {
            if (a->menu() != nullptr) QVERIFY(!a->isEnabled());
        }
    }

    void missingPathOrNoWindowShowsNothing() {
        TContextMenuEx menu;
        QWidget widget;
        QVERIFY(!menu.ShowFileMenu(&widget, tmp->Path("work/none.txt"), 1, 1));
        QVERIFY(!menu.ShowFileMenu(nullptr, tmp->Path("work/memo.txt"), 1, 1));
        QVERIFY(boxes.isEmpty());
    }

    void popupDismissedInvokesNothingAndAChoiceRuns() {
        TContextMenuEx menu;
        QWidget widget;
        widget.resize(200, 200);
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        WhenMenuOpens([](QMenu* popup) { popup->close(); });
        QVERIFY(!menu.ShowFileMenu(&widget, tmp->Path("work/memo.txt"), 10, 10));

        QGuiApplication::clipboard()->clear();
        WhenMenuOpens([](QMenu* popup) {
            for (QAction* a : popup->actions()) {
                if (a->data().toInt() == TContextMenuEx::cmCopyPath) {
                    popup->setActiveAction(a);
                    QTest::keyClick(popup, Qt::Key_Return);
                }
            }
        });
        QVERIFY(menu.ShowFileMenu(&widget, tmp->Path("work/folder/"), 10, 10));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(tmp->Path("work/folder")));
    }

    void propertiesDescribeTheFile() {
        ::chmod(tmp->Path("work/memo.txt").c_str(), 0640);
        const auto rows = TContextMenuEx::PropertiesOf(tmp->Path("work/memo.txt"));
        QStringList lines;
        for (const auto& [caption, value] : rows) lines << caption + value;
        QVERIFY(lines.contains("名前:memo.txt"));
        QVERIFY(lines.contains("場所:" + QString::fromStdString(tmp->Path("work"))));
        QVERIFY(lines.contains("種類:ファイル"));
        QVERIFY(lines.contains("サイズ:4 バイト"));
        QVERIFY(lines.contains("アクセス権:rw-r----- (640)"));
        QVERIFY(TContextMenuEx::PropertiesOf(tmp->Path("work/folder/"))[2].second == "フォルダ");
    }

private:
    std::unique_ptr<TTempDir> tmp;
    QStringList boxes;
    xavo::TMessagePresenter previous;
};

QTEST_MAIN(TContextMenuTest)
#include "contextmenu_test.moc"
