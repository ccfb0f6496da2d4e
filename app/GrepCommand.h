// The command-line grep: options, the list of files, and the search with ordered output.
//
// xavoline-grep [options] PATTERN [PATH...]: every line matching PATTERN (a UTF-8 pattern,
// searched as Shift-JIS) is printed as "full-path lineno:text", files in the order the
// window lists them, lines in file order, whatever the number of threads.
// Entry points: ParseGrepArguments, RunGrepCommand.
#pragma once

#include "FileReport.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace xavo {

struct TGrepOptions {
    std::string Pattern;             // as given (UTF-8)
    std::vector<std::string> Paths;  // files and directories; empty means "."
    bool Recursive = false;
    std::string Mask = "*";
    bool Fuzzy = false;
    bool Romaji = false;             // expand romaji words through the Migemo dictionary
    std::string SynonymFile;
    bool Utf8Output = true;
    TEncodingChoice Encoding;        // default: decided per file
    unsigned Jobs = 0;               // 0: one per core
    bool ReferenceLoops = false;     // the plain loops (for measurements), one thread
    bool PrintWidened = false;       // print the widened pattern and stop (for measurements)
    bool Help = false;
    // grep's output options: what is printed per file, and how.
    TReportOptions Report;
    enum class TColorWhen : std::uint8_t { Never, Always, Auto } ColorWhen = TColorWhen::Never;
    bool IgnoreCase = false;         // ASCII letters in either case
    bool NoMessages = false;         // no messages about unreadable files and paths
};

// A command line that cannot be understood; the message says why.
class EUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses the arguments (argv[0] is the program). Raises EUsage.
TGrepOptions ParseGrepArguments(int argc, char** argv);

// The text of --help.
std::string GrepUsageText();

// Runs the search, writing results to Out and messages to Err. Returns the exit status:
// 0 a line matched, 1 none matched, 2 an error (a bad pattern, an unreadable file or path).
int RunGrepCommand(const TGrepOptions& options, std::FILE* out, std::FILE* err);

}  // namespace xavo
