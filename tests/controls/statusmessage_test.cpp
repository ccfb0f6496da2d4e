// The status panel's result message: hints show over it and it comes back after them; the
// user's next key or click (not a modifier alone) clears it, before the command that key
// starts can set the next one.
#include "StatusMessage.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using namespace xavo;

class TStatusMessageTest : public QObject {
    Q_OBJECT

private slots:
    void hintsShowOverTheResultAndItComesBack() {
        QLabel panel;
        TStatusMessage status(&panel);
        status.ShowResult("3 found");
        QCOMPARE(panel.text(), QStringLiteral("3 found"));
        status.ShowHint("a hint");
        QCOMPARE(panel.text(), QStringLiteral("a hint"));
        status.ShowHint("another hint");
        QCOMPARE(panel.text(), QStringLiteral("another hint"));
        status.ShowHint({});
        QCOMPARE(panel.text(), QStringLiteral("3 found"));
        status.ShowResult("saved");  // a result replaces a result
        QCOMPARE(panel.text(), QStringLiteral("saved"));
        status.ClearResult();
        QCOMPARE(panel.text(), QString());
    }

    // Which inputs end the result: the next command's key or click.
    void inputsThatEndTheResult_data() {
        QTest::addColumn<int>("input");  // 0 key, 1 click, 2 double click, 3 modifier alone
        QTest::addColumn<bool>("ends");
        QTest::newRow("a key") << 0 << true;
        QTest::newRow("a click") << 1 << true;
        QTest::newRow("a double click") << 2 << true;
        QTest::newRow("Shift alone") << 3 << false;
    }
    void inputsThatEndTheResult() {
        QFETCH(int, input);
        QFETCH(bool, ends);
        QLabel panel;
        TStatusMessage status(&panel);
        QLineEdit edit;
        status.ShowResult("3 found");
        switch (input) {
        case 0: QTest::keyClick(&edit, Qt::Key_Down); break;
        case 1: QTest::mouseClick(&edit, Qt::LeftButton); break;
        case 2: QTest::mouseDClick(&edit, Qt::LeftButton); break;
        default: QTest::keyClick(&edit, Qt::Key_Shift, Qt::ShiftModifier); break;
        }
        QCOMPARE(status.Result().isEmpty(), ends);
        QCOMPARE(panel.text().isEmpty(), ends);
    }

    // A short-cut's command sets its result after the key has cleared the old one.
    void aShortCutsResultOutlivesItsKey() {
        QLabel panel;
        TStatusMessage status(&panel);
        QWidget window;
        QAction* command = new QAction(&window);
        command->setShortcut(Qt::Key_F3);
        window.addAction(command);
        connect(command, &QAction::triggered, &status, [&status] { status.ShowResult("not found"); });
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        status.ShowResult("old");
        QTest::keyClick(&window, Qt::Key_F3);
        QCOMPARE(panel.text(), QStringLiteral("not found"));
        QTest::keyClick(&window, Qt::Key_A);
        QCOMPARE(panel.text(), QString());
    }
};

QTEST_MAIN(TStatusMessageTest)
#include "statusmessage_test.moc"
