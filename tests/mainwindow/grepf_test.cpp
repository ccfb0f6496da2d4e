// The GREP dialog on the offscreen platform: its word-list rules, the OK rules that switch
// the engine's synonym dictionary, Cancel, and dictionary files saved and opened again.
#include "GrepF.h"

#include "Grep.h"
#include "MessageBoxes.h"
#include "PathText.h"
#include "SjisQt.h"
#include "TempDir.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <fstream>
#include <sstream>

using namespace xavo;

namespace {

const std::string kNeko = "\x94\x4c";          // 猫
const std::string kNekoKana = "\x83\x6c\x83\x52";  // ネコ (sorts first: 0x83 < 0x94)

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

class TGrepFTest : public QObject {
    Q_OBJECT

private:
    struct TShownBox {
        TMessageKind Kind;
        QString Text;
    };
    std::vector<TShownBox> FBoxes;

    // The dialog shown, as the window shows it, with its file dialogs answered by Files.
    struct TFixture {
        TGrep Grep;
        TGrepF Dialog{Grep};
        QString OpenPath;
        QString SavePath;
        bool Shift = false;
        int SaveAsked = 0;

        TFixture() {
            Dialog.ShiftIsDown = [this] { return Shift; };
            Dialog.ChooseOpenFile = [this] { return OpenPath; };
            Dialog.ChooseSaveFile = [this] {
                ++SaveAsked;
                return SavePath;
            };
            Dialog.show();
        }

        // Enters Text in the pattern field (as an input method would) and presses Enter.
        void Type(const QString& text) {
            Dialog.EdRx->setFocus();
            Dialog.EdRx->setText(text);
            QTest::keyClick(Dialog.EdRx, Qt::Key_Return);
        }

        QStringList Shown() const {
            QStringList items;
            for (int i = 0; i < Dialog.LbSyn->count(); ++i) items << Dialog.LbSyn->item(i)->text();
            return items;
        }
    };

private slots:
    void init() {
        FBoxes.clear();
        SetMessagePresenter([this](TMessageKind kind, const QString&, const QString& text) {
            FBoxes.push_back({kind, text});
        });
    }

    void cleanup() { SetMessagePresenter({}); }

