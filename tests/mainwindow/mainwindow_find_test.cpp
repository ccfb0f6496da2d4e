// Find, find across files, replace and batch replace on the real window over temporary
// trees: the repeat keys and their direction, the dialogs' find-next buttons, the walk
// through the file list (a file holding the bytes only across a character boundary passed
// over), the replace buttons, replace all as one undo step, and the batch with its output
// tree, the shown file's edited text, the overwrite question, a refused empty text, each
// output's form, a cancel and an error part way; what a batch must not do: leave the view
// changed, rewrite sources without the text or lose their owner and links, replace outputs
// unasked, stop for a vanished source, make UTF-8 text invalid. Also: the view and the
// byte-level replace write the same bytes.
#include "BrowseDialog.h"
#include "BatchReplace.h"
#include "DirTree.h"
#include "FindDialogs.h"
#include "FmRepl.h"
#include "FormFixture.h"
#include "ShellListBox.h"
#include "SjisQt.h"
#include "ViewReplace.h"
#include "Rtf.h"
#include "XavoMemo.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include <filesystem>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace xavo;
using xavo::test::ReadBytes;
using xavo::test::TFormFixture;

namespace {

namespace fs = std::filesystem;

const std::string kHyoji = "\x95\x5c\x8e\xa6";                          // 表示
const std::string kAcross = "\x8e\x95\x5c\x8e\xa6";                     // 歯\示: 表示's bytes from a trail byte on

void Activate(QWidget* window) {
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) qWarning("the window did not become active");
}

std::vector<std::string> Names(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(directory))
        names.push_back(fs::relative(entry.path(), directory).string());
    std::sort(names.begin(), names.end());
    return names;
}

struct TBatch {
    QString Find, Replacement;
    bool MatchCase = false;
    bool SubDirectories = false;
    std::string Output;
};

// Scripts the batch dialog and the folder picker for the next batch replace.
void ScriptBatch(TForm1& form, const TBatch& batch, int* pickerShown = nullptr) {
    form.Dialogs().Execute = [batch](QDialog& dialog) {
        auto& fmRepl = static_cast<TFmRepl&>(dialog);
        fmRepl.EdFind->setText(batch.Find);
        fmRepl.EdRepl->setText(batch.Replacement);
        fmRepl.CbMatchCase->setChecked(batch.MatchCase);
        fmRepl.CbSubDir->setChecked(batch.SubDirectories);
        return true;
    };
    form.Dialogs().BrowseFolder = [batch, pickerShown](TBrowseDialog& picker) {
        if (pickerShown != nullptr) ++*pickerShown;
        picker.SetDirectory(batch.Output);
        return true;
    };
}

// Shows the window on src/ holding Count files "N.txt" with "foo N", and scripts the batch
// "foo" -> "bar" into out/.
TForm1& ShownOverNumberedSources(TFormFixture& f, int count) {
    fs::create_directories(f.Dir.Path("src"));
    fs::create_directories(f.Dir.Path("out"));
    for (int i = 0; i < count; ++i) f.Dir.File("src/" + std::to_string(i) + ".txt", "foo " + std::to_string(i));
    TForm1& form = f.Shown();
    f.C().DTView->SetDirectory(f.Dir.Path("src/"));
    ScriptBatch(form, {QStringLiteral("foo"), QStringLiteral("bar"), false, false, f.Dir.Path("out")});
    return form;
}

// Runs the scripted batch, calling Tick whenever it lets events through.
void RunBatchWatching(const TForm1Components& c, const std::function<void()>& tick) {
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, tick);
    watch.start();
    c.ReplaceEx1->trigger();
    watch.stop();
}

}  // namespace

