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

// Replaces the file with Bytes (creating it when missing; a new file that cannot be
// written whole is removed again). An existing regular file of our own with a single
// link is written to a temporary file beside it and renamed over it (keeping its
// permissions), so a failure never leaves it half written. Other files (other owners,
// hard links, an unwritable directory) keep their inode: the new bytes are stored in a
// temporary file first, the file grows to its new size, and only then is the old content
// overwritten, so a full disk or the file-size limit refuses the save with the file
// unchanged. A symbolic link is followed. A file we may not write is left alone. No
// temporary file is left behind, except when overwriting fails half-way (an I/O error):
// it then keeps the only whole copy of the new content. Returns 0, or the errno value of
// the failure (EFBIG past the size limit, when SIGXFSZ is ignored).
int WriteFileBytes(const std::string& path, std::string_view bytes);

}  // namespace xavo
