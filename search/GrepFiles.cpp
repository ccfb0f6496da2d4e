// The files of a GREP scope, see GrepFiles.h.
#include "GrepFiles.h"

#include "FileSystem.h"

#include <algorithm>
#include <cerrno>

namespace xavo {

std::optional<TGrepScope> GrepScopeOf(int tag) {
    if (tag < 0 || tag > 2) return std::nullopt;
    return static_cast<TGrepScope>(tag);
}

std::optional<TGrepTarget> MakeGrepTarget(int scope, const std::string& selectedFile, const std::string& listDirectory,
                                          const std::string& treeDirectory, const std::string& mask) {
    const std::optional<TGrepScope> known = GrepScopeOf(scope);
    if (!known) return std::nullopt;
    switch (*known) {
    case TGrepScope::SelectedFile:
        if (selectedFile.empty()) return std::nullopt;
        return TGrepTarget{*known, selectedFile, mask};
    case TGrepScope::Directory:
        return TGrepTarget{*known, listDirectory, mask};
    case TGrepScope::Recursive:
        return TGrepTarget{*known, treeDirectory, mask};
    }
    return std::nullopt;
}

std::vector<std::string> CollectGrepFiles(const TGrepTarget& target, const std::atomic<bool>* cancel) {
    std::vector<std::string> files;
    const TFileMask mask(target.Mask);
    switch (target.Scope) {
    case TGrepScope::SelectedFile:
        // A file that is gone (or became something else) is not searched, like a
        // directory search that finds nothing.
        if ((AttributesOf(target.Path) & faArchive) != 0) files.push_back(target.Path);
        break;
    case TGrepScope::Directory:
        ListFiles(target.Path, mask, files);
        break;
    case TGrepScope::Recursive: {
        TCollectOptions options;
        options.Recurse = true;
        if (cancel != nullptr) options.OnDirectory = [cancel](const std::string&) { return !cancel->load(); };
        CollectMatchingFiles(target.Path, mask, options, files);
        break;
    }
    }
    SortPathsIgnoringCase(files);
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

std::vector<std::string> CollectPathFiles(std::vector<std::string> paths, bool recursive, const std::string& mask,
                                          const std::function<void(const std::string& path, int error)>& onError) {
    std::vector<std::string> files;
    const TFileMask fileMask(mask);
    if (paths.empty()) paths.emplace_back(".");
    TCollectOptions collect;
    collect.Recurse = true;
    collect.OnUnreadable = onError;
    for (const std::string& given : paths) {
        if (given.empty()) {  // names no file (and not the current directory)
            onError(given, ENOENT);
            continue;
        }
        const std::string path = AbsolutePath(given);
        if (!IsDirectory(path)) {
            files.push_back(path);  // a missing file is reported when it is searched
            continue;
        }
        if (recursive) {
            CollectMatchingFiles(path, fileMask, collect, files);
        } else {
            std::vector<std::string> listed;
            if (const int error = ListFiles(path, fileMask, listed); error != 0) onError(path, error);
            files.insert(files.end(), listed.begin(), listed.end());
        }
    }
    SortPathsIgnoringCase(files);
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

}  // namespace xavo
