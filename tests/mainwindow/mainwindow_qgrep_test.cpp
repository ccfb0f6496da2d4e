// The Q-GREP menu on the real window: a launch starts a recording script with the command
// line in the file list's directory, the next clipboard change becomes the results list
// (and a jump works on it), a change while nothing is pending or after the pick-up changes
// nothing, a failed start is reported and leaves nothing pending, and the program and
// option items.
#include "ClipDetector.h"
#include "DirTree.h"
#include "ErrorText.h"
#include "FormFixture.h"
#include "QGrepCommands.h"
#include "ShellListBox.h"
#include "TextListBox.h"
#include "XavoMemo.h"

#include <QAction>
#include <QClipboard>
#include <QMenu>

#include <sys/stat.h>

using namespace xavo;
using xavo::test::TFormFixture;

namespace {

// An executable script that writes its working directory and arguments, a line each, to Out.
std::string WriteRecorder(TFormFixture& f, const std::string& name, const std::string& out) {
    const std::string path = f.Dir.File(name, "#!/bin/sh\npwd > '" + out + ".tmp'\nfor a in \"$@\"; do echo \"$a\"; done >> '" +
                                                   out + ".tmp'\nmv '" + out + ".tmp' '" + out + "'\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

// What the script recorded, once it has.
QStringList Recorded(const std::string& out) {
    QFile file(QString::fromStdString(out));
    if (!QTest::qWaitFor([&] { return file.exists(); }, 10000) || !file.open(QIODevice::ReadOnly)) return {"not started"};
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    lines.removeLast();
    return lines;
}

std::vector<std::string> Items(const TTextListBox* list) {
    std::vector<std::string> items;
    for (int i = 0; i < list->Count(); ++i) items.push_back(list->Item(i));
    return items;
}

void SetClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }

}  // namespace

class TMainWindowQGrepTest : public QObject {
    Q_OBJECT

private:
    // The window shown on the scratch directory with the recorder as the program.
    static TForm1& WithRecorder(TFormFixture& f, std::string& out) {
        TForm1& form = f.Shown();
        out = f.Dir.Path("args.out");
        form.GrepExe() = WriteRecorder(f, "qgrep", out);
        return form;
    }

