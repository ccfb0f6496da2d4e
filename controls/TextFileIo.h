// Whole-file reading and writing for the text view (POSIX, no Qt).
// Entry points: ReadFileBytes, WriteFileBytes.
#pragma once

#include <string>
#include <string_view>

namespace xavo {

// The file's bytes. Returns false (Bytes unspecified) when it cannot be opened or read,
// which includes directories, anything that is not a regular file and a file whose read
// would wait for data (it never blocks).
bool ReadFileBytes(const std::string& path, std::string& bytes);

// Replaces the file with Bytes (creating it when missing). An existing regular file of
// our own with a single link is written to a temporary file beside it and renamed over
// it (keeping its permissions), so a failure never leaves it half written; other files
// (other owners, hard links, an unwritable directory) are rewritten in place, after a check
// that the disk has room for them. A symbolic link is followed. A file we may not write is
// left alone. Returns 0, or the errno value of the failure.
int WriteFileBytes(const std::string& path, std::string_view bytes);

}  // namespace xavo
