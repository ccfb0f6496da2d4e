// The real dialogs behind TFormDialogs (see FormDialogs.h).
#include "FormDialogs.h"

#include "BrowseDialog.h"
#include "FontPicker.h"
#include "MessageBoxes.h"
#include "PathText.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>

namespace xavo {

namespace {

// A modal question box with Icon; a box closed otherwise counts as Cancel.
auto QuestionBox(QMessageBox::Icon icon) {
    return [icon](QWidget* parent, const QString& caption, const QString& text, QMessageBox::StandardButtons buttons,
                  QMessageBox::StandardButton defaultButton) {
        QMessageBox box(icon, caption, text, buttons, parent);
        box.setDefaultButton(defaultButton);
        const int answer = box.exec();
        return buttons.testFlag(static_cast<QMessageBox::StandardButton>(answer))
                   ? static_cast<QMessageBox::StandardButton>(answer)
                   : QMessageBox::Cancel;
    };
}

}  // namespace

TFormDialogs DefaultFormDialogs() {
    TFormDialogs dialogs;
    dialogs.Ask = QuestionBox(QMessageBox::Question);
    dialogs.AskWarning = QuestionBox(QMessageBox::Warning);
    dialogs.InputText = [](QWidget* parent, const QString& caption, const QString& prompt,
                           const QString& initial) -> std::optional<QString> {
        bool ok = false;
        const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, initial, &ok);
        if (!ok) return std::nullopt;
        return text;
    };
    dialogs.SaveFileName = [](QWidget* parent, const std::string& initialPath) -> std::optional<std::string> {
        QFileDialog dialog(parent, kApplicationTitle, PathToQString(initialPath));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!initialPath.empty()) dialog.selectFile(PathToQString(initialPath));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return PathFromQString(dialog.selectedFiles().constFirst());
    };
    dialogs.OpenFileName = [](QWidget* parent, const std::string& initialPath) -> std::optional<std::string> {
        const QString chosen = QFileDialog::getOpenFileName(parent, kApplicationTitle, PathToQString(initialPath));
        if (chosen.isEmpty()) return std::nullopt;
        return PathFromQString(chosen);
    };
    dialogs.ChooseFont = [](QWidget* parent, const QFont& initial, bool fixedPitchOnly) -> std::optional<QFont> {
        if (fixedPitchOnly) {
            TFontPicker picker(initial, parent);
            if (picker.exec() != QDialog::Accepted) return std::nullopt;
            return picker.SelectedFont();
        }
        bool ok = false;
        const QFont font = QFontDialog::getFont(
            &ok, initial, parent, QString(),
            fixedPitchOnly ? QFontDialog::MonospacedFonts : QFontDialog::FontDialogOptions());
        if (!ok) return std::nullopt;
        return font;
    };
    dialogs.ChooseColor = [](QWidget* parent, const QColor& initial) -> std::optional<QColor> {
        const QColor color = QColorDialog::getColor(initial, parent);
        if (!color.isValid()) return std::nullopt;
        return color;
    };
    dialogs.Execute = [](QDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
    dialogs.BrowseFolder = [](TBrowseDialog& picker) { return picker.Execute(); };
    dialogs.Beep = [] { QApplication::beep(); };
    return dialogs;
}

}  // namespace xavo
