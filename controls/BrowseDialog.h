// The folder picker: a modal folder chooser that opens on a stored directory and returns
// the chosen one. Built on Qt's own (non-native) QFileDialog in directory mode so that the
// prompt, the preselection, the root, a status line and the OK button can be controlled.
// Entry point: Execute.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QWidget;

namespace xavo {

class TBrowseDialog : public QObject {
    Q_OBJECT
public:
    // The dialog options; TBrowseOptions is an OR of them. Only biStatusText changes
    // anything here: every choice is a file-system directory, and there are no computers,
    // printers or domains to browse.
    enum TBrowseOption : unsigned {
        biBrowseForComputer = 0x01,
        biBrowseForPrinter = 0x02,
        biDontGoBelowDomain = 0x04,
        biReturnFSAncestors = 0x08,
        biReturnOnlyFSDirs = 0x10,
        biStatusText = 0x20,
    };
    using TBrowseOptions = unsigned;
    enum TOKButtonState { okUnchanged = 0, okEnable = 1, okDisable = 2 };
    // Wnd is the dialog, Path the folder concerned; ShowText (initially empty) becomes the
    // status line (with biStatusText), OKButtonState (initially okUnchanged) the OK button's.
    using TBrowseDialogEvent = std::function<void(TBrowseDialog* sender, QWidget* wnd, const std::string& path,
                                                  QString& showText, TOKButtonState& okButtonState)>;

    explicit TBrowseDialog(QObject* parent = nullptr);

    // Runs the dialog modally over the active window. True when the user chose a folder:
    // Directory becomes its path (no final "/" except for the root "/") and DisplayName its
    // name. False on Cancel, with both left as they were.
    bool Execute();

    // In: the folder selected when the dialog opens; out: the chosen folder.
    const std::string& Directory() const { return FDirectory; }
    void SetDirectory(std::string value) { FDirectory = std::move(value); }
    // The prompt, shown as the dialog's title.
    const QString& Caption() const { return FCaption; }
    void SetCaption(QString value) { FCaption = std::move(value); }
    TBrowseOptions Options() const { return FOptions; }
    void SetOptions(TBrowseOptions value) { FOptions = value; }
    // When not empty and a directory: the dialog stays inside it and accepts nothing
    // outside it.
    const std::string& Root() const { return FRoot; }
    void SetRoot(std::string value) { FRoot = std::move(value); }
    void SetOnInitialized(TBrowseDialogEvent handler) { FOnInitialized = std::move(handler); }
    void SetOnSelectionChanged(TBrowseDialogEvent handler) { FOnSelectionChanged = std::move(handler); }

    // The chosen folder's name ("/" for the root), set by a successful Execute.
    const QString& DisplayName() const { return FDisplayName; }

private:
    std::string FDirectory;
    QString FCaption;
    TBrowseOptions FOptions = biReturnOnlyFSDirs;
    std::string FRoot;
    TBrowseDialogEvent FOnInitialized;
    TBrowseDialogEvent FOnSelectionChanged;
    QString FDisplayName;
};

}  // namespace xavo
