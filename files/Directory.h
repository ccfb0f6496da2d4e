// Reading directories: the regular files of one directory that match a mask, the
// subdirectories of one directory, and every matching file below a directory.
//
// Paths and names are file-system bytes. Nothing here ever opens a file that is not a
// directory, so FIFOs and devices cannot block a listing; symbolic links are followed
// (a link to a regular file is a regular file, a link to a directory a directory), and the
// recursive collector enters each directory (device + inode) at most once.
// Entry points: ListFiles, ForEachSubdirectory, CollectMatchingFiles, AttributesOf.
#pragma once

#include "FileMask.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace xavo {

// The classic attribute word as it maps onto POSIX: hidden = the name starts with ".";
// read-only = not writable by the effective user; archive = every regular file; system =
// anything neither a regular file nor a directory (FIFO, socket, device).
enum TFileAttribute : std::uint16_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSystem = 0x04,
    faDirectory = 0x10,
    faArchive = 0x20,
};
inline constexpr std::uint16_t faAnyFile = faReadOnly | faHidden | faSystem | faArchive;

// The attribute word of Path (links followed; hidden judged on the last component).
// 0 when Path does not exist or cannot be examined.
std::uint16_t AttributesOf(const std::string& path);

// True when Path names a directory (or a link to one).
bool IsDirectory(const std::string& path);

// What makes a file the same file whatever the path: device and inode.
struct TFileId {
    dev_t Device = 0;
    ino_t Inode = 0;
    bool operator==(const TFileId&) const = default;
};

// The identity of Path (links followed); false when it cannot be examined.
bool FileIdOf(const std::string& path, TFileId& id);

// Replaces Paths with the full paths (WithTrailingSlash(Directory) + name) of the regular
// files of Directory whose names match Mask, hidden files included, each once, sorted
// with PathLessIgnoringCase. An empty Directory means the current directory with bare
// names. Returns 0, or the errno value when the directory cannot be opened (Paths empty)
// or reading it failed part way (Paths holds what was read).
int ListFiles(const std::string& directory, const TFileMask& mask, std::vector<std::string>& paths);

// One subdirectory found by ForEachSubdirectory. Name is valid during the call only.
struct TSubdirectory {
    std::string_view Name;
    std::uint16_t Attributes;  // faDirectory, plus faHidden and faReadOnly as they apply
    bool IsLink;               // reached through a symbolic link
};

// Calls Visit for each subdirectory of Directory ("." and ".." left out) in the order the
// file system returns them, until Visit returns false. Returns 0 or the errno value of a
// failed open or read.
int ForEachSubdirectory(const std::string& directory,
                        const std::function<bool(const TSubdirectory&)>& visit);

struct TCollectOptions {
    // A file is taken when its attribute word shares a bit with this mask. Every regular
    // file carries faArchive, so the default takes all of them.
    std::uint16_t Attributes = faAnyFile;
    bool Recurse = true;
    // Called before each directory is read (after it was opened), with its path ending in
    // "/"; returning false stops the collection. Suits progress display and cancelling.
    std::function<bool(const std::string& directory)> OnDirectory;
    // Called for a directory that cannot be opened or read, with the errno value.
    std::function<void(const std::string& directory, int error)> OnUnreadable;
};

// Appends to Paths every regular file matching Mask in Directory and, with Recurse, in all
// directories below it: first a directory's own files (sorted), then its subdirectories
// (sorted by name) depth first. Paths are spelt through the links followed, never resolved.
// A directory already entered (same device and inode, e.g. through a link loop) is skipped
// silently. Returns false when OnDirectory stopped the collection, true otherwise.
bool CollectMatchingFiles(const std::string& directory, const TFileMask& mask,
                          const TCollectOptions& options, std::vector<std::string>& paths);

}  // namespace xavo
