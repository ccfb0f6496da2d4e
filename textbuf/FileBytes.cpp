// Reading or mapping a file (see FileBytes.h).
#include "FileBytes.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
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

std::int64_t MtimeNs(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// Mapped ranges whose lost pages are replaced by zeros. Slots are claimed and freed by
// the owners; the signal handler only reads them and sets Lost.
struct TGuardSlot {
    std::atomic<std::uintptr_t> Begin{0};
    std::atomic<std::uintptr_t> End{0};
    std::atomic<bool> Lost{false};
    std::atomic<bool> Used{false};
};
constexpr int kGuardSlots = 64;
TGuardSlot gGuards[kGuardSlots];
std::uintptr_t gPageSize = 4096;
struct sigaction gPreviousSigbus {};

void OnSigbus(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (TGuardSlot& slot : gGuards) {
        const std::uintptr_t begin = slot.Begin.load();
        if (begin == 0 || address < begin || address >= slot.End.load()) continue;
        void* page = reinterpret_cast<void*>(address & ~(gPageSize - 1));
        if (::mmap(page, gPageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            slot.Lost.store(true);
            return;
        }
    }
    // Not ours: as if this handler had never been installed.
    if ((gPreviousSigbus.sa_flags & SA_SIGINFO) != 0 && gPreviousSigbus.sa_sigaction != nullptr) {
        gPreviousSigbus.sa_sigaction(signal, info, context);
    } else if (gPreviousSigbus.sa_handler != SIG_DFL && gPreviousSigbus.sa_handler != SIG_IGN) {
        gPreviousSigbus.sa_handler(signal);
    } else {
        ::signal(SIGBUS, SIG_DFL);  // the fault repeats on return and ends the process as usual
    }
}

int GuardMapping(const void* data, std::size_t size) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        gPageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnSigbus;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &gPreviousSigbus);
    });
    for (int i = 0; i < kGuardSlots; ++i) {
        bool expected = false;
        if (!gGuards[i].Used.compare_exchange_strong(expected, true)) continue;
        gGuards[i].Lost.store(false);
        gGuards[i].End.store(reinterpret_cast<std::uintptr_t>(data) + size);
        gGuards[i].Begin.store(reinterpret_cast<std::uintptr_t>(data));
        return i;
    }
    return -1;  // more mappings than slots: this one is unguarded
}

void UnguardMapping(int slot) {
    if (slot < 0) return;
    gGuards[slot].Begin.store(0);
    gGuards[slot].End.store(0);
    gGuards[slot].Used.store(false);
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
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.Fd, 0);
        if (map == MAP_FAILED) Fail("cannot map", path);
        result.FData = static_cast<const unsigned char*>(map);
        result.FSize = size;
        result.FMapped = true;
        result.FGuardSlot = GuardMapping(map, size);
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
    FGuardSlot = other.FGuardSlot;
    FPath = std::move(other.FPath);
    FDevice = other.FDevice;
    FInode = other.FInode;
    FStatSize = other.FStatSize;
    FMtimeNs = other.FMtimeNs;
    other.FData = nullptr;
    other.FSize = 0;
    other.FMapped = false;
    other.FGuardSlot = -1;
    other.FPath.clear();
    return *this;
}

TFileBytes::~TFileBytes() { Release(); }

void TFileBytes::Release() noexcept {
    if (FMapped) {
        UnguardMapping(FGuardSlot);
        ::munmap(const_cast<unsigned char*>(FData), static_cast<std::size_t>(FSize));
    }
    FGuardSlot = -1;
    FData = nullptr;
    FSize = 0;
    FMapped = false;
}

bool TFileBytes::LostBytes() const { return FGuardSlot >= 0 && gGuards[FGuardSlot].Lost.load(); }

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
