// A scratch directory for tests: created under $TMPDIR (or /tmp), filled through small
// helpers, removed with everything in it (permissions restored first) when the object
// goes away. Also a guard that drops root's privileges for permission tests, and
// whole-file helpers.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xavo::test {

class TTempDir {
public:
    TTempDir() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/xavo-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        FRoot = pattern + "/";
        ::chmod(FRoot.c_str(), 0755);  // reachable after privileges are dropped
        Own(FRoot);
    }
    ~TTempDir() {
        // Pre-order pass first: a directory made unreadable by a test is opened up before
        // nftw reads it; then everything is removed bottom-up.
        ::nftw(FRoot.c_str(), [](const char* p, const struct stat*, int type, FTW*) {
            if (type == FTW_D || type == FTW_DNR) ::chmod(p, 0700);
            return 0;
        }, 16, FTW_PHYS);
        ::nftw(FRoot.c_str(), [](const char* p, const struct stat*, int, FTW*) {
            ::remove(p);
            return 0;
        }, 16, FTW_PHYS | FTW_DEPTH);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    // The directory, ending in "/".
    const std::string& Root() const { return FRoot; }
    std::string Path(const std::string& relative) const { return FRoot + relative; }

    // Creates (or truncates) a file with Content and returns its path.
    std::string File(const std::string& relative, const std::string& content = "x") const {
        const int fd = ::open(Path(relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) throw std::runtime_error("cannot create " + relative);
        const bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
        ::close(fd);
        if (!ok) throw std::runtime_error("cannot write " + relative);
        Own(Path(relative));
        return Path(relative);
    }
    void Dir(const std::string& relative) const {
        if (::mkdir(Path(relative).c_str(), 0755) != 0) throw std::runtime_error("cannot mkdir " + relative);
        Own(Path(relative));
    }
    void Link(const std::string& target, const std::string& relative) const {
        if (::symlink(target.c_str(), Path(relative).c_str()) != 0)
            throw std::runtime_error("cannot link " + relative);
        Own(Path(relative));
    }
    void Fifo(const std::string& relative) const {
        if (::mkfifo(Path(relative).c_str(), 0644) != 0) throw std::runtime_error("cannot mkfifo " + relative);
        Own(Path(relative));
    }

    // Names of the entries of the directory or of a folder in it, in no order (to see
    // that no temporary file was left).
    std::vector<std::string> Entries(const std::string& relative = {}) const {
        std::vector<std::string> names;
        if (DIR* dir = ::opendir(Path(relative).c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") names.push_back(name);
            }
            ::closedir(dir);
        }
        return names;
    }

    // The user that TUnprivileged switches to when the tests run as root.
    static constexpr uid_t kUnprivilegedId = 65534;

private:
    // Under root, entries belong to the unprivileged user, so that after TUnprivileged the
    // directory behaves like a user's own files.
    static void Own(const std::string& path) {
        if (::geteuid() == 0) (void)::lchown(path.c_str(), kUnprivilegedId, kUnprivilegedId);
    }

    std::string FRoot;
};

// Runs the enclosing scope as an ordinary user when the tests run as root (as CI does),
// so that permission bits take effect. Ok() is false when that was not possible.
class TUnprivileged {
public:
    TUnprivileged() {
        if (::geteuid() != 0) return;
        FSwitched = ::setegid(TTempDir::kUnprivilegedId) == 0 && ::seteuid(TTempDir::kUnprivilegedId) == 0;
        if (!FSwitched) (void)::setegid(0);
    }
    ~TUnprivileged() {
        if (!FSwitched) return;
        (void)::seteuid(0);
        (void)::setegid(0);
    }
    TUnprivileged(const TUnprivileged&) = delete;
    TUnprivileged& operator=(const TUnprivileged&) = delete;

    bool Ok() const { return ::geteuid() != 0; }

private:
    bool FSwitched = false;
};

// Permission bits do not stop root; tests of refused writes that rely on them skip then.
inline bool PermissionsBindUs() { return ::geteuid() != 0; }

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteWhole(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

}  // namespace xavo::test
