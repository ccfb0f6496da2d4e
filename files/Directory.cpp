// Directory reading on POSIX, see Directory.h.
#include "Directory.h"

#include "Paths.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace xavo {

namespace {

enum class TEntryKind { Regular, Directory, Other };

// An open directory stream. Opened with O_DIRECTORY so that a FIFO or device given by
// mistake fails at once instead of blocking, and O_NONBLOCK for good measure.
class TDirectoryStream {
public:
    explicit TDirectoryStream(const std::string& path) {
        const int fd = ::open(path.empty() ? "." : path.c_str(),
                              O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            FError = errno;
            return;
        }
        if (::fstat(fd, &FStat) != 0 || (FDir = ::fdopendir(fd)) == nullptr) {
            FError = errno;
            ::close(fd);
        }
    }
    ~TDirectoryStream() {
        if (FDir != nullptr) ::closedir(FDir);
    }
    TDirectoryStream(const TDirectoryStream&) = delete;
    TDirectoryStream& operator=(const TDirectoryStream&) = delete;

    int Error() const { return FError; }
    const struct stat& Stat() const { return FStat; }
    int Fd() const { return ::dirfd(FDir); }

    // The next entry other than "." and "..", or nullptr at the end or on a read error
    // (then Error() is set).
    const dirent* Next() {
        for (;;) {
            errno = 0;
            const dirent* e = ::readdir(FDir);
            if (e == nullptr) {
                FError = errno;
                return nullptr;
            }
            const char* n = e->d_name;
            if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
            return e;
        }
    }

    // What Entry is, following a symbolic link. Only links and file systems that do not
    // fill d_type cost a stat call.
    TEntryKind KindOf(const dirent* entry, bool& isLink) const {
        isLink = entry->d_type == DT_LNK;
        switch (entry->d_type) {
        case DT_REG: return TEntryKind::Regular;
        case DT_DIR: return TEntryKind::Directory;
        case DT_LNK:
        case DT_UNKNOWN: break;
        default: return TEntryKind::Other;
        }
        struct stat st {};
        if (::fstatat(Fd(), entry->d_name, &st, 0) != 0) return TEntryKind::Other;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat lst {};
            isLink = ::fstatat(Fd(), entry->d_name, &lst, AT_SYMLINK_NOFOLLOW) == 0 &&
                     S_ISLNK(lst.st_mode);
        }
        if (S_ISREG(st.st_mode)) return TEntryKind::Regular;
        if (S_ISDIR(st.st_mode)) return TEntryKind::Directory;
        return TEntryKind::Other;
    }

    bool WritableByUser(const char* name) const {
        return ::faccessat(Fd(), name, W_OK, AT_EACCESS) == 0;
    }

private:
    DIR* FDir = nullptr;
    int FError = 0;
    struct stat FStat {};
};

bool IsHiddenName(std::string_view name) { return !name.empty() && name[0] == '.'; }

// Whether a regular file's attribute word shares a bit with Wanted; the read-only test
// costs a system call, so it runs only when the answer depends on it.
bool FileAttributesMatch(const TDirectoryStream& dir, const char* name, std::uint16_t wanted) {
    if ((wanted & faArchive) != 0) return true;
    if ((wanted & faHidden) != 0 && IsHiddenName(name)) return true;
    return (wanted & faReadOnly) != 0 && !dir.WritableByUser(name);
}

}  // namespace

std::uint16_t AttributesOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return 0;
    std::string_view name = path;
    while (name.size() > 1 && name.back() == '/') name.remove_suffix(1);
    std::uint16_t attributes = 0;
    if (IsHiddenName(FileNameOf(name))) attributes |= faHidden;
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) attributes |= faReadOnly;
    if (S_ISREG(st.st_mode)) attributes |= faArchive;
    else if (S_ISDIR(st.st_mode)) attributes |= faDirectory;
    else attributes |= faSystem;
    return attributes;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileIdOf(const std::string& path, TFileId& id) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
    id = TFileId{st.st_dev, st.st_ino};
    return true;
}

