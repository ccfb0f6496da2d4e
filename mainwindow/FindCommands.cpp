// TForm1's find and replace commands: the find dialog and the repeat keys (F3, Shift+F3),
// find across files (F4, Shift+F4: each next or previous listed file loaded and searched
// until the text turns up), the replace dialog, and the batch replace into an output tree.
//
// The searching itself is the text view's FindText; replacing goes through ViewReplace and
// BatchReplace. A batch never leaves half a file: every output is written beside its place
// and renamed into it, and never with a '?' for a character of the replacement that the
// file's encoding lacks: such a file is written as it is and named after the batch. It
// reports its progress in status panel 1, keeps the window painted and stops between files
// on Escape or Ctrl+E, keeping the outputs already written.
#include "MainWindow.h"

#include "BatchReplace.h"
#include "BrowseDialog.h"
#include "CommandGuard.h"
#include "DirTree.h"
#include "EncodedText.h"
#include "FindDialogs.h"
#include "FmRepl.h"
#include "MessageBoxes.h"
#include "PathText.h"
#include "Paths.h"
#include "ShellListBox.h"
#include "SjisQt.h"
#include "TextFileIo.h"
#include "ViewReplace.h"
#include "ViewerLogic.h"
#include "WaitCursor.h"
#include "XavoMemo.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>
#include <optional>

namespace xavo {
namespace {

constexpr qint64 kProgressIntervalMs = 50;  // how often the status panel is redrawn

// A batch source whose encoding cannot store the replacement text.
struct TUnreplacedFile {
    std::string Path;
    TFileEncoding Encoding;
};

// Names, after a batch, the sources it wrote out unchanged because of their encoding.
void ReportUnreplaced(const std::vector<TUnreplacedFile>& files) {
    if (files.empty()) return;
    constexpr std::size_t kNamed = 20;
    QString text = QStringLiteral("置換後の文字列に、ファイルの文字コードで表せない文字があるため、"
                                  "次のファイルは置換せずにそのまま書き出しました。\n");
    for (std::size_t i = 0; i < std::min(files.size(), kNamed); ++i)
        text += QStringLiteral("\n%1（%2）").arg(PathToQString(files[i].Path), QString::fromStdString(EncodingName(files[i].Encoding)));
    if (files.size() > kNamed) text += QStringLiteral("\nほか %1 件").arg(files.size() - kNamed);
    ShowInformationBox(kApplicationTitle, text);
}

// Calls Handler with the button released over Target (a tool button's mouse-up).
class TMouseUpFilter : public QObject {
public:
    TMouseUpFilter(QWidget* target, std::function<void(Qt::MouseButton)> handler)
        : QObject(target), FTarget(target), FHandler(std::move(handler)) {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == FTarget && event->type() == QEvent::MouseButtonRelease && FTarget->isEnabled()) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (FTarget->rect().contains(mouse->position().toPoint())) {
                const Qt::MouseButton button = mouse->button();
                RunCommand([&] { FHandler(button); });
            }
        }
        return false;
    }

private:
    QWidget* FTarget;
    std::function<void(Qt::MouseButton)> FHandler;
};

// While a batch runs: the window is painted but takes no input; Escape or Ctrl+E asks the
// batch to stop after the file at hand, and closing the window waits for the batch.
class TBatchGuard : public QObject {
public:
    explicit TBatchGuard(QWidget* window) : FWindow(window) { qApp->installEventFilter(this); }
    ~TBatchGuard() override { qApp->removeEventFilter(this); }
    TBatchGuard(const TBatchGuard&) = delete;
    TBatchGuard& operator=(const TBatchGuard&) = delete;

    bool Cancelled() const { return FCancelled; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
            if (key->key() == Qt::Key_Escape || (key->key() == Qt::Key_E && modifiers == Qt::ControlModifier))
                FCancelled = true;
            key->accept();  // no short-cut and no control sees the key meanwhile
            return true;
        }
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Drop:
            return true;
        case QEvent::Close:
            if (watched == FWindow) {
                event->ignore();
                return true;
            }
            return false;
        default:
            return false;
        }
    }

private:
    QWidget* FWindow;
    bool FCancelled = false;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Parts and wiring

void TForm1::CreateFindParts() {
    FindDialog = new TFindDialog(FFindState, this);
    ReplaceDialog = new TReplaceDialog(this);
    BrDlg = new TBrowseDialog(this);
    BrDlg->SetCaption(QStringLiteral("置換結果の出力先を指定してください"));
    // A match stays visible while a dialog is in front.
    Memo->SetHideSelection(false);
}

