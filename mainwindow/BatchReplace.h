// The screen-free side of replacing: every occurrence of a literal in a byte text replaced
// as the text view's "replace all" does it, the files a batch replace takes, where each
// output goes, and writing an output as a save writes a file: never half of it, keeping an
// existing file's owner, group, mode and links.
//
// Plain C++ (no Qt); texts are Shift-JIS bytes, paths file-system bytes, positions bytes.
// A plain file in another encoding is replaced in its own encoding (ReplaceAllInFile), and
// left as it is when the replacement holds a character that encoding cannot store, or
// stores only as an extension other programs cannot read.
// Entry points: ReplaceAllBytes, ReplaceAllInFile, CollectBatchFiles, BatchOutputPath,
// CountReplacedOutputs, WriteOutputFile.
#pragma once

#include "Encoding.h"
#include "FindOptions.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace xavo {

// A batch step that failed; the message (UTF-8) is for the user's error box.
class EBatchReplaceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TByteReplacement {
    std::string Text;
    int Count = 0;  // occurrences replaced
    // ReplaceAllInFile only: the encoding the file was read in, and whether its occurrences
    // were left in place because the replacement cannot be stored in that encoding.
    TFileEncoding Encoding;
    bool Unencodable = false;
};

// Text with every occurrence of Find from position From on replaced by Replacement. The
// occurrences are those the view's forward search finds one after the other (frMatchCase
// as in Options; never one that starts or ends inside a double-byte character), each
// search resuming after the previous occurrence, so a replacement is never searched
// again. Every byte outside the occurrences is copied as it is (line ends of any kind,
// invalid bytes, a missing final line end). An empty Find replaces nothing.
TByteReplacement ReplaceAllBytes(std::string_view text, std::string_view find, std::string_view replacement,
                                 TFindOptions options, std::size_t from = 0);

// A plain file's bytes with every occurrence of Find replaced as ReplaceAllBytes replaces
// them, in the file's own encoding (detected from its first bytes, as the view reads it):
// the text is decoded, searched as the view searches its Shift-JIS byte text (a '?' never
// matches a character Shift-JIS lacks), given Replacement at each occurrence and encoded
// again. A file with no occurrence keeps its bytes as they are; the others keep every byte
// outside the occurrences. When the replacement holds a character the file's encoding
// cannot store, or stores only as an extension (StoresStandardly), a file with an
// occurrence is not replaced either: Text is its bytes as they are, Count 0 and Unencodable
// true, so no '?' is ever written.
TByteReplacement ReplaceAllInFile(std::string_view bytes, std::string_view find, std::u16string_view replacement,
                                  TFindOptions options);

// The batch's output root for the directory chosen: without its final "/", and "" for the
// root "/" itself, which plays the drive root ("/src/a.txt" goes to "/a.txt").
std::string BatchOutputRoot(std::string_view chosen);

// Where Source goes: OutputRoot followed by Source's path from the "/" that ends
// SourceDirectory (which ends in "/" and starts Source): "/src/" + "/src/x/b.txt" with root
// "/out" gives "/out/x/b.txt".
std::string BatchOutputPath(std::string_view sourceDirectory, std::string_view source, std::string_view outputRoot);

// The files of a batch: the regular files (hidden ones included) of Directory whose names
// match Mask (";" separates several), and with Recurse those of every directory below it;
// each directory's own files first (sorted), then its subdirectories depth first. The list
// is complete before the first output is written, so outputs inside the tree are not taken.
std::vector<std::string> CollectBatchFiles(const std::string& directory, const std::string& mask, bool recurse);

// Whether Encoding stores every character of Text within its standard sets: none becomes
// '?' (FindUnencodableIn) and none is a vendor extension (FindNonStandard).
bool StoresStandardly(std::u16string_view text, TFileEncoding encoding);

// How many outputs of Sources (BatchOutputPath) would replace something that exists and is
// no directory (links followed).
std::size_t CountReplacedOutputs(std::string_view sourceDirectory, const std::vector<std::string>& sources,
                                 std::string_view outputRoot);

// True when both paths name the same existing file or directory (also through links).
bool IsSameFile(const std::string& first, const std::string& second);

// True when both paths name the same existing directory (also through links).
bool IsSameDirectory(const std::string& first, const std::string& second);

// True when nothing is at Path any more (a source another program removed meanwhile).
bool Vanished(const std::string& path);

// Creates every missing directory above the file Path, from the top down (mode 0777 less
// the umask). Throws EBatchReplaceError naming the directory that could not be made.
void CreateParentDirectories(const std::string& path);

// Replaces or creates the file Path with Bytes as the text view's save does
// (WriteFileBytes): an existing file keeps its owner, group, mode and hard links and is
// never left half written; a symbolic link is followed. Flush as there: a source replaced
// in place is worth an fsync, a fresh output tree is not (like a copy; see the notes).
// Throws EBatchReplaceError naming Path; the old file is then untouched and no temporary
// file is left.
void WriteOutputFile(const std::string& path, std::string_view bytes, bool flush);

// Whether the text view reads Bytes as rich text: the plain-text option off and an RTF
// header.
bool ReadsAsRichText(std::string_view bytes, bool plainText);

}  // namespace xavo
