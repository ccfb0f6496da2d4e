// xavoline-qgrep: runs our grep over its arguments and leaves the output on the clipboard
// for the window's external-grep launch. See QGrepHelper.h.
#include "QGrepHelper.h"

#include <QClipboard>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    using namespace std::chrono_literals;
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs("Usage: xavoline-qgrep [xavoline-grep options] PATTERN [PATH or MASK...]\n"
                   "Searches as xavoline-grep does and leaves the result lines on the clipboard.\n"
                   "A word with * or ? is a file mask over the current directory.\n"
                   "The window's default Q-GREP options \"-1+ -c -E\" at the start are ignored.\n\n",
                   stdout);
        std::fputs(xavo::GrepUsageText().c_str(), stdout);
        return 0;
    }
    int status = 0;
    const std::string text = xavo::QGrepClipboardText(args, status);
    int qtArgc = 1;  // the search words are not Qt's options, whatever they look like
    QGuiApplication app(qtArgc, argv);
    xavo::TClipboardOffer offer(QGuiApplication::clipboard(), QString::fromUtf8(text), 1s, 5s);
    QObject::connect(&offer, &xavo::TClipboardOffer::finished, &app, &QCoreApplication::quit);
    app.exec();
    return status;
}
