// GREP on the real window over temporary trees of Shift-JIS files: the bar in each scope,
// its history, bad patterns, fuzzy and romaji search mirrored between the bar and the dialog
// (romaji search also stored, and disabled without its dictionary), the
// dialog's GREP with its synonym words, cancelling a long run, a second run refused, the
// automatic tag jump, tag jumps from result lines (F8, Shift+F8, the jump button, double
// click) and a file dragged from the file list onto the results list.
#include "ComboBox98.h"
#include "DirTree.h"
#include "Encoding.h"
#include "FormFixture.h"
#include "Grep.h"
#include "GrepF.h"
#include "GrepRunner.h"
#include "Migemo.h"
#include "RomajiLoad.h"
#include "PathText.h"
#include "ShellListBox.h"
#include "SjisCodec.h"
#include "TempDir.h"
#include "TextListBox.h"
#include "XavoMemo.h"

#include <QAction>
#include <QLabel>
#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include <algorithm>

#include <sys/stat.h>

using namespace xavo;
using xavo::test::TFormFixture;

namespace {

const std::string kHit = "\x8c\x9f\x8d\xf5";         // 検索
const std::string kNeko = "\x94\x4c";                // 猫
const std::string kNekoKana = "\x83\x6c\x83\x52";    // ネコ
const QString kHitText = QStringLiteral("検索");

std::vector<std::string> Items(const TTextListBox* list) {
    std::vector<std::string> items;
    for (int i = 0; i < list->Count(); ++i) items.push_back(list->Item(i));
    return items;
}

QStringList History(const QComboBox* bar) {
    QStringList items;
    for (int i = 0; i < bar->count(); ++i) items << bar->itemText(i);
    return items;
}

// Lines "row 1" ... "row N", CR LF, with Extra appended to line Hit.
std::string Rows(int count, int hit = 0, const std::string& extra = {}) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "row " + std::to_string(i) + (i == hit ? extra : "") + "\r\n";
    return text;
}

}  // namespace

class TMainWindowGrepTest : public QObject {
    Q_OBJECT

private:
    // The tree of the scope tests: a.txt, z.txt and sub/m.txt hold the word, other.log too.
    static void ThreeFiles(TFormFixture& f) {
        std::filesystem::create_directory(f.Dir.Path("sub"));
        f.Dir.File("z.txt", "zz\r\n" + kHit + " in z\r\n");
        f.Dir.File("sub/m.txt", kHit + " in m\r\n");
        f.Dir.File("a.txt", "first\r\n" + kHit + ":a:b\r\n");
        f.Dir.File("other.log", kHit + "\r\n");
    }

    // The window shown on the scratch directory, the automatic tag jump off unless asked.
    static TForm1& Shown(TFormFixture& f, bool autoJump = false) {
        TForm1& form = f.Shown();
        if (f.C().MmJAGrep->isChecked() != autoJump) f.C().MmJAGrep->trigger();
        return form;
    }

