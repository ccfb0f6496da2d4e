// TForm1's GREP commands: the GREP menu (the pattern asked in the GREP dialog), the GREP
// bar (Enter, a word picked from its list, a scope chosen in its option menu) with its
// history of words, the run into the results list, and the tag jumps from a result line to
// the file's line (double click, F8 / Shift+F8, the jump button, the jump after a run). A
// file dragged from the file list onto the results list is GREPped on its own.
//
// A run searches on a worker thread (TGrepRunner): the window repaints, the list grows and
// Ctrl+E cancels while it runs. A second GREP command meanwhile is refused with a beep, so
// no run starts over the files of another.
#include "MainWindow.h"

#include "ComboBox98.h"
#include "CommandGuard.h"
#include "DirTree.h"
#include "Grep.h"
#include "GrepF.h"
#include "GrepHistory.h"
#include "GrepRunner.h"
#include "GrepText.h"
#include "MessageBoxes.h"
#include "PathText.h"
#include "ResultLine.h"
#include "RomajiLoad.h"
#include "SettingsQt.h"
#include "ShellListBox.h"
#include "SjisQt.h"
#include "StringUtils.h"
#include "TagJump.h"
#include "TextListBox.h"
#include "ViewerLogic.h"
#include "XavoMemo.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QToolButton>

