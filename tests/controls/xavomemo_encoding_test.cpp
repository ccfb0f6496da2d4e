// The text view with files in every Japanese encoding: unedited files saved byte for byte
// (detected or chosen), the text shown decoded, and edits saved in the file's encoding.
#include "Encoding.h"
#include "SjisCodec.h"
#include "TempDir.h"
#include "XavoMemo.h"

#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

#include <optional>

using namespace xavo;

Q_DECLARE_METATYPE(std::optional<xavo::TEncoding>)
Q_DECLARE_METATYPE(xavo::TFileEncoding)

namespace {

// Three lines with all three line ends; ① and ～ differ in other tables.
const std::u16string kLines = u"日本語のテキスト①～\r\nASCII とかな\n漢字\r";

std::string Encoded(std::u16string_view text, TFileEncoding encoding) { return EncodeText(text, encoding); }

}  // namespace

class TXavoMemoEncodingTest : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    std::string Path(const char* name) { return (FDir.path() + "/" + name).toStdString(); }

private slots:
    void initTestCase() { QVERIFY(FDir.isValid()); }

    void UneditedFilesSaveByteForByte_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<std::optional<TEncoding>>("chosen");
        QTest::addColumn<TFileEncoding>("expected");
        QTest::addColumn<QString>("firstLine");  // empty: not checked
        const QString first = QString::fromStdU16String(u"日本語のテキスト①～");
        const auto row = [&](const char* name, const std::string& bytes, std::optional<TEncoding> chosen,
                             TFileEncoding expected, const QString& line) {
            QTest::newRow(name) << QByteArray::fromStdString(bytes) << chosen << expected << line;
        };
        const std::optional<TEncoding> detect;
        const std::u16string lines = kLines + u"ｶﾀｶﾅ\n";
        row("Shift-JIS, a cut character", Encoded(lines, {}) + "\x81", detect, {}, first);
        row("EUC-JP, a stray byte", Encoded(lines, {TEncoding::EucJp}) + "\xA4\x20", detect, {TEncoding::EucJp}, first);
        row("JIS", Encoded(kLines, {TEncoding::Jis}), detect, {TEncoding::Jis}, first);
        row("JIS, an old designation", "\x1b$@F|K\\\x1b(B\r\n", detect, {TEncoding::Jis}, {});
        const std::u16string wide = lines + u"😀 ¥ — \u2029 \uFDD0 end";
        // Ill-formed past the bytes the detection reads.
        row("UTF-8, ill-formed bytes late", Encoded(wide, {TEncoding::Utf8}) + std::string(70000, 'a') + "\xC3(\xED\xA0\x80",
            detect, {TEncoding::Utf8}, first);
        row("UTF-8 with a mark", Encoded(wide, {TEncoding::Utf8, true}), detect, {TEncoding::Utf8, true}, first);
        row("UTF-16LE with a mark, an odd byte", Encoded(wide, {TEncoding::Utf16Le, true}) + "x", detect,
            {TEncoding::Utf16Le, true}, first);
        row("UTF-16BE with a mark, a lone surrogate", Encoded(wide, {TEncoding::Utf16Be, true}) + "\xD8\x00", detect,
            {TEncoding::Utf16Be, true}, first);
        row("UTF-16 chosen, no mark", Encoded(wide, {TEncoding::Utf16Le}), TEncoding::Utf16Le, {TEncoding::Utf16Le}, first);
        row("UTF-16 chosen, big-endian mark", Encoded(wide, {TEncoding::Utf16Be, true}), TEncoding::Utf16Le,
            {TEncoding::Utf16Be, true}, first);
        row("UTF-8 chosen for Shift-JIS", Encoded(lines, {}), TEncoding::Utf8, {TEncoding::Utf8}, {});
        row("Shift-JIS chosen for UTF-8", Encoded(wide, {TEncoding::Utf8}), TEncoding::Sjis, {}, {});
        row("EUC-JP chosen for UTF-16", Encoded(wide, {TEncoding::Utf16Le, true}), TEncoding::EucJp, {TEncoding::EucJp}, {});
    }

    void UneditedFilesSaveByteForByte() {
        QFETCH(QByteArray, bytes);
        QFETCH(std::optional<TEncoding>, chosen);
        QFETCH(TFileEncoding, expected);
        QFETCH(QString, firstLine);
        const std::string in = Path("in.txt"), out = Path("out.txt");
        test::WriteWhole(in, bytes.toStdString());
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.LoadFromFile(in, chosen);
        QVERIFY(memo.Encoding() == expected);
        if (!firstLine.isEmpty()) {
            QCOMPARE(QString::fromStdU16String(memo.Buffer().Decode(0, memo.LineLength(0))), firstLine);
            // Positions stay those of the text in Shift-JIS.
            QCOMPARE(memo.Lines()[0], EncodeSjis(firstLine.toStdU16String()));
        }
        QCOMPARE(memo.FindUnencodable(), std::int64_t{-1});
        memo.SaveToFile(out);
        QCOMPARE(test::ReadWhole(out), bytes.toStdString());
        // An edit undone keeps every byte too.
        memo.SetSelStart(3);
        memo.SetSelText("zz");
        memo.Undo();
        memo.SaveToFile(out);
        QCOMPARE(test::ReadWhole(out), bytes.toStdString());
    }

    void EditsAreSavedInTheFilesEncoding() {
        // UTF-8: characters Shift-JIS lacks are kept, and nothing warns about them.
        const std::string in = Path("edit.txt");
        test::WriteWhole(in, EncodeText(u"😀 ¥\r\n二行目?\r\n", {TEncoding::Utf8}));
        TXavoMemo memo;
        memo.SetPlainText(true);
        memo.LoadFromFile(in);
        // In the byte text the emoji and ¥ are "???", which a '?' searched for is not.
        memo.SetSelStart(0);
        QVERIFY(memo.FindText(std::string_view("?"), frDown));
        QCOMPARE(memo.SelStart(), memo.LineIndex(1) + 6);
        memo.SetSelStart(memo.LineIndex(1));
        memo.SetSelText(EncodeSjis(u"追加"));
        QCOMPARE(memo.FindUnencodable(), -1);
        memo.SaveToFile(in);
        QCOMPARE(test::ReadWhole(in), EncodeText(u"😀 ¥\r\n追加二行目?\r\n", {TEncoding::Utf8}));
        memo.SetSelStart(memo.GetTextLen());
        QVERIFY(memo.FindText(std::string_view("?"), TFindOptions{}));
        QCOMPARE(memo.SelStart(), memo.LineIndex(1) + 10);
        QVERIFY(!memo.FindText(std::string_view("?"), TFindOptions{}));

        // EUC-JP lacks the IBM extension kanji that Shift-JIS has: that one is found.
        test::WriteWhole(in, EncodeText(u"あい\nう\n", {TEncoding::EucJp}));
        memo.LoadFromFile(in);
        QVERIFY(memo.Encoding() == TFileEncoding{TEncoding::EucJp});
        memo.SetSelStart(memo.LineIndex(1) + 2);
        memo.SetSelText(EncodeSjis(u"え髙"));
        QCOMPARE(memo.FindUnencodable(), memo.LineIndex(1) + 4);

        // Text given as bytes is Shift-JIS again.
        memo.SetText("abc");
        QVERIFY(memo.Encoding() == TFileEncoding{});
    }
};

QTEST_MAIN(TXavoMemoEncodingTest)
#include "xavomemo_encoding_test.moc"
