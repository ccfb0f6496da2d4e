// GREP runs into a real results list on the offscreen platform: file order of each scope,
// the result lines' bytes, cancel keeping what was found, a second run refused, a bad
// pattern changing nothing, an unreadable file ending the run; and the text view placed
// on a tag jump's line.
#include "GrepRunner.h"

#include "Grep.h"
#include "GrepText.h"
#include "MessageBoxes.h"
#include "TagJump.h"
#include "TempDir.h"
#include "TextListBox.h"
#include "XavoMemo.h"

#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <memory>

using namespace xavo;
using xavo::test::TTempDir;
using xavo::test::TUnprivileged;

Q_DECLARE_METATYPE(xavo::TGrepRunEnd)

namespace {

const std::string kHit = "\x8c\x9f\x8d\xf5";  // 検索, the word searched for

std::vector<std::string> Items(const TTextListBox& list) {
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); ++i) items.push_back(list.Item(i));
    return items;
}

// Lines numbered 1..Count, each holding the word.
std::string ManyHits(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + " " + kHit + "\r\n";
    return text;
}

}  // namespace

class TGrepRunnerTest : public QObject {
    Q_OBJECT

private:
    // A window with a results list and the runner, as the main window holds them.
    struct TFixture {
        QWidget Window;
        TGrep Grep;
        TTextListBox List{&Window};
        TGrepRunner Runner{Grep, List};
        QSignalSpy Done{&Runner, &TGrepRunner::searchDone};
        QSignalSpy Failed{&Runner, &TGrepRunner::searchFailed};

        TFixture() {
            Window.setWindowTitle("Xavoline");
            Runner.SetBusyWindow(&Window);
        }

        TGrepRunEnd Run(const TGrepTarget& target, const std::string& pattern, bool fuzzy = false) {
            if (!Runner.Start(target, pattern, fuzzy)) throw std::logic_error("refused");
            Runner.WaitForDone();
            return Done.takeLast().at(0).value<TGrepRunEnd>();
        }
    };

    static void ThreeFiles(const TTempDir& tree) {
        tree.File("z.txt", "zz\r\n" + kHit + " in z\r\n");
        tree.Dir("sub");
        tree.File("sub/m.txt", kHit + " in m\r\n");
        tree.File("a.txt", "first line\r\n" + kHit + ":a:b\r\nno\r\n" + kHit + kHit + "\r\n");
        tree.File("other.log", kHit + "\r\n");
    }

private slots:
    void initTestCase() { qRegisterMetaType<TGrepRunEnd>(); }

    void ScopesSearchTheirFilesInSortedOrder() {
        TTempDir tree;
        ThreeFiles(tree);
        const std::string root = tree.Root();
        TFixture f;

        QCOMPARE(f.Run({TGrepScope::Recursive, root, "*.txt"}, kHit), TGrepRunEnd::Completed);
        const std::vector<std::string> all = {root + "a.txt 2:" + kHit + ":a:b", root + "a.txt 4:" + kHit + kHit,
                                              root + "sub/m.txt 1:" + kHit + " in m", root + "z.txt 2:" + kHit + " in z"};
        QCOMPARE(Items(f.List), all);
        QCOMPARE(f.Runner.GrepFiles(), (std::vector<std::string>{root + "a.txt", root + "sub/m.txt", root + "z.txt"}));

        QCOMPARE(f.Run({TGrepScope::Directory, root, "*.txt"}, kHit), TGrepRunEnd::Completed);
        QCOMPARE(Items(f.List), (std::vector<std::string>{all[0], all[1], all[3]}));

        QCOMPARE(f.Run({TGrepScope::SelectedFile, root + "sub/m.txt", "*.txt"}, kHit), TGrepRunEnd::Completed);
        QCOMPARE(Items(f.List), std::vector<std::string>{all[2]});

        QCOMPARE(f.Run({TGrepScope::Directory, root, "*.txt"}, "nothing like it"), TGrepRunEnd::Completed);
        QCOMPARE(f.List.Count(), 0);
        QCOMPARE(f.Failed.count(), 0);
    }

