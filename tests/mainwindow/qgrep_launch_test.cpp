// The external grep without the window: the file part, the command line and how it reaches
// the program as words, where a program is found (or why not), a real detached start, and
// the items taken from Q-GREP's clipboard text.
#include "ErrorText.h"
#include "QGrepLaunch.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cerrno>
#include <filesystem>

#include <sys/stat.h>

using namespace xavo;

namespace {

// An executable shell script at Path that writes its working directory and then its
// arguments, one per line, to Out.
void WriteRecorder(const std::string& path, const std::string& out) {
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(("#!/bin/sh\npwd > '" + out + ".tmp'\nfor a in \"$@\"; do echo \"$a\"; done >> '" + out + ".tmp'\nmv '" +
                out + ".tmp' '" + out + "'\n")
                   .c_str());
    file.close();
    ::chmod(path.c_str(), 0755);
}

// The reason the user is given for Error, in the window's language.
QString Reason(int error) { return QString::fromStdString(ErrorReason(error)); }

QStringList ReadLines(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

}  // namespace

class TQGrepLaunchTest : public QObject {
    Q_OBJECT

private slots:
    void filePart_data() {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("expected");
        QTest::newRow("tag 0: the selected file's name") << 0 << QStringLiteral("a.txt");
        QTest::newRow("tag 1: the mask") << 1 << QStringLiteral("*.txt;*.log");
        QTest::newRow("another tag: nothing") << 2 << QString();
    }
    void filePart() {
        QFETCH(int, tag);
        QFETCH(QString, expected);
        QCOMPARE(QGrepFilePart(tag, "/texts/a.txt", "*.txt;*.log"), expected);
    }

    // A name the program adds reaches it as one word, whatever blanks or quotes it holds;
    // one that needs no quotes is written as it is.
    void aFilePartReachesTheProgramAsOneWord_data() {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("asItIs");
        QTest::newRow("plain name") << 0 << QStringLiteral("a.txt") << true;
        QTest::newRow("a blank") << 0 << QStringLiteral("my notes.txt") << false;
        QTest::newRow("a full-width blank") << 0 << QStringLiteral("メモ　一.txt") << false;
        QTest::newRow("a tab") << 0 << QStringLiteral("a\tb.txt") << false;
        QTest::newRow("double quotes") << 0 << QStringLiteral("say \"hi\".txt") << false;
        QTest::newRow("a quote alone") << 0 << QStringLiteral("x\"y.txt") << false;
        QTest::newRow("a single quote splits nothing") << 0 << QStringLiteral("it's.txt") << true;
        QTest::newRow("a mask with a blank") << 1 << QStringLiteral("my *.txt") << false;
    }
    void aFilePartReachesTheProgramAsOneWord() {
        QFETCH(int, tag);
        QFETCH(QString, name);
        QFETCH(bool, asItIs);
        const std::string bytes = name.toStdString();
        const QString filePart = QGrepFilePart(tag, "/texts/" + bytes, bytes);
        QCOMPARE(filePart == name, asItIs);
        const QString line = QGrepCommandLine("/tools/qgrep", "-E", QStringLiteral("\"漢字 x\""), filePart);
        const TProgramCommand command = SplitProgramCommand(line, [](const QString& w) { return w == "/tools/qgrep"; });
        QCOMPARE(command.Arguments, (QStringList{"-E", QStringLiteral("漢字 x"), name}));
    }

