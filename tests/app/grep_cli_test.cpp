// xavoline-grep as a user runs it: options, exit codes, messages, output bytes and order.
#include "SjisCodec.h"
#include "TempFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

extern char** environ;

namespace xavo {
namespace {

struct Result {
    int Status = -1;
    std::string Out;
    std::string Err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs the program with Args in Dir, output and errors captured in files.
Result RunGrep(const std::vector<std::string>& args, const testing::TempDir& dir) {
    const std::string out = dir.Path(".out"), err = dir.Path(".err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all{XAVOLINE_GREP};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Root());
    pid_t pid = 0;
    Result result;
    if (posix_spawn(&pid, XAVOLINE_GREP, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::filesystem::current_path(previous);
    posix_spawn_file_actions_destroy(&actions);
    result.Out = Slurp(out);
    result.Err = Slurp(err);
    return result;
}

class GrepCli : public ::testing::Test {
protected:
    // Writes UTF-8 text as a Shift-JIS file.
    std::string WriteSjis(const std::string& name, const std::string& utf8) {
        std::filesystem::create_directories(std::filesystem::path(FDir.Path(name)).parent_path());
        return FDir.Write(name, Utf8ToSjis(utf8));
    }
    std::string Root() const { return FDir.Root().string(); }
    testing::TempDir FDir;
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

}  // namespace
}  // namespace xavo
