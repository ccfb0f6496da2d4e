// xavoline-grep's grep options through the real program: selection, counts, listings,
// context groups, letter case and colour marks.
#include "SjisCodec.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

extern char** environ;

namespace xavo {
namespace {

struct Result {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// Runs the program in Dir with Env added to the environment; its output goes to a file,
// or to a pseudo-terminal when OnTerminal is set (line ends then read "\r\n").
Result RunGrep(const std::vector<std::string>& args, const test::TTempDir& dir, bool onTerminal = false,
               const std::vector<std::string>& env = {}) {
    const std::string out = dir.Path(".out"), err = dir.Path(".err");
    int master = -1, slave = -1;
    if (onTerminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (onTerminal) {
        posix_spawn_file_actions_adddup2(&actions, slave, 1);
        posix_spawn_file_actions_addclose(&actions, master);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all{XAVOLINE_GREP};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText(env);
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        if (!entry.starts_with("NO_COLOR=") && !entry.starts_with("TERM=")) envText.push_back(entry);
    }
    envText.emplace_back("TERM=xterm");
    std::vector<char*> envp;
    for (std::string& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

    const std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Root());
    pid_t pid = 0;
    Result result;
    const bool started = posix_spawn(&pid, XAVOLINE_GREP, &actions, nullptr, argv.data(), envp.data()) == 0;
    std::filesystem::current_path(previous);
    posix_spawn_file_actions_destroy(&actions);
    if (onTerminal) {
        close(slave);
        char buffer[4096];
        for (ssize_t n; started && (n = read(master, buffer, sizeof buffer)) > 0;) result.Out.append(buffer, static_cast<std::size_t>(n));
        close(master);
    }
    if (started) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (!onTerminal) result.Out = test::ReadWhole(out);
    result.Err = test::ReadWhole(err);
    return result;
}

// Text marked as a match.
std::string Marked(const std::string& text) { return "\033[01;31m\033[K" + text + "\033[m\033[K"; }

class GrepOptions : public ::testing::Test {
protected:
    std::string WriteSjis(const std::string& name, const std::string& utf8) { return FDir.File(name, Utf8ToSjis(utf8)); }
    Result Run(const std::vector<std::string>& args) { return RunGrep(args, FDir); }
    test::TTempDir FDir;
};

TEST_F(GrepOptions, MatchSpansAreMarkedOnCharacterBoundaries) {
    struct Row {
        std::string Pattern, Line, Expected;
    };
    // "表" is 0x95 0x5C: its trail byte is a backslash that no pattern may find.
    const Row rows[] = {
        {"日本", "日本語の日本", Marked("日本") + "語の" + Marked("日本")},
        {"\\\\", "表\\表", "表" + Marked("\\") + "表"},
        {"x", "表x表x", "表" + Marked("x") + "表" + Marked("x")},
        {"表.", "表示表", Marked("表示") + "表"},
        {"^表", "表表", Marked("表") + "表"},
        {"表$", "表表", "表" + Marked("表")},
        {"a+", "baaab", "b" + Marked("aaa") + "b"},
        {"ab|abcd", "xabcdab", "x" + Marked("abcd") + Marked("ab")},
        {"^", "かあ", "かあ"},  // a match of the line feed alone marks nothing
    };
    for (const Row& row : rows) {
        const std::string path = WriteSjis("c.txt", row.Line + "\r\n");
        const Result r = Run({"--color=always", row.Pattern, "c.txt"});
        const std::string prefix = "\033[35m\033[K" + path + "\033[m\033[K \033[32m\033[K1\033[m\033[K\033[36m\033[K:\033[m\033[K";
        EXPECT_EQ(r.Out, prefix + row.Expected + "\n") << row.Pattern;
        // The file's own bytes keep their marks at the same places.
        EXPECT_EQ(Run({"--color=always", "--output=sjis", row.Pattern, "c.txt"}).Out, Utf8ToSjis(prefix + row.Expected + "\n"))
            << row.Pattern;
    }
}

TEST_F(GrepOptions, ColourOnlyWhereAsked) {
    WriteSjis("c.txt", "日本\n");
    const std::string mark = "\033[01;31m\033[K";
    struct Row {
        std::vector<std::string> Args;
        bool OnTerminal;
        std::vector<std::string> Env;
        bool Coloured;
    };
    const Row rows[] = {
        {{"日本", "c.txt"}, true, {}, false},
        {{"--color", "日本", "c.txt"}, true, {}, true},
        {{"--color=auto", "日本", "c.txt"}, true, {}, true},
        {{"--color=auto", "日本", "c.txt"}, false, {}, false},
        {{"--color=auto", "日本", "c.txt"}, true, {"NO_COLOR=1"}, false},
        {{"--colour=always", "日本", "c.txt"}, false, {"NO_COLOR=1"}, true},
        {{"--color=never", "日本", "c.txt"}, true, {}, false},
    };
    for (const Row& row : rows) {
        const Result r = RunGrep(row.Args, FDir, row.OnTerminal, row.Env);
        EXPECT_EQ(r.Status, 0);
        EXPECT_EQ(r.Out.find(mark) != std::string::npos, row.Coloured) << row.Args[0] << " terminal " << row.OnTerminal;
    }
}

TEST_F(GrepOptions, SelectionCountsAndListings) {
    const std::string a = WriteSjis("a.txt", "hit\nmiss\nhit\nHit\n");
    const std::string b = WriteSjis("b.txt", "miss\n");
    struct Row {
        std::vector<std::string> Args;
        std::string Out;
        int Status;
    };
    const Row rows[] = {
        {{"-c", "hit"}, a + ":2\n" + b + ":0\n", 0},
        {{"-c", "none"}, a + ":0\n" + b + ":0\n", 1},
        {{"-c", "-v", "hit"}, a + ":2\n" + b + ":1\n", 0},
        {{"-c", "-m", "1", "hit"}, a + ":1\n" + b + ":0\n", 0},
        {{"-c", "-v", "-m1", "miss"}, a + ":1\n" + b + ":0\n", 0},
        {{"-m", "1", "hit"}, a + " 1:hit\n", 0},
        {{"-m", "0", "hit"}, "", 1},
        {{"-v", "hit"}, a + " 2:miss\n" + a + " 4:Hit\n" + b + " 1:miss\n", 0},
        {{"-v", "-m1", "i"}, "", 1},
        {{"-i", "HIT"}, a + " 1:hit\n" + a + " 3:hit\n" + a + " 4:Hit\n", 0},
        {{"-l", "hit"}, a + "\n", 0},
        {{"-l", "-v", "hit"}, a + "\n" + b + "\n", 0},
        {{"-L", "hit"}, b + "\n", 0},
        {{"-L", "i"}, "", 0},
        {{"-L", "none"}, a + "\n" + b + "\n", 1},
        {{"-q", "miss"}, "", 0},
        {{"-q", "none"}, "", 1},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = row.Args;
        args.insert(args.end(), {"a.txt", "b.txt"});
        const Result r = Run(args);
        EXPECT_EQ(r.Out, row.Out) << ::testing::PrintToString(row.Args);
        EXPECT_EQ(r.Status, row.Status) << ::testing::PrintToString(row.Args);
    }
}

TEST_F(GrepOptions, ContextGroupsAndSeparators) {
    // Lines end in LF, CR LF and a lone CR: all of them count, as in the search.
    const std::string a = WriteSjis("a.txt", "1\nm2\r\n3\r4\n5\nm6\n7\nm8\n9\n10");
    const std::string b = WriteSjis("b.txt", "m1\n2\n");
    const auto line = [](const std::string& path, int n, char separator, const std::string& text) {
        return path + " " + std::to_string(n) + separator + text + "\n";
    };
    struct Row {
        std::vector<std::string> Args;
        std::string Out;
    };
    const Row rows[] = {
        {{"-A1", "m", "a.txt"}, line(a, 2, ':', "m2") + line(a, 3, '-', "3") + "--\n" + line(a, 6, ':', "m6") +
                                    line(a, 7, '-', "7") + line(a, 8, ':', "m8") + line(a, 9, '-', "9")},
        {{"-B", "2", "m[68]", "a.txt"}, line(a, 4, '-', "4") + line(a, 5, '-', "5") + line(a, 6, ':', "m6") +
                                            line(a, 7, '-', "7") + line(a, 8, ':', "m8")},
        {{"-C1", "m2", "a.txt", "b.txt"}, line(a, 1, '-', "1") + line(a, 2, ':', "m2") + line(a, 3, '-', "3")},
        {{"-C1", "m[12]", "a.txt", "b.txt"}, line(a, 1, '-', "1") + line(a, 2, ':', "m2") + line(a, 3, '-', "3") + "--\n" +
                                                 line(b, 1, ':', "m1") + line(b, 2, '-', "2")},
        // -A and -B win over -C, whatever their order.
        {{"-A0", "-C1", "m6", "a.txt"}, line(a, 5, '-', "5") + line(a, 6, ':', "m6")},
        // Inverted: the matching lines are the context.
        {{"-v", "-A1", "[0-9]$", "a.txt"}, ""},
        {{"-v", "-B1", "^[0-9]", "a.txt"}, line(a, 1, '-', "1") + line(a, 2, ':', "m2") + "--\n" + line(a, 5, '-', "5") +
                                               line(a, 6, ':', "m6") + line(a, 7, '-', "7") + line(a, 8, ':', "m8")},
        // After the last selected line of -m, its trailing context, matching or not.
        {{"-m1", "-A3", "m", "a.txt"}, line(a, 2, ':', "m2") + line(a, 3, '-', "3") + line(a, 4, '-', "4") + line(a, 5, '-', "5")},
        {{"-m2", "-A1", "m", "a.txt"}, line(a, 2, ':', "m2") + line(a, 3, '-', "3") + "--\n" + line(a, 6, ':', "m6") +
                                           line(a, 7, '-', "7")},
        {{"-A1", "10", "a.txt"}, line(a, 10, ':', "10")},
    };
    for (const Row& row : rows) {
        for (const char* engine : {"-j2", "--reference-loops"}) {
            std::vector<std::string> args{engine};
            args.insert(args.end(), row.Args.begin(), row.Args.end());
            EXPECT_EQ(Run(args).Out, row.Out) << ::testing::PrintToString(args);
        }
    }
}

TEST_F(GrepOptions, LinesReadAgainAreTheSearchsLines) {
    // -v reads the file a second time by its own reader; "^" lists every line as the search
    // splits it. Random line ends (LF, CR LF, lone CR), NULs and double-byte characters,
    // with lines longer than the readers' blocks, so that ends straddle block boundaries.
    std::mt19937 random(19);
    const std::string pieces[] = {"\n", "\r\n", "\r", std::string(1, '\0'), "\x93\xfa", "a", "\x95\x5c", "\r\r\n"};
    for (const int lines : {1, 3000}) {
        std::string text;
        for (int i = 0; i < lines; ++i) {
            const int length = static_cast<int>(random() % (i % 50 == 0 ? 70000 : 40));
            for (int j = 0; j < length; ++j) text += pieces[3 + random() % 4];
            text += pieces[random() % 3];
        }
        if (lines == 3000) text += "last line without an end";
        FDir.File("r.txt", text);
        const Result all = Run({"^", "r.txt"});
        const Result inverted = Run({"-v", "\\xFFFF", "r.txt"});
        EXPECT_EQ(all.Status, 0);
        EXPECT_EQ(inverted.Out, all.Out);
        const Result context = Run({"-C", "100000", "a", "r.txt"});
        std::string joined = context.Out;
        for (std::size_t at = joined.find("r.txt "); at != std::string::npos; at = joined.find("r.txt ", at + 1)) {
            const std::size_t separator = joined.find_first_of(":-", at + 6);
            joined[separator] = ':';
        }
        EXPECT_EQ(joined, all.Out);
    }
}

TEST_F(GrepOptions, IgnoreCaseFoldsAsciiLettersOnly) {
    WriteSjis("i.txt", "abc\nABC\nxYz\nａｂｃ\nＡＢＣ\n-\n");
    struct Row {
        std::string Pattern;
        std::string Lines;  // the numbers of the lines found
    };
    const Row rows[] = {
        {"aBc", "12"},       {"[a-c]+$", "12"},  {"X[x-z]Z", "3"}, {"[^a-z]", "456"},
        {"\\x41", "12"},     {"ａｂｃ", "4"},     {"[-a]", "126"},   {"^[^abc]", "3456"},
    };
    for (const Row& row : rows) {
        const Result r = Run({"-i", row.Pattern, "i.txt"});
        std::string lines;
        for (std::size_t at = r.Out.find("i.txt "); at != std::string::npos; at = r.Out.find("i.txt ", at + 1))
            lines += r.Out[at + 6];
        EXPECT_EQ(lines, row.Lines) << row.Pattern << "\n" << r.Err;
    }
}

TEST_F(GrepOptions, MessagesExitStatusAndUsage) {
    WriteSjis("a.txt", "hit\n");
    const Result silent = Run({"-s", "hit", "missing.txt", "a.txt"});
    EXPECT_EQ(silent.Status, 2);
    EXPECT_EQ(silent.Err, "");
    EXPECT_NE(silent.Out, "");
    EXPECT_EQ(Run({"-q", "hit", "missing.txt", "a.txt"}).Status, 0);  // a selected line wins over an error
    EXPECT_EQ(Run({"-q", "none", "a.txt", "missing.txt"}).Status, 2);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"-A", "-1", "x"}, {"-C", "many", "x"},
                                                 {"-m", "", "x"}, {"--color=sometimes", "x"}})
        EXPECT_EQ(Run(bad).Status, 2) << bad[0];
    const Result help = Run({"--help"});
    for (const char* option : {"--count", "--files-with-matches", "--files-without-match", "--invert-match", "--max-count",
                               "--quiet", "--no-messages", "--ignore-case", "--after-context", "--before-context",
                               "--context", "--color"})
        EXPECT_NE(help.Out.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace xavo
