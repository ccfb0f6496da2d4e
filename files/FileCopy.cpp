// File and tree copies, see FileCopy.h.
#include "FileCopy.h"

#include "Paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace xavo {

namespace {

class TFd {
public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd() {
        if (FFd >= 0) ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    // Closes now and reports the error of close itself (delayed write errors show there).
    int Close() {
        const int fd = FFd;
        FFd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int FFd;
};

int CopyContents(int from, int to) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            done += put;
        }
    }
}

// The canonical form of Path, or empty when it cannot be resolved.
std::string Resolved(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

int CopyLink(const std::string& source, const std::string& destination) {
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t len = ::readlink(source.c_str(), target.data(), target.size() - 1);
    if (len < 0) return errno;
    target[static_cast<std::size_t>(len)] = '\0';
    return ::symlink(target.data(), destination.c_str()) == 0 ? 0 : errno;
}

int CopyDirectory(const std::string& source, const std::string& destination, mode_t mode) {
    if (::mkdir(destination.c_str(), 0700) != 0) return errno;
    std::vector<std::string> names;
    {
        DIR* dir = ::opendir(source.c_str());
        if (dir == nullptr) return errno;
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    const std::string from = WithTrailingSlash(source);
    const std::string to = WithTrailingSlash(destination);
    for (const std::string& name : names) {
        struct stat st {};
        if (::lstat((from + name).c_str(), &st) != 0) return errno;
        int error = 0;
        if (S_ISLNK(st.st_mode)) error = CopyLink(from + name, to + name);
        else if (S_ISDIR(st.st_mode)) error = CopyDirectory(from + name, to + name, st.st_mode);
        else if (S_ISREG(st.st_mode)) error = CopyFileNoReplace(from + name, to + name);
        if (error != 0) return error;
    }
    return ::chmod(destination.c_str(), mode & 07777) == 0 ? 0 : errno;
}

}  // namespace

int CopyFileNoReplace(const std::string& source, const std::string& destination) {
    // O_NONBLOCK: should Source be a FIFO after all, the open returns instead of waiting.
    TFd from(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (from.Get() < 0) return errno;
    struct stat st {};
    if (::fstat(from.Get(), &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    ::fcntl(from.Get(), F_SETFL, ::fcntl(from.Get(), F_GETFL) & ~O_NONBLOCK);

    TFd to(::open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
    if (to.Get() < 0) return errno;
    int error = CopyContents(from.Get(), to.Get());
    if (error == 0 && ::fchmod(to.Get(), st.st_mode & 07777) != 0) error = errno;
    if (error == 0) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        if (::futimens(to.Get(), times) != 0) error = errno;
    }
    if (error == 0 && ::fsync(to.Get()) != 0) error = errno;
    const int closeError = to.Close();
    if (error == 0) error = closeError;
    if (error != 0) ::unlink(destination.c_str());
    return error;
}

int CopyTreeNoReplace(const std::string& source, const std::string& destination) {
    struct stat st {};
    if (::stat(source.c_str(), &st) != 0) return errno;
    if (S_ISREG(st.st_mode)) return CopyFileNoReplace(source, destination);
    if (!S_ISDIR(st.st_mode)) return EINVAL;
    // A copy into the source itself would find its own copy while reading and never end.
    std::string parent(destination);
    while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
    parent.resize(parent.size() - FileNameOf(parent).size());
    const std::string sourceReal = WithTrailingSlash(Resolved(source));
    if (sourceReal.empty()) return errno;
    const std::string parentReal = WithTrailingSlash(Resolved(parent.empty() ? "." : parent));
    if (!parentReal.empty() && parentReal.compare(0, sourceReal.size(), sourceReal) == 0) return EINVAL;
    struct stat existing {};
    if (::lstat(destination.c_str(), &existing) == 0) return EEXIST;
    return CopyDirectory(source, destination, st.st_mode);
}

}  // namespace xavo
