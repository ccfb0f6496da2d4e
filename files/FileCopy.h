// Copying files and directory trees without ever replacing anything that exists.
//
// A regular file is copied with its permission bits and modification time and flushed to
// disk before the call returns; a half-written copy is removed on failure. A tree copy
// recreates directories, copies regular files, recreates symbolic links as links (never
// followed, so a loop cannot recurse) and leaves FIFOs, sockets and devices out.
// Entry points: CopyFileNoReplace, CopyTreeNoReplace.
#pragma once

#include <string>

namespace xavo {

// Copies the regular file Source (links followed) to Destination, which must not exist.
// Returns 0 or an errno value: EEXIST when Destination exists, EINVAL when Source is not a
// regular file (never opened for reading then, so a FIFO cannot block).
int CopyFileNoReplace(const std::string& source, const std::string& destination);

// Copies Source (a regular file or a directory; links followed at the top only) to
// Destination, which must not exist. Returns 0 or the errno value of the first failure;
// what was copied before a failure stays. EINVAL when Destination lies inside Source.
int CopyTreeNoReplace(const std::string& source, const std::string& destination);

}  // namespace xavo
