// Path helpers, see Paths.h.
#include "Paths.h"

#include <algorithm>

namespace xavo {

std::string WithTrailingSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir.push_back('/');
    return dir;
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string ParentDirectoryOf(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return ".";
    return slash == 0 ? std::string("/") : std::string(path.substr(0, slash));
}

std::string_view FileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

int ComparePathsIgnoringCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    int rawOrder = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca == cb) continue;
        const auto fa = static_cast<unsigned char>(FoldAsciiCase(a[i]));
        const auto fb = static_cast<unsigned char>(FoldAsciiCase(b[i]));
        if (fa != fb) return fa < fb ? -1 : 1;
        if (rawOrder == 0) rawOrder = ca < cb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return rawOrder;
}

void SortPathsIgnoringCase(std::vector<std::string>& paths) {
    std::sort(paths.begin(), paths.end(),
              [](const std::string& a, const std::string& b) { return PathLessIgnoringCase(a, b); });
}

}  // namespace xavo
