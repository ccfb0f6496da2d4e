// The line reader: one Shift-JIS file as a stream of 16-bit codes for the matcher.
//
// The stream is a line feed, then every line of the file each followed by one line feed:
// CR LF, LF and a lone CR all end a line and read as one LF; a NUL byte reads as a space;
// a lead byte (0x81-0x9F, 0xE0-0xFC) combines with the next byte of the stream, even
// across a block boundary or a line end. A main cursor marks where an attempt started
// (ReadChar), a look-ahead cursor runs on from it (ReadAheadChar), and GetLine hands out
// the current line. The file is read in 102400-byte blocks; between blocks and before
// each line handed out the caller's idle hook runs and the cancel flag is honoured.
#pragma once

#include "Scanner.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace xavo {

// The matching line handed to OnMatch: its text without the line end, its number from 1.
struct RE_LineInfo_t {
    std::string Line;
    std::int64_t LineNo = 0;
    std::uint64_t Offset = 0;  // of the line's first byte in what the source gave (TGrepSearch)
};

// An input/output failure of the platform; the message is the system's reason.
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The file cannot be opened; the message is the file name, ErrorCode the system's reason.
class EFileNotFound : public EInOutError {
public:
    explicit EFileNotFound(const std::string& fileName, int errorCode = 0)
        : EInOutError(fileName), ErrorCode(errorCode) {}
    int ErrorCode;
};
// The file's read would have to wait (a kernel log, a device-like file of /proc): such a
// file is not searched. The message says so.
class EWouldBlock : public EInOutError {
public:
    EWouldBlock() : EInOutError("read would block; not searched") {}
};
// The file is empty, or the main cursor read past the last line feed: "End Of File".
class EEndOfFile : public EInOutError {
public:
    EEndOfFile() : EInOutError("End Of File") {}
};
// The caller's cancel flag was found set: "CancelRequest".
class EGrepCancel : public std::runtime_error {
public:
    EGrepCancel() : std::runtime_error("CancelRequest") {}
};

// Called between blocks and before each line handed out: the place where a window lets
// pending events through. May set the cancel flag.
using TIdleHook = std::function<void()>;

// Owns an open file descriptor.
class TFileHandle {
public:
    TFileHandle() = default;
    explicit TFileHandle(int fd) : FFd(fd) {}
    TFileHandle(TFileHandle&& other) noexcept : FFd(other.FFd) { other.FFd = -1; }
    TFileHandle& operator=(TFileHandle&& other) noexcept;
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    ~TFileHandle();
    int Get() const { return FFd; }

private:
    int FFd = -1;
};

// Opens a file for reading without ever waiting for data (O_NONBLOCK: a file whose read
// would wait reports EWouldBlock instead of hanging the search). Raises EFileNotFound
// (message: the file name).
TFileHandle OpenForReading(const std::string& fileName);

// Reads up to size bytes, retrying short reads until size or the end. Raises EWouldBlock
// when the file has no data to give yet, EInOutError for other failures.
std::size_t ReadFully(int fd, char* buffer, std::size_t size);

// Where the search reads a file's bytes from: the file itself, or a conversion of it.
// Read fills Buffer with Size bytes unless the end comes first (fewer bytes: the end).
// Raises what reading raises (EWouldBlock, EInOutError).
class TByteSource {
public:
    virtual ~TByteSource() = default;
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// A file's own bytes. Raises EFileNotFound.
class TFileSource : public TByteSource {
public:
    explicit TFileSource(const std::string& fileName) : FFile(OpenForReading(fileName)) {}
    std::size_t Read(char* buffer, std::size_t size) override { return ReadFully(FFile.Get(), buffer, size); }

private:
    TFileHandle FFile;
};

class TTxtFile {
public:
    static constexpr std::size_t kBuffSize = 102400;

    // Opens the file and reads the first block. Raises EFileNotFound, EEndOfFile for an
    // empty file, EInOutError, EGrepCancel. The flag and the hook must outlive the reader.
    // BlockSize other than kBuffSize serves tests that need characters across blocks.
    TTxtFile(const std::string& fileName, const std::atomic<bool>& cancelFlag, TIdleHook idle = {},
             std::size_t blockSize = kBuffSize);

    // The next code at the main cursor; the look-ahead restarts from there. Raises
    // EEndOfFile instead of returning the file's last line feed.
    TCharCode ReadChar();
    // The next code at the look-ahead cursor; after the stream's end, 0 every time.
    TCharCode ReadAheadChar();
    // The current line and its number; the main cursor moves to the line feed ending it.
    void GetLine(RE_LineInfo_t& lineInfo);

private:
    bool Have(std::uint64_t pos);  // reads blocks until pos is in the stream; false past the end
    unsigned char At(std::uint64_t pos) const { return static_cast<unsigned char>(FStream[pos - FBase]); }
    unsigned char StepMain();
    unsigned char StepAhead();
    void Fill();
    void CheckCancel();

    std::string FFilePath;
    TFileHandle FFile;
    const std::atomic<bool>& FCancelFlag;
    TIdleHook FIdle;

    std::size_t FBuffSize;
    std::unique_ptr<char[]> FBlock;  // one block of raw bytes
    std::string FStream;        // the stream from absolute position FBase on
    std::uint64_t FBase = 0;
    std::uint64_t FCur = 0;     // main cursor
    std::uint64_t FLineStart = 0;
    std::uint64_t FAhead = 0;   // look-ahead cursor
    std::int64_t FLineNo = 0;
    bool FAtEnd = false;        // the whole file is in the stream
    bool FPendingCR = false;    // the last byte read was a CR whose partner is not read yet
};

}  // namespace xavo
