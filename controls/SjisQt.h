// The codec at the boundary with Qt: QString <-> Shift-JIS bytes, and views of a
// QString's UTF-16 units for the codec's functions. Header only.
#pragma once

#include "SjisCodec.h"

#include <QString>

#include <string>
#include <string_view>

namespace xavo {

// The units of Text, valid while Text lives and is not changed.
inline std::u16string_view View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

inline QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// Shift-JIS bytes as text (lossless, see DecodeSjis).
inline QString SjisToQString(std::string_view sjis) { return ToQString(DecodeSjis(sjis)); }

// Shift-JIS bytes as text to be looked at: duplicate codes as their characters (ShownText).
inline QString SjisToShownQString(std::string_view sjis) { return ToQString(ShownText(DecodeSjis(sjis))); }

// Text as Shift-JIS bytes; what CP932 cannot store becomes '?' and is counted.
inline std::string QStringToSjis(const QString& text) { return EncodeSjis(View(text)); }
inline std::string QStringToSjis(const QString& text, std::size_t& unencodable) {
    return EncodeSjis(View(text), unencodable);
}

}  // namespace xavo
