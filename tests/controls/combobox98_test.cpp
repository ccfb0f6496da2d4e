// The GREP bar's in-place completion on the offscreen platform, typed with QTest keys.
#include "ComboBox98.h"
#include "SjisCodec.h"

#include <QLineEdit>
#include <QListView>
#include <QtTest>

using namespace xavo;

class TComboBox98Test : public QObject {
    Q_OBJECT

private:
    static void Fill(TComboBox98& combo, const QStringList& items) {
        combo.addItems(items);
        combo.setEditText(QString());
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));
        combo.lineEdit()->setFocus();
    }

    static QString Selected(TComboBox98& combo) { return combo.lineEdit()->selectedText(); }

    // Types characters that have no key of their own, one key event per character.
    static void TypeText(QWidget* widget, const QString& text) {
        for (const QChar c : text) QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

private slots:
    void TypingCompletesFromTheFirstMatchingItem() {
        TComboBox98 combo;
        Fill(combo, {"abcdef", "abc"});
        QTest::keyClicks(combo.lineEdit(), "ab");
        QCOMPARE(combo.currentText(), QStringLiteral("abcdef"));
        QCOMPARE(Selected(combo), QStringLiteral("cdef"));
        QTest::keyClicks(combo.lineEdit(), "c");  // typing on replaces the suggestion
        QCOMPARE(combo.currentText(), QStringLiteral("abcdef"));
        QCOMPARE(Selected(combo), QStringLiteral("def"));
        QCOMPARE(combo.LastKey(), int(Qt::Key_C));
    }

    void TypedCaseStaysAppendedPartComesFromTheItem() {
        TComboBox98 combo;
        Fill(combo, {"abcdef"});
        QTest::keyClicks(combo.lineEdit(), "ABC");
        QCOMPARE(combo.currentText(), QStringLiteral("ABCdef"));
        QCOMPARE(Selected(combo), QStringLiteral("def"));
    }

    void BackspaceAndDeleteNeverComplete() {
        TComboBox98 combo;
        Fill(combo, {"abcdef"});
        QTest::keyClicks(combo.lineEdit(), "ab");
        QTest::keyClick(combo.lineEdit(), Qt::Key_Backspace);
        QCOMPARE(combo.currentText(), QStringLiteral("ab"));
        QTest::keyClicks(combo.lineEdit(), "c");
        QCOMPARE(combo.currentText(), QStringLiteral("abcdef"));
        QTest::keyClick(combo.lineEdit(), Qt::Key_Delete);
        QCOMPARE(combo.currentText(), QStringLiteral("abc"));
        QCOMPARE(Selected(combo), QString());
    }

    void EmptyingTheTextOtherwiseFillsInTheFirstItem() {
        TComboBox98 combo;
        Fill(combo, {"first", "second"});
        QTest::keyClicks(combo.lineEdit(), "xy");
        combo.lineEdit()->selectAll();
        QTest::keyClick(combo.lineEdit(), Qt::Key_X, Qt::ControlModifier);  // cut
        QCOMPARE(combo.currentText(), QStringLiteral("first"));
        QCOMPARE(Selected(combo), QStringLiteral("first"));
    }

    void AnEqualItemGivesAnEmptyCompletion() {
        TComboBox98 combo;
        Fill(combo, {"abc"});
        QTest::keyClicks(combo.lineEdit(), "abc");
        QCOMPARE(combo.currentText(), QStringLiteral("abc"));
        QCOMPARE(Selected(combo), QString());
        QCOMPARE(combo.lineEdit()->cursorPosition(), 3);
    }

    void PickingAnItemCompletesToo() {
        TComboBox98 combo;
        Fill(combo, {"abcdef", "abc"});
        combo.showPopup();
        QListView* view = qobject_cast<QListView*>(combo.view());
        QVERIFY(view != nullptr);
        QTRY_VERIFY(view->isVisible());
        const QRect item = view->visualRect(combo.model()->index(1, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
        QTRY_COMPARE(combo.currentText(), QStringLiteral("abcdef"));
        QCOMPARE(Selected(combo), QStringLiteral("def"));
    }

    void EnterOnAnItemDoesNotComplete() {
        TComboBox98 combo;
        Fill(combo, {"abcdef", "abc"});
        QTest::keyClicks(combo.lineEdit(), "abc");
        QTest::keyClick(combo.lineEdit(), Qt::Key_Delete);
        QCOMPARE(combo.currentText(), QStringLiteral("abc"));
        QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
        QCOMPARE(combo.currentText(), QStringLiteral("abc"));
    }

    void MinimumLengthAndSwitches() {
        TComboBox98 combo;
        Fill(combo, {"abcdef"});
        combo.SetMinLengthComplete(3);
        QTest::keyClicks(combo.lineEdit(), "ab");
        QCOMPARE(combo.currentText(), QStringLiteral("ab"));
        QTest::keyClicks(combo.lineEdit(), "c");
        QCOMPARE(combo.currentText(), QStringLiteral("abcdef"));
        combo.lineEdit()->clear();
        combo.SetMinLengthComplete(0);
        combo.SetComplete(false);
        QTest::keyClicks(combo.lineEdit(), "ab");
        QCOMPARE(combo.currentText(), QStringLiteral("ab"));
    }

    void DoubleByteCharactersCompareWhole() {
        TComboBox98 combo;
        // 0x8341 and 0x8361 differ only in a trail byte that is an ASCII letter.
        const QString a = QString::fromStdU16String(DecodeSjis("\x83\x41"));
        const QString other = QString::fromStdU16String(DecodeSjis("\x83\x61"));
        Fill(combo, {a + "xyz"});
        TypeText(combo.lineEdit(), other);
        QCOMPARE(combo.currentText(), other);
        combo.lineEdit()->clear();
        TypeText(combo.lineEdit(), a);
        QCOMPARE(combo.currentText(), a + "xyz");
        QCOMPARE(Selected(combo), QStringLiteral("xyz"));
    }

    void OnCompleteMayChangeOrVeto() {
        TComboBox98 combo;
        Fill(combo, {"abcdef"});
        std::vector<int> keys;
        combo.OnComplete = [&](TComboBox98* sender, int key, std::string& completeWith, bool& doComplete) {
            QCOMPARE(sender, &combo);
            keys.push_back(key);
            if (completeWith == "cdef")
                completeWith = "\x83\x5C";  // after "ab": complete with so instead
            else
                doComplete = false;          // after "a": no completion
        };
        QTest::keyClicks(combo.lineEdit(), "a");
        QCOMPARE(combo.currentText(), QStringLiteral("a"));
        QTest::keyClicks(combo.lineEdit(), "b");
        QCOMPARE(combo.currentText(), QStringLiteral("abソ"));
        QCOMPARE(Selected(combo), QStringLiteral("ソ"));
        QCOMPARE(keys, (std::vector<int>{Qt::Key_A, Qt::Key_B}));
    }

    void ADropDownListNeverCompletes() {
        TComboBox98 combo;
        combo.SetEditable(false);
        combo.addItems({"abc"});
        QVERIFY(combo.lineEdit() == nullptr);
        combo.SetEditable(true);
        Fill(combo, {});
        QTest::keyClicks(combo.lineEdit(), "a");
        QCOMPARE(combo.currentText(), QStringLiteral("abc"));
    }
};

QTEST_MAIN(TComboBox98Test)
#include "combobox98_test.moc"