namespace xavo {

void TForm1::CreateGrepParts() {
    FGrep = std::make_unique<TGrep>();
    FGrepF = new TGrepF(*FGrep, this);
    FGrepRunner = std::make_unique<TGrepRunner>(*FGrep, *LbGrep);
    FGrepRunner->SetBusyWindow(this);
    FRomaji = new TRomajiLoad(DefaultMigemoDictionary(), this);
    FGrepF->CbMigemo->setToolTip(kRomajiHint);
    connect(FRomaji, &TRomajiLoad::unavailable, this, [this](const QString& hint, bool dropped) {
        DisableRomaji(hint);
        if (dropped) ShowErrorBox(hint);
    });
    if (const QString problem = FRomaji->QuickProblem(); !problem.isEmpty()) DisableRomaji(problem);
}

void TForm1::DisableRomaji(const QString& hint) {
    PmGMigemo->setChecked(false);
    PmGMigemo->setEnabled(false);
    PmGMigemo->setStatusTip(hint);
    FGrepF->CbMigemo->setChecked(false);
    FGrepF->CbMigemo->setEnabled(false);
    FGrepF->CbMigemo->setToolTip(hint);
}

void TForm1::ConnectGrepCommands() {
    for (QAction* item : {MmDirectory, Recursible1, MmOneFile})
        connect(item, &QAction::triggered, this, [this, item] { RunCommand([this, item] { MmOneFileClick(item); }); });
    for (QAction* item : {PmGrepDir, PmGrepRec, PmGrepOne}) Bind(item, &TForm1::PmGrepOneClick);
    Bind(PmGFuzzy, &TForm1::PmGFuzzyClick);
    Bind(PmGMigemo, &TForm1::PmGMigemoClick);
    // Reading the dictionary takes a few tenths of a second: begin when the switch goes on.
    connect(FGrepF->CbMigemo, &QCheckBox::toggled, this, [this](bool on) {
        if (on) FRomaji->Start();
    });
    Bind(GREPBar1, &TForm1::GREPBar1Click);
    Bind(Cancel1, &TForm1::Cancel1Click);
    Bind(MmJumpNext, &TForm1::MmJumpNextClick);
    Bind(MmJumpPrev, &TForm1::MmJumpPrevClick);
    connect(EdGrep, &TComboBox98::itemPicked, this, &TForm1::EdGrepClick);
    connect(LbGrep, &QAbstractItemView::doubleClicked, this, [this] { RunCommand([this] { LbGrepDblClick(); }); });
    connect(FGrepRunner.get(), &TGrepRunner::searchFailed, this, [](const QString& message) { ShowErrorBox(message); });
    connect(FGrepRunner.get(), &TGrepRunner::filesSkipped, this, [](const QStringList& paths) {
        constexpr qsizetype kNamed = 20;
        QString text = QStringLiteral("読み込みが止まったままになるため、次のファイルは検索しませんでした。\n\n") +
                       paths.mid(0, kNamed).join(QLatin1Char('\n'));
        if (paths.size() > kNamed) text += QStringLiteral("\nほか %1 件").arg(paths.size() - kNamed);
        ShowInformationBox(kApplicationTitle, text);
    });
    connect(FGrepRunner.get(), &TGrepRunner::searchDone, this,
            [this](TGrepRunEnd end) { RunCommand([this, end] { GrepDone(end); }); });
}

// ---------------------------------------------------------------------------------------
// Runs

bool TForm1::RefuseWhileGrepRuns() {
    if (!FGrepRunner->IsRunning()) return false;
    QApplication::beep();
    return true;
}

std::optional<TGrepTarget> TForm1::GrepTarget(TGrepScope scope) const {
    return MakeGrepTarget(scope, SLBox->SelectedFileName(), SLBox->Directory(), DTView->Directory(), SLBox->Mask());
}

bool TForm1::RunGrep(const TGrepTarget& target, const TPatternText& pattern, bool fuzzy, bool romaji,
                     std::optional<TBarWord> barWord) {
    PmGFuzzy->setChecked(fuzzy);
    FGrepF->CbFuzzy->setChecked(fuzzy);
    PmGMigemo->setChecked(romaji);
    FGrepF->CbMigemo->setChecked(romaji);
    TGrepRequest request{target, PatternToSjis(pattern), fuzzy};
    FRomaji->DropWaiting();  // the run asked for last is the one made
    if (romaji && !FRomaji->IsLoaded()) {
        // The run starts once the dictionary has been read; the window never waits for it.
        FRomaji->WhenLoaded([this, target, pattern, fuzzy, barWord] {
            RunCommand([&] {
                if (!RefuseWhileGrepRuns()) RunGrep(target, pattern, fuzzy, true, barWord);
            });
        });
        return true;
    }
    if (romaji) request.Pattern = FRomaji->Migemo().Expand(request.Pattern);
    // A bad pattern raises here, before the list or the caption change.
    if (!FGrepRunner->Start(request)) return false;
    FBarWord = std::move(barWord);
    return true;
}

void TForm1::GrepDone(TGrepRunEnd end) {
    const std::optional<TBarWord> word = std::exchange(FBarWord, std::nullopt);
    if (end == TGrepRunEnd::Failed) return;  // searchFailed has shown why
    if (word) AddGrepHistory(*word);
    if (MmJAGrep->isChecked()) {
        // With no line selected after a run, the next-line jump goes to the first hit.
        Memo->SetSelStart(0);
        MmJumpNextClick();
    }
}

void TForm1::AddGrepHistory(const TBarWord& word) {
    std::vector<std::string> history = ComboItems(EdGrep);
    AddGrepHistoryWord(history, word.Text);
    const QString typed = EdGrep->currentText();
    SetComboItems(EdGrep, history);
    if (word.Picked)
        EdGrep->setCurrentIndex(0);
    else
        EdGrep->setEditText(typed);
}

// ---------------------------------------------------------------------------------------
// The GREP menu and the GREP bar

void TForm1::MmOneFileClick(const QAction* sender) {
    const std::optional<TGrepScope> scope = GrepScopeOf(sender->data().toInt());
    const std::optional<TGrepTarget> target = scope ? GrepTarget(*scope) : std::nullopt;
    if (!target || RefuseWhileGrepRuns()) return;
    // The dialog is modal: no other run can start before it closes.
    if (FGrepF->exec() != QDialog::Accepted) return;  // OK has switched the synonym dictionary
    RunGrep(*target, TPatternText(FGrepF->EdRx->text()), FGrepF->CbFuzzy->isChecked(), FGrepF->CbMigemo->isChecked(),
            std::nullopt);
}

bool TForm1::EdGrepKeyPress(const QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) != 0) return false;
    const TPatternText text(EdGrep->currentText());
    if (TrimSpaces(text.Sjis).empty()) return false;  // the bar gets the key
    RunCommand([&] { BarGrep(text, false); });
    return true;
}