void TForm1::ConnectFindCommands() {
    Bind(MmFind, &TForm1::MmFindClick);
    Bind(MmFindNext, &TForm1::MmFindDwClick);
    Bind(MmFindPrev, &TForm1::MmFindPrevClick);
    Bind(MmFindExNext, &TForm1::MmFindExNextClick);
    Bind(MmFindExPrev, &TForm1::MmFindExPrevClick);
    Bind(MmReplace, &TForm1::MmReplaceClick);
    Bind(ReplaceEx1, &TForm1::ReplAll);
    connect(SbFind, &QToolButton::clicked, MmFind, &QAction::trigger);
    // The button stays usable in view mode; the command itself refuses there.
    connect(SbReplace, &QToolButton::clicked, this, [this] { RunCommand([this] { MmReplaceClick(); }); });
    // Through the menu items, so that whatever handles them handles the buttons too.
    new TMouseUpFilter(SbFindDw, [this](Qt::MouseButton button) {
        (button == Qt::RightButton ? MmFindPrev : MmFindNext)->trigger();
    });
    new TMouseUpFilter(SbFindEx, [this](Qt::MouseButton button) {
        (button == Qt::RightButton ? MmFindExPrev : MmFindExNext)->trigger();
    });
    connect(FindDialog, &TFindDialog::findNextPressed, this, [this] { RunCommand([this] { Find(FindDialog); }); });
    connect(ReplaceDialog, &TReplaceDialog::findNextPressed, this, [this] { RunCommand([this] { Find(ReplaceDialog); }); });
    connect(ReplaceDialog, &TReplaceDialog::replacePressed, this, [this] { RunCommand([this] { ReplaceDialogReplace(); }); });
}

void TForm1::Beep() {
    if (FDialogs.Beep)
        FDialogs.Beep();
    else
        QApplication::beep();
}

void TForm1::NotFound() {
    Beep();
    ShowAppHint(QStringLiteral("見つかりません"));
}

// ---------------------------------------------------------------------------------------
// Find

void TForm1::MmFindClick() {
    FindDialog->ShowState();
    FindDialog->show();
    FindDialog->raise();
    FindDialog->activateWindow();
}

void TForm1::Find(QObject* sender) {
    bool found = false;
    if (sender == FindDialog) {
        // Its button was pressed, so it is the window in front; the replace dialog stays.
        FindDialog->close();
        found = !FFindState.Unencodable && Memo->FindText(FFindState.Text, FFindState.Options);
    } else if (sender == ReplaceDialog) {
        found = Memo->FindText(ReplaceDialog->FindText(), ReplaceDialog->Options());
    }
    if (!found) NotFound();
}

bool TForm1::ShowListedFileForFind(int index) {
    const std::string path = SLBox->Items()[static_cast<std::size_t>(index)];
    SLBox->SetItemIndex(index);
    if (OpenFile(path)) return true;
    // A file that has gone is passed over; one the user kept from being loaded (unsaved
    // edits, Cancel) ends the walk.
    return !IsShowableFile(AbsolutePath(path));
}

void TForm1::MmFindDwClick() {
    for (;;) {
        if (FFindState.Text.empty()) return;
        FFindState.Options |= frDown;
        if (FindDialog->isVisible()) FindDialog->ShowState();
        if (!FFindState.Unencodable && Memo->FindText(FFindState.Text, FFindState.Options)) return;
        const int index = SLBox->ItemIndex();
        if (!FindAcross || index >= SLBox->Count() - 1) break;
        if (!ShowListedFileForFind(index + 1)) return;
    }
    NotFound();
}

void TForm1::MmFindPrevClick() {
    for (;;) {
        if (FFindState.Text.empty()) return;
        FFindState.Options &= ~frDown;
        if (FindDialog->isVisible()) FindDialog->ShowState();
        if (!FFindState.Unencodable && Memo->FindText(FFindState.Text, FFindState.Options)) return;
        const int index = SLBox->ItemIndex();
        if (!FindAcross || index <= 0) break;
        const std::string shown = FCurrentFile;
        if (!ShowListedFileForFind(index - 1)) return;
        // A newly shown file is searched backwards from its very end.
        if (FCurrentFile != shown) Memo->SetSelStart(Memo->GetTextLen());
    }
    NotFound();
}

void TForm1::MmFindExNextClick() {
    FindAcross = true;
    const auto reset = qScopeGuard([this] { FindAcross = false; });
    MmFindNext->trigger();
}

void TForm1::MmFindExPrevClick() {
    FindAcross = true;
    const auto reset = qScopeGuard([this] { FindAcross = false; });
    MmFindPrev->trigger();
}

// ---------------------------------------------------------------------------------------
// Replace

void TForm1::MmReplaceClick() {
    if (Memo->ReadOnly()) return;
    ReplaceDialog->show();
    ReplaceDialog->raise();
    ReplaceDialog->activateWindow();
}

