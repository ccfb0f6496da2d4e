// xavoline-grep as a user runs it: options, exit codes, messages, output bytes and order.
#include "EncodingTestUtil.h"
#include "SjisCodec.h"
#include "TempDir.h"
#include "TerminalText.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace xavo {
namespace {

struct Result {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// Starts the program with Args in Dir, errors into Dir's ".err", standard output into the
// file OutPath or, with OutPath empty, onto descriptor OutFd. Before the program, Shell
// (when given) runs in /bin/sh, e.g. to set a limit.
pid_t StartGrep(const std::vector<std::string>& args, const test::TTempDir& dir, const std::string& outPath,
                int outFd = -1, const std::string& shell = {}) {
    const std::string err = dir.Path(".err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outPath.empty())
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all{XAVOLINE_GREP};
    if (!shell.empty()) all = {"/bin/sh", "-c", shell + "; exec \"$0\" \"$@\"", XAVOLINE_GREP};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Root());
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    std::filesystem::current_path(previous);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int WaitFor(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the program with Args in Dir, output and errors captured in files.
Result RunGrep(const std::vector<std::string>& args, const test::TTempDir& dir, const std::string& shell = {}) {
    Result result;
    result.Status = WaitFor(StartGrep(args, dir, dir.Path(".out"), -1, shell));
    result.Out = test::ReadWhole(dir.Path(".out"));
    result.Err = test::ReadWhole(dir.Path(".err"));
    return result;
}

// Everything until the end of Fd.
std::string ReadAll(int fd) {
    std::string all;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return all;
        all.append(buffer, static_cast<std::size_t>(n));
    }
}

class GrepCli : public ::testing::Test {
protected:
    // Writes UTF-8 text as a Shift-JIS file.
    std::string WriteSjis(const std::string& name, const std::string& utf8) {
        std::filesystem::create_directories(std::filesystem::path(FDir.Path(name)).parent_path());
        return FDir.File(name, Utf8ToSjis(utf8));
    }
    std::string Root() const { return FDir.Root().substr(0, FDir.Root().size() - 1); }  // without the final "/"
    test::TTempDir FDir;
};

TEST_F(GrepCli, ResultLinesAndExitStatus) {
    const std::string a = WriteSjis("a.txt", "一行目\r\n日本語の文\r\n三行目\r\n");
    const Result found = RunGrep({"日本", "a.txt"}, FDir);
    EXPECT_EQ(found.Status, 0);
    EXPECT_EQ(found.Out, a + " 2:日本語の文\n");
    const Result none = RunGrep({"英語", "a.txt"}, FDir);
    EXPECT_EQ(none.Status, 1);
    EXPECT_EQ(none.Out, "");
    // The raw bytes of the file with --output sjis.
    EXPECT_EQ(RunGrep({"--output=sjis", "日本", "a.txt"}, FDir).Out, a + " 2:" + Utf8ToSjis("日本語の文") + "\n");
    // 纊 under both its codes (0xFA5C, 0xED40) is found, and printed as itself in UTF-8.
    const std::string both = FDir.File("both.txt", "\xFA\x5C\r\n\xED\x40 \xEE\xE0\r\n");
    EXPECT_EQ(RunGrep({"纊", "both.txt"}, FDir).Out, both + " 1:纊\n" + both + " 2:纊 髙\n");
    EXPECT_EQ(RunGrep({"--color=always", "纊", "both.txt"}, FDir).Out.find("\xEE"), std::string::npos);
    EXPECT_EQ(RunGrep({"--output=sjis", "髙", "both.txt"}, FDir).Out, both + " 2:\xED\x40 \xEE\xE0\n");
}

// Every encoding prints the same UTF-8 result lines as Shift-JIS, a character Shift-JIS
// cannot hold included, and reads its context lines (the second read) in its encoding too.
TEST_F(GrepCli, EachFileIsSearchedAndPrintedInItsOwnEncoding) {
    const std::string text = "一行目\r\n日本語の文 😀 です\r\n三行目 カナ\r\n";
    const struct {
        TFileEncoding Encoding;
        const char* Named;
    } cases[] = {
        {{TEncoding::EucJp, false}, "eucjp"}, {{TEncoding::Jis, false}, "jis"},
        {{TEncoding::Utf8, false}, "utf8"},   {{TEncoding::Utf8, true}, "utf8"},
        {{TEncoding::Utf16Le, true}, "utf16"}, {{TEncoding::Utf16Be, true}, "utf16"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(EncodingName(c.Encoding));
        const std::string path = FDir.File("f.txt", testing::In(c.Encoding, text));
        // 😀 is one character for ".", in every encoding that holds it.
        const bool emoji = c.Encoding.Kind != TEncoding::EucJp && c.Encoding.Kind != TEncoding::Jis;
        const std::string second = emoji ? "日本語の文 😀 です" : "日本語の文 ? です";
        EXPECT_EQ(RunGrep({"文 . で", "f.txt"}, FDir).Out, path + " 2:" + second + "\n");
        EXPECT_EQ(RunGrep({"--encoding=" + std::string(c.Named), "-C1", "カナ", "f.txt"}, FDir).Out,
                  path + " 2-" + second + "\n" + path + " 3:三行目 カナ\n");
        EXPECT_EQ(RunGrep({"-v", "行目", "f.txt"}, FDir).Out, path + " 2:" + second + "\n");
        EXPECT_EQ(RunGrep({"--color=always", "本語", "f.txt"}, FDir).Out,
                  "\033[35m\033[K" + path + "\033[m\033[K \033[32m\033[K2\033[m\033[K\033[36m\033[K:\033[m\033[K日"
                  "\033[01;31m\033[K本語\033[m\033[K" + second.substr(std::string("日本語").size()) + "\n");
        EXPECT_EQ(RunGrep({"--output=sjis", "三行目", "f.txt"}, FDir).Out, path + " 3:" + Utf8ToSjis("三行目 カナ") + "\n");
    }
    // A named encoding is used whatever the file looks like; a name we do not know is refused.
    const std::string path = FDir.File("f.txt", testing::In({TEncoding::Utf8, false}, text));
    EXPECT_EQ(RunGrep({"--encoding=sjis", "日本", "f.txt"}, FDir).Status, 1);
    const Result bad = RunGrep({"--encoding=latin1", "日本", "f.txt"}, FDir);
    EXPECT_EQ(bad.Status, 2);
    EXPECT_NE(bad.Err.find("--encoding"), std::string::npos);
}

TEST_F(GrepCli, PatternErrorsShowMessageAndCaret) {
    WriteSjis("a.txt", "x\n");
    const Result r = RunGrep({"テス(ト", "a.txt"}, FDir);
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Err, "xavoline-grep: 右(閉じ)括弧が必要です\n  テス(ト\n         ^\n");
    // The caret points into the pattern as written, also with widening on.
    EXPECT_EQ(RunGrep({"--fuzzy", "テス(ト", "a.txt"}, FDir).Err, r.Err);
    const Result complex = RunGrep({"(a|b)*a(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)"
                                "(a|b)(a|b)(a|b)(a|b)(a|b)", "a.txt"}, FDir);
    EXPECT_EQ(complex.Status, 2);
    EXPECT_EQ(complex.Err, "xavoline-grep: 正規表現が複雑すぎます\n");
    EXPECT_EQ(RunGrep({"\xf0\x9f\x98\x80", "a.txt"}, FDir).Status, 2);  // an emoji has no Shift-JIS code
}

TEST_F(GrepCli, UnreadableFilesAreReportedAndTheRestSearched) {
    const std::string b = WriteSjis("b.txt", "hit\n");
    const Result r = RunGrep({"hit", "missing.txt", "b.txt"}, FDir);
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Out, b + " 1:hit\n");
    EXPECT_EQ(r.Err, "xavoline-grep: " + Root() + "/missing.txt: No such file or directory\n");
}

TEST_F(GrepCli, UsageErrorsAndHelp) {
    EXPECT_EQ(RunGrep({}, FDir).Status, 2);
    const Result unknown = RunGrep({"--bogus", "x"}, FDir);
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_NE(unknown.Err.find("unknown option: --bogus"), std::string::npos);
    EXPECT_NE(RunGrep({"-1+", "x"}, FDir).Err.find("unknown option: -1\n"), std::string::npos);
    EXPECT_EQ(RunGrep({"-j", "0", "x"}, FDir).Status, 2);
    EXPECT_EQ(RunGrep({"--output=latin1", "x"}, FDir).Status, 2);
    const Result help = RunGrep({"--help"}, FDir);
    EXPECT_EQ(help.Status, 0);
    for (const char* option : {"--recursive", "--mask", "--fuzzy", "--synonyms", "--output", "--jobs"})
        EXPECT_NE(help.Out.find(option), std::string::npos) << option;
}

TEST_F(GrepCli, FilesInTheWindowsOrderWhateverTheThreads) {
    // Directories: sorted full paths, letter case ignored; -r descends, hidden files too.
    const std::string a = WriteSjis("a.txt", "match a\n");
    const std::string m = WriteSjis("sub/m.txt", "match m\n");
    const std::string z = WriteSjis("Z.txt", "match z\n");
    const std::string h = WriteSjis(".hidden.txt", "match h\n");
    WriteSjis("skip.log", "match log\n");
    for (int i = 0; i < 40; ++i) WriteSjis("many/f" + std::to_string(i) + ".txt", std::string(i * 500, 'x') + "\nmatch\n");
    EXPECT_EQ(RunGrep({"--mask=*.txt", "match", "."}, FDir).Out,
              h + " 1:match h\n" + a + " 1:match a\n" + z + " 1:match z\n");
    const Result one = RunGrep({"-r", "--mask=*.txt", "-j1", "match"}, FDir);
    const Result four = RunGrep({"-r", "--mask=*.txt", "-j4", "match"}, FDir);
    EXPECT_EQ(one.Status, 0);
    EXPECT_EQ(one.Out, four.Out);
    EXPECT_LT(one.Out.find(a), one.Out.find(Root() + "/many/f0.txt"));
    EXPECT_LT(one.Out.find(Root() + "/many/f9.txt"), one.Out.find(m));
    EXPECT_LT(one.Out.find(m), one.Out.find(z));
    EXPECT_EQ(RunGrep({"-r", "--mask=*.log;*.LOG", "match"}, FDir).Out, Root() + "/skip.log 1:match log\n");
}

TEST_F(GrepCli, FuzzyAndSynonyms) {
    const std::string f = WriteSjis("f.txt", "ＡＢＣ\r\nabc\r\nｶﾞｲﾄﾞ\r\n猫\r\nネコ\r\n犬\r\n");
    EXPECT_EQ(RunGrep({"ABC", "f.txt"}, FDir).Status, 1);
    EXPECT_EQ(RunGrep({"--fuzzy", "ABC", "f.txt"}, FDir).Out, f + " 1:ＡＢＣ\n" + f + " 2:abc\n");
    EXPECT_EQ(RunGrep({"--fuzzy", "ガイド", "f.txt"}, FDir).Out, f + " 3:ｶﾞｲﾄﾞ\n");
    WriteSjis("syn.txt", "猫\r\nネコ\r\n");
    EXPECT_EQ(RunGrep({"--synonyms=syn.txt", "猫", "f.txt"}, FDir).Out, f + " 4:猫\n" + f + " 5:ネコ\n");
    const Result missing = RunGrep({"--synonyms=none.txt", "猫", "f.txt"}, FDir);
    EXPECT_EQ(missing.Status, 2);
    EXPECT_NE(missing.Err.find("none.txt を読み込めません"), std::string::npos);
}

TEST_F(GrepCli, RomajiSearch) {
    const std::string f = WriteSjis("f.txt", "検索\r\nｹﾝｻｸ\r\nKENSAKU\r\n表示\r\nkensaku\r\n");
    EXPECT_EQ(RunGrep({"--romaji", "kensaku", "f.txt"}, FDir).Out, f + " 1:検索\n" + f + " 2:ｹﾝｻｸ\n" + f + " 5:kensaku\n");
    EXPECT_NE(RunGrep({"--romaji", "--fuzzy", "kensaku", "f.txt"}, FDir).Out.find(f + " 3:KENSAKU\n"), std::string::npos);
    EXPECT_EQ(RunGrep({"--romaji", "hyouji", "f.txt"}, FDir).Out, f + " 4:表示\n");
    EXPECT_EQ(RunGrep({"--romaji", "ken.*", "f.txt"}, FDir).Out, f + " 5:kensaku\n");  // as written
    const Result widened = RunGrep({"--romaji", "--print-widened", "kensaku"}, FDir);
    EXPECT_EQ(widened.Status, 0);
    EXPECT_NE(widened.Out.find("|検索|"), std::string::npos) << widened.Out;
    const Result complex = RunGrep({"--romaji", "k k k", "f.txt"}, FDir);
    EXPECT_EQ(complex.Status, 2);
    EXPECT_EQ(complex.Err, "xavoline-grep: 正規表現が複雑すぎます\n");

    setenv("XAVOLINE_MIGEMO_DICT", "/nonexistent/migemo-dict", 1);
    const Result missing = RunGrep({"--romaji", "kensaku", "f.txt"}, FDir);
    unsetenv("XAVOLINE_MIGEMO_DICT");
    EXPECT_EQ(missing.Status, 2);
    EXPECT_NE(missing.Err.find("/nonexistent/migemo-dict"), std::string::npos) << missing.Err;
    EXPECT_NE(missing.Err.find("cmigemo-common"), std::string::npos) << missing.Err;
    // What the library would hang on or crash with is refused, naming it (exit 2).
    ASSERT_EQ(::mkfifo(FDir.Path("fifo").c_str(), 0600), 0);
    for (const std::string& dictionary : {FDir.Path("fifo"), std::string("/dev/zero"), FDir.Root(),
                                         FDir.File("nul", std::string("\n\0\x82\x82\r\t", 6))}) {
        setenv("XAVOLINE_MIGEMO_DICT", dictionary.c_str(), 1);
        const Result refused = RunGrep({"--romaji", "kensaku", "f.txt"}, FDir);
        unsetenv("XAVOLINE_MIGEMO_DICT");
        EXPECT_EQ(refused.Status, 2) << dictionary;
        EXPECT_NE(refused.Err.find(dictionary), std::string::npos) << refused.Err;
    }
}

TEST_F(GrepCli, WriteErrorsAreReportedButAClosedPipeIsNot) {
    WriteSjis("a.txt", "hit\n");
    const std::string err = FDir.Path(".err");
    for (const char* option : {"-j2", "--reference-loops"}) {
        EXPECT_EQ(WaitFor(StartGrep({option, "hit", "a.txt"}, FDir, "/dev/full")), 2) << option;
        EXPECT_EQ(test::ReadWhole(err), "xavoline-grep: write error: No space left on device\n") << option;
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ::close(ends[0]);  // the reader is gone before the first write
        EXPECT_EQ(WaitFor(StartGrep({option, "hit", "a.txt"}, FDir, "", ends[1])), 0) << option;
        ::close(ends[1]);
        EXPECT_EQ(test::ReadWhole(err), "") << option;
    }
}

TEST_F(GrepCli, AnEmptyPathNamesNoFile) {
    WriteSjis("a.txt", "hit\n");  // in the current directory, which must not be searched
    const Result r = RunGrep({"hit", ""}, FDir);
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(r.Err, "xavoline-grep: : No such file or directory\n");
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // the sanitizers' shadow memory does not start under a limit
TEST_F(GrepCli, OutOfMemoryInOneFileIsReportedAndTheRestSearched) {
    const std::string a = WriteSjis("a.txt", "hit a\n");
    const std::string c = WriteSjis("c.txt", "hit c\n");
    // One line of 3 GB (a sparse file: NUL bytes read as spaces) cannot be held in 250 MB.
    const std::string big = FDir.Path("b.txt");
    std::filesystem::resize_file(FDir.File("b.txt", "hit b "), std::uintmax_t{3} << 30);
    for (const char* option : {"-j1", "-j2", "--reference-loops"}) {
        const Result r = RunGrep({option, "hit", "a.txt", "b.txt", "c.txt"}, FDir, "ulimit -v 250000");
        EXPECT_EQ(r.Status, 2) << option;
        EXPECT_EQ(r.Out, a + " 1:hit a\n" + c + " 1:hit c\n") << option;
        EXPECT_EQ(r.Err, "xavoline-grep: " + big + ": メモリが足りません\n") << option;
    }
}
#endif

TEST(TerminalText, C0ControlsButTabInCaretNotation) {
    const struct {
        std::string Text, Shown;
    } rows[] = {
        {"plain \x82\xa0 text", "plain \x82\xa0 text"},
        {"\x1b]0;PWNED\x07", "^[]0;PWNED^G"},
        {"a\tb", "a\tb"},
        {std::string("\0\x01\x1f\x20\x7f", 5), "^@^A^_ \x7f"},
        {"line\r\nend\x08", "line^M^Jend^H"},
        {"\x83\x5c\x1b", "\x83\x5c^["},  // a trail byte 5C is no control
    };
    for (const auto& row : rows) EXPECT_EQ(ForTerminal(row.Text), row.Shown) << row.Text;
}

TEST_F(GrepCli, ControlsAreEscapedOnATerminalOnly) {
    const std::string hostile = "\x1b]0;PWNED\x07\x1b[2J\tx";
    const std::string name = "n\x1b[1m.txt";
    const std::string path = WriteSjis(name, "a " + hostile + "\n");
    // Into a file: the bytes unchanged.
    EXPECT_EQ(RunGrep({"x", name}, FDir).Out, path + " 1:a " + hostile + "\n");
    // Onto a terminal: caret notation, TAB kept.
    const std::string shown = ForTerminal(path) + " 1:a ^[]0;PWNED^G^[[2J\tx\n";
    for (const char* option : {"-j2", "--reference-loops"}) {
        int master = -1, slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) GTEST_SKIP() << "no pseudo-terminal here";
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
        const pid_t pid = StartGrep({option, "x", name}, FDir, "", slave);
        ::close(slave);
        const std::string out = ReadAll(master);  // ends with EIO once the program has gone
        ::close(master);
        EXPECT_EQ(WaitFor(pid), 0);
        EXPECT_EQ(out, shown) << option;
    }
}

TEST_F(GrepCli, OutputWaitsForASlowReader) {
    // A reader that does not read yet: the printer is stuck in the first file, and the
    // worker on the second file must stop after a few megabytes of output, not read the
    // whole file and hold all its output.
    const std::string line = "hit " + std::string(200, 'y') + "\n";
    std::string firstText, secondText;
    for (int i = 0; i < 10000; ++i) firstText += line;
    for (int i = 0; i < 40000; ++i) secondText += line;
    const std::string first = FDir.File("a.txt", firstText);
    const std::string second = FDir.File("b.txt", secondText);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const pid_t pid = StartGrep({"-j2", "--output=sjis", "hit", "a.txt", "b.txt"}, FDir, "", ends[1]);
    ::close(ends[1]);
    ASSERT_GT(pid, 0);
    // How far the program has read the second file: -1 once it has closed it.
    const auto readSoFar = [&]() -> long long {
        const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(fds, ignored)) {
            if (std::filesystem::read_symlink(entry.path(), ignored) != second) continue;
            std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" + entry.path().filename().string());
            std::string key;
            long long pos = 0;
            info >> key >> pos;
            return pos;
        }
        return -1;
    };
    // Wait until the reading has stopped (or the file is closed: read to its end).
    long long last = -2;
    int still = 0;
    for (int polls = 0; polls < 600 && still < 5; ++polls) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const long long now = readSoFar();
        if (now == -1 && last != -2) break;
        still = now == last ? still + 1 : 0;
        last = now;
    }
    EXPECT_GE(last, 0) << "the second file was read to its end while the output waited";
    EXPECT_LT(last, static_cast<long long>(secondText.size()) / 2);
    const std::string out = ReadAll(ends[0]);
    ::close(ends[0]);
    EXPECT_EQ(WaitFor(pid), 0);
    std::string expected;
    for (int i = 1; i <= 10000; ++i) expected += first + " " + std::to_string(i) + ":" + line;
    for (int i = 1; i <= 40000; ++i) expected += second + " " + std::to_string(i) + ":" + line;
    EXPECT_TRUE(out == expected) << "output of " << out.size() << " bytes differs from " << expected.size();
}

}  // namespace
}  // namespace xavo