void TForm1::EdGrepClick() {
    RunCommand([this] {
        if (RefuseWhileGrepRuns()) return;
        const TPatternText text(EdGrep->currentText());
        const std::optional<TGrepTarget> target = TrimSpaces(text.Sjis).empty() ? std::nullopt : BarTarget();
        // A run chooses the first entry once its word has joined the history; an error
        // leaves the bar alone.
        if (!target || !StartBarGrep(*target, text, true)) EdGrep->setCurrentIndex(0);
    });
}

std::optional<TGrepTarget> TForm1::BarTarget() const {
    const std::optional<TGrepScope> scope = CheckedBarScope(*this);
    return scope ? GrepTarget(*scope) : std::nullopt;
}

bool TForm1::BarGrep(const TPatternText& text, bool picked) {
    const std::optional<TGrepTarget> target = BarTarget();
    if (!target || RefuseWhileGrepRuns()) return false;
    return StartBarGrep(*target, text, picked);
}

bool TForm1::StartBarGrep(const TGrepTarget& target, const TPatternText& text, bool picked) {
    FGrep->SwitchSynonymDic(false);  // the dictionary serves the dialog's GREPs only
    return RunGrep(target, text, PmGFuzzy->isChecked(), PmGMigemo->isChecked(), TBarWord{text.Sjis, picked});
}

void TForm1::PmGrepOneClick() {
    // The radio group has checked the chosen scope; a word in the bar is searched at once.
    const TPatternText text(EdGrep->currentText());
    if (!TrimSpaces(text.Sjis).empty()) BarGrep(text, false);
}

void TForm1::PmGFuzzyClick() { FGrepF->CbFuzzy->setChecked(PmGFuzzy->isChecked()); }

void TForm1::PmGMigemoClick() {
    FGrepF->CbMigemo->setChecked(PmGMigemo->isChecked());  // which starts reading the dictionary
}

void TForm1::GREPBar1Click() {
    if (PnTb->isVisibleTo(this)) EdGrep->setFocus();
}

void TForm1::Cancel1Click() { FGrepRunner->Cancel(); }

// ---------------------------------------------------------------------------------------
// Tag jumps

void TForm1::TagJump(int index) {
    const TTagJumpTarget target = ParseResultLine(LbGrep->Item(index));
    // A file that is gone: it is said, and the jump acts on the file shown.
    if (!OpenFile(target.File) && !IsShowableFile(target.File))
        ShowResultMessage(QStringLiteral("ファイルが見つかりません: ") + PathToQString(target.File));
    FFindState.SetFromTagJump(target.Text);
    ShowTagJumpLine(*Memo, target, FFindState.Options);
}

void TForm1::MmJumpNextClick() {
    const int index = NextJumpIndex(LbGrep->Count(), LbGrep->ItemIndex());
    if (index < 0) return;
    LbGrep->SetItemIndex(index);
    TagJump(index);
}

void TForm1::MmJumpPrevClick() {
    const int index = PrevJumpIndex(LbGrep->Count(), LbGrep->ItemIndex());
    if (index < 0) return;
    LbGrep->SetItemIndex(index);
    TagJump(index);
}

void TForm1::LbGrepDblClick() {
    const int index = LbGrep->ItemIndex();
    if (index >= 0) TagJump(index);
}

void TForm1::TbJumpMouseUp(Qt::MouseButton button) {
    if (button == Qt::RightButton)
        MmJumpPrevClick();
    else
        MmJumpNextClick();
}

bool TForm1::LbGrepDragOver(const QDropEvent* event) const {
    return IsFileListDrag(event->mimeData()) && SLBox->Count() > 0;
}

void TForm1::LbGrepDragDrop() {
    OpenFile(SLBox->SelectedFileName());
    MmOneFile->trigger();
}

}  // namespace xavo
