// Which files a GREP searches: a scope (the selected file, the listed directory, or the
// directory with all its subdirectories) turned into the sorted list of full paths.
//
// Plain C++; paths are file-system bytes. Entry points: MakeGrepTarget (what the window's
// state names, or nothing) and CollectGrepFiles (the files, in search order).
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace xavo {

// What a GREP searches. The values are the scope tags of the GREP menu items and the bar's
// radio items, and the numbers the setting "GrepMode" stores.
enum class TGrepScope { SelectedFile = 0, Directory = 1, Recursive = 2 };

// The scope of Tag (0, 1 or 2); nothing for another value.
std::optional<TGrepScope> GrepScopeOf(int tag);

// What one GREP searches.
struct TGrepTarget {
    TGrepScope Scope = TGrepScope::Directory;
    std::string Path;  // the file (SelectedFile) or the directory (Directory, Recursive)
    std::string Mask;  // the file list's mask; ";" separates several
};

// The target of Scope (the menu's tag or the bar's radio item: 0, 1 or 2): SelectedFile is
// the file list's selected entry, ListDirectory the file list's directory, TreeDirectory
// the tree's. Nothing for another scope, or scope 0 without a selected file.
std::optional<TGrepTarget> MakeGrepTarget(int scope, const std::string& selectedFile, const std::string& listDirectory,
                                          const std::string& treeDirectory, const std::string& mask);

// The files of Target, sorted ignoring case with no path twice: the selected file when it
// exists as a regular file; the directory's regular files matching the mask; or those of
// the directory and every directory below it. A directory that cannot be read contributes
// nothing. Cancel, when given and set, stops the recursive collection early (the list is
// then incomplete); the caller checks the flag.
std::vector<std::string> CollectGrepFiles(const TGrepTarget& target, const std::atomic<bool>* cancel = nullptr);

// The files of the command line's PATHs (none: "."), sorted ignoring case with no path
// twice: a path that is no directory is taken as a file (a missing one fails when it is
// searched); a directory gives its files matching Mask, with all its subdirectories when
// Recursive. OnError receives each path that cannot be used with the system's reason
// (ENOENT for an empty path).
std::vector<std::string> CollectPathFiles(std::vector<std::string> paths, bool recursive, const std::string& mask,
                                          const std::function<void(const std::string& path, int error)>& onError);

}  // namespace xavo