class TMainWindowFindTest : public QObject {
    Q_OBJECT

private slots:
    void theRepeatKeysNeedATextAndForceTheDirection() {
        TFormFixture f;
        f.ShownWithFile("a.txt", "abc abc abc\r\n");
        TForm1& form = *f.Form;
        int beeps = 0;
        form.Dialogs().Beep = [&] { ++beeps; };
        const TForm1Components& c = f.C();

        QTest::keyClick(&form, Qt::Key_F3);
        QTest::keyClick(&form, Qt::Key_F4, Qt::ShiftModifier);
        QCOMPARE(beeps, 0);
        QCOMPARE(c.Memo->SelLength(), 0);

        c.MmFind->trigger();
        QVERIFY(c.FindDialog->isVisible());
        c.FindDialog->EdFind->setText(QStringLiteral("abc"));
        c.FindDialog->RbUp->setChecked(true);
        c.FindDialog->BtFindNext->click();  // upwards from the start: nothing
        QVERIFY(!c.FindDialog->isVisible());
        QCOMPARE(beeps, 1);
        Activate(&form);

        QTest::keyClick(&form, Qt::Key_F3);
        QCOMPARE(c.Memo->SelStart(), 0);
        QTest::keyClick(&form, Qt::Key_F3);
        QCOMPARE(c.Memo->SelStart(), 4);
        QCOMPARE(c.Memo->SelLength(), 3);
        c.MmFind->trigger();
        QVERIFY(c.FindDialog->RbDown->isChecked());
        QCOMPARE(c.FindDialog->EdFind->selectedText(), QStringLiteral("abc"));
        c.FindDialog->close();
        Activate(&form);

        QTest::keyClick(&form, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(c.Memo->SelStart(), 0);
        QVERIFY(!(form.FindState().Options & frDown));
        // The tool button: right button upwards, any other downwards.
        QTest::mouseClick(c.SbFindDw, Qt::LeftButton);
        QTest::mouseClick(c.SbFindDw, Qt::LeftButton);
        QCOMPARE(c.Memo->SelStart(), 8);
        QTest::mouseClick(c.SbFindDw, Qt::RightButton);
        QCOMPARE(c.Memo->SelStart(), 4);
        QCOMPARE(beeps, 1);
    }

    void theReplaceDialogsFindNextLeavesItOpen() {
        TFormFixture f;
        f.ShownWithFile("a.txt", "x abc\r\n");
        const TForm1Components& c = f.C();
        c.MmEditMode->trigger();
        c.SbReplace->click();
        QVERIFY(c.ReplaceDialog->isVisible());
        c.ReplaceDialog->EdFind->setText(QStringLiteral("ABC"));
        c.ReplaceDialog->BtFindNext->click();
        QVERIFY(c.ReplaceDialog->isVisible());
        QCOMPARE(c.Memo->SelStart(), 2);
    }

    void findAcrossFilesWalksTheListUntilTheTextTurnsUp() {
        TFormFixture f;
        f.Dir.File("a.txt", "nothing here\r\n");
        f.Dir.File("b.txt", "x" + kAcross + "\r\n");
        f.Dir.File("c.txt", "12 " + kHyoji + " 3 " + kHyoji + "\r\n");
        f.Dir.File("d.txt", kHyoji);
        f.Dir.File("e.txt", "none\r\n");
        TForm1& form = f.Shown();
        int beeps = 0;
        form.Dialogs().Beep = [&] { ++beeps; };
        const TForm1Components& c = f.C();
        c.SLBox->SetItemIndex(0);
        QVERIFY(form.OpenFile(f.Dir.Path("a.txt")));
        form.FindState().Text = kHyoji;
        QSignalSpy loads(&form, &TForm1::fileOpened);

        QTest::keyClick(&form, Qt::Key_F4);
        QCOMPARE(form.CurrentFile(), f.Dir.Path("c.txt"));
        QCOMPARE(c.SLBox->ItemIndex(), 2);
        QCOMPARE(loads.size(), 2);  // b searched and passed over
        QCOMPARE(c.Memo->SelStart(), 3);
        QCOMPARE(c.Memo->SelLength(), 4);
        QTest::keyClick(&form, Qt::Key_F4);
        QCOMPARE(c.Memo->SelStart(), 10);
        QTest::mouseClick(c.SbFindEx, Qt::LeftButton);
        QCOMPARE(form.CurrentFile(), f.Dir.Path("d.txt"));
        QCOMPARE(beeps, 0);
        QTest::keyClick(&form, Qt::Key_F4);  // nowhere further: the last file stays shown
        QCOMPARE(form.CurrentFile(), f.Dir.Path("e.txt"));
        QCOMPARE(beeps, 1);
        QCOMPARE(c.SLBox->ItemIndex(), 4);
        QTest::keyClick(&form, Qt::Key_F3);  // F3 alone stays in the file
        QCOMPARE(form.CurrentFile(), f.Dir.Path("e.txt"));
        QCOMPARE(beeps, 2);
    }

    void findAcrossBackwardsSelectsTheLastOccurrenceOfThePreviousFile() {
        for (const std::string& end : {std::string(), std::string("\r\n")}) {
            TFormFixture f;
            f.Dir.File("a.txt", kHyoji + " 1\r\n" + kHyoji + " 2" + end);
            f.Dir.File("b.txt", "zzz\r\n");
            TForm1& form = f.Shown();
            const TForm1Components& c = f.C();
            c.SLBox->SetItemIndex(1);
            QVERIFY(form.OpenFile(f.Dir.Path("b.txt")));
            form.FindState().Text = kHyoji;
            QTest::mouseClick(c.SbFindEx, Qt::RightButton);
            QCOMPARE(form.CurrentFile(), f.Dir.Path("a.txt"));
            QCOMPARE(c.SLBox->ItemIndex(), 0);
            QCOMPARE(c.Memo->SelStart(), 8);
            QTest::keyClick(&form, Qt::Key_F4, Qt::ShiftModifier);
            QCOMPARE(c.Memo->SelStart(), 0);
        }
    }

    void replaceWorksInEditModeOnly() {
        TFormFixture f;
        f.ShownWithFile("a.txt", "abc\r\n");
        const TForm1Components& c = f.C();
        QVERIFY(!c.MmReplace->isEnabled());
        c.SbReplace->click();
        QVERIFY(!c.ReplaceDialog->isVisible());
        c.MmEditMode->trigger();
        QVERIFY(c.MmReplace->isEnabled());
        c.MmReplace->trigger();
        QVERIFY(c.ReplaceDialog->isVisible());
    }

    void theReplaceButtonTakesASelectionOfAnotherCaseAndSelectsTheNext() {
        TFormFixture f;
        f.ShownWithFile("a.txt", "ABC abc Abc abc");
        TForm1& form = *f.Form;
        int beeps = 0;
        form.Dialogs().Beep = [&] { ++beeps; };
        const TForm1Components& c = f.C();
        c.MmEditMode->trigger();
        c.Memo->SetSelStart(0);
        c.Memo->SetSelLength(3);
        c.MmReplace->trigger();
        c.ReplaceDialog->EdFind->setText(QStringLiteral("abc"));
        c.ReplaceDialog->EdReplace->setText(QStringLiteral("xy"));
        c.ReplaceDialog->CbMatchCase->setChecked(true);
        c.ReplaceDialog->BtReplace->click();
        QCOMPARE(c.Memo->Text(), std::string("xy abc Abc abc"));
        QCOMPARE(c.Memo->SelStart(), 3);
        c.ReplaceDialog->BtReplace->click();
        QCOMPARE(c.Memo->Text(), std::string("xy xy Abc abc"));
        QCOMPARE(c.Memo->SelStart(), 10);
        c.ReplaceDialog->BtReplace->click();
        c.ReplaceDialog->BtReplace->click();
        QCOMPARE(c.Memo->Text(), std::string("xy xy Abc xy"));
        QCOMPARE(beeps, 2);
        QVERIFY(c.ReplaceDialog->isVisible());
    }

    void replaceAllClosesTheDialogAndIsOneUndoStep() {
        TFormFixture f;
        const std::string text = "foo a\r\nFOO b\nfoo c";
        f.ShownWithFile("a.txt", text);
        TForm1& form = *f.Form;
        int beeps = 0;
        form.Dialogs().Beep = [&] { ++beeps; };
        const TForm1Components& c = f.C();
        c.MmEditMode->trigger();
        c.Memo->SetSelStart(1);  // from the caret on
        c.MmReplace->trigger();
        c.ReplaceDialog->EdFind->setText(QStringLiteral("foo"));
        c.ReplaceDialog->EdReplace->setText(QStringLiteral("表"));
        c.ReplaceDialog->BtReplaceAll->click();
        QVERIFY(!c.ReplaceDialog->isVisible());
        QCOMPARE(c.Memo->Text(), std::string("foo a\r\n\x95\x5c b\r\n\x95\x5c c"));
        QCOMPARE(c.Memo->SelStart(), static_cast<int>(c.Memo->Text().size()) - 2);
        QCOMPARE(beeps, 0);
        c.Memo->Undo();
        QCOMPARE(c.Memo->Text(), std::string("foo a\r\nFOO b\r\nfoo c"));
    }

    void theByteViewRefusesAReplacementShiftJisCannotHold() {
        // A large file is held as Shift-JIS: a character it lacks is refused, never written
        // as '?', and the window says why.
        TFormFixture f;
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        TXavoMemo::SetByteViewThreshold(8);
        const bool opened = form.OpenFile(f.Dir.File("large.txt", "foo a\r\nfoo b\r\n"));
        TXavoMemo::SetByteViewThreshold(TXavoMemo::kByteViewBytes);
        QVERIFY(opened && c.Memo->ShowsBytes());
        c.MmEditMode->trigger();
        c.MmReplace->trigger();
        c.ReplaceDialog->EdFind->setText(QStringLiteral("foo"));
        c.ReplaceDialog->EdReplace->setText(QString::fromUtf8("\U0001F600"));
        c.ReplaceDialog->BtReplaceAll->click();
        QCOMPARE(c.Memo->Text(), std::string("foo a\r\nfoo b\r\n"));
        QCOMPARE(f.Boxes.Informations.size(), 1u);
        c.Memo->SetSelStart(0);
        c.Memo->SetSelLength(3);
        ReplaceSelectionInView(*c.Memo, QString::fromUtf8("\u00A9"));  // as typing: refused with a hint
        QCOMPARE(c.Memo->Text(), std::string("foo a\r\nfoo b\r\n"));
        QVERIFY(c.SBPanel1->text().contains(QStringLiteral("CP932")));
        QCOMPARE(ReplaceAllInView(*c.Memo, "foo", QStringLiteral("表"), 0), 2);
        QCOMPARE(c.Memo->Text(), std::string("\x95\x5c a\r\n\x95\x5c b\r\n"));
    }

    void theViewAndTheBytesReplaceAlike() {
        // The batch writes plain files without the view; the view's "replace all" and save
        // must give the same bytes.
        const struct {
            std::string Text, Find;
        } cases[] = {
            {"foo\r\nfoo\nfoo\rx\r\nfoo", "foo"},
            {"\xff\x80" "foo\x81\r\n\xa0 Foo", "foo"},
            {"x" + kAcross + " " + kHyoji + "\r\n", kHyoji},
            {"no final break " + kHyoji, kHyoji},
            {"", "foo"},
        };
        test::TTempDir dir;
        for (const auto& c : cases) {
            TXavoMemo memo;
            memo.SetPlainText(true);
            memo.LoadFromFile(dir.File("in.txt", c.Text));
            ReplaceAllInView(memo, c.Find, SjisToQString("\x8e\xa6!"), 0);
            memo.SaveToFile(dir.Path("out.txt"));
            QCOMPARE(ReadBytes(dir.Path("out.txt")), ReplaceAllBytes(c.Text, c.Find, "\x8e\xa6!", 0).Text);
        }
    }

    void aBatchMirrorsTheTreeUnderTheOutputDirectory() {
        for (const bool subDirectories : {false, true}) {
            TFormFixture f;
            fs::create_directories(f.Dir.Path("src/x"));
            fs::create_directories(f.Dir.Path("out"));
            const std::string unchanged = "none\r\n\xff\x81\n";
            f.Dir.File("src/a.txt", "foo\r\nFoo");
            f.Dir.File("src/b.txt", unchanged);
            f.Dir.File("src/x/c.txt", "a foo");
            f.Dir.File("src/x/skip.log", "foo");
            TForm1& form = f.Shown();
            const TForm1Components& c = f.C();
            c.DTView->SetDirectory(f.Dir.Path("src/"));
            ScriptBatch(form, {QStringLiteral("foo"), QStringLiteral("bar"), true, subDirectories, f.Dir.Path("out")});
            c.ReplaceEx1->trigger();

            QCOMPARE(ReadBytes(f.Dir.Path("out/a.txt")), std::string("bar\r\nFoo"));
            QCOMPARE(ReadBytes(f.Dir.Path("out/b.txt")), unchanged);
            QCOMPARE(ReadBytes(f.Dir.Path("src/a.txt")), std::string("foo\r\nFoo"));
            const std::vector<std::string> expected =
                subDirectories ? std::vector<std::string>{"a.txt", "b.txt", "x", "x/c.txt"} : std::vector<std::string>{"a.txt", "b.txt"};
            QCOMPARE(Names(f.Dir.Path("out")), expected);
            if (subDirectories) QCOMPARE(ReadBytes(f.Dir.Path("out/x/c.txt")), std::string("a bar"));
            // The last source is shown as it is; the tree is back where it was.
            const std::string last = subDirectories ? "src/x/c.txt" : "src/b.txt";
            QCOMPARE(form.CurrentFile(), f.Dir.Path(last));
            QCOMPARE(c.Memo->Text(), subDirectories ? std::string("a foo") : std::string("none\r\n\xff\x81\r\n"));
            QCOMPARE(c.DTView->Directory(), f.Dir.Path("src/"));
            QCOMPARE(c.ReplaceDialog->FindText(), QStringLiteral("foo"));
            QCOMPARE(c.ReplaceDialog->ReplaceText(), QStringLiteral("bar"));
            QVERIFY(c.ReplaceDialog->Options() & frMatchCase);
            QVERIFY(f.Boxes.Errors.isEmpty());
        }
    }

    void theShownFirstFileGivesItsEditedTextFromTheCaretOn() {
        TFormFixture f;
        fs::create_directories(f.Dir.Path("out"));
        f.ShownWithFile("a.txt", "1 foo\r\n");
        f.Dir.File("b.txt", "foo");
        TForm1& form = *f.Form;
        const TForm1Components& c = f.C();
        c.MmEditMode->trigger();
        c.Memo->SetSelStart(0);
        c.Memo->SetSelText("foo ");  // the caret after it: this one stays
        f.Script.Answers.push_back(QMessageBox::No);  // not saved into a.txt
        ScriptBatch(form, {QStringLiteral("foo"), QStringLiteral("bar"), false, false, f.Dir.Path("out")});
        c.ReplaceEx1->trigger();
        QCOMPARE(ReadBytes(f.Dir.Path("out/a.txt")), std::string("foo 1 bar\r\n"));
        QCOMPARE(ReadBytes(f.Dir.Path("out/b.txt")), std::string("bar"));
        QCOMPARE(ReadBytes(f.Dir.Path("a.txt")), std::string("1 foo\r\n"));
        QCOMPARE(f.Script.Asked.size(), 1);
    }

    void writingOverTheSourcesIsAskedFirst() {
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            TFormFixture f;
            f.Dir.File("a.txt", "foo\n");
            TForm1& form = f.Shown();
            f.Script.Answers.push_back(answer);
            ScriptBatch(form, {QStringLiteral("foo"), QStringLiteral("bar"), false, false, f.Root()});
            f.C().ReplaceEx1->trigger();
            QCOMPARE(f.Script.Asked, QStringList{QStringLiteral("元のファイルを上書きします。よろしいですか？")});
            QCOMPARE(ReadBytes(f.Dir.Path("a.txt")), std::string(answer == QMessageBox::Yes ? "bar\n" : "foo\n"));
            for (const std::string& name : Names(f.Root())) QVERIFY2(name.find(".tmp") == std::string::npos, name.c_str());
        }
    }

