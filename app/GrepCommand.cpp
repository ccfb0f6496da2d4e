// The command-line grep.
//
// Files are searched by a pool of threads with one shared, immutable search program; each
// file's output is collected in its own slot and printed strictly in file order, so the
// output is the same for any number of threads. Threads run at most a few files ahead of
// the printer and wait while the output not yet written passes a few megabytes, which
// bounds the output held in memory whatever the files and however slow the reader.
#include "GrepCommand.h"

#include "CaseFold.h"
#include "FileSearch.h"
#include "FileSystem.h"
#include "Grep.h"
#include "GrepFiles.h"
#include "Migemo.h"
#include "SjisCodec.h"
#include "SynonymFile.h"
#include "TerminalText.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <getopt.h>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <unistd.h>

namespace xavo {

namespace {

constexpr const char* kProgram = "xavoline-grep";
constexpr std::size_t kHeldBytesPerJob = 2 * 1024 * 1024;  // unwritten output before a worker waits
constexpr const char* kOutOfMemory = "メモリが足りません";

// Text for a stream: on a terminal, with its controls shown escaped.
std::string Shown(std::FILE* stream, const std::string& text) {
    return ::isatty(::fileno(stream)) != 0 ? ForTerminal(text) : text;
}

unsigned ParseJobs(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || n < 1 || n > 1024)
        throw EUsage(std::string("-j needs a number of threads from 1 to 1024, not '") + text + "'");
    return static_cast<unsigned>(n);
}

// A whole decimal number (as grep reads -m and context lengths).
std::int64_t ParseCount(const char* option, const char* text, bool allowNegative) {
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || (n < 0 && !allowNegative))
        throw EUsage(std::string(option) + " needs a whole number" + (allowNegative ? "" : " of 0 or more") + ", not '" +
                     text + "'");
    return n;
}

std::uint32_t ParseContext(const char* option, const char* text) {
    const std::int64_t n = ParseCount(option, text, false);
    return static_cast<std::uint32_t>(std::min<std::int64_t>(n, UINT32_MAX));
}

}  // namespace

