// File names cross from file-system bytes to Qt text here and back. The bytes are what
// every file operation uses; the text is for people. A name is shown as the locale gives it
// (UTF-8 on a normal system); a name that is not valid UTF-8 but is valid Shift-JIS, as
// Windows programs write them, is shown decoded as Shift-JIS. Such text does not encode
// back to the name's bytes, so code that must reach the file again keeps the bytes, and
// drags and drops carry them in their URLs (PathToUrl, PathFromUrl).
// Entry points: PathToQString, PathFromQString, PathToUrl, PathFromUrl.
#pragma once

#include <QString>
#include <QUrl>

#include <string>
#include <string_view>

namespace xavo {

// Path (bytes) as text for display, decoded part by part between the "/": valid UTF-8 as
// UTF-8, else valid Shift-JIS (no invalid or unassigned code) as Shift-JIS, else as the
// locale decodes it (bytes it cannot decode shown as U+FFFD).
QString PathToQString(std::string_view path);

// Text (typed, or chosen in a dialog) as a path's bytes, encoded as the locale does (UTF-8).
std::string PathFromQString(const QString& path);

// A file URL for the absolute Path that holds its bytes exactly (percent-encoded), whatever
// they are.
QUrl PathToUrl(std::string_view path);

// The bytes of the local file URL Url (as PathToUrl makes them, or another program's);
// empty for a URL that names no local file.
std::string PathFromUrl(const QUrl& url);

}  // namespace xavo