    void CaptionCursorAndSelectionAroundARun() {
        TTempDir tree;
        ThreeFiles(tree);
        TFixture f;
        f.Run({TGrepScope::Directory, tree.Root(), "*.txt"}, kHit);
        f.List.SetItemIndex(1);
        QVERIFY(f.Runner.Start({TGrepScope::Directory, tree.Root(), "*.txt"}, kHit, true));
        QCOMPARE(f.Window.windowTitle(), QStringLiteral("GREP処理中..."));
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QVERIFY(f.Grep.UseFuzzyCharDic());
        f.Runner.WaitForDone();
        QCOMPARE(f.Window.windowTitle(), QStringLiteral("Xavoline"));
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(f.List.ItemIndex(), -1);
        QCOMPARE(f.List.Count(), 3);

        // A caption set by something else during the run is left alone.
        QVERIFY(f.Runner.Start({TGrepScope::Directory, tree.Root(), "*.txt"}, kHit, false));
        f.Window.setWindowTitle("Xavoline /somewhere/else.txt");
        f.Runner.WaitForDone();
        QCOMPARE(f.Window.windowTitle(), QStringLiteral("Xavoline /somewhere/else.txt"));
    }

    void CancelKeepsTheLinesFoundSoFar() {
        TTempDir tree;
        const int total = 100000;
        tree.File("big.txt", ManyHits(total));
        tree.File("later.txt", kHit + "\r\n");
        TFixture f;
        f.Runner.MaxQueuedLines = 1000;  // the worker waits for the list: it cannot finish first
        connect(&f.Runner, &TGrepRunner::linesAppended, &f.Runner, [&f] { f.Runner.Cancel(); });
        QVERIFY(f.Runner.Start({TGrepScope::Directory, tree.Root(), "*.txt"}, kHit, false));
        f.Runner.WaitForDone();
        QCOMPARE(f.Done.takeLast().at(0).value<TGrepRunEnd>(), TGrepRunEnd::Cancelled);
        QCOMPARE(f.Failed.count(), 0);
        const int kept = f.List.Count();
        QVERIFY2(kept > 0 && kept < total, qPrintable(QString::number(kept)));
        // What was found stays, in order, with nothing of the file never reached.
        for (int i : {0, kept / 2, kept - 1})
            QCOMPARE(f.List.Item(i), tree.Path("big.txt") + " " + std::to_string(i + 1) + ":line " +
                                         std::to_string(i + 1) + " " + kHit);
        QCOMPARE(f.Runner.GrepFiles().size(), std::size_t{2});
        QVERIFY(!f.Runner.IsRunning());
    }

    void CancelEndsARunWhoseWorkerIsStuckAndANewRunMayStart() {
        TTempDir tree;
        tree.File("a.txt", kHit + " a\r\n");
        tree.File("stuck.txt", kHit + " never read\r\n");
        // The worker hangs on stuck.txt as in a read from a dead mount, until released.
        auto release = std::make_shared<std::promise<void>>();
        std::shared_future<void> released = release->get_future().share();
        const auto stall = [released](const std::string& path) {
            if (path.ends_with("stuck.txt")) released.wait();
        };
        {
            TFixture f;
            f.Runner.BeforeFile = stall;
            QVERIFY(f.Runner.Start({TGrepScope::Directory, tree.Root(), "*.txt"}, kHit, false));
            QTRY_COMPARE(f.List.Count(), 1);
            f.Runner.Cancel();
            QTRY_VERIFY_WITH_TIMEOUT(!f.Runner.IsRunning(), 2000);
            QCOMPARE(f.Done.takeLast().at(0).value<TGrepRunEnd>(), TGrepRunEnd::Cancelled);
            QCOMPARE(Items(f.List), std::vector<std::string>{tree.Path("a.txt") + " 1:" + kHit + " a"});
            QCOMPARE(f.Window.windowTitle(), QStringLiteral("Xavoline"));
            QVERIFY(QApplication::overrideCursor() == nullptr);

            f.Runner.BeforeFile = {};
            QCOMPARE(f.Run({TGrepScope::Directory, tree.Root(), "*.txt"}, kHit), TGrepRunEnd::Completed);
            QCOMPARE(f.List.Count(), 2);

            // Destroying the runner (closing the window) does not wait for a stuck worker.
            f.Runner.BeforeFile = stall;
            QVERIFY(f.Runner.Start({TGrepScope::Directory, tree.Root(), "*.txt"}, kHit, false));
            QTRY_COMPARE(f.List.Count(), 1);
        }
        release->set_value();  // the workers left behind end on their own
        QTest::qWait(50);
    }

