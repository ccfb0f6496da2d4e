// Translations, font substitutes and the fixed-pitch rule (see JapaneseUi.h).
#include "JapaneseUi.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdlib>
#include <string_view>

namespace xavo {
namespace {

// The designed faces and, in order of preference, installed faces of the same kind.
struct TSubstitute {
    const char* Designed;  // UTF-8
    QStringList Installed;
};

const TSubstitute kSubstitutes[] = {
    {"ＭＳ Ｐゴシック", {"IPAPGothic", "IPA Pゴシック", "Noto Sans CJK JP", "VL PGothic", "TakaoPGothic"}},
    {"ＭＳ ゴシック", {"IPAGothic", "IPAゴシック", "Noto Sans Mono CJK JP", "VL Gothic", "TakaoGothic"}},
    {"ＭＳ Ｐ明朝", {"IPAPMincho", "IPA P明朝", "Noto Serif CJK JP", "TakaoPMincho"}},
    {"ＭＳ 明朝", {"IPAMincho", "IPA明朝", "Noto Serif CJK JP", "TakaoMincho"}},
};

}  // namespace

bool WantsJapaneseTranslation(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value == nullptr || *value == '\0') continue;
        const std::string_view locale(value);
        if (locale.starts_with("ja")) return true;
        return locale == "C" || locale == "POSIX" || locale.starts_with("C.");
    }
    return true;  // nothing chosen: the program's own language
}

bool InstallJapaneseTranslation(QCoreApplication& application) {
    if (!WantsJapaneseTranslation(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"))) return false;
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

void InstallJapaneseFontSubstitutes() {
    for (const TSubstitute& substitute : kSubstitutes) {
        const QString designed = QString::fromUtf8(substitute.Designed);
        if (!QFont::substitutes(designed).isEmpty()) continue;
        QFont::insertSubstitutions(designed, substitute.Installed);
    }
}

bool IsFixedPitchFamily(const QString& family) {
    if (QFontDatabase::isFixedPitch(family)) return true;
    QFont font(family, 12);
    font.setStyleStrategy(QFont::NoFontMerging);
    if (QFontInfo(font).family().compare(family, Qt::CaseInsensitive) != 0) return false;  // not installed as such
    // Narrow, wide and digit glyphs side by side: one width in a fixed-pitch face.
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(QLatin1Char('M'));
    if (width <= 0) return false;
    for (const QChar c : QStringLiteral("il.0W@ ")) {
        if (qAbs(metrics.horizontalAdvance(c) - width) > 0.01 * width) return false;
    }
    return true;
}

QStringList FixedPitchFamilies() {
    QStringList families;
    for (const QString& family : QFontDatabase::families()) {
        if (!QFontDatabase::isPrivateFamily(family) && IsFixedPitchFamily(family)) families << family;
    }
    return families;
}

}  // namespace xavo
