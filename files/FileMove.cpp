// Moves that never lose data, see FileMove.h.
#include "FileMove.h"

#include "FileCopy.h"
#include "Paths.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace xavo {

namespace {

int ErrnoOf(int result) { return result == 0 ? 0 : errno; }

// The canonical form of Path with a final "/", or empty (errno set) when it cannot be resolved.
std::string ResolvedDirectory(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? WithTrailingSlash(real.get()) : std::string();
}

// The errors by which renameat2 says the file system cannot promise not to replace.
bool NoReplaceUnsupported(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

// The errors by which link says the file system has no hard links.
bool LinksUnsupported(int error) { return error == EPERM || error == EOPNOTSUPP || error == EMLINK; }

// Makes the renames in Dir durable before a source is removed; a failure loses nothing.
void SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Renames From to To unless something exists at To (EEXIST). Where renameat2 cannot
// promise that, a file is linked and unlinked, and otherwise the name To is reserved by
// creating it exclusively (an empty file, or an empty directory, which rename may replace)
// before the rename; the reservation goes again when the rename fails.
int RenameNoReplace(const std::string& from, const std::string& to, bool directory, const TMoveCalls& calls) {
    int error = calls.RenameNoReplace(from, to);
    if (!NoReplaceUnsupported(error)) return error;
    if (!directory) {
        error = calls.Link(from, to);
        if (error == 0) {
            error = calls.Unlink(from);
            if (error != 0) calls.Unlink(to);
            return error;
        }
        if (!LinksUnsupported(error)) return error;
        const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return errno;
        ::close(fd);
    } else if (::mkdir(to.c_str(), 0700) != 0) {
        return errno;
    }
    error = calls.Rename(from, to);
    if (error != 0) directory ? ::rmdir(to.c_str()) : ::unlink(to.c_str());
    return error;
}

// A fresh name beside Destination for the copy under way.
std::string TemporaryNameBeside(const std::string& destination) {
    static std::atomic<unsigned> counter{0};
    const std::string dir = WithTrailingSlash(ParentDirectoryOf(destination));
    return dir + ".xavoline-move." + std::to_string(::getpid()) + "." + std::to_string(++counter) + ".tmp";
}

// Recreates the link Source as the new link Copy.
int CopyLink(const std::string& source, const std::string& copy) {
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t length = ::readlink(source.c_str(), target.data(), target.size() - 1);
    if (length < 0) return errno;
    target[static_cast<std::size_t>(length)] = '\0';
    return ErrnoOf(::symlink(target.data(), copy.c_str()));
}

// Whether Path still names the file St describes, unchanged: the same device and inode,
// size and modification time.
bool SameFileAsBefore(const std::string& path, const struct stat& st) {
    struct stat now {};
    return ::lstat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino &&
           now.st_size == st.st_size && now.st_mtim.tv_sec == st.st_mtim.tv_sec &&
           now.st_mtim.tv_nsec == st.st_mtim.tv_nsec;
}

// The move of a file or link across file systems: a complete, flushed copy under a
// temporary name, renamed into place, then the source removed.
int MoveAcross(const std::string& source, const std::string& destination, const struct stat& st, bool overwrite,
               const TMoveCalls& calls) {
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return EXDEV;
    // A source that cannot be removed would leave two files; better not to copy at all.
    if (::access(ParentDirectoryOf(source).c_str(), W_OK | X_OK) != 0) return errno;

    std::string temporary;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        temporary = TemporaryNameBeside(destination);
        error = S_ISLNK(st.st_mode) ? CopyLink(source, temporary) : CopyFileNoReplace(source, temporary);
    }
    if (error != 0) return error;  // CopyFileNoReplace leaves no partial copy

    error = overwrite ? calls.Rename(temporary, destination) : RenameNoReplace(temporary, destination, false, calls);
    if (error != 0) {
        calls.Unlink(temporary);
        return error;
    }
    SyncDirectory(ParentDirectoryOf(destination));
    // Another program may have saved the source anew meanwhile (or written to it): what
    // the copy holds is then not all there is, and both stay.
    if (!SameFileAsBefore(source, st)) return kMoveSourceChanged;
    error = calls.Unlink(source);
    // Without Overwrite the copy goes again, so the failure leaves everything as it was;
    // with it the copy stays where the replaced file was.
    if (error != 0 && !overwrite) calls.Unlink(destination);
    return error;
}

}  // namespace

TMoveCalls SystemMoveCalls() {
    TMoveCalls calls;
    calls.RenameNoReplace = [](const std::string& from, const std::string& to) {
        return ErrnoOf(::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE));
    };
    calls.Rename = [](const std::string& from, const std::string& to) {
        return ErrnoOf(::rename(from.c_str(), to.c_str()));
    };
    calls.Link = [](const std::string& from, const std::string& to) {
        return ErrnoOf(::link(from.c_str(), to.c_str()));
    };
    calls.Unlink = [](const std::string& path) { return ErrnoOf(::unlink(path.c_str())); };
    return calls;
}

int MoveToPath(const std::string& sourcePath, const std::string& destinationPath, bool overwrite,
               const TMoveCalls& calls) {
    const std::string source = WithoutTrailingSlash(sourcePath);
    const std::string destination = WithoutTrailingSlash(destinationPath);
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) return errno;
    const bool directory = S_ISDIR(st.st_mode);

    if (directory) {
        // Into itself or below itself: refused before anything is touched.
        const std::string sourceReal = ResolvedDirectory(source);
        if (sourceReal.empty()) return errno;
        const std::string parentReal = ResolvedDirectory(ParentDirectoryOf(destination));
        if (parentReal.empty()) return errno;
        if (parentReal.compare(0, sourceReal.size(), sourceReal) == 0) return EINVAL;
    }

    const int error = overwrite && !directory ? calls.Rename(source, destination)
                                              : RenameNoReplace(source, destination, directory, calls);
    if (error != EXDEV) return error;
    if (directory) return EXDEV;
    return MoveAcross(source, destination, st, overwrite, calls);
}

int MoveToDir(const std::string& source, const std::string& destinationDirectory, bool overwrite,
              const TMoveCalls& calls) {
    const std::string name(FileNameOf(WithoutTrailingSlash(source)));
    return MoveToPath(source, WithTrailingSlash(destinationDirectory) + name, overwrite, calls);
}

}  // namespace xavo
