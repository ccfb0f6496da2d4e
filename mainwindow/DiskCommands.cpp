// TForm1 and the shown file on disk: another program may rewrite, replace, cut short or
// append to the file while it is shown. The file is looked at when the window is
// activated and every second (a stat; the name may be any bytes, so no file-system watch
// by name is needed).
//
// An unedited text follows the file: it is read again at the same line, or, for a file
// that only grew (a log being written), its new end is added and the caret stays (or
// follows the end when it was there). An edited text is never replaced without asking,
// once per change of the file and only while the window is in front; and saving over a
// file changed since it was read asks first.
#include "MainWindow.h"

#include "CommandGuard.h"
#include "MessageBoxes.h"
#include "PathText.h"
#include "XavoMemo.h"

#include <QApplication>
#include <QScopeGuard>
#include <QTimer>

namespace xavo {
namespace {

constexpr int kDiskCheckMs = 1000;

}  // namespace

void TForm1::CreateDiskWatch() {
    TmDiskWatch = new QTimer(this);
    TmDiskWatch->setInterval(kDiskCheckMs);
    connect(TmDiskWatch, &QTimer::timeout, this, [this] { RunCommand([this] { CheckShownFile(); }); });
    TmDiskWatch->start();
}

void TForm1::CheckShownFile() {
    // Not inside another command's dialog, nor again while asking.
    if (FCurrentFile.empty() || FCheckingDisk || QApplication::activeModalWidget() != nullptr) return;
    FCheckingDisk = true;
    const auto done = qScopeGuard([this] { FCheckingDisk = false; });
    const TDiskChange change = Memo->DiskChange();
    if (change == TDiskChange::None || change == TDiskChange::Gone) return;
    if (!Memo->IsModified()) {
        if (change == TDiskChange::Grown && Memo->TakeGrowth()) return;
        ReloadShownFile();
        return;
    }
    // Edited: asked once per state of the file, with the window in front.
    const TFileStamp now = TFileStamp::Of(FCurrentFile);
    if (!isActiveWindow() || now == FDiskStateAsked) return;
    FDiskStateAsked = now;
    if (FDialogs.Ask(this, kApplicationTitle, QStringLiteral("他のプログラムでファイルが変更されました。再読み込みしますか？"),
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes)
        ReloadShownFile();
}

void TForm1::ReloadShownFile() {
    const bool chosen = FCurrentFile == FEncodingChoiceFile;
    Memo->Reload(chosen ? FEncodingChoice : std::nullopt);
    ShowEncoding();
}

bool TForm1::ConfirmOverwriteChanged(const std::string& path) {
    if (path != Memo->FileName()) return true;
    const TDiskChange change = Memo->DiskChange();
    if (change != TDiskChange::Changed && change != TDiskChange::Grown) return true;
    return FDialogs.Ask(this, kApplicationTitle,
                        QStringLiteral("%1 は他のプログラムで変更されています。\n上書き保存しますか？").arg(PathToQString(path)),
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace xavo
