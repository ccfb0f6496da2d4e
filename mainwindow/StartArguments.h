// The window program's command line: xavoline [--ini PATH] [FILE].
//
// Arguments are the bytes the system passed (the toolkit's own options already taken
// out). Entry points: ParseStartArguments, StartUsageText.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace xavo {

struct TStartArguments {
    std::string IniPath;                      // from --ini; empty for the default place
    std::optional<std::string> FileArgument;  // the first other argument, as given
    bool Help = false;                        // --help or -h
    std::string Error;                        // non-empty: the arguments are unusable
};

// Reads Args (without the program name). "--ini PATH" and "--ini=PATH" name the settings
// file; "--" ends the options; an unknown option or a missing PATH sets Error. Arguments
// after the first file are ignored, as the window shows one file.
TStartArguments ParseStartArguments(const std::vector<std::string>& args);

// The text of --help.
std::string StartUsageText();

}  // namespace xavo
