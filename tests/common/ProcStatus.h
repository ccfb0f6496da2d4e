// A figure of this process from /proc/self/status (e.g. "VmRSS", "RssAnon"), in KiB, or -1
// when the system gives none. Shared by the memory checks of tests and benchmarks.
#pragma once

#include <fstream>
#include <limits>
#include <string>
#include <string_view>

namespace xavo::test {

inline long ProcStatusKib(std::string_view name) {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key.size() == name.size() + 1 && key.starts_with(name) && key.back() == ':') {
            long value = -1;
            status >> value;
            return value;
        }
        status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return -1;
}

}  // namespace xavo::test
