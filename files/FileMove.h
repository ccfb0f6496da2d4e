// Moving a file, a symbolic link or a directory to another path without losing anything.
//
// Within a file system a move is one rename that never replaces what exists (renameat2
// with RENAME_NOREPLACE; where the file system lacks it, link + unlink for files and a
// reserved empty directory for directories). Across file systems a file or link is first
// copied under a temporary name beside the destination (contents, permission bits and
// modification time, flushed), renamed into place, and only then is the source removed,
// if it is still the file that was copied; a failure on the way leaves the source as it was
// and no partial copy behind. A directory
// is not copied across file systems. Links are moved as links, never followed.
// Entry points: MoveToPath, MoveToDir; TMoveCalls lets tests make the system calls fail.
#pragma once

#include <functional>
#include <string>

namespace xavo {

// The system calls a move makes that decide its course. Each returns 0 or an errno value.
// SystemMoveCalls gives the real ones; tests replace single members to inject failures.
struct TMoveCalls {
    // rename(2) that fails with EEXIST instead of replacing; EINVAL, ENOSYS or EOPNOTSUPP
    // when the file system cannot promise that.
    std::function<int(const std::string& from, const std::string& to)> RenameNoReplace;
    // rename(2), replacing a file at To.
    std::function<int(const std::string& from, const std::string& to)> Rename;
    // link(2) (a symbolic link itself is linked, not what it names).
    std::function<int(const std::string& from, const std::string& to)> Link;
    // unlink(2).
    std::function<int(const std::string& path)> Unlink;
};

TMoveCalls SystemMoveCalls();

// What a move across file systems returns when the source changed while it was copied
// (another device, inode, size or modification time afterwards): the copy stays at the
// destination and the source where it was, since removing it could lose the newer
// version. Not an errno value.
inline constexpr int kMoveSourceChanged = -1;

// Moves Source (a file, a symbolic link or a directory; a final "/" is ignored) to the path
// Destination. Without Overwrite nothing that exists at Destination is ever replaced
// (EEXIST). With Overwrite a file or link replaces a non-directory at Destination in one
// step, so a failed move keeps the old one; Overwrite is ignored for a directory. Returns 0
// or an errno value: ENOENT for a missing Source, EINVAL for a directory moved into itself
// or its own subtree (checked before anything is touched), EXDEV for a directory across
// file systems, kMoveSourceChanged when both stay. On failure Source is where it was.
int MoveToPath(const std::string& source, const std::string& destination, bool overwrite,
               const TMoveCalls& calls = SystemMoveCalls());

// MoveToPath into the directory DestinationDirectory under Source's own name.
int MoveToDir(const std::string& source, const std::string& destinationDirectory, bool overwrite,
              const TMoveCalls& calls = SystemMoveCalls());

}  // namespace xavo
