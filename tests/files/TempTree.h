// A scratch directory tree for file-system tests: created under $TMPDIR (or /tmp), filled
// through small helpers, removed with everything in it (permissions restored first) when
// the object goes away. Also a guard that drops root's privileges for permission tests.
#pragma once

#include <cstdlib>
#include <fcntl.h>
#include <ftw.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace xavo::test {

class TTempTree {
public:
    TTempTree() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/xavo-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        FRoot = pattern + "/";
        ::chmod(FRoot.c_str(), 0755);  // reachable after privileges are dropped
        Own(FRoot);
    }
    ~TTempTree() {
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
    TTempTree(const TTempTree&) = delete;
    TTempTree& operator=(const TTempTree&) = delete;

    // The tree's root, ending in "/".
    const std::string& Root() const { return FRoot; }
    std::string Path(const std::string& relative) const { return FRoot + relative; }

    void File(const std::string& relative, const std::string& content = "x") const {
        const int fd = ::open(Path(relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) throw std::runtime_error("cannot create " + relative);
        const bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
        ::close(fd);
        if (!ok) throw std::runtime_error("cannot write " + relative);
        Own(Path(relative));
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

    // The user that TUnprivileged switches to when the tests run as root.
    static constexpr uid_t kUnprivilegedId = 65534;

private:
    // Under root, entries belong to the unprivileged user, so that after TUnprivileged the
    // tree behaves like a user's own files.
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
        FSwitched = ::setegid(TTempTree::kUnprivilegedId) == 0 && ::seteuid(TTempTree::kUnprivilegedId) == 0;
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

}  // namespace xavo::test
