// The GREP bar: an editable combo box that completes the typed text in place from its
// list (the rest of the first item that begins with it is appended and selected).
//
// Comparison runs on the Shift-JIS bytes of the text and the items (FindCompletion);
// lengths given here (MinLengthComplete, the completion) are in bytes. Entry point:
// TComboBox98.
#pragma once

#include <QComboBox>

#include <functional>
#include <string>

namespace xavo {

class TComboBox98 : public QComboBox {
    Q_OBJECT

public:
    // May change the completion (Shift-JIS bytes appended to the text) or veto it.
    // Key is the Qt key code of the last key pressed in the edit field.
    using TOnComplete = std::function<void(TComboBox98* sender, int key, std::string& completeWith, bool& doComplete)>;

    explicit TComboBox98(QWidget* parent = nullptr);

    bool Complete() const { return FComplete; }
    void SetComplete(bool complete) { FComplete = complete; }
    unsigned short MinLengthComplete() const { return FMinLengthComplete; }
    void SetMinLengthComplete(unsigned short bytes) { FMinLengthComplete = bytes; }
    // The Qt key code of the last key pressed in the edit field (0 before any).
    int LastKey() const { return FLastKey; }
    // Editable (the designed style) or a plain drop-down list, which never completes.
    void SetEditable(bool editable);

    TOnComplete OnComplete;

signals:
    // The user changed the text, by typing or by picking an item; sent before completing.
    void changed();
    // The user picked the item Index from the list (the drop-down list or the arrow keys),
    // after changed(). Not sent when Enter or leaving the field merely finds the typed
    // text among the items.
    void itemPicked(int index);

private:
    friend class TComboEdit;

    void Changed();
    void CompleteText();

    bool FComplete = true;
    int FLastKey = 0;
    unsigned short FMinLengthComplete = 0;
    bool FFinishingEdit = false;  // the edit field handles Enter or its focus loss
};

}  // namespace xavo
