// xavoline-grep: the command-line grep on Xavoline's engine. See GrepCommand.h.
#include "GrepCommand.h"

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe shows up as a failed write instead
    static char buffer[1 << 20];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    try {
        const xavo::TGrepOptions options = xavo::ParseGrepArguments(argc, argv);
        if (options.Help) {
            std::fputs(xavo::GrepUsageText().c_str(), stdout);
            return 0;
        }
        return xavo::RunGrepCommand(options, stdout, stderr);
    } catch (const xavo::EUsage& e) {
        std::fprintf(stderr, "xavoline-grep: %s\nTry 'xavoline-grep --help' for more information.\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "xavoline-grep: %s\n", e.what());
        return 2;
    }
}
