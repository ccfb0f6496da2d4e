// What the window tests share: a scratch directory holding the settings file and the text
// files, a main window built on them with scripted dialogs, and a record of the message
// boxes that would have been shown.
#pragma once

#include "MainWindow.h"
#include "MessageBoxes.h"
#include "TempDir.h"

#include <QApplication>
#include <QtTest>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace xavo::test {

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Records the boxes that would have been shown.
class TRecordedBoxes {
public:
    TRecordedBoxes()
        : FPrevious(SetMessagePresenter([this](TMessageKind kind, const QString&, const QString& text) {
              (kind == TMessageKind::Error ? Errors : Informations) << text;
          })) {}
    ~TRecordedBoxes() { SetMessagePresenter(FPrevious); }
    TRecordedBoxes(const TRecordedBoxes&) = delete;
    TRecordedBoxes& operator=(const TRecordedBoxes&) = delete;

    QStringList Errors;
    QStringList Informations;

private:
    TMessagePresenter FPrevious;
};

// Answers the window's questions from queues (a question nobody scripted is answered
// Cancel and recorded); the texts asked are kept.
struct TScript {
    std::deque<QMessageBox::StandardButton> Answers;
    std::deque<std::optional<QString>> Inputs;
    std::deque<std::optional<std::string>> SavePaths;
    std::deque<std::optional<std::string>> OpenPaths;
    std::deque<std::optional<QFont>> Fonts;
    std::deque<std::optional<QColor>> Colors;
    QStringList Asked;
    QStringList Unexpected;
};

// The next scripted value, or "cancelled" (recorded as unexpected) when none is left.
template <class T>
std::optional<T> Take(std::deque<std::optional<T>>& queue, QStringList& unexpected, const QString& what) {
    if (queue.empty()) {
        unexpected << what;
        return std::nullopt;
    }
    const bool given = queue.front().has_value();
    T value = given ? *queue.front() : T();
    queue.pop_front();
    if (!given) return std::nullopt;
    return value;
}

inline TFormDialogs ScriptedDialogs(TScript& script) {
    TFormDialogs d;
    d.Ask = [&script](QWidget*, const QString&, const QString& text, QMessageBox::StandardButtons,
                      QMessageBox::StandardButton) {
        script.Asked << text;
        if (script.Answers.empty()) {
            script.Unexpected << text;
            return QMessageBox::Cancel;
        }
        const QMessageBox::StandardButton answer = script.Answers.front();
        script.Answers.pop_front();
        return answer;
    };
    d.AskWarning = d.Ask;
    d.InputText = [&script](QWidget*, const QString& caption, const QString&, const QString&) {
        return Take(script.Inputs, script.Unexpected, caption);
    };
    d.SaveFileName = [&script](QWidget*, const std::string&) { return Take(script.SavePaths, script.Unexpected, "save"); };
    d.OpenFileName = [&script](QWidget*, const std::string&) { return Take(script.OpenPaths, script.Unexpected, "open"); };
    d.ChooseFont = [&script](QWidget*, const QFont&, bool) { return Take(script.Fonts, script.Unexpected, "font"); };
    d.ChooseColor = [&script](QWidget*, const QColor&) { return Take(script.Colors, script.Unexpected, "colour"); };
    return d;
}

// A scratch directory that is also the process's current directory while the test runs.
class TFormFixture {
public:
    TFormFixture() : FOldDirectory(std::filesystem::current_path()) {
        std::filesystem::current_path(Dir.Root());
    }
    ~TFormFixture() {
        Form.reset();
        std::error_code ignored;
        std::filesystem::current_path(FOldDirectory, ignored);
    }
    TFormFixture(const TFormFixture&) = delete;
    TFormFixture& operator=(const TFormFixture&) = delete;

    std::string IniPath() const { return Dir.Path("Xavoline.ini"); }
    std::string Root() const { return Dir.Root(); }

    // A new window on the scratch settings file (the old one is destroyed first, unsaved).
    TForm1& Open(std::optional<std::string> fileArgument = std::nullopt, std::string helpFile = {}) {
        Form.reset();
        TFormOptions options;
        options.IniPath = IniPath();
        options.HelpFile = std::move(helpFile);
        options.FileArgument = std::move(fileArgument);
        Form = std::make_unique<TForm1>(options);
        Form->Dialogs() = ScriptedDialogs(Script);
        return *Form;
    }

    // Shows the window and waits until the tree has been filled.
    TForm1& Shown() {
        if (!Form) Open();
        Form->show();
        if (!QTest::qWaitForWindowExposed(Form.get())) qWarning("window not exposed");
        Form->activateWindow();
        (void)QTest::qWaitForWindowActive(Form.get());
        if (!QTest::qWaitFor([this] { return Form->Components().DTView->Directory() != "?"; }, 5000))
            qWarning("the tree was not filled");
        return *Form;
    }

    // Shows the window with the file Name (holding Bytes) open in it; returns its path.
    std::string ShownWithFile(const std::string& name, const std::string& bytes) {
        const std::string path = Dir.File(name, bytes);
        Shown();
        if (!Form->OpenFile(path)) qWarning("the file was not opened");
        return path;
    }

    // Closes the window as the user does (settings are written) and forgets it.
    void CloseForm() {
        Form->close();
        Form.reset();
    }

    const TForm1Components& C() const { return Form->Components(); }

    test::TTempDir Dir;
    TScript Script;
    TRecordedBoxes Boxes;
    std::unique_ptr<TForm1> Form;

private:
    std::filesystem::path FOldDirectory;
};

// Lines "line 1" ... "line N", each ending in CR LF.
inline std::string NumberedLines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + "\r\n";
    return text;
}

}  // namespace xavo::test
