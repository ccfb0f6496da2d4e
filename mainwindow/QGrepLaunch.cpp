// The external grep without the window, see QGrepLaunch.h.
#include "QGrepLaunch.h"

#include "ErrorText.h"
#include "PathText.h"
#include "SjisQt.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace xavo {

namespace {

QString SystemReason(int error) { return QString::fromStdString(ErrorReason(error)); }

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

// The position of the blank of the first " <digits>:" at or after From.
std::optional<qsizetype> FindNumberField(const QString& line, qsizetype from) {
    for (qsizetype space = line.indexOf(u' ', from); space >= 0; space = line.indexOf(u' ', space + 1)) {
        qsizetype end = space + 1;
        while (end < line.size() && line[end] >= u'0' && line[end] <= u'9') ++end;
        if (end > space + 1 && end < line.size() && line[end] == u':') return space;
    }
    return std::nullopt;
}

// One clipboard line as a result line's bytes.
std::string ResultItem(const QString& line, const std::function<bool(const std::string&)>& isFile) {
    std::optional<qsizetype> pathEnd = FindNumberField(line, 0);
    if (!pathEnd) return QStringToSjis(line);
    for (std::optional<qsizetype> f = pathEnd; f; f = FindNumberField(line, *f + 1)) {
        if (isFile(PathFromQString(line.left(*f)))) {
            pathEnd = f;
            break;
        }
    }
    return PathFromQString(line.left(*pathEnd)) + QStringToSjis(line.mid(*pathEnd));
}

// Word written so that the split reads it back as one word: as it is when it holds no
// blank and no double quote, else in double quotes with each quote tripled (the split's
// way of writing a quote).
QString QuotedWord(const QString& word) {
    const bool plain = std::none_of(word.begin(), word.end(), [](QChar c) { return c.isSpace() || c == u'"'; });
    if (plain) return word;
    QString quoted = word;
    quoted.replace(u'"', QStringLiteral("\"\"\""));
    return u'"' + quoted + u'"';
}

}  // namespace

QString QGrepFilePart(int tag, const std::string& selectedFileName, const std::string& mask) {
    switch (tag) {
    case 0: {
        const std::size_t slash = selectedFileName.rfind('/');
        return QuotedWord(PathToQString(slash == std::string::npos ? selectedFileName : selectedFileName.substr(slash + 1)));
    }
    case 1: return QuotedWord(PathToQString(mask));
    default: return {};
    }
}

QString QGrepCommandLine(const QString& program, const QString& options, const QString& searchText,
                         const QString& filePart) {
    return program + u' ' + options + u' ' + searchText + u' ' + filePart;
}

QString FindProgram(const QString& word, QString* reason) {
    const auto fail = [reason](int error) {
        if (reason != nullptr) *reason = SystemReason(error);
        return QString();
    };
    if (word.isEmpty()) return fail(ENOENT);
    if (!word.contains(u'/')) {
        // A bare name: beside this program first (where our helper is installed), then PATH.
        QString found = QStandardPaths::findExecutable(word, {QCoreApplication::applicationDirPath()});
        if (found.isEmpty()) found = QStandardPaths::findExecutable(word);
        return found.isEmpty() ? fail(ENOENT) : QFileInfo(found).absoluteFilePath();
    }
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(word));
    const std::string bytes = PathFromQString(path);
    struct stat info {};
    if (::stat(bytes.c_str(), &info) != 0) return fail(errno);
    if (S_ISDIR(info.st_mode)) return fail(EISDIR);
    if (!S_ISREG(info.st_mode)) return fail(EACCES);
    if (::access(bytes.c_str(), X_OK) != 0) return fail(errno);
    return path;
}

TProgramCommand SplitProgramCommand(const QString& commandLine, const std::function<bool(const QString&)>& isProgram) {
    qsizetype start = 0;
    while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
    TProgramCommand command;
    qsizetype rest = commandLine.size();
    if (start < commandLine.size() && commandLine[start] == u'"') {
        const qsizetype close = commandLine.indexOf(u'"', start + 1);
        const qsizetype end = close < 0 ? commandLine.size() : close;
        command.ProgramWord = commandLine.mid(start + 1, end - start - 1);
        rest = close < 0 ? commandLine.size() : close + 1;
    } else {
        // Candidate ends: after each word, shortest first.
        std::vector<qsizetype> wordEnds;
        for (qsizetype i = start; i < commandLine.size(); ++i)
            if (!IsBlank(commandLine[i]) && (i + 1 == commandLine.size() || IsBlank(commandLine[i + 1])))
                wordEnds.push_back(i + 1);
        rest = wordEnds.empty() ? commandLine.size() : wordEnds.front();  // none names a program
        for (const qsizetype end : wordEnds) {
            if (isProgram(commandLine.mid(start, end - start))) {
                rest = end;
                break;
            }
        }
        command.ProgramWord = commandLine.mid(start, rest - start);
    }
    command.Arguments = QProcess::splitCommand(commandLine.mid(rest));
    return command;
}

TStartResult ExecProcess(const QString& commandLine, const QString& directory) {
    const TProgramCommand command = SplitProgramCommand(commandLine, [](const QString& word) {
        return !FindProgram(word).isEmpty();
    });
    TStartResult result;
    result.Program = FindProgram(command.ProgramWord, &result.Reason);
    if (result.Program.isEmpty()) {
        result.Program = command.ProgramWord;
        return result;
    }
    const QString workingDirectory = directory.isEmpty() ? QDir::currentPath() : directory;
    if (!QFileInfo(workingDirectory).isDir()) {
        result.Reason = SystemReason(ENOENT) + u' ' + workingDirectory;
        return result;
    }
    QProcess process;
    process.setProgram(result.Program);
    process.setArguments(command.Arguments);
    process.setWorkingDirectory(workingDirectory);
    result.Started = process.startDetached();
    if (!result.Started) result.Reason = process.errorString();
    return result;
}

std::vector<std::string> QGrepResultItems(const QString& clipboardText,
                                          const std::function<bool(const std::string&)>& isFile) {
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = clipboardText.split(lineEnd);
    // The last line holding text is Q-GREP's summary, whatever line breaks follow it.
    while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    if (!lines.isEmpty()) lines.removeLast();
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(lines.size()));
    for (const QString& line : lines) {
        if (line.isEmpty() || line.startsWith(u'*') || line.startsWith(u'=')) continue;
        items.push_back(ResultItem(line, isFile));
    }
    return items;
}

}  // namespace xavo
