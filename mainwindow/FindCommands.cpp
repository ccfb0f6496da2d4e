// TForm1's find and replace commands: the find dialog and the repeat keys (F3, Shift+F3),
// find across files (F4, Shift+F4: each next or previous listed file loaded and searched
// until the text turns up), the replace dialog, and the batch replace into an output tree.
//
// The searching itself is the text view's FindText; replacing goes through ViewReplace and
// BatchReplace. A batch asks once before it replaces any file, writes each output as a
// save does (never half a file; owner, group, mode and links kept), leaves a source without
// an occurrence untouched, and never writes a '?' or a vendor extension for a character of
// the replacement, nor bytes that make a UTF-8 file ill-formed: such files, and sources
// that vanish meanwhile, are named after the batch. It leaves the view showing a source as
// it is on disk. It reports its progress in status panel 1, keeps the window painted and
// stops between files on Escape or Ctrl+E, keeping the outputs already written.
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
#include <QToolButton>

#include <functional>

namespace xavo {
namespace {

constexpr qint64 kProgressIntervalMs = 50;  // how often the status panel is redrawn

// Why a batch left a source as it was.
enum class TSkipReason { Unencodable, BreaksUtf8, Vanished };

struct TSkippedFile {
    std::string Path;
    TSkipReason Reason;
    TFileEncoding Encoding;
};

// Names, after a batch, the sources it did not replace, by reason.
void ReportSkipped(const std::vector<TSkippedFile>& files) {
    if (files.empty()) return;
    constexpr std::size_t kNamed = 20;
    const struct {
        TSkipReason Reason;
        QString Text;
    } sections[] = {
        {TSkipReason::Unencodable, QStringLiteral("置換後の文字列に、ファイルの文字コードで表せない文字（またはほかのプログラムで"
                                                  "読めない機種依存文字）があるため、次のファイルは置換しませんでした。")},
        {TSkipReason::BreaksUtf8, QStringLiteral("UTF-8 のテキストに UTF-8 として正しくないバイトが書き込まれるため、"
                                                 "次のファイルは置換しませんでした。")},
        {TSkipReason::Vanished, QStringLiteral("一括置換の途中で見つからなくなったため、次のファイルは置換できませんでした。")},
    };
    QStringList parts;
    for (const auto& section : sections) {
        QString text = section.Text + QLatin1Char('\n');
        std::size_t count = 0;
        for (const TSkippedFile& file : files) {
            if (file.Reason != section.Reason || ++count > kNamed) continue;
            text += QLatin1Char('\n') + PathToQString(file.Path);
            if (file.Reason != TSkipReason::Vanished)
                text += QStringLiteral("（%1）").arg(QString::fromStdString(EncodingName(file.Encoding)));
        }
        if (count > kNamed) text += QStringLiteral("\nほか %1 件").arg(count - kNamed);
        if (count > 0) parts << text;
    }
    ShowInformationBox(kApplicationTitle, parts.join(QStringLiteral("\n\n")));
}

// Sets the view's unsaved-edit flag whatever it was (the byte view follows the document's
// flag only when that changes).
void SetModified(TXavoMemo& memo, bool modified) {
    memo.document()->setModified(!modified);
    memo.document()->setModified(modified);
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
    if (!found) Beep();
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
    Beep();
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
    Beep();
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
    // The byte view of a large file holds Shift-JIS: said once here rather than a beep per
    // occurrence, which a status hint under the mouse would hide.
    if (Memo->ShowsBytes() && FindUnencodable(View(replacement)) != std::u16string_view::npos) {
        ShowInformationBox(kApplicationTitle, QStringLiteral("置換後の文字列に Shift-JIS で表せない文字があります。"));
        return;
    }
    if (options & frReplaceAll) {
        ReplaceAllInView(*Memo, find, replacement, options);
        TmRefresh->start();
        return;
    }
    if (SelectionMatches(*Memo, ReplaceDialog->FindText())) ReplaceSelectionInView(*Memo, replacement);
    const bool found = Memo->FindText(find, options);
    if (!found && (options & frReplace)) Beep();
}

// ---------------------------------------------------------------------------------------
// Batch replace

std::string TForm1::ViewOutputBytes(const std::string& path, bool richText) {
    const QTemporaryDir scratch;
    if (!scratch.isValid()) throw EBatchReplaceError(path + " に書き込めません");
    const std::string staged = PathFromQString(scratch.path()) + "/output";
    const bool plainText = Memo->PlainText();
    const bool modified = Memo->IsModified();
    Memo->SetPlainText(!richText);
    const auto restore = qScopeGuard([&] {
        Memo->SetPlainText(plainText);
        SetModified(*Memo, modified);
    });
    Memo->SaveToFile(staged);
    std::string bytes;
    if (!ReadFileBytes(staged, bytes)) throw EBatchReplaceError(path + " に書き込めません");
    return bytes;
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
    const std::vector<std::string> files = CollectBatchFiles(sourceDirectory, SLBox->Mask(), recurse);
    // Files are replaced only when the user agreed, once for the whole batch.
    QString overwrite;
    if (IsSameDirectory(outputRoot.empty() ? "/" : outputRoot, sourceDirectory))
        overwrite = QStringLiteral("元のファイルを上書きします。よろしいですか？");
    else if (const std::size_t existing = CountReplacedOutputs(sourceDirectory, files, outputRoot); existing > 0)
        overwrite = QStringLiteral("出力先の %1 個のファイルを上書きします。よろしいですか？").arg(existing);
    if (!overwrite.isEmpty() && (FDialogs.AskWarning ? FDialogs.AskWarning : FDialogs.Ask)(
                                    this, kApplicationTitle, overwrite, QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::No) != QMessageBox::Yes)
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
        const bool loaded = LoadFile(path, false);
        Memo->SetSelStart(0);
        return loaded;
    };
    // The first file may be the one shown, whose text (edited or not) is taken as it
    // stands; any other shown text gives way to the last file at the end.
    const bool firstIsShown = !files.empty() && files.front() == FCurrentFile;
    if (!files.empty() && HasUnsavedEdits() && !(firstIsShown && files.size() == 1) && !ConfirmUnsavedEdits())
        return;

