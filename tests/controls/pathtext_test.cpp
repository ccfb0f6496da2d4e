// File names as text: each part of a path decoded as UTF-8, else as Shift-JIS when that is
// valid, else as the locale does; and URLs that carry a name's bytes whatever they are.
#include "PathText.h"

#include <QtTest>

using namespace xavo;

class TPathTextTest : public QObject {
    Q_OBJECT

private slots:
    void shownText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ASCII") << QByteArray("/home/a b.txt") << QStringLiteral("/home/a b.txt");
        QTest::newRow("UTF-8") << QByteArray("/t/\xe6\xbc\xa2\xe5\xad\x97.txt") << QStringLiteral("/t/漢字.txt");
        QTest::newRow("Shift-JIS") << QByteArray("/t/\x83\x65\x83\x58\x83\x67.txt") << QStringLiteral("/t/テスト.txt");
        QTest::newRow("half-width katakana") << QByteArray("\xb6\xc0\xb6\xc5") << QStringLiteral("ｶﾀｶﾅ");
        QTest::newRow("a 5C trail byte") << QByteArray("/t/\x95\x5c.txt") << QStringLiteral("/t/表.txt");
        QTest::newRow("each part on its own")
            << QByteArray("/\xe6\xbc\xa2/\x8a\xbf\x8e\x9a/\xe6\xbc\xa2") << QStringLiteral("/漢/漢字/漢");
        QTest::newRow("valid UTF-8 wins") << QByteArray("\xc3\xa9") << QStringLiteral("é");
        QTest::newRow("neither: as the locale") << QByteArray("a\xff\xfe") << QStringLiteral("a\uFFFD\uFFFD");
        QTest::newRow("an unassigned Shift-JIS code") << QByteArray("\x85\x40") << QStringLiteral("\uFFFD@");
        QTest::newRow("a lead byte at the end") << QByteArray("a\x83") << QStringLiteral("a\uFFFD");
        QTest::newRow("root") << QByteArray("/") << QStringLiteral("/");
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void shownText() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(PathToQString(bytes.toStdString()), shown);
    }

    // A URL holds the bytes of any name; URLs of other programs are read as well.
    void urlsCarryTheBytes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ASCII with a blank") << QByteArray("/t/a b.txt");
        QTest::newRow("UTF-8") << QByteArray("/t/\xe6\xbc\xa2\xe5\xad\x97.txt");
        QTest::newRow("Shift-JIS") << QByteArray("/t/\x83\x65\x83\x58\x83\x67.txt");
        QTest::newRow("neither") << QByteArray("/t/\xff%#?.txt");
    }
    void urlsCarryTheBytes() {
        QFETCH(QByteArray, bytes);
        const QUrl url = PathToUrl(bytes.toStdString());
        QVERIFY(url.isLocalFile());
        QCOMPARE(PathFromUrl(url), bytes.toStdString());
        QCOMPARE(PathFromUrl(QUrl(url.toString())), bytes.toStdString());  // as text and back
    }
    void otherProgramsUrls() {
        QCOMPARE(PathFromUrl(QUrl::fromLocalFile(QStringLiteral("/t/漢字 x.txt"))),
                 std::string("/t/\xe6\xbc\xa2\xe5\xad\x97 x.txt"));
        QCOMPARE(PathFromUrl(QUrl("file:///t/%83%65.txt")), std::string("/t/\x83\x65.txt"));
        QCOMPARE(PathFromUrl(QUrl("https://example.com/a.txt")), std::string());
    }
};

QTEST_GUILESS_MAIN(TPathTextTest)
#include "pathtext_test.moc"
