// Paths cross from file-system bytes to Qt text here and back: decoded and encoded the way
// the locale gives file names (UTF-8 on a normal system), as QFile does. For showing only,
// a name that is no UTF-8 is read as Shift-JIS (as Windows tools write names).
#pragma once

#include "SjisQt.h"

#include <QFile>
#include <QString>
#include <QStringDecoder>

#include <string>
#include <string_view>

namespace xavo {

inline QString PathToQString(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

// Path as people read it: each component that is valid UTF-8 as such, any other as
// Shift-JIS. Never for opening the file again (use the bytes).
inline QString PathToDisplayText(std::string_view path) {
    QString text;
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = path.find('/', from);
        const std::string_view part = path.substr(from, end == std::string_view::npos ? end : end - from);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8.decode(QByteArrayView(part.data(), static_cast<qsizetype>(part.size())));
        text += utf8.hasError() ? SjisToQString(part) : decoded;
        if (end == std::string_view::npos) return text;
        text += QLatin1Char('/');
        from = end + 1;
    }
}

inline std::string PathFromQString(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace xavo
