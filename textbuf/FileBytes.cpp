// Reading or mapping a file (see FileBytes.h).
#include "FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace xavo {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
    throw std::system_error(errno, std::generic_category(), what + " " + path);
}

struct TFd {
    int Fd;
    ~TFd() {
        if (Fd >= 0) ::close(Fd);
    }
};

TFileStamp StampOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace

TFileStamp TFileStamp::Of(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return StampOf(st);
}

bool ReadFileRange(const std::string& path, std::uint64_t offset, std::size_t length, std::string& out) {
    out.clear();
    const TFd fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat st {};
    if (fd.Fd < 0 || ::fstat(fd.Fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    out.resize(length);
    std::size_t used = 0;
    while (used < length) {
        const ssize_t n = ::pread(fd.Fd, out.data() + used, length - used, static_cast<off_t>(offset + used));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    out.resize(used);
    return true;
}

TFileBytes::TFileBytes(std::string bytes) : FOwned(std::move(bytes)) {
    FData = reinterpret_cast<const unsigned char*>(FOwned.data());
    FSize = FOwned.size();
}

TFileBytes TFileBytes::Open(const std::string& path) {
    // Not blocking: opening a FIFO nobody writes to must not wait.
    const TFd fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (fd.Fd < 0) Fail("cannot open", path);
    struct stat st {};
    if (::fstat(fd.Fd, &st) != 0) Fail("cannot stat", path);
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        Fail("not a regular file:", path);
    }
    TFileBytes result;
    result.FPath = path;
    result.FStamp = StampOf(st);
    if (static_cast<std::uint64_t>(st.st_size) > kReadLimit) {
        const auto size = static_cast<std::size_t>(st.st_size);
        if (!result.FMap.Map(fd.Fd, 0, size)) Fail("cannot map", path);
        result.FData = result.FMap.Data();
        result.FSize = size;
        result.FMapped = true;
        return result;
    }
    // Small files: read to the end, however long that turns out (the file may grow meanwhile).
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) bytes.resize(bytes.size() * 2);
        const ssize_t n = ::read(fd.Fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail("cannot read", path);
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    result.FOwned = std::move(bytes);
    result.FData = reinterpret_cast<const unsigned char*>(result.FOwned.data());
    result.FSize = used;
    return result;
}

TFileBytes::TFileBytes(TFileBytes&& other) noexcept { *this = std::move(other); }

TFileBytes& TFileBytes::operator=(TFileBytes&& other) noexcept {
    if (this == &other) return *this;
    Release();
    const bool owned = !other.FMapped && other.FData != nullptr;
    FOwned = std::move(other.FOwned);
    FData = owned ? reinterpret_cast<const unsigned char*>(FOwned.data()) : other.FData;
    FSize = other.FSize;
    FMapped = other.FMapped;
    FMap = std::move(other.FMap);
    FPath = std::move(other.FPath);
    FStamp = other.FStamp;
    other.FData = nullptr;
    other.FSize = 0;
    other.FMapped = false;
    other.FPath.clear();
    other.FStamp = {};
    return *this;
}

TFileBytes::~TFileBytes() { Release(); }

void TFileBytes::Release() noexcept {
    FMap.Unmap();
    FData = nullptr;
    FSize = 0;
    FMapped = false;
}

bool TFileBytes::LostBytes() const { return FMap.LostBytes(); }

bool TFileBytes::ChangedOnDisk() const { return !FPath.empty() && TFileStamp::Of(FPath) != FStamp; }

bool TFileBytes::IsFile(const std::string& path) const {
    const TFileStamp now = TFileStamp::Of(path);
    return !FPath.empty() && now.Exists() && now.SameFile(FStamp);
}

void TFileBytes::Forget(std::uint64_t offset, std::uint64_t length) const {
    if (!FMapped || length == 0) return;
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t base = reinterpret_cast<std::uintptr_t>(FData);
    const std::uint64_t from = (base + offset + page - 1) / page * page;
    const std::uint64_t to = (base + std::min(offset + length, FSize)) / page * page;
    if (to > from) ::madvise(reinterpret_cast<void*>(from), static_cast<std::size_t>(to - from), MADV_DONTNEED);
}

}  // namespace xavo