    static bool Pending(TFormFixture& f) { return f.Form->QGrep().QGrepPending(); }
    static bool Watching(TFormFixture& f) { return f.C().ZqClipDetector1->Watching(); }

private slots:
    // Ctrl+Q's item: the command line, started in the list's directory; the result
    // arrives; the list holds its hit, and a jump opens it.
    void launchAndPickUp() {
        TFormFixture f;
        std::string out;
        TForm1& form = WithRecorder(f, out);
        const std::string text = f.Dir.File("a.txt", "one\r\ntwo\r\nabc\r\n");
        const TForm1Components& c = f.C();
        QVERIFY(c.MmShowQGC->isChecked());
        QCOMPARE(c.MmQGrepDir->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        f.Script.Inputs.push_back(QStringLiteral("漢字 x"));
        c.MmQGrepDir->trigger();
        const QString program = QString::fromStdString(form.GrepExe());
        QCOMPARE(f.Boxes.Informations, QStringList{program + QStringLiteral(" -1+ -c -E 漢字 x *.txt")});
        QCOMPARE(Recorded(out), (QStringList{QString::fromStdString(c.SLBox->Directory()).chopped(1), "-1+", "-c", "-E",
                                             QStringLiteral("漢字"), "x", "*.txt"}));
        QVERIFY(Pending(f));
        QVERIFY(Watching(f));

        SetClipboard(QStringLiteral("*** 漢字\r\n%1 3:abc\r\n=====\r\n").arg(QString::fromStdString(text)));
        QCOMPARE(Items(c.LbGrep), std::vector<std::string>{text + " 3:abc"});
        QVERIFY(!Pending(f));
        QVERIFY(!Watching(f));
        QVERIFY(form.CurrentFile().empty());  // no jump of its own
        c.MmJumpNext->trigger();
        QCOMPARE(form.CurrentFile(), text);
        QCOMPARE(c.Memo->CaretLine(), 2);

        SetClipboard("later copy\n");  // taken once only
        QCOMPARE(c.LbGrep->Count(), 1);
        QVERIFY(f.Boxes.Errors.isEmpty());
        QVERIFY(f.Script.Unexpected.isEmpty());
    }

    // The selected file's item passes its name; without the option no box is shown.
    void selectedFileWithoutBox() {
        TFormFixture f;
        std::string out;
        f.Dir.File("b.txt", "x\r\n");
        TForm1& form = WithRecorder(f, out);
        const TForm1Components& c = f.C();
        c.MmShowQGC->trigger();
        c.SLBox->SetDirectory(c.SLBox->Directory());
        const QRect rect = c.SLBox->visualRect(c.SLBox->model()->index(0, 0));
        QTest::mouseClick(c.SLBox->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(c.SLBox->SelectedFileName(), f.Dir.Path("b.txt"));
        f.Script.Inputs.push_back(QStringLiteral("x"));
        c.MmQSubDir->trigger();
        QCOMPARE(Recorded(out).mid(1), (QStringList{"-1+", "-c", "-E", "x", "b.txt"}));
        QVERIFY(f.Boxes.Informations.isEmpty());
        QVERIFY(Pending(f));
        (void)form;
    }

    // Nothing chosen in the list: the item searches the shown file, in its own directory;
    // with no file shown either, it starts nothing.
    void selectedFileIsTheShownOneWhenNoneWasChosen() {
        TFormFixture f;
        std::filesystem::create_directory(f.Dir.Path("sub"));
        const std::string shown = f.Dir.File("sub/my notes.txt", "x\r\n");
        f.Open(shown);
        std::string out;
        WithRecorder(f, out);
        const TForm1Components& c = f.C();
        c.MmShowQGC->trigger();
        QVERIFY(c.SLBox->SelectedFileName().empty());
        f.Script.Inputs.push_back(QStringLiteral("x"));
        c.MmQSubDir->trigger();
        QCOMPARE(Recorded(out), (QStringList{QString::fromStdString(f.Dir.Path("sub")), "-1+", "-c", "-E", "x",
                                             QStringLiteral("my notes.txt")}));

        f.Open();
        WithRecorder(f, out);
        f.C().MmQSubDir->trigger();
        QVERIFY(!Pending(f));
        QVERIFY(f.Script.Unexpected.isEmpty());  // not even asked for a search text
    }

    // A clipboard change while nothing is pending, a second launch before the result, a
    // cancelled search text.
    void pendingStates() {
        TFormFixture f;
        std::string out;
        WithRecorder(f, out);
        const TForm1Components& c = f.C();
        c.MmShowQGC->trigger();
        c.LbGrep->Add(std::string_view("kept 1:x"));
        SetClipboard("/t/a.txt 1:x\n\n");
        QCOMPARE(Items(c.LbGrep), std::vector<std::string>{"kept 1:x"});
        QVERIFY(!Watching(f));

        f.Script.Inputs.push_back(std::nullopt);  // cancelled: nothing starts
        c.MmQGrepDir->trigger();
        QVERIFY(!Pending(f));
        QVERIFY(!Watching(f));

        f.Script.Inputs.push_back(QStringLiteral("a"));
        f.Script.Inputs.push_back(QStringLiteral("b"));
        c.MmQGrepDir->trigger();
        c.MmQGrepDir->trigger();
        QVERIFY(Pending(f));
        SetClipboard("/t/first 1:x\n1 line\n");
        QCOMPARE(Items(c.LbGrep), std::vector<std::string>{"/t/first 1:x"});
        SetClipboard("/t/second 1:x\n\n");
        QCOMPARE(c.LbGrep->Count(), 1);
        QVERIFY(!Pending(f) && !Watching(f));
        QVERIFY(f.Boxes.Errors.isEmpty());
    }

    // A program that cannot be started: the error box names it and why; nothing pending.
    void failedStart() {
        TFormFixture f;
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        c.MmShowQGC->trigger();
        for (const std::string& program : {f.Dir.File("plain", "not a program"), std::string()}) {
            form.GrepExe() = program;
            f.Boxes.Errors.clear();
            f.Script.Inputs.push_back(QStringLiteral("x"));
            c.MmQGrepDir->trigger();
            QCOMPARE(f.Boxes.Errors.size(), 1);
            if (!program.empty()) {
                QVERIFY(f.Boxes.Errors[0].contains(QString::fromStdString(program)));
                QVERIFY(f.Boxes.Errors[0].contains(QString::fromStdString(ErrorReason(EACCES))));
            }
            QVERIFY(!Pending(f));
            QVERIFY(!Watching(f));
        }
    }

    // The menu's other items: the selected-file item follows the program's presence, the
    // program from the open dialog, the options from the input box (Cancel keeps them).
    void programAndOptions() {
        TFormFixture f;
        std::string out;
        TForm1& form = WithRecorder(f, out);
        const TForm1Components& c = f.C();
        const std::string recorder = form.GrepExe();
        emit c.Grep21->aboutToShow();
        QVERIFY(c.MmQSubDir->isEnabled());
        QVERIFY(c.MmQGrepDir->isEnabled());
        form.GrepExe() = f.Dir.Path("missing");
        emit c.Grep21->aboutToShow();
        QVERIFY(!c.MmQSubDir->isEnabled());
        QVERIFY(c.MmQGrepDir->isEnabled());

        f.Script.OpenPaths.push_back(std::nullopt);
        c.Grep1->trigger();
        QCOMPARE(form.GrepExe(), f.Dir.Path("missing"));
        f.Script.OpenPaths.push_back(recorder);
        c.Grep1->trigger();
        QCOMPARE(form.GrepExe(), recorder);

        f.Script.Inputs.push_back(std::nullopt);
        c.QGrepOption1->trigger();
        QCOMPARE(form.GrepOpt(), std::string("-1+ -c -E"));
        f.Script.Inputs.push_back(QStringLiteral("--fuzzy -r"));
        c.QGrepOption1->trigger();
        QCOMPARE(form.GrepOpt(), std::string("--fuzzy -r"));
        QVERIFY(f.Script.Unexpected.isEmpty());
    }
};

QTEST_MAIN(TMainWindowQGrepTest)
#include "mainwindow_qgrep_test.moc"
