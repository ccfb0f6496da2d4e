// Paths cross from file-system bytes to Qt text here and back: decoded and encoded the way
// the locale gives file names (UTF-8 on a normal system), as QFile does.
#pragma once

#include <QFile>
#include <QString>

#include <string>
#include <string_view>

namespace xavo {

inline QString PathToQString(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

inline std::string PathFromQString(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace xavo
