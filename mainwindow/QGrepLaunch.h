// The external grep (Q-GREP) without the window: the command line a launch builds, how it is
// split into the program and its arguments and started, and how the text Q-GREP leaves on
// the clipboard becomes result lines.
//
// The command line is joined without quoting and split as a Windows C run-time splits its
// command line (blanks separate, double quotes group), so a search text with blanks reaches
// the program as several words; only the file part the window adds is quoted where needed.
// Entry points: QGrepFilePart, QGrepCommandLine, SplitProgramCommand, FindProgram,
// ExecProcess, QGrepResultItems.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

namespace xavo {

// The file part of a launch from the item with Tag: 0 the name (without directory) of the
// file list's selected file, 1 the file list's mask, empty otherwise. Both given as
// file-system bytes. A part holding blanks or double quotes is quoted so that it reaches
// the program as one word.
QString QGrepFilePart(int tag, const std::string& selectedFileName, const std::string& mask);

// Program, options, search text and file part joined by single blanks, nothing quoted.
QString QGrepCommandLine(const QString& program, const QString& options, const QString& searchText,
                         const QString& filePart);

// Where a program named by Word is found: a word holding "/" is a path (relative ones from
// the current directory); a bare name is looked for beside this program first, then along
// PATH. Returns the absolute path of an executable regular file, or empty with Reason set to
// the system's reason in the window's words (ErrorReason of ENOENT, EACCES, EISDIR, ...).
QString FindProgram(const QString& word, QString* reason = nullptr);

// A command line taken apart into the program and its arguments.
struct TProgramCommand {
    QString ProgramWord;     // the command line's text that names the program, unquoted
    QStringList Arguments;   // the words after it
};

// Splits CommandLine as a process start reads it: a leading quoted part names the program;
// otherwise the shortest blank-ended prefix for which IsProgram holds does (so an unquoted
// path with blanks still names its program), or the first word when none does. The rest is
// split into words: blanks separate, double quotes group ("" inside quotes is one quote).
TProgramCommand SplitProgramCommand(const QString& commandLine, const std::function<bool(const QString&)>& isProgram);

// How a start went.
struct TStartResult {
    bool Started = false;
    QString Program;  // the program as found, or the word that named it when not found
    QString Reason;   // the system's reason when not started
};

// Starts CommandLine (see SplitProgramCommand, FindProgram) detached, in Directory (the
// current directory when empty), with this process's environment; does not wait for it.
TStartResult ExecProcess(const QString& commandLine, const QString& directory);

// The results list's items from the text Q-GREP left on the clipboard: one per line (CR LF,
// LF or CR ends a line), without the last line holding text (Q-GREP's summary, whatever it
// says and whatever empty lines follow it), and without the lines that begin with "*" or
// "=" (its headings and rules) or are empty. Each item is a result
// line's bytes: the path up to the first " <digits>:" whose prefix IsFile accepts (else the
// first one) as file-system bytes, the rest as Shift-JIS.
std::vector<std::string> QGrepResultItems(const QString& clipboardText,
                                          const std::function<bool(const std::string&)>& isFile);

}  // namespace xavo
