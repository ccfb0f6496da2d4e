// The GREP bar (see ComboBox98.h).
#include "ComboBox98.h"

#include "Completion.h"
#include "SjisQt.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <vector>

namespace xavo {
// The edit field records each key before handling it, and marks Enter and the loss of
// focus, whose handling in QComboBox may re-select a matching item: that is not the user
// picking from the list.
class TComboEdit : public QLineEdit {
public:
    explicit TComboEdit(TComboBox98* owner) : QLineEdit(owner), FOwner(owner) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        FOwner->FLastKey = event->key();
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        FOwner->FFinishingEdit = enter;
        QLineEdit::keyPressEvent(event);
        FOwner->FFinishingEdit = false;
    }

    void focusOutEvent(QFocusEvent* event) override {
        FOwner->FFinishingEdit = true;
        QLineEdit::focusOutEvent(event);
        FOwner->FFinishingEdit = false;
    }

private:
    TComboBox98* FOwner;
};

TComboBox98::TComboBox98(QWidget* parent) : QComboBox(parent) {
    SetEditable(true);
    setInsertPolicy(NoInsert);  // the owner decides which words the list keeps
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (FFinishingEdit) return;
        Changed();
        emit itemPicked(index);
    });
}

void TComboBox98::SetEditable(bool editable) {
    setEditable(editable);
    if (!editable) return;
    auto* edit = new TComboEdit(this);
    setLineEdit(edit);
    setCompleter(nullptr);  // our own completion replaces Qt's
    connect(edit, &QLineEdit::textEdited, this, &TComboBox98::Changed);
}

void TComboBox98::Changed() {
    emit changed();
    CompleteText();
}

void TComboBox98::CompleteText() {
    if (!FComplete || !isEditable() || lineEdit() == nullptr) return;
    if (FLastKey == Qt::Key_Backspace || FLastKey == Qt::Key_Delete) return;  // deleting is never undone
    const QString typed = lineEdit()->text();
    std::size_t unencodable = 0;
    const std::string text = QStringToSjis(typed, unencodable);
    if (unencodable > 0 || text.size() < FMinLengthComplete || count() == 0) return;
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(count()));
    for (int i = 0; i < count(); ++i) items.push_back(QStringToSjis(itemText(i)));
    std::string completeWith;
    if (FindCompletion(text, items, completeWith) < 0) return;
    bool doComplete = true;
    if (OnComplete) OnComplete(this, FLastKey, completeWith, doComplete);
    if (!doComplete) return;
    const QString rest = SjisToQString(completeWith);
    lineEdit()->setText(typed + rest);
    lineEdit()->setSelection(static_cast<int>(typed.size()), static_cast<int>(rest.size()));
}

}  // namespace xavo
