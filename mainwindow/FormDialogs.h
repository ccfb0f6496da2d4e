// The modal questions and dialogs the main window opens, as replaceable functions.
//
// Each member starts out as the real dialog (a QMessageBox titled "Xavoline", QInputDialog,
// QFileDialog, QFontDialog, QColorDialog); tests and scripted callers put their own in its
// place. An empty optional means the user cancelled. Entry point: DefaultFormDialogs.
#pragma once

#include <QColor>
#include <QFont>
#include <QMessageBox>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class QDialog;
class QWidget;

namespace xavo {

class TBrowseDialog;

struct TFormDialogs {
    // A question with the given buttons; returns the button chosen (Cancel when the box is
    // closed otherwise).
    std::function<QMessageBox::StandardButton(QWidget* parent, const QString& caption, const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)>
        Ask;
    // The same question with the exclamation icon, for one that warns of a loss.
    std::function<QMessageBox::StandardButton(QWidget* parent, const QString& caption, const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton)>
        AskWarning;
    // An input box: caption, prompt, initial text.
    std::function<std::optional<QString>(QWidget* parent, const QString& caption, const QString& prompt,
                                         const QString& initial)>
        InputText;
    // The save dialog on InitialPath (file-system bytes); returns the chosen path's bytes.
    std::function<std::optional<std::string>(QWidget* parent, const std::string& initialPath)> SaveFileName;
    // The open dialog (no filter) on InitialPath; returns the chosen file's path bytes.
    std::function<std::optional<std::string>(QWidget* parent, const std::string& initialPath)> OpenFileName;
    // The font dialog; FixedPitchOnly lists monospaced fonts only.
    std::function<std::optional<QFont>(QWidget* parent, const QFont& initial, bool fixedPitchOnly)> ChooseFont;
    std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)> ChooseColor;
    // Runs a modal dialog of the window's own (the batch-replace dialog); true for OK.
    std::function<bool(QDialog& dialog)> Execute;
    // The folder picker; true when a folder was chosen, which is then its Directory.
    std::function<bool(TBrowseDialog& picker)> BrowseFolder;
    // The exclamation beep of a search that found nothing.
    std::function<void()> Beep;
};

TFormDialogs DefaultFormDialogs();

}  // namespace xavo
