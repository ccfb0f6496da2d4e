// The GREP dialog: the pattern, the fuzzy- and romaji-search check boxes and a word list
// that serves the
// GREP engine as its synonym dictionary.
//
// The dialog owns a dictionary of one word group and registers it with the engine once,
// at creation; OK copies the word list into the group and switches the engine's synonym
// dictionary on (or off for an empty list). Words are kept as Shift-JIS bytes, sorted
// ignoring letter case. Entry point: TGrepF, shown modally; read PatternText, CbFuzzy and
// CbMigemo after it closes with Accepted.
#pragma once

#include "PreProcessor.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace xavo {

class TGrep;

inline const QString kNeedTwoWordsMessage = QStringLiteral("Need at least 2 words for Synonym Dictionary.");

class TGrepF : public QDialog {
    Q_OBJECT

public:
    // Appends the dialog's dictionary to Grep.SynonymDics(); it stays there for the
    // dialog's life, so Grep must not compile a pattern once the dialog is gone.
    explicit TGrepF(TGrep& grep, QWidget* parent = nullptr);

    // The pattern as typed (not trimmed), in Shift-JIS. Raises ERegExpParser for a
    // character Shift-JIS cannot store.
    std::string PatternText() const;

    // The word list in its (sorted) order, Shift-JIS.
    const std::vector<std::string>& Words() const { return FWords; }
    // The dictionary's only group, as the last OK left it.
    const TREWordGroup& SynGroup() const { return FSynGroups.front(); }

    // Whether a Shift key is held; Open merges with Shift held.
    std::function<bool()> ShiftIsDown;
    // The file chosen in the open and the save dialog; an empty text means Cancel.
    std::function<QString()> ChooseOpenFile;
    std::function<QString()> ChooseSaveFile;

    QLabel* Label1;
    QLineEdit* EdRx;
    QLabel* Label2;
    QListWidget* LbSyn;
    QPushButton* BtAdd;
    QPushButton* BtDel;
    QPushButton* BtClear;
    QPushButton* BtOpen;
    QPushButton* BtSave;
    QCheckBox* CbFuzzy;
    QCheckBox* CbMigemo;  // romaji search, mirrored with the bar's PmGMigemo by the main window
    QPushButton* BtCancel;
    QPushButton* BtOk;

public slots:
    // The trimmed pattern joins the word list (equal words may stand twice); the field is
    // emptied. Nothing for a blank pattern.
    void BtAddClick();
    // The selected word goes back into the pattern field and leaves the list.
    void BtDelClick();
    void BtClearClick();
    // Reads a dictionary file: its lines replace the list, or join it with Shift held.
    // A file that cannot be read is reported and the list kept.
    void BtOpenClick();
    // Writes the list (at least 2 words) to a dictionary file, CR LF.
    void BtSaveClick();
    // An empty pattern takes the list's first word (a sole word leaves the list); no
    // pattern and no words close as cancelled. Switches the synonym dictionary.
    void BtOkClick();
    // Any close with an empty pattern field is a Cancel.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    void InsertWord(std::string word);
    void ShowWords();
    int SelectedWord() const;

    TGrep& FGrep;
    TREDictionary FSynGroups;  // one group: the words of the last OK
    std::vector<std::string> FWords;
};

}  // namespace xavo