    void FilesWhoseReadWouldWaitAreSkippedAndNamed() {
        TTempDir tree;
        tree.File("a.txt", kHit + " a\r\n");
        tree.File("kmsg.txt", kHit + "\r\n");
        tree.File("z.txt", kHit + " z\r\n");
        TFixture f;
        QSignalSpy skipped(&f.Runner, &TGrepRunner::filesSkipped);
        // The engine raises this for a read that would wait (see the engine's tests).
        f.Runner.BeforeFile = [](const std::string& path) {
            if (path.ends_with("kmsg.txt")) throw EWouldBlock();
        };
        QCOMPARE(f.Run({TGrepScope::Directory, tree.Root(), "*.txt"}, kHit), TGrepRunEnd::Completed);
        QCOMPARE(f.List.Count(), 2);
        QCOMPARE(f.Runner.SkippedFiles(), std::vector<std::string>{tree.Path("kmsg.txt")});
        QCOMPARE(skipped.count(), 1);
        QCOMPARE(skipped.takeFirst().at(0).toStringList(), QStringList{QString::fromStdString(tree.Path("kmsg.txt"))});
        QCOMPARE(f.Failed.count(), 0);
    }

    void ASecondRunIsRefused() {
        TTempDir tree;
        tree.File("big.txt", ManyHits(50000));
        tree.File("small.txt", "x\r\n");
        TFixture f;
        f.Runner.MaxQueuedLines = 100;
        QVERIFY(f.Runner.Start({TGrepScope::Directory, tree.Root(), "*.txt"}, kHit, false));
        QVERIFY(f.Runner.IsRunning());
        QVERIFY(!f.Runner.Start({TGrepScope::SelectedFile, tree.Path("small.txt"), "*"}, "x", true));
        QVERIFY(!f.Grep.UseFuzzyCharDic());  // nothing changed by the refused run
        QCOMPARE(f.Grep.RegExp(), kHit);
        f.Runner.WaitForDone();
        QCOMPARE(f.Done.count(), 1);
        QCOMPARE(f.Done.takeLast().at(0).value<TGrepRunEnd>(), TGrepRunEnd::Completed);
        QCOMPARE(f.List.Count(), 50000);
    }

    void ABadPatternChangesNothing() {
        TTempDir tree;
        ThreeFiles(tree);
        TFixture f;
        f.Run({TGrepScope::Recursive, tree.Root(), "*.txt"}, kHit);
        const std::vector<std::string> before = Items(f.List);
        const std::vector<std::string> files = f.Runner.GrepFiles();
        QVERIFY_THROWS_EXCEPTION(ERegExpParser, f.Runner.Start({TGrepScope::Directory, tree.Root(), "*.txt"}, "(ab", true));
        QVERIFY(!f.Runner.IsRunning());
        QCOMPARE(Items(f.List), before);
        QCOMPARE(f.Runner.GrepFiles(), files);
        QCOMPARE(f.Window.windowTitle(), QStringLiteral("Xavoline"));
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(f.Grep.UseFuzzyCharDic());  // applied before the pattern, as the bar mirrors it
        QCOMPARE(f.Done.count(), 0);
    }

    void AnUnreadableFileEndsTheRunWithItsName() {
        TTempDir tree;
        tree.File("a.txt", kHit + " a\r\n");
        tree.File("b.txt", kHit + " b\r\n");
        tree.File("c.txt", kHit + " c\r\n");
        ::chmod(tree.Path("b.txt").c_str(), 0);
        TUnprivileged user;
        if (!user.Ok()) QSKIP("cannot drop root's privileges here");
        TFixture f;
        QCOMPARE(f.Run({TGrepScope::Directory, tree.Root(), "*.txt"}, kHit), TGrepRunEnd::Failed);
        QCOMPARE(f.Failed.count(), 1);
        QCOMPARE(f.Failed.takeFirst().at(0).toString(), QString::fromUtf8(tree.Path("b.txt").c_str()));
        QCOMPARE(Items(f.List), std::vector<std::string>{tree.Path("a.txt") + " 1:" + kHit + " a"});
        QCOMPARE(f.Window.windowTitle(), QStringLiteral("Xavoline"));
    }

