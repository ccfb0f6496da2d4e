// Why a file operation failed, in the words the window speaks (Japanese, UTF-8), so an
// error box says the reason whatever the user's locale. No Qt. Entry point: ErrorReason.
#pragma once

#include <string>

namespace xavo {

// The reason for the errno value Error: a sentence of our own for the failures a user
// meets with files (a directory in the way, no room, no permission, the size limit...),
// the C library's text for the rest.
std::string ErrorReason(int error);

}  // namespace xavo