    void anEmptyTextToFindIsRefused() {
        TFormFixture f;
        fs::create_directories(f.Dir.Path("out"));
        f.Dir.File("a.txt", "abc");
        TForm1& form = f.Shown();
        int pickerShown = 0;
        ScriptBatch(form, {QString(), QStringLiteral("bar"), false, false, f.Dir.Path("out")}, &pickerShown);
        f.C().ReplaceEx1->trigger();
        QCOMPARE(f.Boxes.Informations.size(), 1);
        QCOMPARE(pickerShown, 0);
        QVERIFY(Names(f.Dir.Path("out")).empty());
    }

    void eachOutputKeepsTheFormItsSourceWasReadIn() {
        TFormFixture f;
        fs::create_directories(f.Dir.Path("out"));
        f.Dir.File("a.txt", "foo\r\n");
        f.Dir.File("r.txt", "{\\rtf1\\ansi\\ansicpg932 one foo\\par two}");
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        if (c.MmPlainText->isChecked()) c.MmPlainText->trigger();
        QVERIFY(!c.Memo->PlainText());
        QVERIFY(form.OpenFile(f.Dir.Path("a.txt")));  // the shown file goes out through the view
        ScriptBatch(form, {QStringLiteral("foo"), QStringLiteral("bar"), false, false, f.Dir.Path("out")});
        c.ReplaceEx1->trigger();
        QCOMPARE(ReadBytes(f.Dir.Path("out/a.txt")), std::string("bar\r\n"));
        const std::string rich = ReadBytes(f.Dir.Path("out/r.txt"));
        QVERIFY(LooksLikeRtf(rich));
        QVERIFY(rich.find("one bar") != std::string::npos);
        QCOMPARE(c.Memo->Text(), std::string("one foo\r\ntwo"));  // the source, unreplaced
    }