    // Makes the window active again, as the desktop does once a modal dialog has closed.
    static void Activate(TForm1& form) {
        form.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &form);
    }

    // Puts Text in the GREP bar and presses Enter there.
    static void EnterInBar(TFormFixture& f, const QString& text) {
        const TForm1Components& c = f.C();
        Activate(*f.Form);
        c.EdGrep->setFocus();
        QTRY_VERIFY(c.EdGrep->hasFocus() || c.EdGrep->lineEdit()->hasFocus());
        c.EdGrep->setEditText(text);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }

    // Enter in the bar and the run waited for.
    static void BarGrep(TFormFixture& f, const QString& text) {
        EnterInBar(f, text);
        f.Form->GrepRunner().WaitForDone();
    }

    // Selects the file list's entry Name as a click does (which also shows the file).
    static void ChooseInFileList(TFormFixture& f, const std::string& name) {
        TShellListBox* list = f.C().SLBox;
        const auto& items = list->Items();
        const auto at = std::find(items.begin(), items.end(), f.Dir.Path(name));
        QVERIFY(at != items.end());
        const QRect rect = list->visualRect(list->model()->index(static_cast<int>(at - items.begin()), 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(list->SelectedFileName(), f.Dir.Path(name));
    }

    // Answers the GREP dialog once it is shown: Pattern and Fuzzy entered, Words added to
    // its list first, then OK (or Cancel).
    static void AnswerGrepDialog(TForm1& form, const QString& pattern, bool fuzzy, bool ok = true,
                                 const QStringList& words = {}) {
        QTimer::singleShot(0, &form, [&form, pattern, fuzzy, ok, words] {
            TGrepF& dialog = form.GrepF();
            if (!dialog.isVisible()) qFatal("the GREP dialog is not shown");
            for (const QString& word : words) {
                dialog.EdRx->setText(word);
                dialog.BtAdd->click();
            }
            dialog.EdRx->setText(pattern);
            dialog.CbFuzzy->setChecked(fuzzy);
            (ok ? dialog.BtOk : dialog.BtCancel)->click();
        });
    }

    // Triggers Action, which must not show the GREP dialog (if it does, the dialog is
    // closed and the test fails).
    static void TriggerWithoutDialog(TForm1& form, QAction* action) {
        bool shown = false;
        QTimer::singleShot(0, &form, [&form, &shown] {
            shown = form.GrepF().isVisible();
            if (shown) form.GrepF().reject();
        });
        action->trigger();
        QCoreApplication::processEvents();
        QVERIFY(!shown);
    }

private slots:
    void theBarSearchesEachScopeInSortedOrder() {
        TFormFixture f;
        ThreeFiles(f);
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        const std::string root = f.Root();
        const std::string a = root + "a.txt 2:" + kHit + ":a:b", m = root + "sub/m.txt 1:" + kHit + " in m",
                          z = root + "z.txt 2:" + kHit + " in z";

        QVERIFY(c.PmGrepDir->isChecked());
        BarGrep(f, kHitText);
        QCOMPARE(Items(c.LbGrep), (std::vector<std::string>{a, z}));
        QCOMPARE(form.windowTitle(), QStringLiteral("Xavoline"));
        QCOMPARE(c.LbGrep->ItemIndex(), -1);

        // Choosing a scope runs the bar's word again at once.
        c.PmGrepRec->trigger();
        QVERIFY(form.GrepRunner().IsRunning());
        form.GrepRunner().WaitForDone();
        QCOMPARE(Items(c.LbGrep), (std::vector<std::string>{a, m, z}));
        QCOMPARE(form.GrepRunner().GrepFiles(), (std::vector<std::string>{root + "a.txt", root + "sub/m.txt", root + "z.txt"}));

        ChooseInFileList(f, "z.txt");
        c.PmGrepOne->trigger();
        form.GrepRunner().WaitForDone();
        QCOMPARE(Items(c.LbGrep), std::vector<std::string>{z});
        QCOMPARE(c.LbGrep->ItemText(0), QString::fromStdString(root) + "z.txt 2:検索 in z");  // shown decoded

        // Nothing found: an empty list, no message.
        BarGrep(f, QStringLiteral("absent"));
        QCOMPARE(c.LbGrep->Count(), 0);
        QVERIFY(f.Boxes.Errors.isEmpty());
        QCOMPARE(History(c.EdGrep), (QStringList{"absent", kHitText}));
    }

    void eachBarGrepGoesOnTopOfTheHistory() {
        // The history's rules (at most twenty, once each, case ignored) are the model's;
        // this shows the bar feeding it.
        TFormFixture f;
        f.Dir.File("a.txt", "nothing\r\n");
        Shown(f);
        const TForm1Components& c = f.C();
        BarGrep(f, QStringLiteral("w1"));
        BarGrep(f, QStringLiteral("w2"));
        BarGrep(f, QStringLiteral("W1"));
        const QStringList history = History(c.EdGrep);
        QCOMPARE(history, (QStringList{"W1", "w2"}));
        QCOMPARE(c.EdGrep->currentText(), QStringLiteral("W1"));  // the bar keeps what was typed

        // Only spaces (half and full width): nothing runs and Enter reaches the bar.
        QSignalSpy returns(c.EdGrep->lineEdit(), &QLineEdit::returnPressed);
        c.LbGrep->Add(std::string_view("kept"));
        EnterInBar(f, QStringLiteral(" 　 "));
        QCOMPARE(returns.count(), 1);
        QVERIFY(!f.Form->GrepRunner().IsRunning());
        QCOMPARE(Items(c.LbGrep), std::vector<std::string>{"kept"});
        QCOMPARE(History(c.EdGrep), history);
        // A word: the bar never sees the key.
        BarGrep(f, QStringLiteral("w3"));
        QCOMPARE(returns.count(), 1);
    }

    void theSelectedFileScopeWithoutASelectionTakesEnterAndDoesNothing() {
        TFormFixture f;
        f.Dir.File("a.txt", kHit + "\r\n");
        Shown(f);
        const TForm1Components& c = f.C();
        c.PmGrepOne->trigger();  // the bar is empty: nothing runs
        QVERIFY(!f.Form->GrepRunner().IsRunning());
        QSignalSpy returns(c.EdGrep->lineEdit(), &QLineEdit::returnPressed);
        EnterInBar(f, kHitText);
        QCOMPARE(returns.count(), 0);
        QVERIFY(!f.Form->GrepRunner().IsRunning());
        QCOMPARE(c.EdGrep->count(), 0);
        QCOMPARE(c.LbGrep->Count(), 0);
    }

    void aBadPatternIsShownAndChangesNeitherListNorHistory() {
        TFormFixture f;
        ThreeFiles(f);
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        BarGrep(f, kHitText);
        const std::vector<std::string> lines = Items(c.LbGrep);
        const std::vector<std::string> files = form.GrepRunner().GrepFiles();
        const QString caption = form.windowTitle();

        for (const QString& bad : {QStringLiteral("(ab"), QStringLiteral("a[b"), QStringLiteral("😀")}) {
            f.Boxes.Errors.clear();
            EnterInBar(f, bad);
            QVERIFY(!form.GrepRunner().IsRunning());
            QCOMPARE(f.Boxes.Errors.size(), 1);
            QVERIFY2(!f.Boxes.Errors[0].isEmpty(), qPrintable(bad));
            QCOMPARE(Items(c.LbGrep), lines);
            QCOMPARE(form.GrepRunner().GrepFiles(), files);
            QCOMPARE(History(c.EdGrep), QStringList{kHitText});
            QCOMPARE(form.windowTitle(), caption);
            QVERIFY(QApplication::overrideCursor() == nullptr);
        }
    }

    void fuzzySearchIsMirroredBetweenBarAndDialog() {
        TFormFixture f;
        f.Dir.File("a.txt", "\xb1\r\n\x83\x41\r\n");  // ｱ (half width) and ア
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        QVERIFY(c.PmGFuzzy->isChecked());  // on as designed, and so is the dialog's
        QVERIFY(form.GrepF().CbFuzzy->isChecked());
        c.PmGFuzzy->trigger();
        QVERIFY(!form.GrepF().CbFuzzy->isChecked());
        BarGrep(f, QStringLiteral("ア"));
        QCOMPARE(c.LbGrep->Count(), 1);

        AnswerGrepDialog(form, QStringLiteral("ア"), true);
        c.MmDirectory->trigger();
        form.GrepRunner().WaitForDone();
        QCOMPARE(c.LbGrep->Count(), 2);  // fuzzy: both forms
        QVERIFY(c.PmGFuzzy->isChecked());
        QVERIFY(form.Grep().UseFuzzyCharDic());

        form.GrepF().CbFuzzy->setChecked(false);  // the bar's own check decides its run ...
        BarGrep(f, QStringLiteral("ア"));
        QCOMPARE(c.LbGrep->Count(), 2);
        QVERIFY(form.GrepF().CbFuzzy->isChecked());  // ... and is copied to the dialog
    }

    void romajiSearchIsMirroredAndStored() {
        TFormFixture f;
        f.Dir.File("a.txt", kHit + "\r\n\xb9\xdd\xbb\xb8\r\nkensaku\r\nother\r\n");  // 検索, ｹﾝｻｸ
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        QVERIFY(!c.PmGMigemo->isChecked());  // off as designed
        QVERIFY(c.PmGMigemo->isEnabled());
        BarGrep(f, QStringLiteral("kensaku"));
        QCOMPARE(c.LbGrep->Count(), 1);

        c.PmGMigemo->trigger();
        QVERIFY(form.GrepF().CbMigemo->isChecked());
        QTRY_VERIFY(form.Romaji().IsLoaded());
        BarGrep(f, QStringLiteral("kensaku"));
        QCOMPARE(c.LbGrep->Count(), 3);
        QCOMPARE(History(c.EdGrep).first(), QStringLiteral("kensaku"));  // as typed
        BarGrep(f, QStringLiteral("ken.*"));  // operators: searched as written
        QCOMPARE(c.LbGrep->Count(), 1);

        form.GrepF().CbMigemo->setChecked(false);  // the dialog's run copies its check to the bar
        AnswerGrepDialog(form, QStringLiteral("kensaku"), false);
        c.MmDirectory->trigger();
        form.GrepRunner().WaitForDone();
        QCOMPARE(c.LbGrep->Count(), 1);
        QVERIFY(!c.PmGMigemo->isChecked());

        c.PmGMigemo->trigger();
        f.CloseForm();
        QVERIFY(test::ReadBytes(f.IniPath()).find("Migemo=1") != std::string::npos);
    }

    void aRomajiGrepAskedForWhileTheDictionaryIsReadStartsWhenItIsRead() {
        TFormFixture f;
        f.Dir.File("a.txt", kHit + "\r\nkensaku\r\nother\r\n");
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        c.PmGMigemo->trigger();
        EnterInBar(f, QStringLiteral("kensaku"));  // returns at once, whether read or not
        QTRY_COMPARE(History(c.EdGrep).value(0), QStringLiteral("kensaku"));
        form.GrepRunner().WaitForDone();
        QCOMPARE(c.LbGrep->Count(), 2);
    }

    void aDictionaryThatCannotBeReadNeverFreezesTheWindow() {
        // A good dictionary when the window starts, a FIFO (which the library would wait on
        // for ever) when the switch goes on.
        TFormFixture f;
        const std::string real = kMigemoDictionaryPath;
        const std::string realDir = real.substr(0, real.rfind('/') + 1);
        QVERIFY(::mkdir(f.Dir.Path("dict").c_str(), 0700) == 0);
        for (const char* name : {"migemo-dict", "roma2hira.dat", "hira2kata.dat", "han2zen.dat", "zen2han.dat"})
            f.Dir.File(std::string("dict/") + name, test::ReadBytes(realDir + name));
        const std::string dictionary = f.Dir.Path("dict/migemo-dict");
        qputenv("XAVOLINE_MIGEMO_DICT", QByteArray::fromStdString(dictionary));
        f.Dir.File("a.txt", kHit + "\r\n");
        TForm1& form = Shown(f);
        qunsetenv("XAVOLINE_MIGEMO_DICT");
        const TForm1Components& c = f.C();
        QVERIFY(c.PmGMigemo->isEnabled());
        QVERIFY(::unlink(dictionary.c_str()) == 0 && ::mkfifo(dictionary.c_str(), 0600) == 0);
        test::TRecordedBoxes boxes;
        c.PmGMigemo->trigger();
        EnterInBar(f, QStringLiteral("kensaku"));
        QTRY_VERIFY(!c.PmGMigemo->isEnabled());
        QVERIFY(!form.GrepF().CbMigemo->isEnabled());
        QVERIFY(c.PmGMigemo->statusTip().contains(PathToQString(dictionary)));
        // The GREP waiting for the dictionary was dropped, saying why (or the switch was off
        // already when it was asked for, when the reading failed first).
        QVERIFY(boxes.Errors.isEmpty() || boxes.Errors == QStringList{c.PmGMigemo->statusTip()});
        form.GrepRunner().WaitForDone();
        BarGrep(f, QStringLiteral("kensaku"));  // without romaji now
        QCOMPARE(c.LbGrep->Count(), 0);
    }

    void aDictionaryReadTooLongIsGivenUp() {
        TFormFixture f;
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        form.Romaji().LoadLimit = std::chrono::milliseconds(0);
        c.PmGMigemo->trigger();
        QTRY_VERIFY(!c.PmGMigemo->isEnabled());
        QVERIFY(!c.PmGMigemo->isChecked());
        QVERIFY(c.PmGMigemo->statusTip().contains(QStringLiteral("秒")));
    }

    void withoutItsDictionaryRomajiSearchIsDisabledAndItsSettingKept() {
        qputenv("XAVOLINE_MIGEMO_DICT", "/nonexistent/cp932/migemo-dict");
        TFormFixture f;
        f.Dir.File("Xavoline.ini", "[option]\r\nMigemo=1\r\n");
        TForm1& form = Shown(f);
        qunsetenv("XAVOLINE_MIGEMO_DICT");
        const TForm1Components& c = f.C();
        for (const bool enabled : {c.PmGMigemo->isEnabled(), form.GrepF().CbMigemo->isEnabled()}) QVERIFY(!enabled);
        QVERIFY(!c.PmGMigemo->isChecked());
        QVERIFY(c.PmGMigemo->statusTip().contains(QString::fromLatin1(kMigemoPackage)));
        QVERIFY(c.PmGMigemo->statusTip().contains(QStringLiteral("/nonexistent/cp932/migemo-dict")));
        QCOMPARE(form.GrepF().CbMigemo->toolTip(), c.PmGMigemo->statusTip());
        f.CloseForm();
        QVERIFY(test::ReadBytes(f.IniPath()).find("Migemo=1") != std::string::npos);
    }

    void theDialogGrepUsesItsWordsAndTheBarSwitchesThemOff() {
        TFormFixture f;
        f.Dir.File("a.txt", kNeko + "\r\nx\r\n" + kNekoKana + "\r\n");
        f.Dir.File("b.txt", "x " + kNeko + "\r\n");
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        const std::string root = f.Root();

        // No pattern, two words: the first word in sorted order is searched with its synonym.
        AnswerGrepDialog(form, QString(), false, true, {QStringLiteral("猫"), QStringLiteral("ネコ")});
        QTest::keyClick(&form, Qt::Key_D, Qt::ControlModifier);
        QVERIFY(form.GrepRunner().IsRunning());
        form.GrepRunner().WaitForDone();
        QCOMPARE(form.GrepF().EdRx->text(), QStringLiteral("ネコ"));
        QVERIFY(form.Grep().UseSynonymDic());
        QCOMPARE(Items(c.LbGrep), (std::vector<std::string>{root + "a.txt 1:" + kNeko, root + "a.txt 3:" + kNekoKana,
                                                             root + "b.txt 1:x " + kNeko}));
        QCOMPARE(c.EdGrep->count(), 0);  // the menu's GREPs keep no history

        // Cancel: nothing runs.
        AnswerGrepDialog(form, QStringLiteral("x"), false, false);
        c.MmDirectory->trigger();
        QVERIFY(!form.GrepRunner().IsRunning());
        QCOMPARE(c.LbGrep->Count(), 3);

        // The bar never uses the words.
        BarGrep(f, QStringLiteral("ネコ"));
        QVERIFY(!form.Grep().UseSynonymDic());
        QCOMPARE(Items(c.LbGrep), std::vector<std::string>{root + "a.txt 3:" + kNekoKana});

        // The selected-file command searches the file chosen in the list; without one the
        // dialog is not even shown.
        TriggerWithoutDialog(form, c.MmOneFile);
        QVERIFY(!form.GrepRunner().IsRunning());
        ChooseInFileList(f, "b.txt");
        AnswerGrepDialog(form, QStringLiteral("猫"), false);
        QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
        form.GrepRunner().WaitForDone();
        QCOMPARE(Items(c.LbGrep), std::vector<std::string>{root + "b.txt 1:x " + kNeko});
        // Recursive from the menu, the words still in the dialog's list.
        Activate(form);
        AnswerGrepDialog(form, QStringLiteral("猫"), false);
        QTest::keyClick(&form, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(form.GrepRunner().IsRunning());
        form.GrepRunner().WaitForDone();
        QCOMPARE(c.LbGrep->Count(), 3);
    }

    void cancelKeepsTheLinesFoundAndStillJumpsToTheFirst() {
        TFormFixture f;
        const int total = 100000;
        std::string big;
        for (int i = 1; i <= total; ++i) big += "line " + std::to_string(i) + " " + kHit + "\r\n";
        f.Dir.File("big.txt", big);
        f.Dir.File("later.txt", kHit + "\r\n");
        TForm1& form = Shown(f, true);
        const TForm1Components& c = f.C();
        form.GrepRunner().MaxQueuedLines = 1000;  // the search waits for the list: it cannot end first
        bool pressed = false;
        connect(&form.GrepRunner(), &TGrepRunner::linesAppended, &form, [&] {
            if (std::exchange(pressed, true)) return;
            QCOMPARE(form.windowTitle(), QStringLiteral("GREP処理中..."));
            QTest::keyClick(&form, Qt::Key_E, Qt::ControlModifier);
        });
        BarGrep(f, kHitText);
        QVERIFY(pressed);
        const int kept = c.LbGrep->Count();
        QVERIFY2(kept > 0 && kept < total, qPrintable(QString::number(kept)));
        QCOMPARE(c.LbGrep->Item(kept - 1), f.Dir.Path("big.txt") + " " + std::to_string(kept) + ":line " +
                                               std::to_string(kept) + " " + kHit);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        // The jump after the run: the first hit, caption naming the file.
        QCOMPARE(form.CurrentFile(), f.Dir.Path("big.txt"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Xavoline ") + QString::fromStdString(f.Dir.Path("big.txt")));
        QCOMPARE(c.LbGrep->ItemIndex(), 0);
        QCOMPARE(c.Memo->CaretLine(), 0);
        QCOMPARE(History(c.EdGrep), QStringList{kHitText});  // a cancelled run is no error
    }

    void aSecondGrepWhileOneRunsIsRefused() {
        TFormFixture f;
        std::string many;
        for (int i = 0; i < 50000; ++i) many += kHit + "\r\n";
        f.Dir.File("many.txt", many);
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        form.GrepRunner().MaxQueuedLines = 100;
        EnterInBar(f, kHitText);
        QVERIFY(form.GrepRunner().IsRunning());
        EnterInBar(f, QStringLiteral("row"));  // refused: no second run, no history for it
        TriggerWithoutDialog(form, c.MmDirectory);  // refused before the dialog is shown
        form.GrepRunner().WaitForDone();
        QCOMPARE(c.LbGrep->Count(), 50000);
        QCOMPARE(History(c.EdGrep), QStringList{kHitText});
        QCOMPARE(form.Grep().RegExp(), kHit);
    }

    void theJumpAfterARunShowsTheFirstHitAndNothingWithoutHits() {
        TFormFixture f;
        std::filesystem::create_directory(f.Dir.Path("sub"));
        f.Dir.File("b.txt", Rows(100, 30, " " + kHit));
        f.Dir.File("sub/a.txt", Rows(100, 25, " " + kHit));
        TForm1& form = Shown(f, true);
        const TForm1Components& c = f.C();
        BarGrep(f, QStringLiteral("absent"));
        QVERIFY(form.CurrentFile().empty());
        QCOMPARE(c.LbGrep->ItemIndex(), -1);

        c.PmGrepRec->setChecked(true);
        BarGrep(f, kHitText);
        QCOMPARE(c.LbGrep->Count(), 2);
        QCOMPARE(form.CurrentFile(), f.Dir.Path("b.txt"));  // b.txt sorts before sub/a.txt
        QCOMPARE(c.LbGrep->ItemIndex(), 0);
        QCOMPARE(c.Memo->CaretLine(), 29);
        QCOMPARE(c.Memo->SelText(), "row 30 " + kHit);
        QCOMPARE(c.Memo->FirstVisibleLine(), 26);  // three lines of context above
        QCOMPARE(form.FindState().Text, "row 30 " + kHit);
        QVERIFY(form.FindState().Options & frDown);
        QVERIFY(c.Memo->hasFocus());
    }

    void tagJumpsReadTheResultLinesBack() {
        TFormFixture f;
        std::filesystem::create_directory(f.Dir.Path("my dir"));
        const std::string spaced = f.Dir.File("my dir/a b:c.txt", Rows(20, 12, " x 12:y"));
        const std::string numbered = f.Dir.File("odd 3:name.txt", Rows(10, 5, ":five"));
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        const std::string lines[] = {
            spaced + " 12:row 12 x 12:y",   // spaces and colons in the path, " 12:" in the text
            numbered + " 5:row 5:five",     // the first " 3:" names no file; " 5:" does
            numbered + " 0:row 1",          // line 0 is the first line
            f.Dir.Path("gone.txt") + " 3:row 3",  // gone: the jump acts on the file shown
            "a header line",                // no number: the conversion error
        };
        for (const std::string& line : lines) c.LbGrep->Add(std::string_view(line));

        QTest::keyClick(&form, Qt::Key_F8);  // none selected: the first
        QCOMPARE(form.CurrentFile(), spaced);
        QCOMPARE(c.Memo->CaretLine(), 11);
        QCOMPARE(c.Memo->SelText(), std::string("row 12 x 12:y"));
        // Ctrl+W to the results list: the jumped-to line stays marked in the view.
        QTest::keyClick(c.Memo, Qt::Key_W, Qt::ControlModifier);
        QTRY_VERIFY(c.LbGrep->hasFocus());
        const QPalette view = c.Memo->palette();
        QCOMPARE(view.color(QPalette::Inactive, QPalette::Highlight), view.color(QPalette::Active, QPalette::Highlight));
        QVERIFY(view.color(QPalette::Inactive, QPalette::Highlight) != view.color(QPalette::Inactive, QPalette::Base));

        QTest::keyClick(&form, Qt::Key_F8);
        QCOMPARE(form.CurrentFile(), numbered);
        QCOMPARE(c.Memo->SelText(), std::string("row 5:five"));
        QCOMPARE(form.FindState().Text, std::string("row 5:five"));

        QTest::keyClick(&form, Qt::Key_F8);
        QCOMPARE(c.Memo->SelStart(), 0);
        QCOMPARE(c.Memo->SelText(), std::string("row 1"));

        QTest::keyClick(&form, Qt::Key_F8);
        QCOMPARE(c.LbGrep->ItemIndex(), 3);
        QCOMPARE(form.CurrentFile(), numbered);
        QCOMPARE(c.Memo->CaretLine(), 2);
        QCOMPARE(c.SBPanel1->text(), QStringLiteral("ファイルが見つかりません: ") + QString::fromStdString(f.Dir.Path("gone.txt")));
        QVERIFY(f.Boxes.Errors.isEmpty());

        const int caret = c.Memo->SelStart();
        QTest::keyClick(&form, Qt::Key_F8);
        QCOMPARE(c.LbGrep->ItemIndex(), 4);  // the selection has moved ...
        QCOMPARE(f.Boxes.Errors.size(), 1);  // ... the conversion error is shown ...
        QCOMPARE(c.Memo->SelStart(), caret);  // ... and the view has not
        QCOMPARE(form.FindState().Text, std::string("row 3"));

        // A double click jumps to the line clicked.
        const QRect first = c.LbGrep->visualRect(c.LbGrep->model()->index(0, 0));
        QTest::mouseClick(c.LbGrep->viewport(), Qt::LeftButton, {}, first.center());  // the first click of two
        QCOMPARE(form.CurrentFile(), numbered);
        QTest::mouseDClick(c.LbGrep->viewport(), Qt::LeftButton, {}, first.center());
        QCOMPARE(c.LbGrep->ItemIndex(), 0);
        QCOMPARE(form.CurrentFile(), spaced);
        QCOMPARE(c.Memo->CaretLine(), 11);
    }

    void filesInOtherEncodingsAreListedReadablyAndJumpedTo() {
        TFormFixture f;
        // UTF-8 and EUC-JP copies of Rows with the hit on line 30, each line holding a
        // character its file's encoding holds and Shift-JIS does not (© from JIS X 0212).
        const std::string u = f.Dir.File("u.txt", Rows(40, 30, " \xF0\x9F\x98\x80 \xE6\xA4\x9C\xE7\xB4\xA2"));  // 😀 検索
        std::u16string eucText = DecodeSjis(Rows(40, 30, " " + kHit + kNekoKana + "#"));
        std::replace(eucText.begin(), eucText.end(), u'#', u'\u00A9');
        const std::string e = f.Dir.File("e.txt", EncodeText(eucText, {TEncoding::EucJp, false}));
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        BarGrep(f, kHitText);
        QCOMPARE(c.LbGrep->Count(), 2);
        QCOMPARE(c.LbGrep->ItemText(0), PathToQString(e) + QStringLiteral(" 30:row 30 検索ネコ\u00A9"));
        QCOMPARE(c.LbGrep->ItemText(1), PathToQString(u) + QStringLiteral(" 30:row 30 \U0001F600 検索"));
        QVERIFY(c.LbGrep->Item(1).ends_with(" 30:row 30 \x81\x7F " + kHit));  // the tag jump reads Shift-JIS
        for (const std::string& path : {e, u}) {
            QTest::keyClick(&form, Qt::Key_F8);
            QCOMPARE(form.CurrentFile(), path);
            QCOMPARE(c.Memo->CaretLine(), 29);
        }
    }

    void jumpsStopAtTheEndsOfTheList() {
        TFormFixture f;
        const std::string a = f.Dir.File("a.txt", Rows(10));
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        for (int line : {2, 4, 6}) c.LbGrep->Add(std::string_view(a + " " + std::to_string(line) + ":row " + std::to_string(line)));

        QTest::keyClick(&form, Qt::Key_F8, Qt::ShiftModifier);  // none selected: the first
        QCOMPARE(c.LbGrep->ItemIndex(), 0);
        QCOMPARE(c.Memo->CaretLine(), 1);
        c.Memo->SetSelStart(0);
        QTest::keyClick(&form, Qt::Key_F8, Qt::ShiftModifier);  // at the first: nothing
        QCOMPARE(c.LbGrep->ItemIndex(), 0);
        QCOMPARE(c.Memo->SelStart(), 0);

        // The jump button: left for the next line, right for the previous one.
        QTest::mouseClick(c.TbJump, Qt::LeftButton);
        QTest::mouseClick(c.TbJump, Qt::LeftButton);
        QCOMPARE(c.LbGrep->ItemIndex(), 2);
        QCOMPARE(c.Memo->CaretLine(), 5);
        c.Memo->SetSelStart(0);
        QTest::keyClick(&form, Qt::Key_F8);  // at the last: nothing, no wrap
        QCOMPARE(c.LbGrep->ItemIndex(), 2);
        QCOMPARE(c.Memo->SelStart(), 0);
        QTest::mouseClick(c.TbJump, Qt::RightButton);
        QCOMPARE(c.LbGrep->ItemIndex(), 1);
        QCOMPARE(c.Memo->CaretLine(), 3);

        c.LbGrep->Clear();  // an empty list: nothing
        QTest::keyClick(&form, Qt::Key_F8);
        QTest::keyClick(&form, Qt::Key_F8, Qt::ShiftModifier);
        QCOMPARE(c.LbGrep->ItemIndex(), -1);
        QVERIFY(f.Boxes.Errors.isEmpty());
    }

    void aFileDraggedFromTheListIsGreppedOnItsOwn() {
        TFormFixture f;
        f.Dir.File("a.txt", kHit + " a\r\n");
        f.Dir.File("b.txt", kHit + " b\r\n");
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        ChooseInFileList(f, "b.txt");
        form.OpenFile(f.Dir.Path("a.txt"));  // the file shown is another one
        QWidget* target = c.LbGrep->viewport();
        const QPoint at(10, 10);

        // Files dragged out of another program are not taken.
        QMimeData shell;
        shell.setUrls({QUrl::fromLocalFile(QString::fromStdString(f.Dir.Path("a.txt")))});
        QDragEnterEvent enterShell(at, Qt::CopyAction, &shell, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enterShell);
        QVERIFY(!enterShell.isAccepted());

        const auto& listed = c.SLBox->Items();
        const int row = static_cast<int>(std::find(listed.begin(), listed.end(), f.Dir.Path("b.txt")) - listed.begin());
        std::unique_ptr<QMimeData> dragged(c.SLBox->model()->mimeData({c.SLBox->model()->index(row, 0)}));
        QDragEnterEvent enter(at, Qt::CopyAction, dragged.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, dragged.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        QVERIFY(drop.isAccepted());
        AnswerGrepDialog(form, kHitText, false);
        QTRY_VERIFY(form.GrepRunner().IsRunning());
        form.GrepRunner().WaitForDone();
        QCOMPARE(form.CurrentFile(), f.Dir.Path("b.txt"));
        QCOMPARE(Items(c.LbGrep), std::vector<std::string>{f.Dir.Path("b.txt") + " 1:" + kHit + " b"});
    }

    void aPickFromTheBarsListSearchesItAndLeavingTheBarDoesNot() {
        TFormFixture f;
        f.Dir.File("a.txt", "one\r\ntwo\r\n");
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        BarGrep(f, QStringLiteral("one"));
        BarGrep(f, QStringLiteral("two"));
        QCOMPARE(History(c.EdGrep), (QStringList{"two", "one"}));

        // Leaving the bar with the text of an entry is no pick.
        EnterInBar(f, QString());
        c.EdGrep->setEditText(QStringLiteral("one"));
        c.Memo->setFocus();
        QTRY_VERIFY(c.Memo->hasFocus());
        QVERIFY(!form.GrepRunner().IsRunning());
        QCOMPARE(c.LbGrep->Item(0), f.Dir.Path("a.txt") + " 2:two");

        // Picking "one" from the list runs it; it then stands first, chosen.
        c.EdGrep->setFocus();
        QTRY_VERIFY(c.EdGrep->hasFocus() || c.EdGrep->lineEdit()->hasFocus());
        c.EdGrep->setCurrentIndex(1);
        emit c.EdGrep->activated(1);
        QVERIFY(form.GrepRunner().IsRunning());
        form.GrepRunner().WaitForDone();
        QCOMPARE(c.LbGrep->Item(0), f.Dir.Path("a.txt") + " 1:one");
        QCOMPARE(History(c.EdGrep), (QStringList{"one", "two"}));
        QCOMPARE(c.EdGrep->currentIndex(), 0);
        QCOMPARE(c.EdGrep->currentText(), QStringLiteral("one"));
    }

    void anUnreadableFileEndsTheRunWithItsNameAndNoHistory() {
        TFormFixture f;
        f.Dir.File("a.txt", kHit + " a\r\n");
        const std::string locked = f.Dir.File("b.txt", kHit + " b\r\n");
        f.Dir.File("c.txt", kHit + " c\r\n");
        ::chmod(locked.c_str(), 0);
        TForm1& form = Shown(f, true);
        const TForm1Components& c = f.C();
        {
            test::TUnprivileged user;
            if (!user.Ok()) QSKIP("cannot drop root's privileges here");
            BarGrep(f, kHitText);
        }
        QCOMPARE(f.Boxes.Errors, QStringList{QString::fromStdString(locked)});
        QCOMPARE(Items(c.LbGrep), std::vector<std::string>{f.Dir.Path("a.txt") + " 1:" + kHit + " a"});
        QCOMPARE(c.EdGrep->count(), 0);
        QVERIFY(form.CurrentFile().empty());  // no jump after an error
        QCOMPARE(form.windowTitle(), QStringLiteral("Xavoline"));
    }

    void theStoredOptionsDriveTheGrep() {
        TFormFixture f;
        ThreeFiles(f);
        f.Dir.File("y.txt", "\xb1\r\n");  // ｱ: found by "ア" only with fuzzy search
        f.Dir.File("Xavoline.ini", "[GrepWord]\r\nWordList.Count=2\r\nWordList.0=old\r\nWordList.1=" + kHit +
                                        "\r\n[option]\r\nGrepMode=2\r\nFuzzy=0\r\nJAGREP=0\r\n");
        TForm1& form = f.Shown();
        const TForm1Components& c = f.C();
        QVERIFY(!form.GrepF().CbFuzzy->isChecked());
        BarGrep(f, QStringLiteral("ア"));
        QCOMPARE(c.LbGrep->Count(), 0);
        BarGrep(f, kHitText);
        QCOMPARE(c.LbGrep->Count(), 3);  // recursive
        QVERIFY(form.CurrentFile().empty());  // no jump after the run
        QCOMPARE(History(c.EdGrep), (QStringList{kHitText, "ア", "old"}));
        f.CloseForm();
        QVERIFY(test::ReadBytes(f.IniPath()).find("WordList.0=" + kHit + "\r\nWordList.1=\x83\x41\r\nWordList.2=old") !=
                std::string::npos);
    }

    void ctrlGFocusesTheBarWhileTheToolBarIsShown() {
        TFormFixture f;
        TForm1& form = Shown(f);
        const TForm1Components& c = f.C();
        c.Memo->setFocus();
        QTRY_VERIFY(c.Memo->hasFocus());
        QTest::keyClick(&form, Qt::Key_G, Qt::ControlModifier);
        QTRY_VERIFY(c.EdGrep->hasFocus() || c.EdGrep->lineEdit()->hasFocus());
        c.Memo->setFocus();
        QTRY_VERIFY(c.Memo->hasFocus());
        c.MmToolBar->trigger();  // hidden
        QTest::keyClick(&form, Qt::Key_G, Qt::ControlModifier);
        QVERIFY(c.Memo->hasFocus());
    }
};

QTEST_MAIN(TMainWindowGrepTest)
#include "mainwindow_grep_test.moc"
