// Small helpers on paths held as file-system bytes: the trailing "/", the parent and the
// last component, and the order of file lists (ASCII case ignored, plain byte order as the
// tie-break). Entry points: WithTrailingSlash, FileNameOf, SortPathsIgnoringCase.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace xavo {

// The ASCII letter folded to lower case; every other byte unchanged.
constexpr char FoldAsciiCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Dir with one "/" appended unless it is empty or already ends in "/".
std::string WithTrailingSlash(std::string dir);

// Path without its final "/" characters; the root "/" stays "/".
std::string WithoutTrailingSlash(std::string path);

// The directory holding Path (its final "/" ignored): "/a/b" gives "/a", "/a" gives "/",
// a bare name gives ".".
std::string ParentDirectoryOf(std::string_view path);

// The part after the last "/" (the whole path when there is none; empty after a final "/").
std::string_view FileNameOf(std::string_view path);

// Three-way comparison: bytes compared as unsigned after ASCII case folding, shorter
// prefix first; equal folded strings are ordered by their raw bytes. Returns <0, 0 or >0.
int ComparePathsIgnoringCase(std::string_view a, std::string_view b);

inline bool PathLessIgnoringCase(std::string_view a, std::string_view b) {
    return ComparePathsIgnoringCase(a, b) < 0;
}

// Sorts Paths in place with PathLessIgnoringCase (the order the file list shows).
void SortPathsIgnoringCase(std::vector<std::string>& paths);

}  // namespace xavo

namespace xavo {

// Path made absolute against the current directory and normalised: no "." or ".."
// components, no repeated "/", no final "/" (but for "/" itself); symbolic links are left
// as they are. ".." at the root stays at the root.
std::string AbsolutePath(std::string_view path);

}  // namespace xavo
