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

#include <cerrno>
#include <climits>
#include <unistd.h>

namespace xavo {

std::string AbsolutePath(std::string_view path) {
    std::string full;
    if (path.empty() || path.front() != '/') {
        std::string cwd(PATH_MAX, '\0');
        while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
            if (errno != ERANGE) break;
            cwd.resize(cwd.size() * 2);
        }
        full = cwd.c_str();
        full += '/';
    }
    full += path;
    std::vector<std::string_view> parts;
    std::string_view rest = full;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string result;
    for (const std::string_view part : parts) {
        result += '/';
        result += part;
    }
    return result.empty() ? "/" : result;
}

}  // namespace xavo
