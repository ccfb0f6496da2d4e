// Whole-file reading and writing for the text view (POSIX, no Qt).
// Entry points: ReadFileBytes, WriteFileBytes, IsUtf8TextFile.
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
// link is written to a temporary file beside it, given the file's group and mode, and
// renamed over it, so a failure never leaves it half written. Other files (other owners,
// a group the temporary file cannot take, hard links, an unwritable directory) keep their
// inode, and so their owner, group, mode and links: the new bytes are stored in a
// temporary file first, the file grows to its new size, and only then is the old content
// overwritten, so a full disk or the file-size limit refuses the save with the file
// unchanged. A symbolic link is followed. A file we may not write is left alone. No
// temporary file is left behind, except when overwriting fails half-way (an I/O error):
// it then keeps the only whole copy of the new content. Returns 0, or the errno value of
// the failure (EFBIG past the size limit, when SIGXFSZ is ignored). Flush: a file
// replaced by rename is on the disk before the rename (fsync); a batch of many files
// leaves that to the system, as a copy does.
int WriteFileBytes(const std::string& path, std::string_view bytes, bool flush = true);

// Whether the file holds UTF-8 text (TUtf8Check::IsText). Read in blocks and only up to
// its first ill-formed byte; false for a file that cannot be read.
bool IsUtf8TextFile(const std::string& path);

}  // namespace xavo
