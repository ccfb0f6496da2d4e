// TFmRepl, the batch-replace dialog: the text to find, its replacement, match case and
// whether subdirectories are included. One instance lives as long as the program, so its
// fields keep what the user typed between batches; the window reads them after an OK.
// Entry point: TFmRepl.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace xavo {

class TFmRepl : public QDialog {
    Q_OBJECT

public:
    // Centred on the screen. "一括置換" (the default button, Enter) accepts; "キャンセル"
    // and Escape reject.
    explicit TFmRepl(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* EdFind = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* EdRepl = nullptr;
    QCheckBox* CbMatchCase = nullptr;
    QCheckBox* CbSubDir = nullptr;
    QCheckBox* CbWholeWord = nullptr;  // shown disabled; never read
    QCheckBox* CheckBox2 = nullptr;    // shown disabled; never read
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
};

}  // namespace xavo
