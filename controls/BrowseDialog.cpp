// The folder picker, see BrowseDialog.h.
#include "BrowseDialog.h"

#include "FileSystem.h"
#include "PathText.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace xavo {

namespace {

bool IsInside(const std::string& path, const std::string& root) {
    const std::string prefix = WithTrailingSlash(WithoutTrailingSlash(root));
    return WithTrailingSlash(path).compare(0, prefix.size(), prefix) == 0;
}

// QFileDialog that refuses a choice outside its root.
class TFolderDialog : public QFileDialog {
public:
    TFolderDialog(QWidget* parent, std::string root) : QFileDialog(parent), FRoot(std::move(root)) {}

    void accept() override {
        const QStringList chosen = selectedFiles();
        if (!FRoot.empty() && (chosen.isEmpty() || !IsInside(PathFromQString(chosen.first()), FRoot))) {
            QApplication::beep();
            return;
        }
        QFileDialog::accept();
    }

private:
    std::string FRoot;
};

}  // namespace

TBrowseDialog::TBrowseDialog(QObject* parent) : QObject(parent) {}

bool TBrowseDialog::Execute() {
    const QPointer<QWidget> previousActive = QApplication::activeWindow();
    const std::string root = !FRoot.empty() && IsDirectory(FRoot) ? WithoutTrailingSlash(FRoot) : std::string();
    TFolderDialog dialog(previousActive, root);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setWindowTitle(FCaption);
    dialog.setWindowModality(Qt::ApplicationModal);

    QLabel* status = nullptr;
    if ((FOptions & biStatusText) != 0) {
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            status = new QLabel(&dialog);
            grid->addWidget(status, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    const auto okButton = [&dialog]() -> QPushButton* {
        auto* box = dialog.findChild<QDialogButtonBox*>();
        return box != nullptr ? box->button(QDialogButtonBox::Open) : nullptr;
    };
    // What every report leaves behind: the status line and the OK button's state.
    const auto report = [&](const TBrowseDialogEvent& handler, const std::string& path) {
        QString showText;
        TOKButtonState okState = okUnchanged;
        if (handler) handler(this, &dialog, path, showText, okState);
        if (status != nullptr) status->setText(showText);
        if (QPushButton* ok = okButton(); ok != nullptr && okState != okUnchanged) ok->setEnabled(okState == okEnable);
    };

    // The stored directory (no final "/", the root kept as it is) is selected in its parent;
    // outside the root, the dialog opens on the root instead.
    const std::string start = WithoutTrailingSlash(FDirectory);
    if (!root.empty() && (start.empty() || !IsInside(start, root))) {
        dialog.setDirectory(PathToQString(root));
    } else if (start == "/") {
        dialog.setDirectory(QStringLiteral("/"));
    } else if (!start.empty()) {
        dialog.setDirectory(PathToQString(ParentDirectoryOf(start)));
        dialog.selectFile(PathToQString(start));
    }
    if (!root.empty()) {
        connect(&dialog, &QFileDialog::directoryEntered, &dialog, [&dialog, root](const QString& entered) {
            if (!IsInside(PathFromQString(entered), root)) dialog.setDirectory(PathToQString(root));
        });
    }
    connect(&dialog, &QFileDialog::currentChanged, &dialog,
            [&](const QString& path) { report(FOnSelectionChanged, PathFromQString(path)); });
    QTimer::singleShot(0, &dialog, [&] { report(FOnInitialized, start); });

    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (previousActive) previousActive->activateWindow();
    if (!accepted) return false;
    FDirectory = WithoutTrailingSlash(PathFromQString(dialog.selectedFiles().first()));
    FDisplayName = FDirectory == "/" ? QStringLiteral("/") : PathToQString(FileNameOf(FDirectory));
    return true;
}

}  // namespace xavo
