// The viewer's screen-free decisions (see ViewerLogic.h).
#include "ViewerLogic.h"

#include "Directory.h"
#include "Paths.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace xavo {

std::string MaskForFile(std::string_view path) {
    const std::string_view name = FileNameOf(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return "*";
    return "*" + std::string(name.substr(dot));
}

int NextFileIndex(int itemIndex, int count) {
    if (itemIndex >= count - 1) return -1;
    return itemIndex < 0 ? 0 : itemIndex + 1;
}

int PrevFileIndex(int itemIndex, int count) {
    if (itemIndex <= 0 || itemIndex >= count) return -1;
    return itemIndex - 1;
}

bool DiscardCaretKey(TCaretKey key, const TCaretPlace& place) {
    if (key == TCaretKey::Other) return false;
    if (place.Line == 0) {
        if (key == TCaretKey::Up || key == TCaretKey::PageUp) return true;
        if (key == TCaretKey::Left && place.Column == 0) return true;
    }
    const std::int64_t n = place.ListCount;
    const bool onLastLine = place.Line == n || (place.Line == n - 1 && !place.LastListLineEmpty);
    if (!onLastLine) return false;
    if (key == TCaretKey::Down || key == TCaretKey::PageDown) return true;
    return key == TCaretKey::Right && place.Column == place.LineLength;
}

int PagingSteps(std::int64_t lineCount, int visibleLines, bool half) {
    if (lineCount < visibleLines) return 0;
    return half ? visibleLines / 2 : visibleLines;
}

bool IsShowableFile(const std::string& path) {
    const std::uint16_t attributes = AttributesOf(path);
    return (attributes & faArchive) != 0 && (attributes & faDirectory) == 0;
}

std::string ProcessDirectory() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) return WithTrailingSlash(buffer.data());
        if (errno != ERANGE || buffer.size() > (1u << 20)) return "/";
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace xavo
