// xavoline: the window program. Reads the command line (xavoline [--ini PATH] [FILE]),
// creates the main window Form1 and runs the message loop until it closes.
#include "CommandGuard.h"
#include "FmRepl.h"
#include "JapaneseUi.h"
#include "MainWindow.h"
#include "PathText.h"
#include "StartArguments.h"

#include <QApplication>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The last stop for an error no command caught: the error box, and the window goes on.
class TXavolineApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        bool result = false;
        xavo::RunCommand([&] { result = QApplication::notify(receiver, event); });
        return result;
    }
};

// The help file: beside the program in a build tree, in the data directory when installed.
std::string HelpFilePath() {
    const QString dir = QCoreApplication::applicationDirPath();
    const QString beside = dir + QStringLiteral("/xavoline.hlp");
    if (QFileInfo::exists(beside)) return xavo::PathFromQString(beside);
    return xavo::PathFromQString(dir + QStringLiteral("/" XAVOLINE_DATA_FROM_BIN "/xavoline.hlp"));
}

std::vector<std::string> ArgumentsOf(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    // Past the file-size limit a write then fails with EFBIG, which a save reports, instead
    // of the signal ending the program with the user's edits.
    std::signal(SIGXFSZ, SIG_IGN);
    // --help needs no display, so it is answered before the toolkit looks for one.
    if (xavo::ParseStartArguments(ArgumentsOf(argc, argv)).Help) {
        std::fputs(xavo::StartUsageText().c_str(), stdout);
        return 0;
    }
    TXavolineApplication application(argc, argv);  // takes the toolkit's own options out of argv
    QApplication::setApplicationName(QStringLiteral("Xavoline"));
    QApplication::setApplicationVersion(QStringLiteral(XAVOLINE_VERSION));
    xavo::InstallJapaneseTranslation(application);  // without Qt's translations, its own texts stay English

    const xavo::TStartArguments arguments = xavo::ParseStartArguments(ArgumentsOf(argc, argv));
    if (!arguments.Error.empty()) {
        std::fprintf(stderr, "xavoline: %s\n%s", arguments.Error.c_str(), xavo::StartUsageText().c_str());
        return 2;
    }
    xavo::TFormOptions options;
    options.IniPath = arguments.IniPath;
    options.HelpFile = HelpFilePath();
    options.FileArgument = arguments.FileArgument;
    xavo::TForm1 form1(options);
    form1.SetFmRepl(new xavo::TFmRepl(&form1));  // the batch-replace dialog, kept for the whole run
    form1.show();
    return QApplication::exec();
}