    void FormRegistrationAndFocus() {
        TFixture f;
        QCOMPARE(f.Dialog.windowTitle(), QStringLiteral("GREP （同義語辞書あり）"));
        QVERIFY(f.Dialog.findChild<QLineEdit*>("EdRx") == f.Dialog.EdRx);
        QVERIFY(f.Dialog.width() >= 317 && f.Dialog.height() >= 216);
        QCOMPARE(f.Dialog.minimumSize(), f.Dialog.maximumSize());  // fixed border
        // The dictionary is registered once, for the dialog's life.
        QCOMPARE(f.Grep.SynonymDics().size(), std::size_t{1});
        QVERIFY(f.Grep.SynonymDics().front() != nullptr);
        QCOMPARE(f.Dialog.SynGroup().size(), std::size_t{0});
        // Shown: the pattern field has the focus with its text selected.
        f.Dialog.hide();
        f.Dialog.EdRx->setText("old");
        f.Dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.Dialog));
        QVERIFY(f.Dialog.EdRx->hasFocus());
        QCOMPARE(f.Dialog.EdRx->selectedText(), QStringLiteral("old"));
        const QPoint screenCentre = f.Dialog.screen()->availableGeometry().center();
        QVERIFY((f.Dialog.frameGeometry().center() - screenCentre).manhattanLength() <= 1);
    }

    void EnterAddsSortedWordsAndKeepsTheDialogOpen() {
        TFixture f;
        f.Type(QStringLiteral("猫"));
        QVERIFY(f.Dialog.isVisible());  // Enter did not confirm the dialog
        QCOMPARE(f.Dialog.EdRx->text(), QString());
        f.Type(QStringLiteral("　ネコ "));  // trimmed of full- and half-width spaces
        f.Type(QStringLiteral("猫"));      // equal words stand twice
        f.Type(QStringLiteral("Apple"));
        f.Type(QStringLiteral("apple"));
        QCOMPARE(f.Shown(), (QStringList{"Apple", "apple", "ネコ", "猫", "猫"}));
        QCOMPARE(f.Dialog.Words()[2], kNekoKana);

        // Blanks only: nothing added, the field keeps its text.
        f.Type(QStringLiteral(" 　 "));
        QCOMPARE(f.Dialog.LbSyn->count(), 5);
        QCOMPARE(f.Dialog.EdRx->text(), QStringLiteral(" 　 "));
        QCOMPARE(f.Dialog.result(), 0);
    }

    void DeleteByButtonAndKeyClearAndAdd() {
        TFixture f;
        for (const char* w : {"b", "a", "c"}) f.Type(QString::fromLatin1(w));
        QTest::mouseClick(f.Dialog.BtDel, Qt::LeftButton);  // nothing selected: nothing happens
        QCOMPARE(f.Dialog.LbSyn->count(), 3);
        QCOMPARE(f.Dialog.EdRx->text(), QString());

        f.Dialog.LbSyn->setCurrentRow(1);
        QTest::mouseClick(f.Dialog.BtDel, Qt::LeftButton);
        QCOMPARE(f.Shown(), (QStringList{"a", "c"}));
        QCOMPARE(f.Dialog.EdRx->text(), QStringLiteral("b"));  // the word goes back to the field

        f.Dialog.LbSyn->setFocus();
        f.Dialog.LbSyn->setCurrentRow(1);
        QTest::keyClick(f.Dialog.LbSyn, Qt::Key_Delete);  // on release
        QCOMPARE(f.Shown(), QStringList{"a"});
        QCOMPARE(f.Dialog.EdRx->text(), QStringLiteral("c"));

        QTest::mouseClick(f.Dialog.BtAdd, Qt::LeftButton);
        QCOMPARE(f.Shown(), (QStringList{"a", "c"}));
        QTest::mouseClick(f.Dialog.BtClear, Qt::LeftButton);
        QCOMPARE(f.Dialog.LbSyn->count(), 0);
        QVERIFY(f.Dialog.Words().empty());
    }

    void OkWithAnEmptyPatternTakesTheFirstWord() {
        TFixture f;
        f.Type(QStringLiteral("猫"));
        f.Type(QStringLiteral("ネコ"));
        QTest::mouseClick(f.Dialog.BtOk, Qt::LeftButton);
        QCOMPARE(f.Dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.Dialog.PatternText(), kNekoKana);
        QCOMPARE(f.Dialog.LbSyn->count(), 2);
        QVERIFY(f.Grep.UseSynonymDic());
        QCOMPARE(f.Dialog.SynGroup(), (TREWordGroup{kNekoKana, kNeko}));
        // The engine widens either word into the group.
        f.Grep.SetRegExp(kNeko);
        QVERIFY(f.Grep.CurrentPattern().find(kNekoKana) != std::string::npos);
    }

    void OkRules_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("patternAfter");
        QTest::addColumn<QStringList>("wordsAfter");
        QTest::addColumn<bool>("synonyms");
        QTest::newRow("one word, no pattern") << "" << QStringList{"猫"} << int(QDialog::Accepted) << "猫"
                                              << QStringList{} << false;
        QTest::newRow("pattern, no words") << "犬" << QStringList{} << int(QDialog::Accepted) << "犬" << QStringList{}
                                           << false;
        QTest::newRow("blank pattern, words") << " 　" << QStringList{"b", "a"} << int(QDialog::Accepted) << "a"
                                              << QStringList{"a", "b"} << true;
        QTest::newRow("pattern and words") << "x" << QStringList{"a", "b"} << int(QDialog::Accepted) << "x"
                                           << QStringList{"a", "b"} << true;
        QTest::newRow("nothing") << "" << QStringList{} << int(QDialog::Rejected) << "" << QStringList{} << true;
    }

    void OkRules() {
        QFETCH(QString, pattern);
        QFETCH(QStringList, words);
        QFETCH(int, result);
        QFETCH(QString, patternAfter);
        QFETCH(QStringList, wordsAfter);
        QFETCH(bool, synonyms);
        TFixture f;
        f.Grep.SetUseSynonymDic(true);  // an earlier OK switched it on
        for (const QString& w : words) f.Type(w);
        f.Dialog.EdRx->setText(pattern);
        QTest::mouseClick(f.Dialog.BtOk, Qt::LeftButton);
        QCOMPARE(f.Dialog.result(), result);
        QCOMPARE(f.Dialog.isVisible(), false);
        QCOMPARE(f.Dialog.EdRx->text(), patternAfter);
        QCOMPARE(f.Shown(), wordsAfter);
        QCOMPARE(f.Grep.UseSynonymDic(), synonyms);
    }

    void CancelKeepsEverything() {
        TFixture f;
        f.Type("a");
        f.Type("b");
        f.Dialog.EdRx->setText("p");
        QTest::mouseClick(f.Dialog.BtOk, Qt::LeftButton);
        QVERIFY(f.Grep.UseSynonymDic());

        f.Dialog.show();
        f.Type("c");
        f.Dialog.EdRx->setText("q");
        f.Dialog.CbFuzzy->setChecked(true);
        QTest::mouseClick(f.Dialog.BtCancel, Qt::LeftButton);
        QCOMPARE(f.Dialog.result(), int(QDialog::Rejected));
        QCOMPARE(f.Shown(), (QStringList{"a", "b", "c"}));
        QCOMPARE(f.Dialog.EdRx->text(), QStringLiteral("q"));
        QVERIFY(f.Dialog.CbFuzzy->isChecked());
        QVERIFY(f.Grep.UseSynonymDic());
        QCOMPARE(f.Dialog.SynGroup(), (TREWordGroup{"a", "b"}));  // changes only on OK
    }

    void ClosingWithAnEmptyFieldIsCancel() {
        TFixture f;
        f.Dialog.done(QDialog::Accepted);
        QCOMPARE(f.Dialog.result(), int(QDialog::Rejected));
        f.Dialog.show();
        f.Dialog.EdRx->setText("x");
        f.Dialog.close();  // the close box
        QCOMPARE(f.Dialog.result(), int(QDialog::Rejected));
    }

    void SaveNeedsTwoWords() {
        TFixture f;
        test::TTempDir dir;
        f.SavePath = PathToQString(dir.Path("one.txt"));
        f.Type("only");
        QTest::mouseClick(f.Dialog.BtSave, Qt::LeftButton);
        QCOMPARE(f.SaveAsked, 0);
        QCOMPARE(FBoxes.size(), std::size_t{1});
        QCOMPARE(FBoxes[0].Kind, TMessageKind::Information);
        QCOMPARE(FBoxes[0].Text, QStringLiteral("Need at least 2 words for Synonym Dictionary."));
        QVERIFY(!QFile::exists(f.SavePath));
    }

    void SaveAndOpenRoundTrip() {
        TFixture f;
        test::TTempDir dir;
        const std::string path = dir.Path("syn.txt");
        for (const QString& w : {QStringLiteral("猫"), QStringLiteral("ネコ"), QStringLiteral("cat")}) f.Type(w);
        f.SavePath = PathToQString(path);
        QTest::mouseClick(f.Dialog.BtSave, Qt::LeftButton);
        QCOMPARE(f.SaveAsked, 1);
        QCOMPARE(ReadBytes(path), "cat\r\n" + kNekoKana + "\r\n" + kNeko + "\r\n");

        // Open replaces the list with the file's words.
        QTest::mouseClick(f.Dialog.BtClear, Qt::LeftButton);
        f.Type("zzz");
        f.OpenPath = f.SavePath;
        QTest::mouseClick(f.Dialog.BtOpen, Qt::LeftButton);
        QCOMPARE(f.Shown(), (QStringList{"cat", "ネコ", "猫"}));

        // With Shift held the file's words join the list: twice lists each word twice.
        f.Shift = true;
        QTest::mouseClick(f.Dialog.BtClear, Qt::LeftButton);
        QTest::mouseClick(f.Dialog.BtOpen, Qt::LeftButton);
        QTest::mouseClick(f.Dialog.BtOpen, Qt::LeftButton);
        QCOMPARE(f.Shown(), (QStringList{"cat", "cat", "ネコ", "ネコ", "猫", "猫"}));
        f.Type("dog");
        QTest::mouseClick(f.Dialog.BtOpen, Qt::LeftButton);
        QCOMPARE(f.Shown(), (QStringList{"cat", "cat", "cat", "dog", "ネコ", "ネコ", "ネコ", "猫", "猫", "猫"}));

        // A cancelled file dialog changes nothing.
        f.OpenPath.clear();
        f.Shift = false;
        QTest::mouseClick(f.Dialog.BtOpen, Qt::LeftButton);
        QCOMPARE(f.Dialog.LbSyn->count(), 10);
        QVERIFY(FBoxes.empty());
    }

    void OpenKeepsBytesThatAreNotText() {
        TFixture f;
        test::TTempDir dir;
        const std::string path = dir.File("odd.txt", std::string("b\xff\x80\r\n\x81\nA\rz", 10));
        f.OpenPath = PathToQString(path);
        QTest::mouseClick(f.Dialog.BtOpen, Qt::LeftButton);
        QCOMPARE(f.Dialog.Words(),
                 (std::vector<std::string>{"A", std::string("b\xff\x80"), "z", "\x81"}));
        f.SavePath = PathToQString(dir.Path("copy.txt"));
        QTest::mouseClick(f.Dialog.BtSave, Qt::LeftButton);
        QCOMPARE(ReadBytes(dir.Path("copy.txt")), std::string("A\r\nb\xff\x80\r\nz\r\n\x81\r\n"));
    }

    void FileErrorsAreShownAndTheListStays() {
        TFixture f;
        test::TTempDir dir;
        f.Type("a");
        f.Type("b");
        f.OpenPath = PathToQString(dir.Path("missing.txt"));
        QTest::mouseClick(f.Dialog.BtOpen, Qt::LeftButton);
        QCOMPARE(FBoxes.size(), std::size_t{1});
        QCOMPARE(FBoxes[0].Kind, TMessageKind::Error);
        QVERIFY(FBoxes[0].Text.contains(QStringLiteral("を読み込めません")));
        QCOMPARE(f.Shown(), (QStringList{"a", "b"}));

        f.SavePath = PathToQString(dir.Path("no/such/dir/syn.txt"));
        QTest::mouseClick(f.Dialog.BtSave, Qt::LeftButton);
        QCOMPARE(FBoxes.size(), std::size_t{2});
        QCOMPARE(FBoxes[1].Kind, TMessageKind::Error);
        QVERIFY(FBoxes[1].Text.contains(QStringLiteral("に書き込めません")));
        QCOMPARE(f.Shown(), (QStringList{"a", "b"}));
    }

    void UnencodableCharactersAreRefused() {
        TFixture f;
        f.Type(QStringLiteral("a😀"));
        QCOMPARE(f.Dialog.LbSyn->count(), 0);
        QCOMPARE(FBoxes.size(), std::size_t{1});
        QCOMPARE(f.Dialog.EdRx->text(), QStringLiteral("a😀"));
        QVERIFY_THROWS_EXCEPTION(ERegExpParser, f.Dialog.PatternText());
    }
};

QTEST_MAIN(TGrepFTest)
#include "grepf_test.moc"
