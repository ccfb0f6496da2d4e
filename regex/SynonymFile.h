// Synonym dictionary files: Shift-JIS text, one word per line, no header or escapes.
//
// Read with CR LF, LF or CR line ends (an empty line is an empty word; the end of the
// last line needs no line end); written with CR LF. Words are bytes, never converted.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace xavo {

// A dictionary file that cannot be read or written; the message names the file.
class ESynonymFile : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The words of the file, in file order. Raises ESynonymFile "<path> を読み込めません: <reason>".
std::vector<std::string> ReadSynonymFile(const std::string& path);

// Replaces the file with the words, one per line, CR LF. The file is replaced atomically
// (ReplaceFileAtomically), so a failed write leaves the old dictionary intact. Raises ESynonymFile
// "<path> に書き込めません: <reason>".
void WriteSynonymFile(const std::string& path, const std::vector<std::string>& words);

// The words of dictionary text (the line rules above).
std::vector<std::string> SplitSynonymText(const std::string& text);

}  // namespace xavo
