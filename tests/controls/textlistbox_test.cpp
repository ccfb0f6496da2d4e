// The GREP results list on the offscreen platform: the horizontal extent rules on add,
// delete, clear and font change, tab stops, items as bytes, and batched appends.
#include "SjisCodec.h"
#include "SjisQt.h"
#include "TextListBox.h"

#include <QAbstractItemModelTester>
#include <QScrollBar>
#include <QtTest>

#include <cmath>

using namespace xavo;

class TTextListBoxTest : public QObject {
    Q_OBJECT

private:
    // The width the platform's text extent gives: the sum of the characters' advances.
    static int Advances(const QFontMetrics& metrics, const QString& text) {
        int width = 0;
        for (const QChar c : text) width += metrics.horizontalAdvance(c);
        return width;
    }

    static void Settle(TTextListBox& list) {
        list.FlushPending();
        list.doItemsLayout();
        QCoreApplication::processEvents();
    }

    static void ShowList(TTextListBox& list) {
        list.setFont(QFont("IPAGothic", 10));
        list.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list.resize(200, 150);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
    }

private slots:
    void ExtentIsTheWidestItemPlusAnX() {
        TTextListBox list;
        ShowList(list);
        QAbstractItemModelTester tester(list.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QFontMetrics metrics(list.font());
        QCOMPARE(list.MaxWidth(), 0);
        list.Add(std::string("short"));
        list.Add(std::string("a much longer result line, wider than the list itself"));
        list.Add(QStringLiteral("日本語の行"));
        const int widest = Advances(metrics, QStringLiteral("a much longer result line, wider than the list itselfx"));
        QCOMPARE(list.GetItemWidth(1), widest);
        QCOMPARE(list.MaxWidth(), widest);
        QCOMPARE(list.HorizontalExtent(), widest);
        Settle(list);
        QCOMPARE(list.horizontalScrollBar()->maximum(), widest - list.viewport()->width());

        // Deleting a narrower item leaves the extent; deleting the widest shrinks it.
        list.horizontalScrollBar()->setValue(40);
        list.Delete(0);
        QCOMPARE(list.MaxWidth(), widest);
        QCOMPARE(list.horizontalScrollBar()->value(), 40);
        list.Delete(0);
        QCOMPARE(list.MaxWidth(), Advances(metrics, QStringLiteral("日本語の行x")));
        QCOMPARE(list.horizontalScrollBar()->value(), 0);

        // Clearing: extent 0, back at the left.
        list.Add(std::string("a much longer result line, wider than the list itself"));
        Settle(list);
        list.horizontalScrollBar()->setValue(30);
        list.Clear();
        Settle(list);
        QCOMPARE(list.MaxWidth(), 0);
        QCOMPARE(list.HorizontalExtent(), 0);
        QCOMPARE(list.horizontalScrollBar()->value(), 0);
        QCOMPARE(list.horizontalScrollBar()->maximum(), 0);
    }

    void AnItemThatFillsTheListStillScrolls() {
        TTextListBox list;
        ShowList(list);
        const QString text = QStringLiteral("exactly as wide");
        const int textWidth = Advances(QFontMetrics(list.font()), text);
        list.resize(list.width() - list.viewport()->width() + textWidth, list.height());
        QCOMPARE(list.viewport()->width(), textWidth);
        list.Add(text);
        Settle(list);
        QVERIFY(list.horizontalScrollBar()->maximum() > 0);
    }

    void FontChangeMeasuresAgain() {
        TTextListBox list;
        ShowList(list);
        list.Add(std::string("some item"));
        list.Add(std::string("another item"));
        const int before = list.MaxWidth();
        QFont big = list.font();
        big.setPointSize(big.pointSize() * 3);
        list.setFont(big);
        QCOMPARE(list.MaxWidth(), Advances(QFontMetrics(big), QStringLiteral("another itemx")));
        QVERIFY(list.MaxWidth() > before);
    }

    void TabsExpandToTabStops() {
        TTextListBox list;
        ShowList(list);
        const QFontMetrics metrics(list.font());
        list.Add(std::string("a\tbc"));
        const int noTabs = list.GetItemWidth(0);
        QCOMPARE(noTabs, Advances(metrics, QStringLiteral("a bcx")));  // no tab stops: one blank
        list.SetTabWidth(32);  // 8 characters
        const int tab = static_cast<int>(std::nearbyint(metrics.horizontalAdvance(QChar(u'0')) * 8.0));
        QCOMPARE(list.GetItemWidth(0), tab + Advances(metrics, QStringLiteral("bcx")));
        QCOMPARE(list.MaxWidth(), list.GetItemWidth(0));
    }

    void ItemsAreBytes() {
        TTextListBox list;
        list.Add(std::string("C:/a b.txt 12:\x83\x5C\x88\x9F"));
        list.Add(QStringLiteral("ソ"));
        list.Add(std::string("\x87\x90\x80"));  // bytes without a character of their own stay as they are
        QCOMPARE(list.Count(), 3);
        QCOMPARE(list.ItemText(0), QStringLiteral("C:/a b.txt 12:ソ亜"));
        QCOMPARE(list.Item(1), std::string("\x83\x5C"));
        QCOMPARE(list.Item(2), std::string("\x87\x90\x80"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.Item(3));
        list.Insert(1, "inserted");
        QCOMPARE(list.Item(1), std::string("inserted"));
        QCOMPARE(list.Item(2), std::string("\x83\x5C"));
    }

    // Items shown otherwise than decoded keep that text as items are inserted before them
    // and deleted, until the list is cleared.
    void AnItemShownOtherwiseKeepsItsText() {
        TTextListBox list;
        list.Add(std::string("a"));
        list.Add(std::string("b\x81\x7F"), QStringLiteral("b\U0001F600 wide"));
        list.Add(std::string("c"), QStringLiteral("C"));
        QCOMPARE(list.Item(1), std::string("b\x81\x7F"));
        QCOMPARE(list.MaxWidth(), list.GetItemWidth(1));
        list.Insert(0, "z");
        list.Delete(1);
        QCOMPARE(list.ItemText(0), QStringLiteral("z"));
        QCOMPARE(list.ItemText(1), QStringLiteral("b\U0001F600 wide"));
        QCOMPARE(list.ItemText(2), QStringLiteral("C"));
        list.Delete(1);
        QCOMPARE(list.ItemText(1), QStringLiteral("C"));
        list.Clear();
        list.Add(std::string("d"));
        list.Add(std::string("e"));
        QCOMPARE(list.ItemText(1), QStringLiteral("e"));
    }

    void ADisplayDecoderChangesTheTextNotTheBytes() {
        TTextListBox list;
        const std::string line = "/tmp/\xc3\xa9t\xc3\xa9.txt 3:\x83\x5c";  // a UTF-8 path, a Shift-JIS text
        list.Add(line);
        const int before = list.MaxWidth();
        list.SetDisplayDecoder([](std::string_view bytes) {
            return QString::fromUtf8(bytes.data(), 15) + SjisToQString(bytes.substr(15));
        });
        QCOMPARE(list.ItemText(0), QStringLiteral("/tmp/été.txt 3:ソ"));
        QCOMPARE(list.Item(0), line);
        QVERIFY(list.MaxWidth() != before);  // measured again with the new text
        QCOMPARE(list.MaxWidth(), list.GetItemWidth(0));
    }

    // A line of megabytes shows its start only, cut between characters; its bytes stay
    // whole for the tag jump, and the extent stays that of the shown text.
    void AVeryLongItemIsShownCut() {
        std::string doubleBytes;
        for (int i = 0; i < 2'000'000; ++i) doubleBytes += "\x82\xa0";
        const struct {
            std::string Bytes;
            bool Cut;
        } cases[] = {
            {std::string(TTextListBox::kMaxShownUnits, 'a'), false},
            {std::string(TTextListBox::kMaxShownUnits + 1, 'a'), true},
            {"/t/a.txt 1:" + std::string(4'000'000, 'x'), true},
            {"/t/b.txt 22:" + doubleBytes, true},   // a double-byte character at the cut
            {"/t/b.txt 3:" + doubleBytes, true},
        };
        for (const auto& c : cases) {
            TTextListBox list;
            list.Add(c.Bytes);
            QCOMPARE(list.Item(0), c.Bytes);
            const QString shown = list.ItemText(0);
            QVERIFY(shown.size() <= TTextListBox::kMaxShownUnits + 1);
            QCOMPARE(shown.endsWith(QChar(0x2026)), c.Cut);
            const QString kept = c.Cut ? shown.chopped(1) : shown;
            QVERIFY(kept.size() >= TTextListBox::kMaxShownUnits - 1);
            QCOMPARE(kept, SjisToQString(std::string_view(c.Bytes).substr(0, 2 * static_cast<std::size_t>(kept.size()))).left(kept.size()));
            for (const QChar unit : kept) QVERIFY(!IsSjisEscape(unit.unicode()));
            QCOMPARE(list.MaxWidth(), list.GetItemWidth(0));
            QVERIFY(list.MaxWidth() < 40 * TTextListBox::kMaxShownUnits);
        }
    }

    void AppendsReachTheViewInBatches() {
        TTextListBox list;
        QAbstractItemModelTester tester(list.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int i = 0; i < 10000; ++i) list.Add("line " + std::to_string(i));
        QCOMPARE(list.Count(), 10000);
        QCOMPARE(list.model()->rowCount(), 0);  // nothing shown before the event loop runs
        QTRY_COMPARE(list.model()->rowCount(), 10000);
        QCOMPARE(list.ItemIndex(), -1);
        list.Add(std::string("last"));
        list.SetItemIndex(10000);  // a pending row is shown first, then selected
        QCOMPARE(list.ItemIndex(), 10000);
        QCOMPARE(list.currentIndex().data().toString(), QStringLiteral("last"));
        list.SetItemIndex(-1);
        QCOMPARE(list.ItemIndex(), -1);
    }

    void AClickRightOfAShortItemSelectsIt() {
        TTextListBox list;
        ShowList(list);
        list.Add(std::string("a"));
        list.Add(std::string("b"));
        Settle(list);
        const QRect row = list.visualRect(list.model()->index(1, 0));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(list.viewport()->width() - 5, row.center().y()));
        QCOMPARE(list.ItemIndex(), 1);
        QVERIFY(!list.indexAt(QPoint(5, row.bottom() + 20)).isValid());  // below the last row: none
    }

    void SelectionModes() {
        TTextListBox list;
        QCOMPARE(list.selectionMode(), QAbstractItemView::SingleSelection);
        list.SetMultiSelect(true);
        QCOMPARE(list.selectionMode(), QAbstractItemView::MultiSelection);
        list.SetExtendedSelect(true);
        QCOMPARE(list.selectionMode(), QAbstractItemView::ExtendedSelection);
        list.SetMultiSelect(false);
        QCOMPARE(list.selectionMode(), QAbstractItemView::SingleSelection);
        list.SetItemHeight(12);
        QCOMPARE(list.ItemHeight(), 12);
    }
};

QTEST_MAIN(TTextListBoxTest)
#include "textlistbox_test.moc"
