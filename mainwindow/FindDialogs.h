// The modeless find and replace dialogs of the main window.
//
// TFindDialog edits the find state the window keeps (text, match case, direction): the
// window's repeat commands and the tag jump read and write the same state, and the dialog
// shows it whenever it opens. TReplaceDialog keeps its own texts and options. Both only
// report what was pressed; the window does the searching. Enter presses "find next",
// Escape closes. Entry points: TFindDialog, TReplaceDialog.
#pragma once

#include "FindOptions.h"
#include "FindState.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace xavo {

class TFindDialog : public QDialog {
    Q_OBJECT

public:
    // State must outlive the dialog.
    TFindDialog(TFindState& state, QWidget* parent);

    // Shows the state's text (selected) and options again, e.g. after F3 changed the
    // direction or a tag jump the text.
    void ShowState();

    QLineEdit* EdFind = nullptr;
    QCheckBox* CbMatchCase = nullptr;
    QRadioButton* RbUp = nullptr;
    QRadioButton* RbDown = nullptr;
    QPushButton* BtFindNext = nullptr;
    QPushButton* BtCancel = nullptr;

signals:
    // "Find next" was pressed; the state holds what to find.
    void findNextPressed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void StoreState();

    TFindState& FState;
    bool FShowing = false;  // controls being filled from the state
};

class TReplaceDialog : public QDialog {
    Q_OBJECT

public:
    explicit TReplaceDialog(QWidget* parent);

    QString FindText() const;
    void SetFindText(const QString& text);
    QString ReplaceText() const;
    void SetReplaceText(const QString& text);
    // frMatchCase follows the check box; frReplace / frReplaceAll tell which button was
    // pressed last. There is no direction: frDown is always set.
    TFindOptions Options() const { return FOptions; }
    void SetOptions(TFindOptions options);

    QLineEdit* EdFind = nullptr;
    QLineEdit* EdReplace = nullptr;
    QCheckBox* CbMatchCase = nullptr;
    QPushButton* BtFindNext = nullptr;
    QPushButton* BtReplace = nullptr;
    QPushButton* BtReplaceAll = nullptr;
    QPushButton* BtCancel = nullptr;

signals:
    void findNextPressed();
    // The replace or the replace-all button (see Options).
    void replacePressed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Press(TFindOptions button);

    TFindOptions FOptions = frDown | frHideWholeWord;
};

}  // namespace xavo
