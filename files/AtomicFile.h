// Atomic replacement of a small file.
//
// The new content goes to a temporary file beside the target, is flushed to the disk and
// renamed over the target, so a reader (or a crash) sees either the old file or the new
// one, never a part. Entry point: ReplaceFileAtomically.
#pragma once

#include <string>
#include <string_view>

namespace xavo {

// Replaces the file at Path with Content. An existing file keeps its permission bits
// and owner where the file system and the process allow it (never wider bits than it
// had); a new file gets 0666 less the umask. A
// symbolic link is followed, so the file it names is replaced and the link stays. With
// CreateDirectory, missing directories above the file are created with mode 0700.
// Refuses (EACCES) an existing file that the user may not write, as the file system
// would refuse writing it in place. Throws std::system_error carrying errno on any
// failure; the old file is then untouched and no temporary file is left behind.
void ReplaceFileAtomically(const std::string& path, std::string_view content, bool createDirectory = false);

}  // namespace xavo
