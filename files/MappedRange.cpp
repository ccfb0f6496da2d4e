// Guarded mappings (see MappedRange.h): one SIGBUS handler for the process, and a table of
// the guarded ranges that owners claim and free while the handler only reads it.
#include "MappedRange.h"

#include <atomic>
#include <csignal>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace xavo {
namespace {

struct TGuardSlot {
    std::atomic<std::uintptr_t> Begin{0};
    std::atomic<std::uintptr_t> End{0};
    std::atomic<bool> Lost{false};
    std::atomic<bool> Used{false};
};
TGuardSlot gGuards[TMappedRange::kGuardedMappings];
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

int Guard(const void* data, std::size_t size) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        gPageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnSigbus;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &gPreviousSigbus);
    });
    for (int i = 0; i < TMappedRange::kGuardedMappings; ++i) {
        bool expected = false;
        if (!gGuards[i].Used.compare_exchange_strong(expected, true)) continue;
        gGuards[i].Lost.store(false);
        gGuards[i].End.store(reinterpret_cast<std::uintptr_t>(data) + size);
        gGuards[i].Begin.store(reinterpret_cast<std::uintptr_t>(data));
        return i;
    }
    return -1;  // more mappings than slots: this one is unguarded
}

void Unguard(int slot) {
    if (slot < 0) return;
    gGuards[slot].Begin.store(0);
    gGuards[slot].End.store(0);
    gGuards[slot].Used.store(false);
}

}  // namespace

TMappedRange::TMappedRange(TMappedRange&& other) noexcept
    : FData(std::exchange(other.FData, nullptr)), FSize(std::exchange(other.FSize, 0)),
      FGuardSlot(std::exchange(other.FGuardSlot, -1)) {}

TMappedRange& TMappedRange::operator=(TMappedRange&& other) noexcept {
    if (this != &other) {
        Unmap();
        FData = std::exchange(other.FData, nullptr);
        FSize = std::exchange(other.FSize, 0);
        FGuardSlot = std::exchange(other.FGuardSlot, -1);
    }
    return *this;
}

bool TMappedRange::Map(int fd, std::uint64_t offset, std::size_t length, bool whole) {
    Unmap();
    void* map = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | (whole ? MAP_POPULATE : 0), fd, static_cast<off_t>(offset));
    if (map == MAP_FAILED) return false;
    FData = static_cast<const unsigned char*>(map);
    FSize = length;
    FGuardSlot = Guard(map, length);
    return true;
}

void TMappedRange::Unmap() noexcept {
    if (FData == nullptr) return;
    Unguard(FGuardSlot);
    ::munmap(const_cast<unsigned char*>(FData), FSize);
    FData = nullptr;
    FSize = 0;
    FGuardSlot = -1;
}

bool TMappedRange::LostBytes() const { return FGuardSlot >= 0 && gGuards[FGuardSlot].Lost.load(); }

}  // namespace xavo
