// Reading and atomically replacing synonym dictionary files.
#include "SynonymFile.h"

#include "AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace xavo {

namespace {

std::string Reason(int error) { return std::strerror(error); }

[[noreturn]] void FailRead(const std::string& path, int error) {
    throw ESynonymFile(path + " を読み込めません: " + Reason(error));
}

[[noreturn]] void FailWrite(const std::string& path, int error) {
    throw ESynonymFile(path + " に書き込めません: " + Reason(error));
}

}  // namespace

std::vector<std::string> SplitSynonymText(const std::string& text) {
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        words.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) words.push_back(text.substr(start));
    return words;
}

std::vector<std::string> ReadSynonymFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) FailRead(path, errno);
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = S_ISREG(st.st_mode) ? errno : EINVAL;
        ::close(fd);
        FailRead(path, error);
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            FailRead(path, error);
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return SplitSynonymText(text);
}

void WriteSynonymFile(const std::string& path, const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text += w + "\r\n";
    try {
        ReplaceFileAtomically(path, text);
    } catch (const std::system_error& e) {
        FailWrite(path, e.code().value());
    }
}

}  // namespace xavo