    std::string lastDone;      // the last source whose output was written or left as it is
    std::size_t done = 0;
    bool cancelled = false;
    bool viewChanged = false;  // the view shows a replaced text that no file on disk holds
    bool editsKept = false;    // the shown file's unsaved edits stay in the view, unreplaced
    std::vector<TSkippedFile> skipped;
    // The shown text replaced (from the caret on) as its output holds it: plain text in the
    // text's encoding unless that cannot store the replacement standardly, or rich text.
    // With PutBack the view's text and flag are as before afterwards (the shown file's
    // edits are the user's, whether or not its output is written).
    const auto replacedInView = [&](const std::string& path, bool richText, bool putBack) {
        TByteReplacement result;
        result.Encoding = Memo->Encoding();
        const bool modified = Memo->IsModified();
        if (richText || StoresStandardly(View(replacement), result.Encoding))
            result.Count = ReplaceAllInView(*Memo, find, replacement, options);
        else
            result.Unencodable = OccursInView(*Memo, find, options);
        viewChanged = viewChanged || result.Count > 0;
        const auto putBackGuard = qScopeGuard([&] {
            if (!putBack || result.Count == 0) return;
            Memo->Undo();
            SetModified(*Memo, modified);
            viewChanged = false;
        });
        result.Text = ViewOutputBytes(path, richText);
        return result;
    };
    // The view ends showing the last source done as it is on disk now, so that nothing of
    // the batch stays in it to be saved over a source.
    const auto showSourceAsOnDisk = [&] {
        if (!lastDone.empty() && !(editsKept && lastDone == files.front())) ShowFreshly(lastDone);
        else if (viewChanged) ShowFreshly(FCurrentFile);
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
            const bool inPlace = IsSameFile(path, out);
            std::string source;
            const auto skipVanished = [&] {
                if (!Vanished(path)) throw EBatchReplaceError(path + " : " + kStreamReadError);
                skipped.push_back({path, TSkipReason::Vanished, {}});
            };
            if (!ReadFileBytes(path, source)) {
                skipVanished();
                continue;
            }
            TByteReplacement replaced;
            const bool shown = i == 0 && firstIsShown;
            if (shown) {
                replaced = replacedInView(path, ReadsAsRichText(source, Memo->PlainText()), true);
            } else if (ReadsAsRichText(source, Memo->PlainText())) {
                // Rich text goes through the view, which knows its formatting.
                if (!ShowFreshly(path)) {
                    skipVanished();
                    continue;
                }
                busy.SetFinalCaption(windowTitle());
                replaced = replacedInView(path, true, false);
            } else {
                replaced = ReplaceAllInFile(source, find, View(replacement), options);
            }
            // Shift-JIS written into a UTF-8 file taken for Shift-JIS would spoil it.
            const bool breaksUtf8 =
                replaced.Count > 0 && TUtf8Check(source).IsText() && !TUtf8Check(replaced.Text).WellFormed();
            if (replaced.Unencodable) skipped.push_back({path, TSkipReason::Unencodable, replaced.Encoding});
            if (breaksUtf8) skipped.push_back({path, TSkipReason::BreaksUtf8, replaced.Encoding});
            // A source without an occurrence is not touched.
            const bool untouched = inPlace && (replaced.Count == 0 || breaksUtf8);
            if (!untouched) {
                CreateParentDirectories(out);
                WriteOutputFile(out, breaksUtf8 ? source : replaced.Text, inPlace);
            }
            // Edits written over their own source are saved; any others stay unsaved.
            if (shown) editsKept = HasUnsavedEdits() && !(inPlace && !untouched);
            lastDone = path;
            ++done;
        }
    } catch (...) {
        try {
            showSourceAsOnDisk();
        } catch (...) {
            // The batch's own error is the one to show; the view names no file then.
        }
        ReportSkipped(skipped);
        throw;
    }
    showSourceAsOnDisk();
    DTView->SetDirectory(sourceDirectory);
    ShowAppHint(cancelled ? QStringLiteral("一括置換を中止しました (%1/%2)").arg(done).arg(files.size())
                          : QStringLiteral("一括置換しました (%1 ファイル)").arg(done));
    ReportSkipped(skipped);
}

}  // namespace xavo