    void aFileWhoseEncodingCannotHoldTheReplacementIsWrittenAsItIsAndNamed() {
        TFormFixture f;
        fs::create_directories(f.Dir.Path("out"));
        f.ShownWithFile("a.txt", "foo\r\n");  // Shift-JIS, through the view
        f.Dir.File("b.txt", "{\\rtf1\\ansi\\ansicpg932 foo}");
        f.Dir.File("c.txt", "foo \xe6\x97\xa5\xe6\x9c\xac\n");  // UTF-8
        f.Dir.File("d.txt", "foo");
        TForm1& form = *f.Form;
        const TForm1Components& c = f.C();
        if (c.MmPlainText->isChecked()) c.MmPlainText->trigger();
        ScriptBatch(form, {QStringLiteral("foo"), QStringLiteral("😀"), false, false, f.Dir.Path("out")});
        c.ReplaceEx1->trigger();
        QCOMPARE(ReadBytes(f.Dir.Path("out/a.txt")), std::string("foo\r\n"));
        QVERIFY(ReadBytes(f.Dir.Path("out/b.txt")).find("\\u-10179?\\u-8704?") != std::string::npos);
        QCOMPARE(ReadBytes(f.Dir.Path("out/c.txt")), std::string("\xf0\x9f\x98\x80 \xe6\x97\xa5\xe6\x9c\xac\n"));
        QCOMPARE(ReadBytes(f.Dir.Path("out/d.txt")), std::string("foo"));
        QCOMPARE(f.Boxes.Informations.size(), 1);
        const QString named = f.Boxes.Informations.front();
        QVERIFY(named.contains(QStringLiteral("a.txt")) && named.contains(QStringLiteral("d.txt")));
        QVERIFY(!named.contains(QStringLiteral("b.txt")) && !named.contains(QStringLiteral("c.txt")));
        QCOMPARE(c.Memo->Text(), std::string("foo"));  // the last file, as it was written
    }

