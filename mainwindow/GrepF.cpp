// The GREP dialog and its synonym word list, see GrepF.h.
#include "GrepF.h"

#include "Grep.h"
#include "GrepText.h"
#include "MessageBoxes.h"
#include "PathText.h"
#include "SjisQt.h"
#include "StringUtils.h"
#include "SynonymFile.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace xavo {

namespace {

constexpr int kClientWidth = 317;
constexpr int kClientHeight = 216;

bool WordLess(const std::string& a, const std::string& b) { return CompareTextIgnoringCase(a, b) < 0; }

}  // namespace

TGrepF::TGrepF(TGrep& grep, QWidget* parent) : QDialog(parent), FGrep(grep), FSynGroups(1) {
    ShiftIsDown = [] { return (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier) != 0; };
    ChooseOpenFile = [this] {
        return QFileDialog::getOpenFileName(this, QString(), QString(),
                                            QStringLiteral("Text File (*.TXT);;Any File (*)"));
    };
    ChooseSaveFile = [this] {
        return QFileDialog::getSaveFileName(this, QString(), QString(), QStringLiteral("Text File (*.txt);;AnyFile (*)"),
                                            nullptr, QFileDialog::DontConfirmOverwrite);
    };
    CreateComponents();
    FGrep.SynonymDics().push_back(&FSynGroups);
}