void TForm1::ReplaceDialogReplace() {
    const TFindOptions options = ReplaceDialog->Options();
    if (options & frReplaceAll) ReplaceDialog->close();
    // The dialog may outlive edit mode; the view then stays as it is.
    if (Memo->ReadOnly()) {
        Beep();
        return;
    }
    std::size_t unencodable = 0;
    const std::string find = QStringToSjis(ReplaceDialog->FindText(), unencodable);
    const QString replacement = ReplaceDialog->ReplaceText();
    if (unencodable > 0) {
        if (options & frReplace) Beep();
        return;
    }
    if (options & frReplaceAll) {
        const std::int64_t count = ReplaceAllShown(find, replacement, options);
        ShowAppHint(count < 0 ? QStringLiteral("すべて置換を中止しました（テキストは元のままです）")
                              : QStringLiteral("%1 箇所を置換しました").arg(count));
        TmRefresh->start();
        return;
    }
    if (SelectionMatches(*Memo, ReplaceDialog->FindText())) ReplaceSelectionInView(*Memo, replacement);
    const bool found = Memo->FindText(find, options);
    if (!found && (options & frReplace)) Beep();
}

std::int64_t TForm1::ReplaceAllShown(std::string_view find, const QString& replacement, TFindOptions options) {
    // A long pass says how far it has come once it has run a while, keeps the window
    // painted and takes Escape (or Ctrl+E) to stop; stopped, the text is as it was.
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<TBatchGuard> guard;
    std::optional<TWaitCursor> wait;
    qint64 shownAt = -1;
    return ReplaceAllInView(*Memo, find, replacement, options, [&](std::int64_t done, std::int64_t length) {
        if (clock.elapsed() < FReplaceProgressDelayMs) return true;
        if (!guard) {
            guard = std::make_unique<TBatchGuard>(this);
            wait.emplace();
        }
        if (shownAt < 0 || clock.elapsed() - shownAt >= kProgressIntervalMs) {
            ShowAppHint(QStringLiteral("すべて置換中... %1%（Esc で中止）").arg(length > 0 ? done * 100 / length : 100));
            shownAt = clock.elapsed();
        }
        QCoreApplication::processEvents();
        return !guard->Cancelled();
    });
}

// ---------------------------------------------------------------------------------------
// Batch replace

void TForm1::WriteViewOutput(const std::string& path, bool richText) {
    const QTemporaryDir scratch;
    if (!scratch.isValid()) throw EBatchReplaceError(path + " に書き込めません");
    const std::string staged = PathFromQString(scratch.path()) + "/output";
    const bool plainText = Memo->PlainText();
    const bool modified = Memo->IsModified();
    Memo->SetPlainText(!richText);
    const auto restore = qScopeGuard([&] {
        Memo->SetPlainText(plainText);
        Memo->SetModified(modified);
    });
    Memo->SaveToFile(staged);
    std::string bytes;
    if (!ReadFileBytes(staged, bytes)) throw EBatchReplaceError(path + " に書き込めません");
    CreateParentDirectories(path);
    WriteOutputFile(path, bytes);
}

