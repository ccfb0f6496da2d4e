// The find and replace dialogs (see FindDialogs.h).
#include "FindDialogs.h"

#include "SjisQt.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace xavo {
namespace {

QPushButton* NewButton(QWidget* owner, const QString& caption, QVBoxLayout* column) {
    auto* button = new QPushButton(caption, owner);
    column->addWidget(button);
    return button;
}

// A label with its accelerator focusing Buddy.
QLabel* NewLabel(QWidget* owner, const QString& caption, QWidget* buddy) {
    auto* label = new QLabel(caption, owner);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Find

TFindDialog::TFindDialog(TFindState& state, QWidget* parent) : QDialog(parent), FState(state) {
    setWindowTitle(QStringLiteral("検索"));
    setModal(false);

    EdFind = new QLineEdit(this);
    CbMatchCase = new QCheckBox(QStringLiteral("大文字と小文字を区別する(&C)"), this);
    auto* direction = new QGroupBox(QStringLiteral("検索する方向"), this);
    RbUp = new QRadioButton(QStringLiteral("上へ(&U)"), direction);
    RbDown = new QRadioButton(QStringLiteral("下へ(&D)"), direction);
    auto* directionRow = new QHBoxLayout(direction);
    directionRow->addWidget(RbUp);
    directionRow->addWidget(RbDown);

    auto* buttons = new QVBoxLayout;
    BtFindNext = NewButton(this, QStringLiteral("次を検索(&F)"), buttons);
    BtCancel = NewButton(this, QStringLiteral("キャンセル"), buttons);
    buttons->addStretch();
    BtFindNext->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(NewLabel(this, QStringLiteral("検索する文字列(&N):"), EdFind), 0, 0);
    grid->addWidget(EdFind, 0, 1, 1, 2);
    grid->addWidget(CbMatchCase, 1, 0, 1, 2, Qt::AlignBottom);
    grid->addWidget(direction, 1, 2);
    grid->addLayout(buttons, 0, 3, 2, 1);

    connect(EdFind, &QLineEdit::textChanged, this, [this] {
        BtFindNext->setEnabled(!EdFind->text().isEmpty());
        StoreState();
    });
    connect(CbMatchCase, &QCheckBox::toggled, this, &TFindDialog::StoreState);
    connect(RbDown, &QRadioButton::toggled, this, &TFindDialog::StoreState);
    connect(BtFindNext, &QPushButton::clicked, this, &TFindDialog::findNextPressed);
    connect(BtCancel, &QPushButton::clicked, this, &QDialog::reject);
    ShowState();
}

void TFindDialog::ShowState() {
    FShowing = true;
    EdFind->setText(SjisToQString(FState.Text));
    CbMatchCase->setChecked((FState.Options & frMatchCase) != 0);
    ((FState.Options & frDown) != 0 ? RbDown : RbUp)->setChecked(true);
    BtFindNext->setEnabled(!EdFind->text().isEmpty());
    EdFind->selectAll();
    FShowing = false;
}

void TFindDialog::StoreState() {
    if (FShowing) return;
    std::size_t unencodable = 0;
    FState.Text = QStringToSjis(EdFind->text(), unencodable);
    FState.Unencodable = unencodable > 0;
    TFindOptions options = FState.Options & ~(frMatchCase | frDown);
    if (CbMatchCase->isChecked()) options |= frMatchCase;
    if (RbDown->isChecked()) options |= frDown;
    FState.Options = options;
}

void TFindDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ShowState();
    EdFind->setFocus();
}

// ---------------------------------------------------------------------------------------
// Replace

TReplaceDialog::TReplaceDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("置換"));
    setModal(false);

    EdFind = new QLineEdit(this);
    EdReplace = new QLineEdit(this);
    CbMatchCase = new QCheckBox(QStringLiteral("大文字と小文字を区別する(&C)"), this);

    auto* buttons = new QVBoxLayout;
    BtFindNext = NewButton(this, QStringLiteral("次を検索(&F)"), buttons);
    BtReplace = NewButton(this, QStringLiteral("置換して次に(&R)"), buttons);
    BtReplaceAll = NewButton(this, QStringLiteral("すべて置換(&A)"), buttons);
    BtCancel = NewButton(this, QStringLiteral("キャンセル"), buttons);
    buttons->addStretch();
    BtFindNext->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(NewLabel(this, QStringLiteral("検索する文字列(&N):"), EdFind), 0, 0);
    grid->addWidget(EdFind, 0, 1);
    grid->addWidget(NewLabel(this, QStringLiteral("置換後の文字列(&P):"), EdReplace), 1, 0);
    grid->addWidget(EdReplace, 1, 1);
    grid->addWidget(CbMatchCase, 2, 0, 1, 2, Qt::AlignBottom);
    grid->addLayout(buttons, 0, 2, 4, 1);
    grid->setRowStretch(3, 1);

    const auto enableButtons = [this] {
        const bool any = !EdFind->text().isEmpty();
        for (QPushButton* button : {BtFindNext, BtReplace, BtReplaceAll}) button->setEnabled(any);
    };
    connect(EdFind, &QLineEdit::textChanged, this, enableButtons);
    connect(CbMatchCase, &QCheckBox::toggled, this, [this](bool on) {
        FOptions = on ? (FOptions | frMatchCase) : (FOptions & ~frMatchCase);
    });
    connect(BtFindNext, &QPushButton::clicked, this, [this] { Press(frFindNext); });
    connect(BtReplace, &QPushButton::clicked, this, [this] { Press(frReplace); });
    connect(BtReplaceAll, &QPushButton::clicked, this, [this] { Press(frReplaceAll); });
    connect(BtCancel, &QPushButton::clicked, this, &QDialog::reject);
    enableButtons();
}

QString TReplaceDialog::FindText() const { return EdFind->text(); }
void TReplaceDialog::SetFindText(const QString& text) { EdFind->setText(text); }
QString TReplaceDialog::ReplaceText() const { return EdReplace->text(); }
void TReplaceDialog::SetReplaceText(const QString& text) { EdReplace->setText(text); }

void TReplaceDialog::SetOptions(TFindOptions options) {
    FOptions = options | frDown;
    CbMatchCase->setChecked((options & frMatchCase) != 0);
}

void TReplaceDialog::Press(TFindOptions button) {
    FOptions = (FOptions & ~(frFindNext | frReplace | frReplaceAll)) | button | frDown;
    if (button == frFindNext)
        emit findNextPressed();
    else
        emit replacePressed();
}

void TReplaceDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    EdFind->selectAll();
    EdFind->setFocus();
}

}  // namespace xavo
