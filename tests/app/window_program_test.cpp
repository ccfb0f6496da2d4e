// The window program as a process: a write past the file-size limit fails instead of
// ending the program (and with it the user's unsaved edits).
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(WindowProgram, SurvivesWritingPastTheFileSizeLimit) {
    char dir[] = "/tmp/xavoline-window-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string out = std::string(dir) + "/out";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The usage text is longer than the limit; an inherited "ignore" would hide the fault.
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{16, 16};
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || dup2(fd, 1) < 0 || setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(120);
        execl(XAVOLINE_WINDOW, XAVOLINE_WINDOW, "--help", static_cast<char*>(nullptr));
        _exit(121);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_LT(WEXITSTATUS(status), 120);
    unlink(out.c_str());
    rmdir(dir);
}

}  // namespace
