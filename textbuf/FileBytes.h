// The bytes of one file, read once: small files are read into memory; larger regular files
// are mapped read-only (private), so that the page cache holds them and a file larger than
// memory is paged in and out as it is shown. Only regular files are opened: a FIFO, a
// device or a directory is refused at once (reading one could wait for ever).
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

// A file's state on disk: identity, size and modification time. Size is -1 for a path
// that names no file.
struct TFileStamp {
    dev_t Device = 0;
    ino_t Inode = 0;
    std::int64_t Size = -1;
    std::int64_t MtimeNs = 0;

    static TFileStamp Of(const std::string& path);
    bool Exists() const { return Size >= 0; }
    bool SameFile(const TFileStamp& other) const { return Device == other.Device && Inode == other.Inode; }
    friend bool operator==(const TFileStamp&, const TFileStamp&) = default;
};

// Reads Length bytes of the file Path from Offset into Out (fewer at its end); false when
// it cannot be opened or read, or is not a regular file.
bool ReadFileRange(const std::string& path, std::uint64_t offset, std::size_t length, std::string& out);

class TFileBytes {
public:
    // Files up to this size are read into memory rather than mapped.
    static constexpr std::uint64_t kReadLimit = 4u << 20;

    TFileBytes() = default;
    // Holds the given bytes (no file behind them).
    explicit TFileBytes(std::string bytes);
    // Reads or maps the regular file Path; throws std::system_error with the path on
    // failure (EINVAL for what is not a regular file).
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
    const std::string& Path() const { return FPath; }
    // The file's state when it was opened (no file: Size -1).
    const TFileStamp& Stamp() const { return FStamp; }
    // Gives the pages of a mapping wholly inside [Offset, Offset + Length) back to the
    // system (they are read from the file again when touched): for one pass over a file
    // that should not stay resident. Nothing for bytes read into memory.
    void Forget(std::uint64_t offset, std::uint64_t length) const;
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
    TFileStamp FStamp;
};

}  // namespace xavo
