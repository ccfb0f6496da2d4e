// The bytes of one file, read once: small files and anything that is not a regular file
// are read into memory; larger regular files are mapped read-only (private), so that the
// page cache holds them and a file larger than memory is paged in and out as it is shown.
//
// A mapped file that another program truncates while it is shown loses pages: reading them
// would kill the process (SIGBUS), so they read as zeros and are remembered (LostBytes,
// see TMappedRange). A file rewritten in place shows the new
// bytes under the old line counts. ChangedOnDisk() tells the owner to reload before it
// trusts the text again (and before saving over it).
#pragma once

#include "MappedRange.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace xavo {

class TFileBytes {
public:
    // Files up to this size are read into memory rather than mapped.
    static constexpr std::uint64_t kReadLimit = 4u << 20;

    TFileBytes() = default;
    // Holds the given bytes (no file behind them).
    explicit TFileBytes(std::string bytes);
    // Reads or maps the file; throws std::system_error with the path on failure.
    static TFileBytes Open(const std::string& path);

    TFileBytes(TFileBytes&& other) noexcept;
    TFileBytes& operator=(TFileBytes&& other) noexcept;
    TFileBytes(const TFileBytes&) = delete;
    TFileBytes& operator=(const TFileBytes&) = delete;
    ~TFileBytes();

    const unsigned char* Data() const { return FData; }
    std::uint64_t Size() const { return FSize; }
    std::string_view View() const { return {reinterpret_cast<const char*>(FData), static_cast<std::size_t>(FSize)}; }
    bool Mapped() const { return FMapped; }
    // Whether the file now differs in identity, size or modification time from when it
    // was opened (also when it is gone). Always false without a file.
    bool ChangedOnDisk() const;
    // Path names the file read (the same inode): writing to it in place writes under a mapping.
    bool IsFile(const std::string& path) const;
    // Whether pages of the mapping were found gone (the file was truncated) and now read as zeros.
    bool LostBytes() const;

private:
    void Release() noexcept;

    std::string FOwned;
    const unsigned char* FData = nullptr;
    std::uint64_t FSize = 0;
    bool FMapped = false;
    TMappedRange FMap;
    std::string FPath;
    dev_t FDevice = 0;
    ino_t FInode = 0;
    std::int64_t FStatSize = -1;
    std::int64_t FMtimeNs = 0;
};

}  // namespace xavo
