// The corpus file the benchmarks read: $XAVOLINE_CORPUS, by default /tmp/corpus/big.txt
// (made by ../shared/corpus/make-corpus.sh). Read once per program.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace xavo::bench {

// The corpus file's bytes (empty when it is missing).
inline const std::string& CorpusBytes() {
    static const std::string bytes = [] {
        const char* path = std::getenv("XAVOLINE_CORPUS");
        std::ifstream in(path ? path : "/tmp/corpus/big.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    return bytes;
}

}  // namespace xavo::bench
