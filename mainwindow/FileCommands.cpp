// TForm1's file commands: showing a file (OpenFile), the file mask, choosing files in the
// list and stepping through it, a file dropped on the text view, saving, edit mode, the
// plain-text switch and the Edit menu's clipboard commands.
//
// Unsaved edits are never dropped silently: showing another file, re-reading the shown one
// and closing the window ask first (ConfirmUnsavedEdits). Saving replaces the file through
// the text view's atomic write, so a failed save leaves the old file as it was; it asks
// first before writing a '?', a character other programs cannot read back in the file's
// encoding, or bytes that would leave a UTF-8 file ill-formed.
#include "MainWindow.h"

#include "CommandGuard.h"
#include "ComboBox98.h"
#include "ContextMenuEx.h"
#include "DirTree.h"
#include "MessageBoxes.h"
#include "PathText.h"
#include "Paths.h"
#include "ShellListBox.h"
#include "SjisCodec.h"
#include "SjisQt.h"
#include "TextFileIo.h"
#include "ViewerLogic.h"
#include "XavoMemo.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include <unistd.h>

namespace xavo {
namespace {

QString CaptionFor(const std::string& path) { return QStringLiteral("Xavoline ") + PathToQString(path); }

}  // namespace

// ---------------------------------------------------------------------------------------
// Showing a file

bool TForm1::OpenFile(const std::string& path) { return LoadFile(path, true); }

bool TForm1::LoadFile(const std::string& requested, bool askAboutEdits) {
    if (requested.empty()) return false;
    const std::string path = AbsolutePath(requested);
    if (path == FCurrentFile) return true;
    if (!IsShowableFile(path)) return false;
    if (askAboutEdits && !ConfirmUnsavedEdits()) return false;
    {
        const TBusyCaption busy(this, QStringLiteral("ファイル読み込み中..."), CaptionFor(path));
        // A choice made in the encoding menu holds only while its file is read again.
        const bool chosenFor = path == FEncodingChoiceFile;
        Memo->LoadFromFile(path, chosenFor ? FEncodingChoice : std::nullopt);
        FCurrentFile = path;
        if (!chosenFor) {
            FEncodingChoice.reset();
            FEncodingChoiceFile.clear();
        }
        ShowEncoding();
        const std::string directory = WithTrailingSlash(ParentDirectoryOf(path));
        if (::chdir(directory.c_str()) == 0) DTView->SetDirectory(directory);
    }
    emit fileOpened(PathToQString(path));
    Memo->setFocus();
    return true;
}

bool TForm1::HasUnsavedEdits() const {
    // A text still arriving in the background is not edited: the view is read-only meanwhile.
    return !Memo->IsLoading() && Memo->document()->isModified();
}

bool TForm1::ConfirmUnsavedEdits() {
    if (!HasUnsavedEdits()) return true;
    const QString name = FCurrentFile.empty() ? QStringLiteral("テキスト") : PathToQString(FCurrentFile);
    const QMessageBox::StandardButton answer =
        FDialogs.Ask(this, kApplicationTitle, QStringLiteral("%1 は変更されています。\n保存しますか？").arg(name),
                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::No) return true;
    if (answer != QMessageBox::Yes) return false;
    std::string target = FCurrentFile;
    if (target.empty()) {
        const std::optional<std::string> chosen = FDialogs.SaveFileName(this, target);
        if (!chosen) return false;
        target = *chosen;
    }
    try {
        return WriteText(target);
    } catch (const std::exception& error) {
        ShowErrorBox(error);  // the edits stay, and so does whatever was about to replace them
        return false;
    }
}

void TForm1::SetFileMask(const QString& mask, bool ask) {
    QString chosen = mask;
    if (ask) {
        const std::optional<QString> entered =
            FDialogs.InputText(this, QStringLiteral("ファイルマスクの変更"), QStringLiteral("新しいファイルマスクを入力してください"),
                               PathToQString(SLBox->Mask()));
        if (!entered) return;
        chosen = *entered;
    }
    SLBox->SetMask(PathFromQString(chosen));
    SBPanel0->setText(chosen);
    FKeep.Add(QStringToSjis(chosen));
    SLBox->viewport()->update();
}

// ---------------------------------------------------------------------------------------
// Choosing files

bool TForm1::OpenFileFromList(const std::string& path, int restoreIndex) {
    if (OpenFile(path)) return true;
    // The user kept unsaved edits: the list goes back to where it was, so that F9 and
    // Shift+F9 go on from the file still shown.
    if (IsShowableFile(path) && AbsolutePath(path) != FCurrentFile) SLBox->SetItemIndex(restoreIndex);
    return false;
}

void TForm1::SLBoxChange() {
    // A file chosen with the arrow keys is shown and the list keeps the focus, so the next
    // key goes on in the list; a click gives the focus to the text view.
    const bool byKeyboard = SLBox->ChoosingByKeyboard();
    OpenFileFromList(SLBox->SelectedFileName(), SLBox->IndexOf(FCurrentFile));
    if (byKeyboard) SLBox->setFocus();
}

bool TForm1::SLBoxRightMouseDown(const QPoint& position) {
    // The menu is for the entry under the mouse, selected while the menu shows (nothing is
    // opened); then the list goes back to where it was, so F9 goes on from there.
    const QModelIndex clicked = SLBox->indexAt(position);
    if (!clicked.isValid()) return true;
    const int index = SLBox->ItemIndex();
    const std::string path = SLBox->Items()[static_cast<std::size_t>(clicked.row())];
    SLBox->SetItemIndex(clicked.row());
    try {
        CmEx->ShowFileMenu(SLBox->viewport(), path, position.x(), position.y());
    } catch (...) {
        // A failing shell menu must not disturb the list; its selection is put back below.
    }
    SLBox->SetItemIndex(index);
    return true;
}

void TForm1::MmNextFileClick() {
    const int current = SLBox->ItemIndex();
    const int next = NextFileIndex(current, SLBox->Count());
    if (next < 0) return;
    SLBox->SetItemIndex(next);
    OpenFileFromList(SLBox->Items()[static_cast<std::size_t>(next)], current);
}

void TForm1::MmPrevFileClick() {
    const int current = SLBox->ItemIndex();
    const int previous = PrevFileIndex(current, SLBox->Count());
    if (previous < 0) return;
    SLBox->SetItemIndex(previous);
    OpenFileFromList(SLBox->Items()[static_cast<std::size_t>(previous)], current);
}

void TForm1::MmMaskClick() { SetFileMask(QString(), true); }

void TForm1::FKeepSelect(const std::string& mask) { SetFileMask(SjisToQString(mask), false); }

void TForm1::DdMemoFileDrop(const std::vector<std::string>& files) {
    if (files.empty()) return;
    const std::string& first = files.front();
    SetFileMask(PathToQString(MaskForFile(first)), false);
    OpenFile(first);
}

// ---------------------------------------------------------------------------------------
// Saving and the modes

void TForm1::SelectCharacterAt(int position) {
    Memo->SetSelStart(position);
    Memo->SetSelLength(1);
    if (Memo->SelLength() == 0) Memo->SetSelLength(2);  // a double-byte character
}

bool TForm1::ConfirmUnencodable() {
    const int at = Memo->FindUnencodable();
    if (at < 0) return true;
    SelectCharacterAt(at);
    return FDialogs.Ask(this, kApplicationTitle,
                        QStringLiteral("%1 で保存できない文字があります（選択した文字）。\n"
                                       "このまま保存すると、その文字は「?」になります。保存しますか？")
                            .arg(QString::fromStdString(EncodingName(Memo->Encoding()))),
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

bool TForm1::ConfirmStandardCharacters() {
    const TFileEncoding encoding = Memo->Encoding();
    if (encoding.Kind != TEncoding::EucJp && encoding.Kind != TEncoding::Jis) return true;
    // The view's Shift-JIS holds every character that is an extension there.
    const std::u16string text = DecodeSjis(Memo->Text());
    const std::size_t at = FindNonStandard(text, encoding);
    if (at == std::u16string::npos) return true;
    SelectCharacterAt(static_cast<int>(SjisLength(std::u16string_view(text).substr(0, at))));
    return FDialogs.Ask(this, kApplicationTitle,
                        QStringLiteral("%1 の規格にない文字（機種依存文字）があります（選択した文字）。\n"
                                       "このまま保存すると、ほかのプログラムでは読めないことがあります。保存しますか？")
                            .arg(QString::fromStdString(EncodingName(encoding))),
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

bool TForm1::ConfirmUtf8Kept(const std::string& path) {
    const TFileEncoding encoding = Memo->Encoding();
    // Edits of UTF-8 are UTF-8; a file that is no UTF-8 text has nothing to lose.
    if (encoding.Kind == TEncoding::Utf8 || !IsUtf8TextFile(path)) return true;
    // The view's Shift-JIS holds all but '?' of what decides it.
    const std::string text = Memo->Text();
    const bool wellFormed =
        TUtf8Check(encoding.Kind == TEncoding::Sjis ? text : EncodeText(DecodeSjis(text), encoding)).WellFormed();
    return wellFormed ||
           FDialogs.Ask(this, kApplicationTitle,
                        QStringLiteral("%1 は UTF-8 のテキストですが、%2 で保存すると UTF-8 として正しくない"
                                       "バイトが書き込まれます。保存しますか？")
                            .arg(PathToQString(path), QString::fromStdString(EncodingName(encoding))),
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

bool TForm1::WriteText(const std::string& path) {
    if (path.empty()) throw EXavoMemoError("保存するファイルの名前がありません");
    if (Memo->ReadAsRichText() &&
        FDialogs.Ask(this, kApplicationTitle, QStringLiteral("書式情報が失われます。テキストとして保存しますか？"),
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return false;
    if (!ConfirmUnencodable() || !ConfirmStandardCharacters() || !ConfirmUtf8Kept(path)) return false;
    // Saving always writes plain text, whatever form the file was read in.
    const bool plainText = Memo->PlainText();
    Memo->SetPlainText(true);
    try {
        Memo->SaveToFile(path);
    } catch (...) {
        Memo->SetPlainText(plainText);
        throw;
    }
    Memo->SetPlainText(plainText);
    Memo->ForgetRichText();  // what is on disk now is plain text
    return true;
}

bool TForm1::SaveCommand() {
    if (!WriteText(FCurrentFile)) return false;
    if (MmEditMode->isChecked()) MmEditMode->trigger();
    return true;
}

void TForm1::MmSaveClick() { SaveCommand(); }

void TForm1::MmSaveAsClick() {
    if (const std::optional<std::string> path = FDialogs.SaveFileName(this, FCurrentFile)) {
        // Only a written file becomes the one Ctrl+S writes to.
        const std::string target = AbsolutePath(*path);
        if (!WriteText(target)) return;
        if (FEncodingChoice && FEncodingChoiceFile == FCurrentFile) FEncodingChoiceFile = target;  // written in it
        FCurrentFile = target;
        setWindowTitle(CaptionFor(target));
    }
    if (MmEditMode->isChecked()) MmEditMode->trigger();
}

void TForm1::FollowMove(const std::string& from, const std::string& to) {
    const auto follow = [&](std::string& path) {
        if (path == from) path = to;
        else if (from.ends_with('/') && path.starts_with(from)) path = to + path.substr(from.size());
        else return false;
        return true;
    };
    follow(FEncodingChoiceFile);
    if (follow(FCurrentFile)) setWindowTitle(CaptionFor(FCurrentFile));
}

void TForm1::MmEditModeClick() {
    // The check mark has already switched (menu, Ctrl+N or the button, which triggers it).
    const bool edit = MmEditMode->isChecked();
    SbReadOnly->setChecked(edit);
    Memo->SetReadOnly(!edit);
    MmCut->setEnabled(edit);
    MmUndo->setEnabled(edit);
    MmReplace->setEnabled(edit);
}

void TForm1::MmPlainTextClick() {
    if (!ConfirmUnsavedEdits()) {
        MmPlainText->setChecked(!MmPlainText->isChecked());  // cancelled: the switch stays as it was
        return;
    }
    Memo->SetPlainText(MmPlainText->isChecked());
    if (MmPlainText->isChecked()) ApplyMemoFont();  // undo any font a rich-text file set
    const std::string path = std::exchange(FCurrentFile, std::string());
    LoadFile(path, false);
}

// ---------------------------------------------------------------------------------------
// The Edit menu

void TForm1::Edit1Click() {
    MmPaste->setEnabled(QApplication::focusWidget() != Memo || MmEditMode->isChecked());
}

void TForm1::MmUndoClick() {
    auto* memo = qobject_cast<TXavoMemo*>(QApplication::focusWidget());
    if (memo == nullptr || !memo->CanUndo()) return;
    memo->Undo();
    TmRefresh->start();
}

void TForm1::MmCutClick() {
    Memo->CutToClipboard();
    TmRefresh->start();
}

void TForm1::MmCopyClick() { Memo->CopyToClipboard(); }

void TForm1::MmPasteClick() {
    QWidget* focus = QApplication::focusWidget();
    auto* combo = qobject_cast<QComboBox*>(focus);
    if (combo == nullptr && focus != nullptr) combo = qobject_cast<QComboBox*>(focus->parentWidget());
    if (combo != nullptr && (combo == focus || combo->lineEdit() == focus)) {
        // A drop-down list has no edit field to paste into.
        if (combo->isEditable()) combo->lineEdit()->insert(QApplication::clipboard()->text());
    } else if (auto* edit = qobject_cast<QLineEdit*>(focus)) {
        edit->paste();
    } else if (auto* memo = qobject_cast<TXavoMemo*>(focus)) {
        if (memo->ReadOnly()) return;
        memo->PasteFromClipboard();
        TmRefresh->start();
    }
}

void TForm1::TmRefreshTimer() {
    TmRefresh->stop();
    Memo->viewport()->update(Memo->FormatRect());
}

}  // namespace xavo
