// Replacing in byte text, the batch's files and outputs (see BatchReplace.h).
#include "BatchReplace.h"

#include "Detect.h"
#include "Directory.h"
#include "EncodedText.h"
#include "Encoding.h"
#include "FileMask.h"
#include "Paths.h"
#include "Rtf.h"
#include "SjisCodec.h"
#include "TextFileIo.h"
#include "TextSearch.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include <sys/stat.h>

namespace xavo {
namespace {

[[noreturn]] void Fail(const std::string& path, const char* what, int error) {
    throw EBatchReplaceError(path + " " + what + ": " + std::strerror(error));
}

}  // namespace

TByteReplacement ReplaceAllBytes(std::string_view text, std::string_view find, std::string_view replacement,
                                 TFindOptions options, std::size_t from) {
    TByteReplacement result;
    if (find.empty() || text.size() > static_cast<std::size_t>(INT_MAX) || from > text.size()) {
        result.Text.assign(text);
        return result;
    }
    result.Text.reserve(text.size());
    std::size_t copied = 0;
    for (std::size_t at = from;;) {
        const int hit = SearchBuffer(text, static_cast<int>(at), 0, find, options | frDown);
        if (hit < 0) break;
        const auto position = static_cast<std::size_t>(hit);
        result.Text.append(text.substr(copied, position - copied));
        result.Text.append(replacement);
        ++result.Count;
        copied = at = position + find.size();
    }
    result.Text.append(text.substr(copied));
    return result;
}

TByteReplacement ReplaceAllInFile(std::string_view bytes, std::string_view find, std::u16string_view replacement,
                                  TFindOptions options) {
    const TFileEncoding encoding = DetectEncoding(bytes);
    const bool storable = StoresStandardly(replacement, encoding);
    // A file the replacement cannot go into keeps its bytes; it is only told apart from a
    // file without an occurrence.
    const auto leftAsItIs = [&](bool occurs) {
        TByteReplacement kept;
        kept.Text.assign(bytes);
        kept.Encoding = encoding;
        kept.Unencodable = occurs;
        return kept;
    };
    if (encoding.Kind == TEncoding::Sjis) {
        if (!storable) return leftAsItIs(ReplaceAllBytes(bytes, find, {}, options).Count > 0);
        return ReplaceAllBytes(bytes, find, EncodeSjis(replacement), options);
    }
    TByteReplacement result;
    result.Encoding = encoding;
    const std::u16string text = DecodeText(bytes, encoding);
    // The text's Shift-JIS bytes: each unit is SjisLength(unit) of them, so an occurrence's
    // units are found by walking along with the search.
    const std::string sjis = EncodeSjis(text);
    std::u16string replaced;
    std::size_t unit = 0, position = 0, copied = 0;
    const auto unencodable = [](char16_t u) { return FindUnencodable(std::u16string_view(&u, 1)) == 0; };
    if (!find.empty() && sjis.size() <= static_cast<std::size_t>(INT_MAX)) {
        for (std::size_t at = 0;;) {
            const int hit = SearchBuffer(sjis, static_cast<int>(at), 0, find, options | frDown);
            if (hit < 0) break;
            const auto start = static_cast<std::size_t>(hit);
            while (position < start) position += static_cast<std::size_t>(SjisLength(text[unit++]));
            std::size_t end = unit, endPosition = position;
            bool whole = position == start;
            while (whole && endPosition < start + find.size()) {
                whole = !unencodable(text[end]);
                endPosition += static_cast<std::size_t>(SjisLength(text[end++]));
            }
            if (!whole || endPosition != start + find.size()) {
                at = start + 1;
                continue;
            }
            if (!storable) return leftAsItIs(true);
            replaced.append(text, copied, unit - copied);
            replaced.append(replacement);
            ++result.Count;
            copied = unit = end;
            position = at = endPosition;
        }
    }
    if (result.Count == 0) return leftAsItIs(false);
    replaced.append(text, copied);
    result.Text = EncodeText(replaced, encoding);
    return result;
}

std::string BatchOutputRoot(std::string_view chosen) {
    std::string root(chosen);
    while (!root.empty() && root.back() == '/') root.pop_back();
    return root;
}

std::string BatchOutputPath(std::string_view sourceDirectory, std::string_view source, std::string_view outputRoot) {
    // Source begins with SourceDirectory, whose final "/" starts the relative part.
    const std::size_t relative = sourceDirectory.empty() ? 0 : sourceDirectory.size() - 1;
    std::string out(outputRoot);
    out.append(source.substr(std::min(relative, source.size())));
    return out;
}

std::vector<std::string> CollectBatchFiles(const std::string& directory, const std::string& mask, bool recurse) {
    TCollectOptions options;
    options.Attributes = faReadOnly | faHidden | faSystem | faArchive;
    options.Recurse = recurse;
    std::vector<std::string> paths;
    CollectMatchingFiles(WithTrailingSlash(directory), TFileMask(mask), options, paths);
    return paths;
}

bool StoresStandardly(std::u16string_view text, TFileEncoding encoding) {
    return FindUnencodableIn(text, encoding) == std::u16string_view::npos &&
           FindNonStandard(text, encoding) == std::u16string_view::npos;
}

std::size_t CountReplacedOutputs(std::string_view sourceDirectory, const std::vector<std::string>& sources,
                                 std::string_view outputRoot) {
    std::size_t count = 0;
    struct stat st {};
    for (const std::string& source : sources) {
        const std::string out = BatchOutputPath(sourceDirectory, source, outputRoot);
        if (::stat(out.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) ++count;
    }
    return count;
}

bool IsSameFile(const std::string& first, const std::string& second) {
    TFileId a, b;
    return FileIdOf(first, a) && FileIdOf(second, b) && a == b;
}

bool Vanished(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

bool IsSameDirectory(const std::string& first, const std::string& second) {
    return IsDirectory(first) && IsSameFile(first, second);
}

void CreateParentDirectories(const std::string& path) {
    const std::string directory = ParentDirectoryOf(path);
    std::string part;
    for (std::size_t at = 1; at <= directory.size(); ++at) {
        if (at < directory.size() && directory[at] != '/') continue;
        part = directory.substr(0, at);
        if (::mkdir(part.c_str(), 0777) == 0) continue;
        const int error = errno;
        if (error != EEXIST) Fail(part, "を作成できません", error);
    }
}

void WriteOutputFile(const std::string& path, std::string_view bytes, bool flush) {
    if (const int error = WriteFileBytes(path, bytes, flush); error != 0) Fail(path, "に書き込めません", error);
}

bool ReadsAsRichText(std::string_view bytes, bool plainText) { return !plainText && LooksLikeRtf(bytes); }

}  // namespace xavo
