// Whole-file reading and writing (see TextFileIo.h).
#include "TextFileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

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

// Rewrites a file in place. A file that exists is first checked for the room its growth
// needs, so that a full disk refuses the write before the old content is cut off.
int WriteInPlace(const std::string& path, std::string_view bytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && bytes.size() > static_cast<std::size_t>(st.st_size)) {
        struct statvfs fs {};
        const std::string dir = path.substr(0, path.rfind('/') + 1);
        if (::statvfs(dir.empty() ? "." : dir.c_str(), &fs) == 0 &&
            static_cast<unsigned long long>(fs.f_bavail) * fs.f_bsize < bytes.size() - static_cast<std::size_t>(st.st_size))
            return ENOSPC;
    }
    TFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.Fd < 0 || !WriteAll(fd.Fd, bytes)) return errno != 0 ? errno : EIO;
    const int result = ::close(fd.Fd);
    fd.Fd = -1;
    return result == 0 ? 0 : errno;
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

int WriteFileBytes(const std::string& path, std::string_view bytes) {
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
        if (!resolved) return WriteInPlace(path, bytes);  // a dangling link: create its target
        target = resolved.get();
    }
    // A new file has nothing to lose; one we may not write stays unwritten.
    if (::stat(target.c_str(), &st) != 0) return WriteInPlace(target, bytes);
    if (!S_ISREG(st.st_mode)) return EINVAL;  // no FIFO, device, ...
    if (::access(target.c_str(), W_OK) != 0) return errno;
    if (st.st_nlink != 1 || st.st_uid != ::geteuid()) return WriteInPlace(target, bytes);

    std::string temp = target + ".XXXXXX";
    TFd fd(::mkstemp(temp.data()));
    if (fd.Fd < 0) return WriteInPlace(target, bytes);  // e.g. a read-only directory
    const mode_t mode = st.st_mode & 07777;
    int error = 0;
    if (::fchmod(fd.Fd, mode) != 0 || !WriteAll(fd.Fd, bytes) || ::fsync(fd.Fd) != 0) error = errno != 0 ? errno : EIO;
    if (::close(fd.Fd) != 0 && error == 0) error = errno;
    fd.Fd = -1;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) == 0) return 0;
    if (error == 0) error = errno;
    ::unlink(temp.c_str());
    return error;
}

}  // namespace xavo