    // The command line as joined, and the words the program receives.
    void commandWords_data() {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("searchText");
        QTest::addColumn<QString>("filePart");
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("default options, a word, the mask")
            << "-1+ -c -E" << QStringLiteral("漢字") << "*.txt" << QStringLiteral("/tools/qgrep -1+ -c -E 漢字 *.txt")
            << QStringList{"-1+", "-c", "-E", QStringLiteral("漢字"), "*.txt"};
        QTest::newRow("blanks in the search text: several words")
            << "-1+ -c -E" << QStringLiteral("漢字 x") << "*.txt" << QStringLiteral("/tools/qgrep -1+ -c -E 漢字 x *.txt")
            << QStringList{"-1+", "-c", "-E", QStringLiteral("漢字"), "x", "*.txt"};
        QTest::newRow("double quotes group")
            << "" << QStringLiteral("\"漢字 x\"") << "a b.txt" << QStringLiteral("/tools/qgrep  \"漢字 x\" a b.txt")
            << QStringList{QStringLiteral("漢字 x"), "a", "b.txt"};
        QTest::newRow("nothing but the program") << "" << "" << "" << QStringLiteral("/tools/qgrep   ") << QStringList{};
    }
    void commandWords() {
        QFETCH(QString, options);
        QFETCH(QString, searchText);
        QFETCH(QString, filePart);
        QFETCH(QString, commandLine);
        QFETCH(QStringList, arguments);
        const QString joined = QGrepCommandLine("/tools/qgrep", options, searchText, filePart);
        QCOMPARE(joined, commandLine);
        const TProgramCommand command = SplitProgramCommand(joined, [](const QString& w) { return w == "/tools/qgrep"; });
        QCOMPARE(command.ProgramWord, QStringLiteral("/tools/qgrep"));
        QCOMPARE(command.Arguments, arguments);
    }

    // Which part of the command line names the program.
    void programWord_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("programWord");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unquoted path with a blank") << "/my tools/qgrep -E x" << "/my tools/qgrep" << QStringList{"-E", "x"};
        QTest::newRow("quoted path") << "\"/my tools/qgrep\" -E" << "/my tools/qgrep" << QStringList{"-E"};
        QTest::newRow("the shortest prefix wins") << "/a b c" << "/a" << QStringList{"b", "c"};
        QTest::newRow("no program: the first word") << "/none x y" << "/none" << QStringList{"x", "y"};
        QTest::newRow("leading blanks") << "  /a x" << "/a" << QStringList{"x"};
    }
    void programWord() {
        QFETCH(QString, commandLine);
        QFETCH(QString, programWord);
        QFETCH(QStringList, arguments);
        const auto isProgram = [](const QString& w) { return w == "/my tools/qgrep" || w == "/a" || w == "/a b"; };
        const TProgramCommand command = SplitProgramCommand(commandLine, isProgram);
        QCOMPARE(command.ProgramWord, programWord);
        QCOMPARE(command.Arguments, arguments);
    }

    void findProgram() {
        test::TTempDir dir;
        WriteRecorder(dir.Path("run"), dir.Path("out"));
        dir.File("plain", "text");
        std::filesystem::create_directory(dir.Path("sub"));
        const QString root = QString::fromStdString(dir.Root()).chopped(1);
        QString reason;
        QCOMPARE(FindProgram(root + "/run", &reason), root + "/run");
        const QString previous = QDir::currentPath();
        QDir::setCurrent(root + "/sub");
        QCOMPARE(FindProgram("../run"), root + "/run");  // from the current directory
        QDir::setCurrent(previous);
        QVERIFY(FindProgram("sh").endsWith("/sh"));      // along PATH
        const struct {
            QString Word;
            QString Reason;
        } failures[] = {{root + "/missing", Reason(ENOENT)},
                        {root + "/sub", Reason(EISDIR)},
                        {root + "/plain", Reason(EACCES)},
                        {"no-such-program-anywhere", Reason(ENOENT)},
                        {"", Reason(ENOENT)}};
        for (const auto& failure : failures) {
            reason.clear();
            QVERIFY2(FindProgram(failure.Word, &reason).isEmpty(), qPrintable(failure.Word));
            QCOMPARE(reason, failure.Reason);
        }
    }

