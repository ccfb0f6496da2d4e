// The toolkit's parts in Japanese: which locales take Qt's Japanese texts, the designed
// faces drawn with installed Japanese faces, the fixed-pitch rule and the font dialog.
#include "FontPicker.h"
#include "JapaneseUi.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLibraryInfo>
#include <QListWidget>
#include <QtTest>

using namespace xavo;

namespace {

bool Installed(const QString& family) { return QFontDatabase::families().contains(family); }

}  // namespace

class TJapaneseUiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InstallJapaneseFontSubstitutes(); }

    void japaneseOrNoChosenLanguageTakesTheJapaneseTexts() {
        const struct {
            const char* LcAll;
            const char* LcMessages;
            const char* Lang;
            bool Japanese;
        } rows[] = {
            {nullptr, nullptr, nullptr, true},       {"", "", "", true},
            {nullptr, nullptr, "ja_JP.UTF-8", true}, {nullptr, nullptr, "C", true},
            {nullptr, nullptr, "C.UTF-8", true},     {nullptr, nullptr, "POSIX", true},
            {nullptr, nullptr, "en_US.UTF-8", false}, {"en_GB.UTF-8", nullptr, "ja_JP.UTF-8", false},
            {nullptr, "ja_JP.UTF-8", "de_DE.UTF-8", true}, {"ja", "en_US.UTF-8", nullptr, true},
        };
        for (const auto& row : rows)
            QCOMPARE(WantsJapaneseTranslation(row.LcAll, row.LcMessages, row.Lang), row.Japanese);
    }

    void qtsOwnTextsAreJapaneseWhenTheTranslationIsInstalled() {
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        qputenv("LANG", "en_US.UTF-8");
        QVERIFY(!InstallJapaneseTranslation(*QCoreApplication::instance()));
        qputenv("LANG", "C.UTF-8");
        const bool present =
            QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm"));
        QCOMPARE(InstallJapaneseTranslation(*QCoreApplication::instance()), present);
        if (!present) QSKIP("qt6-translations-l10n is not installed: Qt's texts stay English, nothing fails");
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
    }

    void designedFacesDrawWithInstalledJapaneseFaces() {
        if (!Installed(QStringLiteral("IPAGothic")) || !Installed(QStringLiteral("IPAPGothic")))
            QSKIP("fonts-ipafont-gothic is not installed");
        QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ Ｐゴシック"))).family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(QFontInfo(QFont(QStringLiteral("ＭＳ ゴシック"))).family(), QStringLiteral("IPAGothic"));
    }

    void fullAndHalfWidthJapaneseFacesCountAsFixedPitch() {
        const struct {
            const char* Family;
            bool Fixed;
        } rows[] = {{"IPAGothic", true}, {"IPAPGothic", false}, {"DejaVu Sans Mono", true}, {"DejaVu Sans", false}};
        int checked = 0;
        for (const auto& row : rows) {
            if (!Installed(QString::fromUtf8(row.Family))) continue;
            QVERIFY2(IsFixedPitchFamily(QString::fromUtf8(row.Family)) == row.Fixed, row.Family);
            QCOMPARE(FixedPitchFamilies().contains(QString::fromUtf8(row.Family)), row.Fixed);
            ++checked;
        }
        if (checked == 0) QSKIP("none of the faces is installed");
        QVERIFY(!IsFixedPitchFamily(QStringLiteral("No Such Face")));
    }

    void theFontDialogOffersJapaneseFacesAndGivesTheFontBackUntouched() {
        if (!Installed(QStringLiteral("IPAGothic"))) QSKIP("fonts-ipafont-gothic is not installed");
        TFontPicker designed(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
        QVERIFY(!designed.Families->findItems(QStringLiteral("IPAGothic"), Qt::MatchExactly).isEmpty());
        QVERIFY(designed.Families->findItems(QStringLiteral("DejaVu Sans"), Qt::MatchExactly).isEmpty());
        const QFont untouched = designed.SelectedFont();
        QCOMPARE(untouched.family(), QFontInfo(QFont(QStringLiteral("ＭＳ Ｐゴシック"))).family());
        QVERIFY(!untouched.italic() && !untouched.bold());
        QCOMPARE(untouched.pointSize(), 9);

        QFont bold(QStringLiteral("IPAGothic"), 14);
        bold.setBold(true);
        bold.setUnderline(true);
        TFontPicker picker(bold);
        QCOMPARE(picker.Families->currentItem()->text(), QStringLiteral("IPAGothic"));
        const QFont same = picker.SelectedFont();
        QCOMPARE(same.family(), QStringLiteral("IPAGothic"));
        QCOMPARE(same.pointSize(), 14);
        QVERIFY(same.underline() && !same.italic());
        picker.Sizes->setCurrentText(QStringLiteral("11"));
        picker.StrikeOut->setChecked(true);
        QCOMPARE(picker.SelectedFont().pointSize(), 11);
        QVERIFY(picker.SelectedFont().strikeOut());
    }
};

QTEST_MAIN(TJapaneseUiTest)
#include "japanese_ui_test.moc"
