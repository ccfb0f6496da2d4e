// Whole-file reading and writing (see TextFileIo.h).
#include "TextFileIo.h"

#include "Encoding.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

namespace xavo {
namespace {

struct TFd {
    int Fd = -1;
    explicit TFd(int fd) : Fd(fd) {}
    ~TFd() {
        if (Fd >= 0) ::close(Fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool WriteAllAt(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {  // no progress and no reason: give one rather than loop
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

int ErrnoOr(int fallback) { return errno != 0 ? errno : fallback; }

// Creates a file that did not exist. A failed write removes it again: nothing was there
// to keep. NewOnly is false for the target of a dangling link, which O_EXCL would refuse.
int WriteNewFile(const std::string& path, std::string_view bytes, bool newOnly) {
    errno = 0;
    TFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (newOnly ? O_EXCL : O_TRUNC), 0666));
    if (fd.Fd < 0) return ErrnoOr(EIO);
    int error = WriteAll(fd.Fd, bytes) ? 0 : ErrnoOr(EIO);
    if (::close(fd.Fd) != 0 && error == 0) error = errno;
    fd.Fd = -1;
    if (error != 0 && newOnly) ::unlink(path.c_str());
    return error;
}

// Rewrites an existing file in place, keeping its inode (hard links, another owner). The
// old content is overwritten only when nothing can fail for want of room any more:
//  1. the new bytes go to a temporary file beside it first (when the directory allows),
//     so a failure to store them touches nothing and a crash later leaves them on disk;
//  2. the file grows by writing its new tail past the old end; a full disk or the size
//     limit refuses this, the file is cut back to its old size and is as it was;
//  3. only then are the old bytes overwritten and a shorter file cut to its new size.
// A failure in step 3 (an I/O error) keeps the temporary file: it is then the only whole
// copy of the new content. Every earlier failure removes it.
int WriteInPlace(const std::string& path, std::string_view bytes, const struct stat& st) {
    std::string temp = path + ".XXXXXX";
    TFd tempFd(::mkstemp(temp.data()));
    if (tempFd.Fd < 0) {
        temp.clear();  // e.g. a read-only directory: the file alone must do
    } else {
        errno = 0;
        int error = ::fchmod(tempFd.Fd, st.st_mode & 0600) == 0 && WriteAll(tempFd.Fd, bytes) && ::fsync(tempFd.Fd) == 0
                        ? 0
                        : ErrnoOr(EIO);
        if (::close(tempFd.Fd) != 0 && error == 0) error = errno;
        tempFd.Fd = -1;
        if (error != 0) {
            ::unlink(temp.c_str());
            return error;
        }
    }
    const auto removeTemp = [&] {
        if (!temp.empty()) ::unlink(temp.c_str());
    };
    errno = 0;
    TFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (fd.Fd < 0) {
        const int error = ErrnoOr(EIO);
        removeTemp();
        return error;
    }
    const auto oldSize = static_cast<std::size_t>(st.st_size);
    if (bytes.size() > oldSize && !WriteAllAt(fd.Fd, bytes.substr(oldSize), st.st_size)) {
        const int error = ErrnoOr(EIO);
        (void)!::ftruncate(fd.Fd, st.st_size);  // drop what part of the tail was written
        removeTemp();
        return error;
    }
    errno = 0;
    if (!WriteAllAt(fd.Fd, bytes.substr(0, std::min(oldSize, bytes.size())), 0) ||
        (bytes.size() < oldSize && ::ftruncate(fd.Fd, static_cast<off_t>(bytes.size())) != 0) || ::fsync(fd.Fd) != 0)
        return ErrnoOr(EIO);
    const int result = ::close(fd.Fd);
    fd.Fd = -1;
    if (result != 0) return errno;
    removeTemp();
    return 0;
}

// Gives the new file Fd the group and mode of the file St describes; false when the new
// file would still differ in owner, group or mode (a group the user is not in, a file
// system that ignores them), so that the old file is to be rewritten in place instead.
bool TakeOwnership(int fd, const struct stat& st) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) return false;
    if (now.st_gid != st.st_gid && ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) return false;
    // After the group: changing it may clear the set-group-ID bit.
    if (::fchmod(fd, st.st_mode & 07777) != 0 || ::fstat(fd, &now) != 0) return false;
    return now.st_uid == st.st_uid && now.st_gid == st.st_gid && (now.st_mode & 07777) == (st.st_mode & 07777);
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::string& bytes) {
    // Never waits: a pipe or a file whose reads would block (/proc/kmsg) fails at once.
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.Fd < 0 || ::fstat(fd.Fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    bytes.clear();
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.Fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

int WriteFileBytes(const std::string& path, std::string_view bytes, bool flush) {
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
        if (!resolved) return WriteNewFile(path, bytes, false);  // a dangling link: create its target
        target = resolved.get();
    }
    // A new file has nothing to lose; one we may not write stays unwritten.
    if (::stat(target.c_str(), &st) != 0) return WriteNewFile(target, bytes, true);
    if (!S_ISREG(st.st_mode)) return EINVAL;  // no FIFO, device, ...
    if (::access(target.c_str(), W_OK) != 0) return errno;
    if (st.st_nlink != 1 || st.st_uid != ::geteuid()) return WriteInPlace(target, bytes, st);

    std::string temp = target + ".XXXXXX";
    TFd fd(::mkstemp(temp.data()));
    if (fd.Fd < 0) return WriteInPlace(target, bytes, st);  // e.g. a read-only directory
    if (!TakeOwnership(fd.Fd, st)) {
        ::close(fd.Fd);
        fd.Fd = -1;
        ::unlink(temp.c_str());
        return WriteInPlace(target, bytes, st);
    }
    int error = 0;
    errno = 0;
    if (!WriteAll(fd.Fd, bytes) || (flush && ::fsync(fd.Fd) != 0)) error = errno != 0 ? errno : EIO;
    if (::close(fd.Fd) != 0 && error == 0) error = errno;
    fd.Fd = -1;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) == 0) return 0;
    if (error == 0) error = errno;
    ::unlink(temp.c_str());
    return error;
}

bool IsUtf8TextFile(const std::string& path) {
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.Fd < 0 || ::fstat(fd.Fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    TUtf8Check check;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.Fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return check.IsText();
        if (!check.Add(std::string_view(buffer, static_cast<std::size_t>(n)))) return false;
    }
}

}  // namespace xavo
