// The Q-GREP menu's commands, see QGrepCommands.h. What they decide lives in QGrepLaunch.
#include "QGrepCommands.h"

#include "ClipDetector.h"
#include "CommandGuard.h"
#include "GrepRunner.h"
#include "MainWindow.h"
#include "MessageBoxes.h"
#include "PathText.h"
#include "Paths.h"
#include "QGrepLaunch.h"
#include "ResultLine.h"
#include "ShellListBox.h"
#include "SjisQt.h"
#include "TextListBox.h"

#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>

#include <stdexcept>

namespace xavo {

TQGrepCommands::TQGrepCommands(TForm1& form)
    : QObject(&form), FForm(form), FDetector(form.Components().ZqClipDetector1) {
    const TForm1Components& c = form.Components();
    connect(c.Grep21, &QMenu::aboutToShow, this, [this] { RunCommand([this] { Grep21Click(); }); });
    connect(c.Grep1, &QAction::triggered, this, [this] { RunCommand([this] { Grep1Click(); }); });
    connect(c.QGrepOption1, &QAction::triggered, this, [this] { RunCommand([this] { QGrepOption1Click(); }); });
    for (QAction* item : {c.MmQGrepDir, c.MmQSubDir})
        connect(item, &QAction::triggered, this, [this, item] { RunCommand([this, item] { MmGOneClick(item); }); });
    for (QAction* item : {c.MmQGrepDir, c.MmQSubDir, c.QGrepOption1, c.Grep1}) item->setEnabled(true);
}

TQGrepCommands::~TQGrepCommands() {
    if (FDetector) FDetector->SetOnClipChange({});
}

void TQGrepCommands::Grep21Click() {
    FForm.Components().MmQSubDir->setEnabled(!FindProgram(PathToQString(FForm.GrepExe())).isEmpty());
}

void TQGrepCommands::Grep1Click() {
    const std::optional<std::string> chosen = FForm.Dialogs().OpenFileName(&FForm, FForm.GrepExe());
    if (chosen) FForm.GrepExe() = PathFromQString(QFileInfo(PathToQString(*chosen)).absoluteFilePath());
}

void TQGrepCommands::QGrepOption1Click() {
    const QString current = SjisToQString(FForm.GrepOpt());
    const std::optional<QString> options = FForm.Dialogs().InputText(
        &FForm, QStringLiteral("QGrep起動オプション"), QStringLiteral("QGrepコマンドラインオプションを入力してください"), current);
    FForm.GrepOpt() = QStringToSjis(options.value_or(current));
}

void TQGrepCommands::MmGOneClick(const QAction* sender) {
    const TForm1Components& c = FForm.Components();
    const int tag = sender->data().toInt();
    // The file the user chose in the list, or else the shown one; it is searched in its own
    // directory, wherever the list has moved since.
    const std::string& chosen = c.SLBox->SelectedFileName().empty() ? FForm.CurrentFile() : c.SLBox->SelectedFileName();
    if (tag == 0 && chosen.empty()) return;
    const QString filePart = QGrepFilePart(tag, chosen, c.SLBox->Mask());
    const QString directory = PathToQString(tag == 0 ? ParentDirectoryOf(chosen) : c.SLBox->Directory());
    const std::optional<QString> searchText = FForm.Dialogs().InputText(
        &FForm, QStringLiteral("QGrepを起動します"), QStringLiteral("検索文字列を入力してください"), QString());
    if (!searchText) return;
    const QString program = PathToQString(FForm.GrepExe());
    const QString commandLine = QGrepCommandLine(program, SjisToQString(FForm.GrepOpt()), *searchText, filePart);
    if (c.MmShowQGC->isChecked()) ShowInformationBox(kApplicationTitle, commandLine);
    if (program.trimmed().isEmpty())
        throw std::runtime_error("Q-GREPのプログラムが設定されていません。「QGrepのｲﾝｽﾄｰﾙ先...」で指定してください。");

    // Watching starts only now: a copy made while the confirmation box was open would
    // otherwise end the watch before anything is pending, and the result would be missed.
    SetWatching(true);
    FQGrepPending = true;
    const TStartResult start = ExecProcess(commandLine, directory);
    if (start.Started) return;
    FQGrepPending = false;
    SetWatching(false);
    throw std::runtime_error(
        QStringLiteral("Q-GREPを起動できません。\n%1\n%2").arg(start.Program, start.Reason).toStdString());
}

void TQGrepCommands::ZqClipDetector1ClipChange() {
    SetWatching(false);
    if (!std::exchange(FQGrepPending, false)) return;
    const std::vector<std::string> items = QGrepResultItems(QGuiApplication::clipboard()->text(), IsExistingFile);
    // A GREP of our own would go on filling the list under the result.
    FForm.GrepRunner().Cancel();
    FForm.GrepRunner().WaitForDone();
    TTextListBox& list = *FForm.Components().LbGrep;
    list.Clear();
    for (const std::string& item : items) list.Add(item);
}

void TQGrepCommands::SetWatching(bool on) {
    if (!FDetector) return;
    if (on)
        FDetector->SetOnClipChange([this](TZqClipDetector*) { RunCommand([this] { ZqClipDetector1ClipChange(); }); });
    else
        FDetector->SetOnClipChange({});
}

}  // namespace xavo