int ListFiles(const std::string& directory, const TFileMask& mask, std::vector<std::string>& paths) {
    paths.clear();
    TDirectoryStream dir(directory);
    if (dir.Error() != 0) return dir.Error();
    if (mask.IsEmpty()) return 0;
    const std::string prefix = WithTrailingSlash(directory);
    while (const dirent* e = dir.Next()) {
        if (e->d_type != DT_REG && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
        if (!mask.Matches(e->d_name)) continue;
        bool isLink = false;
        if (dir.KindOf(e, isLink) != TEntryKind::Regular) continue;
        paths.push_back(prefix + e->d_name);
    }
    SortPathsIgnoringCase(paths);
    return dir.Error();
}

int ForEachSubdirectory(const std::string& directory,
                        const std::function<bool(const TSubdirectory&)>& visit) {
    TDirectoryStream dir(directory);
    if (dir.Error() != 0) return dir.Error();
    while (const dirent* e = dir.Next()) {
        if (e->d_type != DT_DIR && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
        bool isLink = false;
        if (dir.KindOf(e, isLink) != TEntryKind::Directory) continue;
        std::uint16_t attributes = faDirectory;
        if (IsHiddenName(e->d_name)) attributes |= faHidden;
        if (!dir.WritableByUser(e->d_name)) attributes |= faReadOnly;
        if (!visit(TSubdirectory{e->d_name, attributes, isLink})) return 0;
    }
    return dir.Error();
}

bool CollectMatchingFiles(const std::string& directory, const TFileMask& mask,
                          const TCollectOptions& options, std::vector<std::string>& paths) {
    // Depth first without recursion: a directory's subdirectories are pushed in reverse
    // order so that they are popped in order, and only one directory is open at a time.
    std::set<std::pair<dev_t, ino_t>> entered;
    std::vector<std::string> pending{WithTrailingSlash(directory)};
    std::vector<std::string> files;
    std::vector<std::string> subdirectories;
    while (!pending.empty()) {
        const std::string dirPath = std::move(pending.back());
        pending.pop_back();
        TDirectoryStream dir(dirPath);
        if (dir.Error() != 0) {
            if (options.OnUnreadable) options.OnUnreadable(dirPath, dir.Error());
            continue;
        }
        if (!entered.emplace(dir.Stat().st_dev, dir.Stat().st_ino).second) continue;
        if (options.OnDirectory && !options.OnDirectory(dirPath)) return false;

        files.clear();
        subdirectories.clear();
        while (const dirent* e = dir.Next()) {
            const bool mayBeFile = e->d_type == DT_REG || e->d_type == DT_LNK || e->d_type == DT_UNKNOWN;
            const bool mayBeDirectory = options.Recurse && (e->d_type == DT_DIR ||
                                                             e->d_type == DT_LNK || e->d_type == DT_UNKNOWN);
            const bool matches = mayBeFile && mask.Matches(e->d_name);
            if (!matches && !mayBeDirectory) continue;
            bool isLink = false;
            const TEntryKind kind = dir.KindOf(e, isLink);
            if (kind == TEntryKind::Regular && matches &&
                FileAttributesMatch(dir, e->d_name, options.Attributes)) {
                files.push_back(dirPath + e->d_name);
            } else if (kind == TEntryKind::Directory && options.Recurse) {
                subdirectories.push_back(dirPath + e->d_name + '/');
            }
        }
        if (dir.Error() != 0 && options.OnUnreadable) options.OnUnreadable(dirPath, dir.Error());
        SortPathsIgnoringCase(files);
        SortPathsIgnoringCase(subdirectories);
        paths.insert(paths.end(), std::make_move_iterator(files.begin()),
                     std::make_move_iterator(files.end()));
        pending.insert(pending.end(), std::make_move_iterator(subdirectories.rbegin()),
                       std::make_move_iterator(subdirectories.rend()));
    }
    return true;
}

}  // namespace xavo
