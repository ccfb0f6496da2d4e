// xavoline-qgrep: its arguments as the grep's (wildcard words as the mask), the clipboard
// text it builds and what the window's pick-up makes of it, and the clipboard offer that
// keeps the text until it is taken, replaced or a few seconds have passed.
#include "QGrepHelper.h"
#include "QGrepLaunch.h"
#include "ResultLine.h"
#include "SjisQt.h"
#include "TempDir.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QtTest>

#include <filesystem>

using namespace xavo;
using namespace std::chrono_literals;

class TQGrepHelperTest : public QObject {
    Q_OBJECT

private slots:
    void options_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("recursive");
        QTest::newRow("a mask word") << QStringList{"x", "*.txt"} << "*.txt" << QStringList{"."} << false;
        QTest::newRow("several masks, recursive")
            << QStringList{"-r", "x", "*.txt;*.log", "a?.c"} << "*.txt;*.log;a?.c" << QStringList{"."} << true;
        QTest::newRow("a file name") << QStringList{"x", "a.txt"} << "*" << QStringList{"a.txt"} << false;
        QTest::newRow("no file part") << QStringList{"--fuzzy", "x"} << "*" << QStringList{} << false;
        QTest::newRow("the window's default options are no options")
            << QStringList{"-1+", "-c", "-E", "-r", "x", "*.txt"} << "*.txt" << QStringList{"."} << true;
    }
    void options() {
        QFETCH(QStringList, args);
        QFETCH(QString, mask);
        QFETCH(QStringList, paths);
        QFETCH(bool, recursive);
        std::vector<std::string> words;
        for (const QString& arg : args) words.push_back(arg.toStdString());
        const TGrepOptions options = QGrepHelperOptions(words);
        QCOMPARE(QString::fromStdString(options.Mask), mask);
        QStringList got;
        for (const std::string& path : options.Paths) got << QString::fromStdString(path);
        QCOMPARE(got, paths);
        QCOMPARE(options.Recursive, recursive);
        QCOMPARE(options.Pattern, std::string("x"));
        QVERIFY(options.Report.Listing == TListing::Lines);
        QVERIFY(options.Utf8Output);
    }

    // The whole loop short of the clipboard: the helper's text over a directory, picked up
    // as the window does, is the grep's hit lines, also with the window's default options.
    void textPickedUp_data() {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("no options") << QStringList{};
        QTest::newRow("the window's default options") << QStringList{"-1+", "-c", "-E"};
    }
    void textPickedUp() {
        QFETCH(QStringList, options);
        std::vector<std::string> args;
        for (const QString& option : options) args.push_back(option.toStdString());
        args.insert(args.end(), {"\xe6\xbc\xa2\xe5\xad\x97", "*.txt"});
        test::TTempDir dir;
        const std::string a = dir.File("a.txt", "one\r\n\x8a\xbf\x8e\x9a two\r\n");  // 漢字
        const std::string b = dir.File("b.txt", "***\r\n=\x8a\xbf\x8e\x9a\r\n");
        dir.File("c.log", "\x8a\xbf\x8e\x9a\r\n");
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.Root());
        int status = -1;
        const std::string text = QGrepClipboardText(args, status);
        std::filesystem::current_path(previous);
        QCOMPARE(status, 0);
        QVERIFY(text.starts_with("*** xavoline-qgrep "));
        QVERIFY(text.ends_with("=== 2 lines\n"));
        const std::vector<std::string> items = QGrepResultItems(QString::fromStdString(text), IsExistingFile);
        QCOMPARE(items, (std::vector<std::string>{a + " 2:\x8a\xbf\x8e\x9a two", b + " 2:=\x8a\xbf\x8e\x9a"}));
    }

    // A command line the grep refuses: its message reaches the list in Japanese, with a hint.
    void refusedOptionsShown() {
        int status = -1;
        const std::string text = QGrepClipboardText({"--bogus", "x", "*.txt"}, status);
        QCOMPARE(status, 2);
        const std::vector<std::string> items =
            QGrepResultItems(QString::fromStdString(text), [](const std::string&) { return false; });
        QCOMPARE(items.size(), std::size_t{2});
        const QString message = SjisToQString(items[0]);
        QVERIFY2(message.startsWith(QStringLiteral("xavoline-qgrep: コマンドラインを解釈できません")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("--bogus")), qPrintable(message));
        QVERIFY(SjisToQString(items[1]).contains(QStringLiteral("QGrep起動ｵﾌﾟｼｮﾝ")));
    }

    void offerEndsWhenTaken() {
        QClipboard* clipboard = QGuiApplication::clipboard();
        TClipboardOffer offer(clipboard, QStringLiteral("/t/a.txt 1:漢字\n"), 50ms, 10s);
        QSignalSpy finished(&offer, &TClipboardOffer::finished);
        QTest::qWait(100);
        QCOMPARE(finished.size(), 0);  // nobody has read it yet
        QCOMPARE(clipboard->text(), QStringLiteral("/t/a.txt 1:漢字\n"));
        QVERIFY(offer.Taken());
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 2000);
    }

    void offerEndsWhenReplacedOrLate() {
        QClipboard* clipboard = QGuiApplication::clipboard();
        {
            TClipboardOffer offer(clipboard, "mine", 10s, 10s);
            QSignalSpy finished(&offer, &TClipboardOffer::finished);
            clipboard->setText("someone else's");
            QCOMPARE(finished.size(), 1);
            QVERIFY(!offer.Taken());
        }
        TClipboardOffer offer(clipboard, "mine", 10s, 100ms);
        QSignalSpy finished(&offer, &TClipboardOffer::finished);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 2000);
        QVERIFY(!offer.Taken());
    }
};

QTEST_MAIN(TQGrepHelperTest)
#include "qgrep_helper_test.moc"
