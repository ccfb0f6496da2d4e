// A read-only private mapping of part of a file, guarded: a page that another program's
// truncation took away reads as zeros (and is remembered) instead of killing the process
// with SIGBUS. Up to kGuardedMappings are guarded at once; more are still mapped.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xavo {

class TMappedRange {
public:
    static constexpr int kGuardedMappings = 64;

    TMappedRange() = default;
    TMappedRange(TMappedRange&& other) noexcept;
    TMappedRange& operator=(TMappedRange&& other) noexcept;
    TMappedRange(const TMappedRange&) = delete;
    TMappedRange& operator=(const TMappedRange&) = delete;
    ~TMappedRange() { Unmap(); }

    // Maps Length bytes (> 0) of the open file Fd from Offset (a multiple of the page
    // size), the previous mapping undone; false (errno set) when the system refuses.
    // Whole: all of it will be read at once, so its pages are mapped in one go.
    bool Map(int fd, std::uint64_t offset, std::size_t length, bool whole = false);
    void Unmap() noexcept;

    const unsigned char* Data() const { return FData; }
    std::size_t Size() const { return FSize; }
    // Whether pages were found gone and now read as zeros.
    bool LostBytes() const;

private:
    const unsigned char* FData = nullptr;
    std::size_t FSize = 0;
    int FGuardSlot = -1;
};

}  // namespace xavo