    void RunningOutOfMemoryEndsTheRunWithASentence() {
        TTempDir tree;
        tree.File("a.txt", kHit + " a\r\n");
        tree.File("b.txt", kHit + " b ");
        // One line of 3 GB (sparse: NUL bytes read as spaces), searched under a limit of
        // the address space in use plus 200 MB.
        std::filesystem::resize_file(tree.Path("b.txt"), std::uintmax_t{3} << 30);
        std::ifstream status("/proc/self/status");
        std::uintmax_t usedKb = 0;
        for (std::string key; status >> key;)
            if (key == "VmSize:" && status >> usedKb) break;
        QVERIFY(usedKb > 0);
        rlimit before{};
        ::getrlimit(RLIMIT_AS, &before);
        rlimit limited = before;
        limited.rlim_cur = static_cast<rlim_t>((usedKb + 200 * 1024) * 1024);
        if (before.rlim_cur != RLIM_INFINITY && before.rlim_cur < limited.rlim_cur) QSKIP("already limited");
        TFixture f;
        ::setrlimit(RLIMIT_AS, &limited);
        const TGrepRunEnd end = f.Run({TGrepScope::Directory, tree.Root(), "*.txt"}, kHit);
        ::setrlimit(RLIMIT_AS, &before);
        QCOMPARE(end, TGrepRunEnd::Failed);
        QCOMPARE(f.Failed.takeFirst().at(0).toString(),
                 QString::fromUtf8(tree.Path("b.txt").c_str()) + QStringLiteral(": ") + kGrepOutOfMemory);
        QCOMPARE(Items(f.List), std::vector<std::string>{tree.Path("a.txt") + " 1:" + kHit + " a"});
    }

    void ResultLinesKeepTheBytesOfFileNamesAndText() {
        TTempDir tree;
        const std::string odd = "\xff\xfe name 3:x.txt";  // not UTF-8, holds " 3:"
        tree.File(odd, std::string("\x82\xa0\0\xff", 4) + kHit + "\r\n");
        TFixture f;
        f.Run({TGrepScope::Directory, tree.Root(), "*"}, kHit);
        QCOMPARE(f.List.Count(), 1);
        const std::string line = tree.Path(odd) + " 1:" + std::string("\x82\xa0 \xff", 4) + kHit;  // NUL reads as a space
        QCOMPARE(f.List.Item(0), line);
        const TTagJumpTarget target = ParseResultLine(f.List.Item(0));
        QCOMPARE(target.File, tree.Path(odd));
        QCOMPARE(target.LineNo, 1);
    }

    void DisplayTextDecodesThePathAsAFileNameAndTheRestAsShiftJis() {
        // The source is UTF-8, as file names are here.
        QCOMPARE(ResultLineDisplayText("/home/日本/a b.txt 3:" + kHit + ":x"), QStringLiteral("/home/日本/a b.txt 3:検索:x"));
        QCOMPARE(ResultLineDisplayText(kHit + " no number"), QStringLiteral("検索 no number"));
        const std::string odd = "/t/\xff.txt 1:" + kHit;
        QVERIFY(ResultLineDisplayText(odd).endsWith(QStringLiteral(".txt 1:検索")));
        // A character's other code (0xEEE0 for 髙, beside 0xFBFC) shows as the character.
        QCOMPARE(ResultLineDisplayText("/a.txt 2:\xEE\xE0"), QStringLiteral("/a.txt 2:髙"));
    }

