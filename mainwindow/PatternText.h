// A pattern typed in a Qt field as the engine's Shift-JIS bytes.
#pragma once

#include <QString>

#include <string>

namespace xavo {

// Text encoded to Shift-JIS. Raises ERegExpParser (position: the byte where the character
// would stand, from 1) when Text holds a character Shift-JIS cannot store: encoded as "?",
// it would silently change the pattern's meaning.
std::string PatternToSjis(const QString& text);

}  // namespace xavo