void TGrepF::CreateComponents() {
    setWindowTitle(QStringLiteral("GREP （同義語辞書あり）"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    Label1 = new QLabel(QStringLiteral("検索する単語を入力 (正規表現)"), this);
    EdRx = new QLineEdit(this);
    Label2 = new QLabel(QStringLiteral("同義語辞書"), this);
    LbSyn = new QListWidget(this);
    BtAdd = new QPushButton(QStringLiteral("辞書に追加"), this);
    BtDel = new QPushButton(QStringLiteral("単語を削除"), this);
    BtClear = new QPushButton(QStringLiteral("辞書クリア"), this);
    BtOpen = new QPushButton(QStringLiteral("辞書を開く"), this);
    BtSave = new QPushButton(QStringLiteral("辞書を保存"), this);
    CbFuzzy = new QCheckBox(QStringLiteral("あいまい検索"), this);
    CbMigemo = new QCheckBox(QStringLiteral("ローマ字検索"), this);
    BtCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    BtOk = new QPushButton(QStringLiteral("OK"), this);
    const std::pair<QWidget*, const char*> names[] = {
        {Label1, "Label1"}, {EdRx, "EdRx"},     {Label2, "Label2"},   {LbSyn, "LbSyn"},
        {BtAdd, "BtAdd"},   {BtDel, "BtDel"},   {BtClear, "BtClear"}, {BtOpen, "BtOpen"},
        {BtSave, "BtSave"}, {CbFuzzy, "CbFuzzy"}, {BtCancel, "BtCancel"}, {BtOk, "BtOk"},
        {CbMigemo, "CbMigemo"}};
    for (const auto& [widget, name] : names) widget->setObjectName(QString::fromLatin1(name));
    Label1->setBuddy(EdRx);
    Label2->setBuddy(LbSyn);
    for (QPushButton* button : {BtAdd, BtDel, BtClear, BtOpen, BtSave, BtCancel}) button->setAutoDefault(false);
    BtOk->setDefault(true);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {BtAdd, BtDel, BtClear, BtOpen, BtSave}) buttons->addWidget(button);
    buttons->addStretch();
    auto* words = new QHBoxLayout;
    words->addWidget(LbSyn, 1);
    words->addLayout(buttons);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(CbFuzzy);
    bottom->addWidget(CbMigemo);
    bottom->addStretch();
    bottom->addWidget(BtCancel);
    bottom->addWidget(BtOk);
    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(8, 6, 8, 6);
    form->setSpacing(4);
    form->addWidget(Label1);
    form->addWidget(EdRx);
    form->addWidget(Label2);
    form->addLayout(words, 1);
    form->addLayout(bottom);
    setFixedSize(QSize(kClientWidth, kClientHeight).expandedTo(form->minimumSize()));

    connect(BtAdd, &QPushButton::clicked, this, &TGrepF::BtAddClick);
    connect(BtDel, &QPushButton::clicked, this, &TGrepF::BtDelClick);
    connect(BtClear, &QPushButton::clicked, this, &TGrepF::BtClearClick);
    connect(BtOpen, &QPushButton::clicked, this, &TGrepF::BtOpenClick);
    connect(BtSave, &QPushButton::clicked, this, &TGrepF::BtSaveClick);
    connect(BtOk, &QPushButton::clicked, this, &TGrepF::BtOkClick);
    connect(BtCancel, &QPushButton::clicked, this, &TGrepF::reject);
    EdRx->installEventFilter(this);
    LbSyn->installEventFilter(this);
}

std::string TGrepF::PatternText() const { return PatternToSjis(EdRx->text()); }

void TGrepF::InsertWord(std::string word) {
    // After its equals, so that words stand in the order they came.
    FWords.insert(std::upper_bound(FWords.begin(), FWords.end(), word, WordLess), std::move(word));
}

void TGrepF::ShowWords() {
    LbSyn->clear();
    for (const std::string& word : FWords) LbSyn->addItem(SjisToQString(word));
}

int TGrepF::SelectedWord() const {
    const QListWidgetItem* item = LbSyn->currentItem();
    return item != nullptr && item->isSelected() ? LbSyn->row(item) : -1;
}

void TGrepF::BtAddClick() {
    std::string word;
    try {
        word = TrimSpaces(PatternText());
    } catch (const std::exception& e) {
        ShowErrorBox(e);
        return;
    }
    if (word.empty()) return;
    InsertWord(std::move(word));
    ShowWords();
    EdRx->clear();
}

void TGrepF::BtDelClick() {
    const int index = SelectedWord();
    if (index < 0) return;
    EdRx->setText(SjisToQString(FWords[static_cast<std::size_t>(index)]));
    FWords.erase(FWords.begin() + index);
    ShowWords();
}

void TGrepF::BtClearClick() {
    FWords.clear();
    ShowWords();
}

void TGrepF::BtOpenClick() {
    const bool merge = ShiftIsDown();  // before the file dialog takes the keyboard
    const QString path = ChooseOpenFile();
    if (path.isEmpty()) return;
    std::vector<std::string> lines;
    try {
        lines = ReadSynonymFile(PathFromQString(path));
    } catch (const std::exception& e) {
        ShowErrorBox(e);
        return;
    }
    if (!merge) FWords.clear();
    for (std::string& line : lines) InsertWord(std::move(line));
    ShowWords();
}

void TGrepF::BtSaveClick() {
    if (FWords.size() < 2) {
        ShowInformationBox(kApplicationTitle, kNeedTwoWordsMessage);
        return;
    }
    const QString path = ChooseSaveFile();
    if (path.isEmpty()) return;
    try {
        WriteSynonymFile(PathFromQString(path), FWords);
    } catch (const std::exception& e) {
        ShowErrorBox(e);
    }
}

void TGrepF::BtOkClick() {
    if (TrimSpaces(QStringToSjis(EdRx->text())).empty()) {
        if (FWords.empty()) {
            reject();
            return;
        }
        EdRx->setText(SjisToQString(FWords.front()));
        if (FWords.size() == 1) {
            FWords.clear();
            ShowWords();
        }
    }
    const bool useSynonyms = !FWords.empty();
    if (useSynonyms) FSynGroups.front() = FWords;
    FGrep.SwitchSynonymDic(useSynonyms);  // the run compiles its pattern with them
    accept();
}

void TGrepF::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* shown = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(shown->availableGeometry().center());
        move(frame.topLeft());
    }
    EdRx->setFocus();
    EdRx->selectAll();
}

bool TGrepF::eventFilter(QObject* watched, QEvent* event) {
    if (watched == EdRx && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            BtAddClick();  // Enter adds the word instead of confirming the dialog
            return true;
        }
    } else if (watched == LbSyn && event->type() == QEvent::KeyRelease) {
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete && SelectedWord() >= 0) BtDelClick();
    }
    return QDialog::eventFilter(watched, event);
}

void TGrepF::done(int result) { QDialog::done(EdRx->text().isEmpty() ? QDialog::Rejected : result); }

}  // namespace xavo
