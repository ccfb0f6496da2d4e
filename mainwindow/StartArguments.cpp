// The window program's command line (see StartArguments.h).
#include "StartArguments.h"

namespace xavo {

TStartArguments ParseStartArguments(const std::vector<std::string>& args) {
    TStartArguments result;
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--help" || arg == "-h")) {
            result.Help = true;
        } else if (options && arg == "--ini") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                result.Error = "--ini needs a file name";
                return result;
            }
            result.IniPath = args[++i];
        } else if (options && arg.rfind("--ini=", 0) == 0) {
            result.IniPath = arg.substr(6);
            if (result.IniPath.empty()) {
                result.Error = "--ini needs a file name";
                return result;
            }
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            result.Error = "unknown option " + arg;
            return result;
        } else if (!result.FileArgument) {
            result.FileArgument = arg;
        }
    }
    return result;
}

std::string StartUsageText() {
    return "Usage: xavoline [--ini PATH] [FILE]\n"
           "Shows FILE (Shift-JIS text) in the Xavoline window; the file list then lists the\n"
           "files with the same extension.\n"
           "\n"
           "  --ini PATH   read and write the settings in PATH instead of Xavoline.ini\n"
           "               beside the program (or in ~/.config/xavoline/)\n"
           "  -h, --help   show this text\n"
           "\n"
           "Searching from a terminal: xavoline-grep --help\n";
}

}  // namespace xavo