    void escapeStopsBetweenFilesAndKeepsWhatWasWritten() {
        TFormFixture f;
        TForm1& form = ShownOverNumberedSources(f, 8);
        const TForm1Components& c = f.C();
        bool pressed = false;
        RunBatchWatching(c, [&] {
            if (pressed || Names(f.Dir.Path("out")).size() < 3) return;
            pressed = true;
            QCoreApplication::postEvent(c.Memo, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        });
        // The key is seen between two files, at the latest one file after it was sent.
        const std::vector<std::string> written = Names(f.Dir.Path("out"));
        QVERIFY(written.size() >= 3 && written.size() < 8);
        for (std::size_t i = 0; i < written.size(); ++i) {
            QCOMPARE(written[i], std::to_string(i) + ".txt");
            QCOMPARE(ReadBytes(f.Dir.Path("out/" + written[i])), "bar " + std::to_string(i));
        }
        QCOMPARE(form.CurrentFile(), f.Dir.Path("src/" + written.back()));
        QVERIFY(c.SBPanel1->text().contains(QStringLiteral("中止")));
    }

    void anErrorEndsTheBatchAndKeepsTheFilesWritten() {
        TFormFixture f;
        fs::create_directories(f.Dir.Path("src"));
        fs::create_directories(f.Dir.Path("out/b.txt"));  // a directory where an output goes
        f.Dir.File("src/a.txt", "foo");
        f.Dir.File("src/b.txt", "foo");
        f.Dir.File("src/c.txt", "foo");
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        c.DTView->SetDirectory(f.Dir.Path("src/"));
        ScriptBatch(form, {QStringLiteral("foo"), QStringLiteral("bar"), false, false, f.Dir.Path("out")});
        c.ReplaceEx1->trigger();
        QCOMPARE(f.Boxes.Errors.size(), 1);
        QVERIFY(f.Boxes.Errors.front().contains(QStringLiteral("b.txt")));
        QCOMPARE(Names(f.Dir.Path("out")), (std::vector<std::string>{"a.txt", "b.txt"}));
        QCOMPARE(ReadBytes(f.Dir.Path("out/a.txt")), std::string("bar"));
    }

    void aBatchIntoAnotherFolderLeavesTheShownSourcesAsTheyAre() {
        // Whether the batch ends or stops on an error (an output that is a directory), the
        // view shows a source as it is on disk, unedited: saving it changes nothing.
        for (const bool stops : {false, true}) {
            TFormFixture f;
            fs::create_directories(f.Dir.Path("src"));
            fs::create_directories(f.Dir.Path(stops ? "out/b.txt" : "out"));
            f.Dir.File("src/a.txt", "foo a");
            f.Dir.File("src/b.txt", "foo b");
            TForm1& form = f.Shown();
            const TForm1Components& c = f.C();
            QVERIFY(form.OpenFile(f.Dir.Path("src/a.txt")));  // the first goes out through the view
            ScriptBatch(form, {QStringLiteral("foo"), QStringLiteral("bar"), false, false, f.Dir.Path("out")});
            c.ReplaceEx1->trigger();
            QCOMPARE(ReadBytes(f.Dir.Path("out/a.txt")), std::string("bar a"));
            QCOMPARE(f.Boxes.Errors.size(), stops ? 1 : 0);
            const std::string shown = stops ? "src/a.txt" : "src/b.txt";
            QCOMPARE(form.CurrentFile(), f.Dir.Path(shown));
            QCOMPARE(c.Memo->Text(), ReadBytes(f.Dir.Path(shown)));
            QVERIFY(!c.Memo->IsModified());
            c.MmSave->trigger();
            QCOMPARE(ReadBytes(f.Dir.Path("src/a.txt")), std::string("foo a"));
            QCOMPARE(ReadBytes(f.Dir.Path("src/b.txt")), std::string("foo b"));
        }
    }

    void theShownFilesUnsavedEditsAreWrittenOnlyWithTheReplacement() {
        // The only file, shown with unsaved edits, goes out without a question: into another
        // folder its edits stay unsaved and unreplaced in the view; over itself they are
        // saved with the replacement, or, with nothing to replace, stay unsaved.
        const struct {
            bool OverItself;
            std::string Text;
            std::string Output, Source, Shown;
            bool Modified;
        } cases[] = {
            {false, "foo\r\n", "x bar\r\n", "foo\r\n", "x foo\r\n", true},
            {true, "foo\r\n", "x bar\r\n", "x bar\r\n", "x bar\r\n", false},
            {true, "none\r\n", "", "none\r\n", "x none\r\n", true},
        };
        for (const auto& c : cases) {
            TFormFixture f;
            fs::create_directories(f.Dir.Path("out"));
            const std::string file = f.ShownWithFile("a.txt", c.Text);
            const TForm1Components& w = f.C();
            w.MmEditMode->trigger();
            w.Memo->SetSelStart(0);
            w.Memo->SetSelText("x ");
            if (c.OverItself) f.Script.Answers.push_back(QMessageBox::Yes);
            ScriptBatch(*f.Form, {QStringLiteral("foo"), QStringLiteral("bar"), false, false,
                                  c.OverItself ? f.Root() : f.Dir.Path("out")});
            w.ReplaceEx1->trigger();
            if (!c.OverItself) QCOMPARE(ReadBytes(f.Dir.Path("out/a.txt")), c.Output);
            QCOMPARE(ReadBytes(file), c.Source);
            QCOMPARE(w.Memo->Text(), c.Shown);
            QCOMPARE(w.Memo->IsModified(), c.Modified);
            QCOMPARE(f.Script.Asked.size(), c.OverItself ? 1 : 0);
        }
    }

    void aBatchOverTheSourcesTouchesOnlyFilesWithTheTextAndKeepsWhatTheyAre() {
        // As root the files belong to another user: they keep owner, group, mode and their
        // hard link, and a file without the text keeps its inode and time.
        TFormFixture f;
        fs::create_directories(f.Dir.Path("src/links"));
        const std::string replaced = f.Dir.File("src/a.txt", "foo\n");
        const std::string untouched = f.Dir.File("src/b.txt", "none\n");
        ::link(replaced.c_str(), f.Dir.Path("src/links/a.txt").c_str());
        if (::geteuid() == 0) ::chown(replaced.c_str(), 4242, 4243);
        ::chmod(replaced.c_str(), 0604);
        const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ::utimensat(AT_FDCWD, untouched.c_str(), times, 0);
        struct stat a0 {}, b0 {}, a1 {}, b1 {};
        ::stat(replaced.c_str(), &a0);
        ::stat(untouched.c_str(), &b0);
        TForm1& form = f.Shown();
        f.C().DTView->SetDirectory(f.Dir.Path("src/"));
        f.Script.Answers.push_back(QMessageBox::Yes);
        ScriptBatch(form, {QStringLiteral("foo"), QStringLiteral("bar"), false, false, f.Dir.Path("src")});
        f.C().ReplaceEx1->trigger();
        QCOMPARE(ReadBytes(replaced), std::string("bar\n"));
        QCOMPARE(ReadBytes(f.Dir.Path("src/links/a.txt")), std::string("bar\n"));
        ::stat(replaced.c_str(), &a1);
        ::stat(untouched.c_str(), &b1);
        QCOMPARE(a1.st_ino, a0.st_ino);
        QCOMPARE(a1.st_nlink, a0.st_nlink);
        QCOMPARE(a1.st_uid, a0.st_uid);
        QCOMPARE(a1.st_gid, a0.st_gid);
        QCOMPARE(a1.st_mode, a0.st_mode);
        QCOMPARE(b1.st_ino, b0.st_ino);
        QCOMPARE(b1.st_mtim.tv_sec, b0.st_mtim.tv_sec);
        QCOMPARE(b1.st_ctim.tv_sec, b0.st_ctim.tv_sec);
        QCOMPARE(Names(f.Dir.Path("src")), (std::vector<std::string>{"a.txt", "b.txt", "links", "links/a.txt"}));
    }

    void outputsThatWouldReplaceFilesAreAskedAboutOnceFirst() {
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            TFormFixture f;
            fs::create_directories(f.Dir.Path("src"));
            fs::create_directories(f.Dir.Path("out"));
            f.Dir.File("src/a.txt", "foo");
            f.Dir.File("src/b.txt", "none");
            f.Dir.File("src/c.txt", "foo");
            f.Dir.File("out/a.txt", "kept?");
            f.Dir.File("out/b.txt", "kept?");
            TForm1& form = f.Shown();
            f.C().DTView->SetDirectory(f.Dir.Path("src/"));
            f.Script.Answers.push_back(answer);
            ScriptBatch(form, {QStringLiteral("foo"), QStringLiteral("bar"), false, false, f.Dir.Path("out")});
            f.C().ReplaceEx1->trigger();
            QCOMPARE(f.Script.Asked, QStringList{QStringLiteral("出力先の 2 個のファイルを上書きします。よろしいですか？")});
            const bool yes = answer == QMessageBox::Yes;
            QCOMPARE(ReadBytes(f.Dir.Path("out/a.txt")), std::string(yes ? "bar" : "kept?"));
            QCOMPARE(ReadBytes(f.Dir.Path("out/b.txt")), std::string(yes ? "none" : "kept?"));
            QCOMPARE(fs::exists(f.Dir.Path("out/c.txt")), yes);
        }
    }

