// Atomic replacement of a small file: temporary file, fsync, rename.
#include "AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xavo {
namespace {

[[noreturn]] void ThrowErrno(int error, const char* what) {
    throw std::system_error(error, std::generic_category(), what);
}

// The directory part of Path including its last "/", or "" for a bare name.
std::string DirectoryPart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string{} : path.substr(0, slash + 1);
}

// The file a symbolic link finally names; the path itself when it is no link or the link
// cannot be resolved (a dangling link is then replaced like a missing file).
std::string FollowLinks(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

// Creates every missing directory of Dir (which ends in "/"), innermost last.
void CreateDirectories(const std::string& dir) {
    for (std::size_t at = dir.find('/', 1); at != std::string::npos; at = dir.find('/', at + 1)) {
        const std::string part = dir.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) ThrowErrno(errno, "mkdir");
    }
}

// Removes the temporary file unless it has been renamed into place.
class TTempFile {
public:
    TTempFile() = default;
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    ~TTempFile() {
        if (FFd >= 0) close(FFd);
        if (!FName.empty()) unlink(FName.c_str());
    }

    // Creates a fresh file in Dir with Mode less the umask, so it is never readable by
    // more users than the file it replaces.
    void Create(const std::string& dir, const std::string& baseName, mode_t mode) {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = dir + "." + baseName + "." + std::to_string(getpid()) + "." +
                               std::to_string(++counter) + ".tmp";
            FFd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (FFd >= 0) {
                FName = std::move(name);
                return;
            }
            if (errno != EEXIST) ThrowErrno(errno, "open");
        }
        ThrowErrno(EEXIST, "open");
    }

    void WriteAll(std::string_view content) {
        while (!content.empty()) {
            const ssize_t n = write(FFd, content.data(), content.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                ThrowErrno(errno, "write");
            }
            content.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    // Gives the new file the old one's owner and exact permission bits where the file
    // system allows; where it does not (a FAT stick) the umask-narrowed mode stays.
    void CopyModeAndOwner(const struct stat& old) {
        struct stat now {};
        if (fstat(FFd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
            (void)!fchown(FFd, old.st_uid, old.st_gid);
        }
        (void)!fchmod(FFd, old.st_mode & 07777);  // after chown, which may clear set-id bits
    }

    void SyncAndClose() {
        if (fsync(FFd) != 0) ThrowErrno(errno, "fsync");
        const int fd = FFd;
        FFd = -1;
        if (close(fd) != 0) ThrowErrno(errno, "close");
    }

    void RenameTo(const std::string& target) {
        if (rename(FName.c_str(), target.c_str()) != 0) ThrowErrno(errno, "rename");
        FName.clear();
    }

private:
    int FFd = -1;
    std::string FName;
};

// Makes the rename itself durable; a failure here loses nothing, so it is ignored.
void SyncDirectory(const std::string& dir) {
    const int fd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

void ReplaceFileAtomically(const std::string& path, std::string_view content, bool createDirectory) {
    if (path.empty() || path.back() == '/') ThrowErrno(EISDIR, "open");
    const std::string target = FollowLinks(path);
    const std::string dir = DirectoryPart(target);

    struct stat old {};
    const bool exists = stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode)) ThrowErrno(S_ISDIR(old.st_mode) ? EISDIR : EINVAL, "open");
        if (access(target.c_str(), W_OK) != 0) ThrowErrno(errno, "access");
    } else if (errno != ENOENT) {
        ThrowErrno(errno, "stat");
    } else if (createDirectory && !dir.empty()) {
        CreateDirectories(dir);
    }

    TTempFile temp;
    temp.Create(dir, target.substr(dir.size()), exists ? old.st_mode & 0777 : 0666);
    temp.WriteAll(content);
    if (exists) temp.CopyModeAndOwner(old);
    temp.SyncAndClose();
    temp.RenameTo(target);
    SyncDirectory(dir);
}

}  // namespace xavo
