// The line reader. Bytes are normalised into the stream one at a time as blocks are read;
// the stream keeps only what lies from the current line's start on, so memory is bounded
// by the longest line plus what the look-ahead has read.
#include "TxtFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace xavo {

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept {
    if (this != &other) {
        if (FFd >= 0) ::close(FFd);
        FFd = other.FFd;
        other.FFd = -1;
    }
    return *this;
}

TFileHandle::~TFileHandle() {
    if (FFd >= 0) ::close(FFd);
}

TFileHandle OpenForReading(const std::string& fileName) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw EFileNotFound(fileName, errno);
    return TFileHandle(fd);
}

std::size_t ReadFully(int fd, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) throw EWouldBlock();
        if (n < 0) throw EInOutError(std::strerror(errno));
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

TTxtFile::TTxtFile(const std::string& fileName, const std::atomic<bool>& cancelFlag, TIdleHook idle,
                   std::size_t blockSize)
    : FFilePath(fileName), FFile(OpenForReading(fileName)), FCancelFlag(cancelFlag), FIdle(std::move(idle)),
      FBuffSize(blockSize), FBlock(new char[blockSize]) {
    FStream.push_back('\n');
    Fill();
}

void TTxtFile::CheckCancel() {
    if (FIdle) FIdle();
    if (FCancelFlag.load(std::memory_order_relaxed)) throw EGrepCancel();
}

void TTxtFile::Fill() {
    // Drop what no cursor can return to.
    const std::uint64_t keep = std::min(FLineStart, FCur);
    if (keep > FBase) {
        FStream.erase(0, static_cast<std::size_t>(keep - FBase));
        FBase = keep;
    }
    const char* block = FBlock.get();
    const std::size_t n = ReadFully(FFile.Get(), FBlock.get(), FBuffSize);
    if (n == 0 && !FPendingCR && FStream.size() + FBase <= 1) throw EEndOfFile();  // an empty file
    for (std::size_t i = 0; i < n; ++i) {
        const char c = block[i];
        if (FPendingCR) {
            FPendingCR = false;
            FStream.push_back('\n');  // a CR LF or a lone CR: one line end either way
            if (c == '\n') continue;
        }
        if (c == '\r')
            FPendingCR = true;
        else
            FStream.push_back(c == '\0' ? ' ' : c);
    }
    if (n < FBuffSize) {
        FAtEnd = true;
        if (FPendingCR) FStream.push_back('\n');
        FPendingCR = false;
        if (FStream.back() != '\n') FStream.push_back('\n');
    }
    CheckCancel();
}

bool TTxtFile::Have(std::uint64_t pos) {
    while (pos >= FBase + FStream.size()) {
        if (FAtEnd) return false;
        Fill();
    }
    return true;
}

unsigned char TTxtFile::StepMain() {
    // The stream's last byte is the file's last line feed; reading it ends the scan.
    if (!Have(FCur + 1)) throw EEndOfFile();
    const unsigned char b = At(FCur);
    ++FCur;
    if (b == '\n') {
        FLineStart = FCur;
        ++FLineNo;
    }
    FAhead = FCur;
    return b;
}

unsigned char TTxtFile::StepAhead() {
    if (!Have(FAhead)) return 0;
    return At(FAhead++);
}

TCharCode TTxtFile::ReadChar() {
    const unsigned char b = StepMain();
    if (!IsLeadByte(b)) return b;
    const unsigned char t = StepMain();
    return static_cast<TCharCode>(b << 8 | t);
}

TCharCode TTxtFile::ReadAheadChar() {
    const unsigned char b = StepAhead();
    if (!IsLeadByte(b)) return b;
    const unsigned char t = StepAhead();
    return static_cast<TCharCode>(b << 8 | t);
}

void TTxtFile::GetLine(RE_LineInfo_t& lineInfo) {
    CheckCancel();
    while (Have(FCur) && At(FCur) != '\n') StepMain();
    lineInfo.Line.assign(FStream, static_cast<std::size_t>(FLineStart - FBase),
                         static_cast<std::size_t>(FCur - FLineStart));
    lineInfo.LineNo = FLineNo;
}

}  // namespace xavo