    void aSourceThatVanishesIsSkippedAndNamedAfterTheBatch() {
        TFormFixture f;
        ShownOverNumberedSources(f, 6);
        // Another program deletes a source the batch has not reached yet.
        RunBatchWatching(f.C(), [&] {
            if (!Names(f.Dir.Path("out")).empty()) ::unlink(f.Dir.Path("src/4.txt").c_str());
        });
        QVERIFY(f.Boxes.Errors.isEmpty());
        QCOMPARE(Names(f.Dir.Path("out")), (std::vector<std::string>{"0.txt", "1.txt", "2.txt", "3.txt", "5.txt"}));
        QCOMPARE(ReadBytes(f.Dir.Path("out/5.txt")), std::string("bar 5"));
        QCOMPARE(f.Boxes.Informations.size(), 1);
        QVERIFY(f.Boxes.Informations.front().contains(QStringLiteral("4.txt")));
        QVERIFY(!f.Boxes.Informations.front().contains(QStringLiteral("3.txt")));
    }

    void aReplacementNeverTurnsUtf8TextIntoOtherBytes() {
        // UTF-8 whose first 64 KiB are ASCII may be taken for Shift-JIS: the replacement
        // must not go in as Shift-JIS bytes.
        TFormFixture f;
        fs::create_directories(f.Dir.Path("src"));
        fs::create_directories(f.Dir.Path("out"));
        const std::string source = std::string(70000, 'a') + "\n\xE6\x97\xA5\xE6\x9C\xAC foo\n";
        f.Dir.File("src/u.txt", source);
        TForm1& form = f.Shown();
        f.C().DTView->SetDirectory(f.Dir.Path("src/"));
        ScriptBatch(form, {QStringLiteral("foo"), QStringLiteral("表"), false, false, f.Dir.Path("out")});
        f.C().ReplaceEx1->trigger();
        const std::string written = ReadBytes(f.Dir.Path("out/u.txt"));
        QVERIFY(TUtf8Check(written).IsText());
        QVERIFY(written == source || written == std::string(70000, 'a') + "\n\xE6\x97\xA5\xE6\x9C\xAC \xE8\xA1\xA8\n");
        if (written == source) QVERIFY(f.Boxes.Informations.size() == 1 && f.Boxes.Informations.front().contains("u.txt"));
    }

    void theBatchDialogDefaultsToItsBatchButtonAndIsCentred() {
        TFmRepl dialog;
        QVERIFY(dialog.Button1->isDefault());
        QVERIFY(!dialog.CbWholeWord->isEnabled());
        QVERIFY(!dialog.CheckBox2->isEnabled());
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(dialog.x(), (screen.width() - dialog.width()) / 2);
        dialog.show();
        dialog.EdFind->setText(QStringLiteral("kept"));
        QTest::keyClick(dialog.EdFind, Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        dialog.show();
        QCOMPARE(dialog.EdFind->text(), QStringLiteral("kept"));
        QTest::keyClick(dialog.EdFind, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TMainWindowFindTest)
#include "mainwindow_find_test.moc"