void TForm1::ReplAll() {
    if (FmRepl == nullptr) FmRepl = new TFmRepl(this);
    const bool accepted = FDialogs.Execute ? FDialogs.Execute(*FmRepl) : FmRepl->exec() == QDialog::Accepted;
    if (!accepted) return;
    std::size_t unencodable = 0;
    const QString findText = FmRepl->EdFind->text();
    const std::string find = QStringToSjis(findText, unencodable);
    if (find.empty()) {
        // It would insert the replacement at the start of every file.
        ShowInformationBox(kApplicationTitle, QStringLiteral("置換前の文字列を入力してください。"));
        return;
    }
    if (unencodable > 0) {
        ShowInformationBox(kApplicationTitle, QStringLiteral("置換前の文字列に Shift-JIS で表せない文字があります。"));
        return;
    }
    const bool recurse = FmRepl->CbSubDir->isChecked();
    if (!(FDialogs.BrowseFolder ? FDialogs.BrowseFolder(*BrDlg) : BrDlg->Execute())) return;

    const std::string sourceDirectory = WithTrailingSlash(DTView->Directory());
    const std::string outputRoot = BatchOutputRoot(BrDlg->Directory());
    if (IsSameDirectory(outputRoot.empty() ? "/" : outputRoot, sourceDirectory) &&
        (FDialogs.AskWarning ? FDialogs.AskWarning : FDialogs.Ask)(
            this, kApplicationTitle, QStringLiteral("元のファイルを上書きします。よろしいですか？"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;

    const QString replacement = FmRepl->EdRepl->text();
    TFindOptions options = frDown | frReplaceAll;
    if (FmRepl->CbMatchCase->isChecked()) options |= frMatchCase;
    ReplaceDialog->SetFindText(findText);
    ReplaceDialog->SetReplaceText(replacement);
    ReplaceDialog->SetOptions(options);

    // Loads Path from its file even when it is the file shown (whose text may be edited).
    const auto ShowFreshly = [this](const std::string& path) {
        FCurrentFile.clear();
        LoadFile(path, false);
        Memo->SetSelStart(0);
    };
    const std::vector<std::string> files = CollectBatchFiles(sourceDirectory, SLBox->Mask(), recurse);
    // The first file may be the one shown, whose text (edited or not) is taken as it
    // stands; any other shown text gives way to the last file at the end.
    const bool firstIsShown = !files.empty() && files.front() == FCurrentFile;
    const bool keepEdits = firstIsShown && HasUnsavedEdits();
    if (!files.empty() && HasUnsavedEdits() && !(firstIsShown && files.size() == 1) && !ConfirmUnsavedEdits())
        return;

    std::string viewHolds;  // the source whose replaced text the view shows
    std::size_t done = 0;
    bool cancelled = false;
    // Sources the replacement cannot go into are written as they are, never with a '?'.
    std::vector<TUnreplacedFile> unreplaced;
    const auto isUnreplaced = [&](const std::string& path) { return !unreplaced.empty() && unreplaced.back().Path == path; };
    // Replaces in the shown text unless its output (plain text in the text's encoding; RTF
    // holds any character) could not store the replacement.
    const auto replaceInView = [&](const std::string& path, bool richText) {
        if (richText || FindUnencodableIn(View(replacement), Memo->Encoding()) == std::u16string_view::npos)
            ReplaceAllInView(*Memo, find, replacement, options);
        else if (OccursInView(*Memo, find, options))
            unreplaced.push_back({path, Memo->Encoding()});
    };
    try {
        TBusyCaption busy(this, QStringLiteral("一括置換中..."));
        const TBatchGuard guard(this);
        QElapsedTimer sinceShown;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (i == 0 || i + 1 == files.size() || sinceShown.hasExpired(kProgressIntervalMs)) {
                ShowAppHint(QStringLiteral("一括置換中 %1/%2").arg(i + 1).arg(files.size()));
                sinceShown.start();
            }
            QCoreApplication::processEvents();
            if (guard.Cancelled()) {
                cancelled = true;
                break;
            }
            const std::string& path = files[i];
            const std::string out = BatchOutputPath(sourceDirectory, path, outputRoot);
            if (i == 0 && firstIsShown) {
                std::string head;
                ReadFileBytes(path, head);
                const bool richText = ReadsAsRichText(head, Memo->PlainText());
                replaceInView(path, richText);
                WriteViewOutput(out, richText);
                viewHolds = path;
            } else {
                std::string bytes;
                if (!ReadFileBytes(path, bytes)) throw EBatchReplaceError(path + " : " + kStreamReadError);
                if (ReadsAsRichText(bytes, Memo->PlainText())) {
                    // Rich text goes through the view, which knows its formatting.
                    ShowFreshly(path);
                    replaceInView(path, true);
                    WriteViewOutput(out, true);
                    viewHolds = path;
                    busy.SetFinalCaption(windowTitle());
                } else {
                    const TByteReplacement replaced = ReplaceAllInFile(bytes, find, View(replacement), options);
                    if (replaced.Unencodable) unreplaced.push_back({path, replaced.Encoding});
                    CreateParentDirectories(out);
                    WriteOutputFile(out, replaced.Text);
                }
            }
            ++done;
        }
    } catch (...) {
        ReportUnreplaced(unreplaced);
        throw;
    }

    // The last file done stays shown with its replaced text (written to the output); a
    // stopped batch is not replaced again in the view.
    if (done > 0 && viewHolds != files[done - 1]) {
        ShowFreshly(files[done - 1]);
        if (!cancelled && !isUnreplaced(files[done - 1])) ReplaceAllInView(*Memo, find, replacement, options);
        Memo->SetModified(false);
    } else if (done > 0 && keepEdits && viewHolds == FCurrentFile) {
        Memo->SetModified(true);  // the edits are still not in the source file
    }
    DTView->SetDirectory(sourceDirectory);
    ShowAppHint(cancelled ? QStringLiteral("一括置換を中止しました (%1/%2)").arg(done).arg(files.size())
                          : QStringLiteral("一括置換しました (%1 ファイル)").arg(done));
    ReportUnreplaced(unreplaced);
}

}  // namespace xavo
