// File names between bytes and text, see PathText.h.
#include "PathText.h"

#include "SjisCodec.h"
#include "SjisQt.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>

namespace xavo {

namespace {

// One part of a path (no "/") as text.
QString PartToQString(std::string_view part) {
    const QByteArray bytes(part.data(), static_cast<qsizetype>(part.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    const std::u16string sjis = DecodeSjis(part);
    if (std::none_of(sjis.begin(), sjis.end(), IsSjisEscape)) return ToQString(sjis);
    return QFile::decodeName(bytes);
}

}  // namespace

QString PathToQString(std::string_view path) {
    // Most names are ASCII, the same in every reading.
    if (std::all_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(path.data(), static_cast<qsizetype>(path.size()));
    QString text;
    text.reserve(static_cast<qsizetype>(path.size()));
    for (;;) {
        const std::size_t slash = path.find('/');
        text += PartToQString(path.substr(0, slash));
        if (slash == std::string_view::npos) return text;
        text += u'/';
        path.remove_prefix(slash + 1);
    }
}

std::string PathFromQString(const QString& path) { return QFile::encodeName(path).toStdString(); }

QUrl PathToUrl(std::string_view path) {
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

std::string PathFromUrl(const QUrl& url) {
    if (!url.isLocalFile()) return {};
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace xavo
