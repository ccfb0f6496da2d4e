// The clipboard detector (each change reported once while a handler is assigned) and the
// file drop target (synthetic drops of local files onto plain widgets and scroll areas).
#include "ClipDetector.h"
#include "DropDst.h"
#include "MessageBoxes.h"

#include <QClipboard>
#include <QMainWindow>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QtTest>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using xavo::TDropDst;
using xavo::TZqClipDetector;

namespace {

struct TDrop {
    std::vector<std::string> files;
    int x = -1;
    int y = -1;
};

std::unique_ptr<QMimeData> FilesMime(const QStringList& paths) {
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& p : paths) urls << (p.startsWith("http") ? QUrl(p) : QUrl::fromLocalFile(p));
    mime->setUrls(urls);
    return mime;
}

// Sends enter, move and drop at Point to Receiver; returns whether the drop was accepted.
bool DropOn(QWidget* receiver, const QPoint& point, const QMimeData* mime) {
    QDragEnterEvent enter(point, Qt::CopyAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(receiver, &enter);
    if (!enter.isAccepted()) return false;
    QDragMoveEvent move(point, Qt::CopyAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(receiver, &move);
    QDropEvent drop(QPointF(point), Qt::CopyAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(receiver, &drop);
    return drop.isAccepted();
}

// Records the boxes that would have been shown.
class TRecordedBoxes {
public:
    TRecordedBoxes()
        : FPrevious(xavo::SetMessagePresenter(
              [this](xavo::TMessageKind kind, const QString& caption, const QString& text) {
                  Boxes.push_back({kind, caption, text});
              })) {}
    ~TRecordedBoxes() { xavo::SetMessagePresenter(FPrevious); }
    struct TBox {
        xavo::TMessageKind Kind;
        QString Caption;
        QString Text;
    };
    std::vector<TBox> Boxes;

private:
    xavo::TMessagePresenter FPrevious;
};

}  // namespace

class TClipDropTest : public QObject {
    Q_OBJECT

private slots:
    void eachChangeIsReportedOnceWhileAssigned() {
        TZqClipDetector detector;
        int reports = 0;
        detector.SetOnClipChange([&](TZqClipDetector* sender) {
            QCOMPARE(sender, &detector);
            ++reports;
        });
        QVERIFY(detector.Watching());
        QCOMPARE(reports, 0);  // joining is not a change
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("one"));
        clipboard->setText(QStringLiteral("two"));
        clipboard->setText(QStringLiteral("三"));
        QCoreApplication::processEvents();
        QCOMPARE(reports, 3);
        detector.SetOnClipChange(nullptr);
        QVERIFY(!detector.Watching());
        clipboard->setText(QStringLiteral("four"));
        QCoreApplication::processEvents();
        QCOMPARE(reports, 3);
    }

    void joiningIsReportedWithoutIgnoreFirst() {
        TZqClipDetector detector;
        detector.SetIgnoreFirst(false);
        int reports = 0;
        detector.SetOnClipChange([&](TZqClipDetector*) { ++reports; });
        QCOMPARE(reports, 1);
        detector.SetOnClipChange([&](TZqClipDetector*) { reports += 10; });  // already watching
        QCOMPARE(reports, 1);
        QGuiApplication::clipboard()->setText(QStringLiteral("x"));
        QCOMPARE(reports, 11);
    }

    void handlerCanUnassignOrReplaceItselfAndOthersKeepWatching() {
        TZqClipDetector first;
        TZqClipDetector second;
        int firstReports = 0;
        int secondReports = 0;
        int replacementReports = 0;
        first.SetOnClipChange([&](TZqClipDetector* sender) {
            ++firstReports;
            sender->SetOnClipChange(nullptr);
        });
        second.SetOnClipChange([&](TZqClipDetector* sender) {
            ++secondReports;
            sender->SetOnClipChange([&](TZqClipDetector*) { ++replacementReports; });
        });
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("a"));
        clipboard->setText(QStringLiteral("b"));
        clipboard->setText(QStringLiteral("c"));
        QCOMPARE(firstReports, 1);
        QVERIFY(!first.Watching());
        QCOMPARE(secondReports, 1);
        QCOMPARE(replacementReports, 2);
    }

    void destroyedDetectorStopsWatching() {
        int reports = 0;
        {
            TZqClipDetector detector;
            detector.SetOnClipChange([&](TZqClipDetector*) { ++reports; });
        }
        QGuiApplication::clipboard()->setText(QStringLiteral("after"));
        QCOMPARE(reports, 0);
    }

    void dropOfThreeFilesReportsThemInOrderWithThePoint() {
        QWidget widget;
        widget.resize(200, 100);
        TDropDst drop;
        drop.SetControl(&widget);
        QCOMPARE(drop.HookedWidget(), &widget);
        std::vector<TDrop> drops;
        drop.SetOnFileDrop([&](TDropDst* sender, const std::vector<std::string>& files, int x, int y) {
            QCOMPARE(sender, &drop);
            drops.push_back({files, x, y});
        });
        const auto mime = FilesMime({"/tmp/c.txt", "/tmp/a b.txt", "http://example.com/x", "/tmp/日本.txt"});
        QVERIFY(DropOn(&widget, QPoint(30, 40), mime.get()));
        QCOMPARE(drops.size(), 1u);
        QCOMPARE(drops[0].files, (std::vector<std::string>{"/tmp/c.txt", "/tmp/a b.txt", "/tmp/日本.txt"}));
        QCOMPARE(drops[0].x, 30);
        QCOMPARE(drops[0].y, 40);
    }

    void refusedWhenAcceptDropIsOffAndConsumedWithoutHandler() {
        QWidget widget;
        TDropDst drop;
        drop.SetControl(&widget);
        const auto mime = FilesMime({"/tmp/a.txt"});
        QVERIFY(DropOn(&widget, QPoint(1, 1), mime.get()));  // no handler: taken silently
        int drops = 0;
        drop.SetOnFileDrop([&](TDropDst*, const std::vector<std::string>&, int, int) { ++drops; });
        drop.SetAcceptDrop(false);
        QVERIFY(!DropOn(&widget, QPoint(1, 1), mime.get()));
        QCOMPARE(drops, 0);
        drop.SetAcceptDrop(true);
        QVERIFY(DropOn(&widget, QPoint(1, 1), mime.get()));
        QCOMPARE(drops, 1);
    }

    void handlerErrorGoesToTheErrorBoxAndDropsKeepWorking() {
        TRecordedBoxes boxes;
        QWidget widget;
        TDropDst drop;
        drop.SetControl(&widget);
        int calls = 0;
        drop.SetOnFileDrop([&](TDropDst*, const std::vector<std::string>&, int, int) {
            if (++calls == 1) throw std::runtime_error("読めません");
        });
        const auto mime = FilesMime({"/tmp/a.txt"});
        QVERIFY(DropOn(&widget, QPoint(1, 1), mime.get()));
        QCOMPARE(boxes.Boxes.size(), 1u);
        QVERIFY(boxes.Boxes[0].Kind == xavo::TMessageKind::Error);
        QCOMPARE(boxes.Boxes[0].Caption, QStringLiteral("Xavoline"));
        QCOMPARE(boxes.Boxes[0].Text, QStringLiteral("読めません"));
        QVERIFY(DropOn(&widget, QPoint(1, 1), mime.get()));
        QCOMPARE(calls, 2);
        QCOMPARE(boxes.Boxes.size(), 1u);
    }

    void scrollAreaDropsArriveOnTheViewportAndOtherDragsPassThrough() {
        QPlainTextEdit edit;
        edit.resize(300, 200);
        TDropDst drop;
        drop.SetControl(&edit);
        std::vector<TDrop> drops;
        drop.SetOnFileDrop([&](TDropDst*, const std::vector<std::string>& files, int x, int y) {
            drops.push_back({files, x, y});
        });
        const auto mime = FilesMime({"/tmp/a.txt"});
        const QPoint inViewport(10, 10);
        QVERIFY(DropOn(edit.viewport(), inViewport, mime.get()));
        QCOMPARE(drops.size(), 1u);
        const QPoint expected = edit.viewport()->mapTo(&edit, inViewport);
        QCOMPARE(QPoint(drops[0].x, drops[0].y), expected);
        QVERIFY(edit.toPlainText().isEmpty());  // the edit did not insert the URL

        QMimeData text;
        text.setText(QStringLiteral("plain"));
        DropOn(edit.viewport(), inViewport, &text);
        QCOMPARE(drops.size(), 1u);
        QCOMPARE(edit.toPlainText(), QStringLiteral("plain"));  // the edit's own drop
    }

    void formTargetHooksTheWindowAndFailsWithoutOne() {
        QMainWindow window;
        auto* child = new QWidget(&window);
        window.setCentralWidget(child);
        TDropDst drop;
        drop.SetControl(child);
        drop.SetTarget(TDropDst::htForm);
        QCOMPARE(drop.HookedWidget(), static_cast<QWidget*>(&window));

        TDropDst orphan;
        bool raised = false;
        try {
            orphan.SetTarget(TDropDst::htForm);
        } catch (const std::runtime_error& error) {
            raised = QString::fromUtf8(error.what()) == QStringLiteral("フック先を特定できません。");
        }
        QVERIFY(raised);
    }

    void destroyedControlUnhooks() {
        TDropDst drop;
        auto* widget = new QWidget;
        drop.SetControl(widget);
        delete widget;
        QVERIFY(drop.HookedWidget() == nullptr);
        QVERIFY(drop.Control() == nullptr);
        drop.SetControl(nullptr);  // no stale pointer is touched
    }

    void unhookRestoresTheWidgetsOwnDropSetting() {
        QWidget widget;
        QVERIFY(!widget.acceptDrops());
        {
            TDropDst drop;
            drop.SetControl(&widget);
            QVERIFY(widget.acceptDrops());
        }
        QVERIFY(!widget.acceptDrops());
    }
};

QTEST_MAIN(TClipDropTest)
#include "clipdrop_test.moc"
