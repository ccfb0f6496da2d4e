// What makes the toolkit's own parts speak and draw Japanese: Qt's Japanese translations
// (buttons, file, font and colour dialogs), the designed font faces mapped onto installed
// Japanese ones, and which faces count as fixed pitch for the font dialogs.
//
// Entry points: InstallJapaneseTranslation, InstallJapaneseFontSubstitutes,
// IsFixedPitchFamily, FixedPitchFamilies.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace xavo {

// Whether the user's locale asks for Japanese texts: the first of LC_ALL, LC_MESSAGES and
// LANG that is set and not empty decides; Japanese ("ja", "ja_JP.UTF-8", ...) or the plain
// C/POSIX locale (nothing chosen) say yes, any other language no, and so does nothing set.
bool WantsJapaneseTranslation(const char* lcAll, const char* lcMessages, const char* lang);

// Loads Qt's own Japanese translation (qtbase_ja) into Application when the environment's
// locale wants it (see above). False, and nothing changed, when it is not wanted or not
// installed: the texts then stay Qt's English ones.
bool InstallJapaneseTranslation(QCoreApplication& application);

// Makes the designed faces ("ＭＳ Ｐゴシック", "ＭＳ ゴシック", ...) resolve to installed
// Japanese faces of the same kind (proportional or fixed), so that the text view and the
// window are drawn in a Japanese face and not in a Latin one with borrowed glyphs. Safe to
// call more than once.
void InstallJapaneseFontSubstitutes();

// True for a face whose half-width characters all have one width: the fixed-pitch faces
// and the Japanese full/half-width faces (IPAGothic), which fontconfig calls "dual width".
bool IsFixedPitchFamily(const QString& family);

// The installed families for which IsFixedPitchFamily holds, in the font database's order.
QStringList FixedPitchFamilies();

}  // namespace xavo