std::string GrepUsageText() {
    return R"USAGE(Usage: xavoline-grep [OPTION]... PATTERN [PATH]...
Print every line of Japanese text files that matches PATTERN, as
"full-path line-number:text". PATTERN is given in UTF-8 and searched as Shift-JIS
(CP932); each file is read in its own encoding (see --encoding), so the same
PATTERN finds the same text in Shift-JIS, EUC-JP, JIS, UTF-8 and UTF-16 files.

PATTERN syntax: characters (a double-byte character is one character), "." any
character but a line end, [abc] [a-z] [^abc] classes, "*" "+" "?" repetition,
"(...)" groups, "|" alternatives, "^" at the start and "$" at the end of the
pattern for the start and end of a line, "\" escapes: \n \r \t \b, \xHHHH
(1-4 hex digits, a character code), \OOO (octal), \c for any character c.

PATH is a file or a directory (default: the current directory). The files of all
PATHs are searched in the order the window lists them: full paths sorted without
regard to letter case.

Options:
  -r, --recursive        search directories and all their subdirectories
                         (regular files only, hidden ones included; links to
                         directories followed, no directory searched twice)
      --mask=MASKS       file masks for directories, separated by ";",
                         "*" and "?" wildcards, letter case ignored (default "*")
      --fuzzy            also find Japanese character variants: full- and
                         half-width forms, hiragana and katakana, small kana,
                         voiced kana written with a separate mark, letter case,
                         digit forms
      --romaji           romaji search: each word of PATTERN (words separated by
                         blanks) in ASCII is expanded through the Migemo
                         dictionary, so "kensaku" also finds 検索, けんさく,
                         ケンサク and ｹﾝｻｸ; other words, and a PATTERN holding
                         ^ $ ( ) | * + ? . [ ] \, are searched as written (needs
                         the Debian package cmigemo-common)
      --print-widened    print the pattern as it is searched, after the romaji
                         expansion and the widening, and exit
      --synonyms=FILE    widen each word of the synonym dictionary FILE (Shift-JIS,
                         one word per line) found in PATTERN to all its words
      --encoding=ENC     the encoding of the files: auto (default: decided per
                         file from its first 64 KB: a byte-order mark, JIS escapes,
                         valid UTF-8, else Shift-JIS or EUC-JP), sjis, eucjp, jis,
                         utf8 or utf16 (byte order from the file's mark, else LE).
                         A character Shift-JIS cannot hold is matched by "." and
                         never by a character of PATTERN
      --output=utf8|sjis convert the text of result lines to UTF-8 (default) or
                         print it in Shift-JIS (a Shift-JIS file's bytes unchanged)
  -j, --jobs=N           search N files at once (default: the number of cores);
                         the output is the same for every N
  -e, --regexp=PATTERN   use PATTERN (for a pattern that starts with "-")
  -i, --ignore-case      ASCII letters match in either case (full-width letters
                         are --fuzzy's business)
  -v, --invert-match     select the lines that do not match
  -m, --max-count=NUM    stop reading a file after NUM selected lines (and its
                         trailing context)
  -c, --count            print "path:N", the number of selected lines, instead
  -l, --files-with-matches  print only the paths of files with a selected line
  -L, --files-without-match print only the paths of files without one
  -q, --quiet, --silent  print nothing; exit with 0 at the first selected line
  -s, --no-messages      no messages about missing or unreadable files
  -n, --line-number      accepted for habit's sake: line numbers are always shown
  -A, --after-context=NUM   print NUM lines after each selected line
  -B, --before-context=NUM  print NUM lines before each selected line
  -C, --context=NUM      print NUM lines before and after; context lines read
                         "path lineno-text", and "--" stands between groups
                         that do not touch
      --color[=WHEN], --colour[=WHEN]
                         mark paths, line numbers and matches with colours:
                         WHEN is never (default), always, or auto (only on a
                         terminal, and not when NO_COLOR is set)
  -h, --help             show this help and exit

On a terminal, control characters in lines and file names are shown as ^X
("^[" for ESC), so that text cannot reprogram the terminal; into a pipe or a
file the bytes pass unchanged.

Exit status: 0 if a line matched, 1 if none matched, 2 if an error occurred
(a bad pattern: its message and position; an unreadable file or path, or a file
too large for memory: reported, the other files still searched; an output that
cannot be written, except a closed pipe).
)USAGE";
}

TGrepOptions ParseGrepArguments(int argc, char** argv) {
    enum { kMask = 256, kFuzzy, kSynonyms, kOutput, kReference, kPrintWidened, kColor, kRomaji, kEncoding };
    static const option longOptions[] = {
        {"recursive", no_argument, nullptr, 'r'},     {"mask", required_argument, nullptr, kMask},
        {"fuzzy", no_argument, nullptr, kFuzzy},      {"synonyms", required_argument, nullptr, kSynonyms},
        {"output", required_argument, nullptr, kOutput}, {"jobs", required_argument, nullptr, 'j'},
        {"regexp", required_argument, nullptr, 'e'},  {"help", no_argument, nullptr, 'h'},
        {"reference-loops", no_argument, nullptr, kReference}, {"print-widened", no_argument, nullptr, kPrintWidened},
        {"ignore-case", no_argument, nullptr, 'i'},   {"invert-match", no_argument, nullptr, 'v'},
        {"max-count", required_argument, nullptr, 'm'}, {"count", no_argument, nullptr, 'c'},
        {"files-with-matches", no_argument, nullptr, 'l'}, {"files-without-match", no_argument, nullptr, 'L'},
        {"quiet", no_argument, nullptr, 'q'},         {"silent", no_argument, nullptr, 'q'},
        {"no-messages", no_argument, nullptr, 's'},   {"line-number", no_argument, nullptr, 'n'},   {"after-context", required_argument, nullptr, 'A'},
        {"before-context", required_argument, nullptr, 'B'}, {"context", required_argument, nullptr, 'C'},
        {"color", optional_argument, nullptr, kColor}, {"colour", optional_argument, nullptr, kColor},
        {"romaji", no_argument, nullptr, kRomaji},      {"encoding", required_argument, nullptr, kEncoding},
        {nullptr, 0, nullptr, 0}};
    TGrepOptions options;
    bool havePattern = false;
    // -A and -B win over -C whatever their order, as in grep.
    std::optional<std::uint32_t> after, before, context;
    // Of -q, -l, -L and -c the first in this order decides what is printed.
    bool quiet = false, withMatches = false, withoutMatch = false, count = false;
    optind = 0;
    opterr = 0;
    for (;;) {
        const int c = getopt_long(argc, argv, "rj:e:hivm:clLqsnA:B:C:", longOptions, nullptr);
        if (c == -1) break;
        switch (c) {
        case 'r': options.Recursive = true; break;
        case kMask: options.Mask = optarg; break;
        case kFuzzy: options.Fuzzy = true; break;
        case kSynonyms: options.SynonymFile = optarg; break;
        case kOutput:
            if (std::strcmp(optarg, "utf8") == 0)
                options.Utf8Output = true;
            else if (std::strcmp(optarg, "sjis") == 0)
                options.Utf8Output = false;
            else
                throw EUsage(std::string("--output takes utf8 or sjis, not '") + optarg + "'");
            break;
        case 'j': options.Jobs = ParseJobs(optarg); break;
        case 'e':
            options.Pattern = optarg;
            havePattern = true;
            break;
        case 'h': options.Help = true; break;
        case kReference: options.ReferenceLoops = true; break;
        case kPrintWidened: options.PrintWidened = true; break;
        case kRomaji: options.Romaji = true; break;
        case kEncoding:
            if (std::strcmp(optarg, "auto") == 0) {
                options.Encoding.Forced.reset();
            } else {
                TFileEncoding named;
                if (!ParseEncodingName(optarg, named))
                    throw EUsage(std::string("--encoding takes auto, sjis, eucjp, jis, utf8 or utf16, not '") + optarg + "'");
                options.Encoding.Forced = named;
            }
            break;
        case 'i': options.IgnoreCase = true; break;
        case 'v': options.Report.Invert = true; break;
        case 'm': options.Report.MaxCount = ParseCount("-m", optarg, true); break;
        case 'c': count = true; break;
        case 'l': withMatches = true; break;
        case 'L': withoutMatch = true; break;
        case 'q': quiet = true; break;
        case 's': options.NoMessages = true; break;
        case 'n': break;  // line numbers are always printed
        case 'A': after = ParseContext("-A", optarg); break;
        case 'B': before = ParseContext("-B", optarg); break;
        case 'C': context = ParseContext("-C", optarg); break;
        case kColor:
            if (optarg == nullptr || std::strcmp(optarg, "auto") == 0 || std::strcmp(optarg, "tty") == 0 ||
                std::strcmp(optarg, "if-tty") == 0)
                options.ColorWhen = TGrepOptions::TColorWhen::Auto;
            else if (std::strcmp(optarg, "always") == 0 || std::strcmp(optarg, "yes") == 0 ||
                     std::strcmp(optarg, "force") == 0)
                options.ColorWhen = TGrepOptions::TColorWhen::Always;
            else if (std::strcmp(optarg, "never") == 0 || std::strcmp(optarg, "no") == 0 ||
                     std::strcmp(optarg, "none") == 0)
                options.ColorWhen = TGrepOptions::TColorWhen::Never;
            else
                throw EUsage(std::string("--color takes never, always or auto, not '") + optarg + "'");
            break;
        case ':': throw EUsage(std::string("option needs a value: ") + argv[optind - 1]);
        default:
            // Inside a cluster ("-1+") optind has not moved on: name the letter itself.
            if (optopt != 0) throw EUsage(std::string("unknown option: -") + static_cast<char>(optopt));
            throw EUsage(std::string("unknown option: ") + argv[optind - 1]);
        }
    }
    if (options.Help) return options;
    options.Report.After = after.value_or(context.value_or(0));
    options.Report.Before = before.value_or(context.value_or(0));
    options.Report.Listing = quiet          ? TListing::Quiet
                             : withMatches  ? TListing::FilesWithMatches
                             : withoutMatch ? TListing::FilesWithoutMatch
                             : count        ? TListing::Count
                                            : TListing::Lines;
    int next = optind;
    if (!havePattern) {
        if (next >= argc) throw EUsage("no PATTERN given");
        options.Pattern = argv[next++];
    }
    for (; next < argc; ++next) options.Paths.emplace_back(argv[next]);
    return options;
}

namespace {

// Writes to the output stream; after a failed write writes nothing more.
class TOutput {
public:
    explicit TOutput(std::FILE* out) : FOut(out) {}
    bool Write(const std::string& text) {
        if (FBroken || text.empty()) return !FBroken;
        errno = 0;
        if (std::fwrite(text.data(), 1, text.size(), FOut) != text.size()) Fail();
        return !FBroken;
    }
    bool Flush() {
        errno = 0;
        if (!FBroken && std::fflush(FOut) != 0) Fail();
        return !FBroken;
    }
    bool Broken() const { return FBroken; }
    // The reason of the failed write, or 0 when the reader closed the pipe (not an error:
    // the reader has what it wanted, as with "| head").
    int Error() const { return FError; }

private:
    void Fail() {
        FBroken = true;
        FError = errno == EPIPE ? 0 : errno != 0 ? errno : EIO;
    }

    std::FILE* FOut;
    bool FBroken = false;
    int FError = 0;
};

// The files to search: every PATH, directories listed or collected, sorted and unique.
std::vector<std::string> CollectFiles(const TGrepOptions& options, std::FILE* err, bool& failed) {
    return CollectPathFiles(options.Paths, options.Recursive, options.Mask, [&](const std::string& path, int error) {
        if (!options.NoMessages) std::fprintf(err, "%s: %s: %s\n", kProgram, Shown(err, path).c_str(), std::strerror(error));
        failed = true;
    });
}

// The message for a file that could not be searched.
std::string ErrorText(const std::string& path) {
    try {
        throw;
    } catch (const EFileNotFound& e) {
        return path + ": " + std::strerror(e.ErrorCode != 0 ? e.ErrorCode : ENOENT);
    } catch (const EInOutError& e) {
        return path + ": " + e.what();
    } catch (const std::bad_alloc&) {
        return path + ": " + kOutOfMemory;
    }
}

// Raised from a search's line sink when the file needs no more lines.
struct TStopFile {};

// One file's results as the printer collects them.
struct TFileSlot {
    std::string Output;
    std::string Error;
    bool Done = false;
    bool Matched = false;
};

class TSearchPool {
public:
    TSearchPool(const TGrepOptions& options, std::shared_ptr<const TGrepProgram> program,
                const std::vector<std::string>& files)
        : FOptions(options), FProgram(std::move(program)), FFiles(files), FSlots(files.size()) {}

    // Searches every file on Jobs threads and prints in file order. Returns the exit state.
    void Run(unsigned jobs, TOutput& output, std::FILE* err, bool& matched, bool& failed) {
        FWindow = std::max<std::size_t>(4, std::size_t{jobs} * 4);
        FHeldLimit = std::size_t{jobs} * kHeldBytesPerJob;
        std::vector<std::thread> threads;
        for (unsigned i = 0; i < jobs; ++i) threads.emplace_back([this] { Work(); });
        const bool context = FOptions.Report.Context();
        bool printedAny = false;  // context groups of different files are separated too
        for (std::size_t i = 0; i < FFiles.size(); ++i) {
            bool firstText = true;
            for (;;) {
                std::string text;
                bool done;
                {
                    std::unique_lock lock(FLock);
                    FChanged.wait(lock, [&] { return !FSlots[i].Output.empty() || FSlots[i].Done; });
                    text.swap(FSlots[i].Output);
                    FHeld -= text.size();
                    done = FSlots[i].Done && FSlots[i].Output.empty();
                    FChanged.notify_all();  // room for the workers
                }
                if (!text.empty() && firstText) {
                    firstText = false;
                    if (context && printedAny) output.Write(GroupSeparator(FOptions.Report.Color));
                    printedAny = true;
                }
                if (!output.Write(text)) {  // the reader went away, or the output failed: stop
                    std::lock_guard lock(FLock);
                    FCancel = true;
                    FChanged.notify_all();
                }
                if (!done) continue;
                // -q ends at the first selected line: what comes after it is not looked at.
                const bool over = matched && FOptions.Report.Listing == TListing::Quiet;
                matched = matched || FSlots[i].Matched;
                if (!FSlots[i].Error.empty() && !over) {
                    output.Flush();
                    if (!FOptions.NoMessages) std::fprintf(err, "%s: %s\n", kProgram, Shown(err, FSlots[i].Error).c_str());
                    failed = true;
                }
                break;
            }
            std::lock_guard lock(FLock);
            FPrinted = i + 1;
            FChanged.notify_all();
        }
        for (std::thread& t : threads) t.join();
    }

private:
    // Hands output of file I to the printer. The worker then waits while its file holds
    // kHeldBytesPerJob not yet written, or, for a file the printer has not reached, while
    // all files together hold more than FHeldLimit.
    void HandOver(std::size_t i, std::string& text) {
        if (FCancel) throw EGrepCancel();
        std::unique_lock lock(FLock);
        FSlots[i].Output += text;
        FHeld += text.size();
        FChanged.notify_all();
        text.clear();
        FChanged.wait(lock, [&] {
            return FCancel || (FSlots[i].Output.size() < kHeldBytesPerJob && (i == FPrinted || FHeld < FHeldLimit));
        });
    }

    void Work() {
        std::optional<TFileSearcher> search;
        std::string local;
        for (;;) {
            std::size_t i;
            {
                std::unique_lock lock(FLock);
                FChanged.wait(lock, [&] { return FNext >= FFiles.size() || FNext < FPrinted + FWindow; });
                if (FNext >= FFiles.size()) return;
                i = FNext++;
            }
            const std::string& path = FFiles[i];
            bool matched = false;
            std::string error;
            local.clear();
            const auto handOver = [&](std::string& text) { HandOver(i, text); };
            std::optional<TFileReport> report;
            try {
                if (!search) search.emplace(*FProgram, FCancel, TIdleHook(), FOptions.Report.Encoding);
                report.emplace(FOptions.Report, *FProgram, path, handOver);
                try {
                    search->Run(path, [&](const RE_LineInfo_t& info) {
                        report->SetEncoding(search->Encoding());
                        std::optional<std::uint64_t> near;
                        const bool own = search->ShowsOwnText(info, &near);
                        if (!report->Match(info, own, near)) throw TStopFile();
                    });
                } catch (const TStopFile&) {
                }
                report->SetEncoding(search->Encoding());
                report->Finish();
            } catch (const EGrepCancel&) {
            } catch (const EInOutError&) {
                error = ErrorText(path);
            } catch (const std::bad_alloc&) {
                // The lines found so far are printed; the search starts afresh for the next file.
                search.reset();
                error = ErrorText(path);
            }
            if (report) {
                matched = report->Selected();
                local.swap(report->Text());
                if (matched && FOptions.Report.Listing == TListing::Quiet) FCancel = true;
            }
            std::lock_guard lock(FLock);
            FHeld += local.size();
            FSlots[i].Output += local;
            FSlots[i].Error = std::move(error);
            FSlots[i].Matched = matched;
            FSlots[i].Done = true;
            FChanged.notify_all();
        }
    }

    const TGrepOptions& FOptions;
    std::shared_ptr<const TGrepProgram> FProgram;
    const std::vector<std::string>& FFiles;
    std::vector<TFileSlot> FSlots;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::size_t FNext = 0;
    std::size_t FPrinted = 0;
    std::size_t FWindow = 4;
    std::size_t FHeld = 0;  // output in the slots, not yet taken by the printer
    std::size_t FHeldLimit = kHeldBytesPerJob;
    std::atomic<bool> FCancel{false};
};

// Whether to mark the output with colours: "auto" asks for a terminal and no NO_COLOR.
bool WantsColor(TGrepOptions::TColorWhen when, std::FILE* out) {
    switch (when) {
    case TGrepOptions::TColorWhen::Never: return false;
    case TGrepOptions::TColorWhen::Always: return true;
    case TGrepOptions::TColorWhen::Auto: break;
    }
    const char* noColor = std::getenv("NO_COLOR");
    const char* term = std::getenv("TERM");
    return isatty(fileno(out)) != 0 && (noColor == nullptr || *noColor == '\0') &&
           !(term != nullptr && std::strcmp(term, "dumb") == 0);
}

// Prints a pattern error with a caret under its position (a Shift-JIS byte position is
// also the display column: double-byte characters are the wide ones).
void ReportPatternError(const ERegExpParser& e, const std::string& pattern, std::FILE* err) {
    std::fprintf(err, "%s: %s\n", kProgram, e.what());
    if (e.Position == 0) return;
    std::fprintf(err, "  %s\n  %*s^\n", pattern.c_str(), static_cast<int>(e.Position - 1), "");
}

}  // namespace

int RunGrepCommand(const TGrepOptions& options, std::FILE* out, std::FILE* err) {
    std::size_t unencodable = 0;
    const std::string pattern = Utf8ToSjis(options.Pattern, unencodable);
    if (unencodable != 0) {
        std::fprintf(err, "%s: the pattern holds characters that Shift-JIS cannot express\n", kProgram);
        return 2;
    }
    TGrep grep;
    TREDictionary synonyms;
    try {
        if (!options.SynonymFile.empty()) synonyms.push_back(ReadSynonymFile(options.SynonymFile));
        // Romaji words become their Japanese alternatives before anything else widens them.
        const std::string expanded = options.Romaji ? TMigemo().Expand(pattern) : pattern;
        std::string searched = expanded;
        if (options.IgnoreCase && !options.Fuzzy) {  // the fuzzy table folds letters already
            // Folded after widening, so that synonyms are found as written.
            TREPreProcessor widen(expanded);
            widen.FSynonymDics.push_back(&synonyms);
            widen.FUseSynonymDic = !synonyms.empty();
            widen.Run();
            searched = FoldAsciiCase(widen.FProcessedRegExp);
        } else if (!synonyms.empty()) {
            grep.SynonymDics().push_back(&synonyms);
            grep.SetUseSynonymDic(true);
        }
        grep.SetUseFuzzyCharDic(options.Fuzzy);
        grep.SetRegExp(searched);
    } catch (const ESynonymFile& e) {
        std::fprintf(err, "%s: %s\n", kProgram, e.what());
        return 2;
    } catch (const EMigemoUnavailable& e) {
        std::fprintf(err, "%s: %s\n", kProgram, e.what());
        return 2;
    } catch (const ERegExpParser& e) {
        // Positions of errors found after widening refer to the widened text: look for the
        // error in the pattern as written, so that the caret points into it.
        try {
            TREParser parser(pattern);
            parser.Run();
        } catch (const ERegExpParser& own) {
            ReportPatternError(own, options.Pattern, err);
            return 2;
        }
        std::fprintf(err, "%s: %s\n", kProgram, e.what());
        return 2;
    }

    if (options.PrintWidened) {
        std::fprintf(out, "%s\n", SjisToUtf8(grep.CurrentPattern()).c_str());
        return 0;
    }
    if (options.Report.MaxCount == 0) return 1;  // grep reads nothing then
    TGrepOptions effective = options;
    effective.Report.Utf8 = options.Utf8Output;
    effective.Report.Color = WantsColor(options.ColorWhen, out);
    effective.Report.Terminal = ::isatty(::fileno(out)) != 0;
    effective.Report.Encoding = options.Encoding;
    // The plain loops read the file's own bytes: they define the engine, not the encodings.
    if (options.ReferenceLoops) effective.Report.Encoding.Forced = TFileEncoding{};
    bool failed = false;
    bool matched = false;
    const std::vector<std::string> files = CollectFiles(effective, err, failed);
    TOutput output(out);
    if (options.ReferenceLoops) {
        grep.UseReferenceLoops = true;
        const bool context = effective.Report.Context();
        bool printedAny = false;
        for (const std::string& path : files) {
            const auto write = [&](std::string& text) {
                if (!output.Write(text)) throw EGrepCancel();
                text.clear();
            };
            try {
                TFileReport report(effective.Report, *grep.Program(), path, write);
                grep.OnMatch = [&](TGrep&, const RE_LineInfo_t& info) {
                    if (!report.Match(info)) throw TStopFile();
                };
                try {
                    grep.GrepProc(path);
                } catch (const TStopFile&) {
                }
                report.Finish();
                matched = matched || report.Selected();
                if (!report.Text().empty()) {
                    if (context && printedAny) output.Write(GroupSeparator(effective.Report.Color));
                    printedAny = true;
                }
                write(report.Text());
                if (matched && effective.Report.Listing == TListing::Quiet) break;
            } catch (const EGrepCancel&) {
                break;
            } catch (const EInOutError&) {
                output.Flush();
                if (!options.NoMessages) std::fprintf(err, "%s: %s\n", kProgram, Shown(err, ErrorText(path)).c_str());
                failed = true;
            } catch (const std::bad_alloc&) {
                output.Flush();
                if (!options.NoMessages) std::fprintf(err, "%s: %s\n", kProgram, Shown(err, ErrorText(path)).c_str());
                failed = true;
            }
        }
    } else {
        const unsigned jobs = options.Jobs != 0 ? options.Jobs : std::max(1u, std::thread::hardware_concurrency());
        TSearchPool pool(effective, grep.Program(), files);
        pool.Run(std::min<unsigned>(jobs, static_cast<unsigned>(std::max<std::size_t>(files.size(), 1))), output,
                 err, matched, failed);
    }
    output.Flush();
    if (matched && options.Report.Listing == TListing::Quiet) return 0;  // even after an error, as grep
    if (output.Broken()) {
        if (output.Error() == 0) return matched ? 0 : 1;  // a closed pipe: quietly
        std::fprintf(err, "%s: write error: %s\n", kProgram, std::strerror(output.Error()));
        return 2;
    }
    if (failed) return 2;
    return matched ? 0 : 1;
}

}  // namespace xavo