    void TagJumpPlacesTheLineFourthFromTheTop() {
        TXavoMemo memo;
        memo.resize(300, 200);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
        std::string text;
        for (int i = 1; i <= 100; ++i) text += "row " + std::to_string(i) + (i == 50 ? " x:y" : "") + "\r\n";
        memo.SetText(text);

        ShowTagJumpLine(memo, ParseResultLine("/f 50:row 50 x:y", [](const std::string&) { return true; }), frMatchCase);
        QCOMPARE(memo.CaretLine(), 49);
        QCOMPARE(memo.SelStart(), memo.LineIndex(49));
        QCOMPARE(memo.SelText(), std::string("row 50 x:y"));
        QCOMPARE(memo.FirstVisibleLine(), 46);

        // The text is no longer there: the line's start, selected as long as the text.
        ShowTagJumpLine(memo, ParseResultLine("/f 10:changed text", [](const std::string&) { return true; }), 0);
        QCOMPARE(memo.SelStart(), memo.LineIndex(9));
        QCOMPARE(memo.SelLength(), 12);
        QCOMPARE(memo.FirstVisibleLine(), 6);

        // Line 0 is the first line; a line past the end is the last.
        ShowTagJumpLine(memo, ParseResultLine("/f 0:row 1", [](const std::string&) { return true; }), 0);
        QCOMPARE(memo.SelStart(), 0);
        QCOMPARE(memo.SelText(), std::string("row 1"));
        ShowTagJumpLine(memo, ParseResultLine("/f 500:zzz", [](const std::string&) { return true; }), 0);
        QCOMPARE(memo.CaretLine(), memo.LineCount() - 1);
    }

    // A large (mapped) file: the jump reaches its lines, and one of its last lines shows on
    // screen, as low as the end of the text requires.
    void TagJumpReachesALineOfALargeFile() {
        TTempDir tree;
        std::string text;
        for (int i = 1; text.size() < 4u << 20; ++i) text += "row " + std::to_string(i) + "\n";
        tree.File("big.txt", text);
        const std::string path = tree.Path("big.txt");
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.resize(300, 200);
        memo.show();
        memo.LoadFromFile(path);
        ShowTagJumpLine(memo, ParseResultLine("/f 300000:row 300000", [](const std::string&) { return true; }), frMatchCase);
        QCOMPARE(memo.CaretLine(), std::int64_t{299999});
        QCOMPARE(memo.SelText(), std::string("row 300000"));
        QCOMPARE(memo.FirstVisibleLine(), std::int64_t{299996});
        const std::int64_t last = memo.LineCount() - 2;  // the last line of text
        ShowTagJumpLine(memo, ParseResultLine("/f " + std::to_string(last + 1) + ":row", [](const std::string&) { return true; }), 0);
        QCOMPARE(memo.CaretLine(), last);
        QVERIFY(memo.viewport()->rect().contains(memo.PositionRect(memo.SelStart()).center()));
        QCOMPARE(memo.FirstVisibleLine(), memo.LineCount() - memo.VisibleRows());
    }

    void TagJumpShowsTheStartOfAWrappedLongLineOnTheFourthRow() {
        TXavoMemo memo;
        memo.SetWordWrap(true);
        memo.resize(300, 200);
        memo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&memo));
        const std::string marker = "\x90\xe6\x93\xaa\x83\x7d\x81\x5b\x83\x4a\x81\x5b";  // 先頭マーカー
        std::string text;
        for (int i = 1; i <= 40; ++i) {
            text += (i < 10 ? "00" : "0") + std::to_string(i);
            // Line 17 wraps too: the rows above the hit are counted as rows, not lines.
            if (i == 17) text += " " + std::string(400, 'b');
            if (i == 20) text += " " + marker + std::string(3000, 'a');
            text += "\r\n";
        }
        memo.SetText(text);
        ShowTagJumpLine(memo, ParseResultLine("/f 20:020 " + marker, [](const std::string&) { return true; }), 0);
        QCOMPARE(memo.CaretLine(), std::int64_t{19});
        const QRect start = memo.PositionRect(memo.LineIndex(19));
        const QRect top = memo.PositionRect(memo.CharFromPos(memo.FormatRect().left() + 1, memo.FormatRect().top() + 1));
        QCOMPARE(qRound(double(start.top() - top.top()) / start.height()), 3);
    }
};

QTEST_MAIN(TGrepRunnerTest)
#include "greprunner_test.moc"
