// Reading or mapping a file (see FileBytes.h).
#include "FileBytes.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
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

std::int64_t MtimeNs(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace

TFileBytes::TFileBytes(std::string bytes) : FOwned(std::move(bytes)) {
    FData = reinterpret_cast<const unsigned char*>(FOwned.data());
    FSize = FOwned.size();
}

TFileBytes TFileBytes::Open(const std::string& path) {
    const TFd fd{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (fd.Fd < 0) Fail("cannot open", path);
    struct stat st {};
    if (::fstat(fd.Fd, &st) != 0) Fail("cannot stat", path);
    TFileBytes result;
    result.FPath = path;
    result.FDevice = st.st_dev;
    result.FInode = st.st_ino;
    result.FStatSize = st.st_size;
    result.FMtimeNs = MtimeNs(st);
    const bool regular = S_ISREG(st.st_mode);
    if (regular && static_cast<std::uint64_t>(st.st_size) > kReadLimit) {
        const auto size = static_cast<std::size_t>(st.st_size);
        if (!result.FMap.Map(fd.Fd, 0, size)) Fail("cannot map", path);
        result.FData = result.FMap.Data();
        result.FSize = size;
        result.FMapped = true;
        return result;
    }
    // Small files, pipes and devices: read to the end, however long that turns out.
    std::string bytes;
    bytes.resize(regular ? static_cast<std::size_t>(st.st_size) + 1 : 64 * 1024);
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
    FDevice = other.FDevice;
    FInode = other.FInode;
    FStatSize = other.FStatSize;
    FMtimeNs = other.FMtimeNs;
    other.FData = nullptr;
    other.FSize = 0;
    other.FMapped = false;
    other.FPath.clear();
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

bool TFileBytes::ChangedOnDisk() const {
    if (FPath.empty()) return false;
    struct stat st {};
    if (::stat(FPath.c_str(), &st) != 0) return true;
    return st.st_dev != FDevice || st.st_ino != FInode || st.st_size != FStatSize || MtimeNs(st) != FMtimeNs;
}

bool TFileBytes::IsFile(const std::string& path) const {
    struct stat st {};
    return !FPath.empty() && ::stat(path.c_str(), &st) == 0 && st.st_dev == FDevice && st.st_ino == FInode;
}

}  // namespace xavo
