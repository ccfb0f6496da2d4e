// The system's reason for a failed file operation, as the user reads it.
//
// The common reasons a user meets when reading and saving files come in Japanese; any
// other error number gives the C library's text. Plain C++, no Qt. Entry point:
// SystemErrorText.
#pragma once

#include <string>

namespace xavo {

// UTF-8 text for the error number Error (an errno value).
std::string SystemErrorText(int error);

}  // namespace xavo
