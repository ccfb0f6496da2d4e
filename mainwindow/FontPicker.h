// The font dialog of the text view and the results list: fixed-pitch faces only (the
// Japanese full/half-width faces among them), with the style, size and effects of the
// font it opens on preselected, so that OK untouched gives that font back.
//
// Entry point: TFontPicker (exec, then SelectedFont).
#pragma once

#include <QDialog>
#include <QFont>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;

namespace xavo {

class TFontPicker : public QDialog {
    Q_OBJECT

public:
    // Lists the fixed-pitch families and Initial's real face (the installed face its name
    // resolves to, listed even when it is proportional), with Initial's face, style and
    // size chosen.
    explicit TFontPicker(const QFont& initial, QWidget* parent = nullptr);

    // The font as chosen now.
    QFont SelectedFont() const;

    QListWidget* Families = nullptr;
    QListWidget* Styles = nullptr;
    QComboBox* Sizes = nullptr;
    QCheckBox* StrikeOut = nullptr;
    QCheckBox* Underline = nullptr;
    QLabel* Sample = nullptr;

private:
    void FillStyles(const QFont& wanted);
    void UpdateSample();
};

}  // namespace xavo