    void execProcessStartsInDirectory() {
        test::TTempDir dir;
        const std::string program = dir.Path("my tools/qgrep");
        std::filesystem::create_directories(dir.Path("my tools"));
        std::filesystem::create_directories(dir.Path("texts"));
        WriteRecorder(program, dir.Path("out"));
        const QString directory = QString::fromStdString(dir.Path("texts"));
        const TStartResult start = ExecProcess(QString::fromStdString(program) + QStringLiteral(" -E 漢字 x *.txt"), directory);
        QVERIFY2(start.Started, qPrintable(start.Reason));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QString::fromStdString(dir.Path("out"))), 10000);
        QCOMPARE(ReadLines(dir.Path("out")), (QStringList{directory, "-E", QStringLiteral("漢字"), "x", "*.txt"}));
    }

    void execProcessReportsWhyNot() {
        test::TTempDir dir;
        const QString missing = QString::fromStdString(dir.Path("qgrep"));
        TStartResult start = ExecProcess(missing + " -E x", {});
        QVERIFY(!start.Started);
        QCOMPARE(start.Program, missing);
        QCOMPARE(start.Reason, Reason(ENOENT));
        WriteRecorder(dir.Path("run"), dir.Path("out"));
        start = ExecProcess(QString::fromStdString(dir.Path("run")), QString::fromStdString(dir.Path("gone")));
        QVERIFY(!start.Started);
        QVERIFY(start.Reason.contains(Reason(ENOENT)));
    }

    // The items Q-GREP's clipboard text leaves in the results list.
    void resultItems_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("items");  // as UTF-8 text for readability
        QTest::newRow("heading, one hit, rule, final line break")
            << "*** qgrep 漢字\r\n/t/a.txt 3:abc\r\n========\r\n" << QStringList{"/t/a.txt 3:abc"};
        QTest::newRow("the last line goes whatever it holds")
            << "/t/a.txt 1:x\n/t/a.txt 2:y" << QStringList{"/t/a.txt 1:x"};
        QTest::newRow("LF and CR end lines too, empty lines go")
            << "/t/a.txt 1:x\n\n/t/b.txt 2:y\r\r\n/t/c.txt 3:z\n/t/d.txt 4:w\n"
            << QStringList{"/t/a.txt 1:x", "/t/b.txt 2:y", "/t/c.txt 3:z"};
        QTest::newRow("a final line break: the last line holding text goes")
            << "/t/a.txt 1:x\r\n2 lines found\r\n" << QStringList{"/t/a.txt 1:x"};
        QTest::newRow("empty lines after the summary")
            << "/t/a.txt 1:x\n/t/b.txt 2:y\n\r\n\n" << QStringList{"/t/a.txt 1:x"};
        QTest::newRow("only a leading * or = removes a line")
            << "x *y 1:z\n= a\n*\n/t/a.txt 4: *=\nsummary\n" << QStringList{"x *y 1:z", "/t/a.txt 4: *="};
        QTest::newRow("empty text") << "" << QStringList{};
    }
    void resultItems() {
        QFETCH(QString, text);
        QFETCH(QStringList, items);
        QStringList got;
        for (const std::string& item : QGrepResultItems(text, [](const std::string&) { return false; }))
            got << QString::fromStdString(item);
        QCOMPARE(got, items);
    }

    // The path stays file-system bytes (UTF-8), the text becomes Shift-JIS; the path ends
    // where an existing file's name does.
    void resultItemBytes() {
        const auto isFile = [](const std::string& path) { return path == "/t/\xe6\xbc\xa2 1:x.txt"; };
        const std::vector<std::string> items = QGrepResultItems(QStringLiteral("/t/漢 1:x.txt 2:漢字\n/t/b 5:漢\n=== 2\n"), isFile);
        QCOMPARE(items.size(), std::size_t{2});
        QCOMPARE(items[0], std::string("/t/\xe6\xbc\xa2 1:x.txt 2:\x8a\xbf\x8e\x9a"));
        QCOMPARE(items[1], std::string("/t/b 5:\x8a\xbf"));
    }
};

QTEST_GUILESS_MAIN(TQGrepLaunchTest)
#include "qgrep_launch_test.moc"
