// TForm1, the main window: the panes, the whole main menu, the settings read at start and
// written at close, the viewer's commands (choosing, paging through, editing and saving
// files; keys and view options) and the GREP commands (GREP menu and bar, results list,
// tag jumps).
//
// Everything runs on the user-interface thread except a GREP's search, which a worker
// thread does for TGrepRunner. Commands run through RunCommand, so an error they do not
// catch reaches the error box and the window stays usable. Components carry their design
// names and are reachable through Components(), which is how the other command sets attach
// to the window. Entry point: TForm1.
#pragma once

#include "Encoding.h"
#include "FileNameKeeper.h"
#include "FindState.h"
#include "FormDialogs.h"
#include "GrepActions.h"
#include "HelpWindow.h"
#include "IniGT.h"
#include "KeepMenu.h"
#include "MainSettings.h"
#include "FileBytes.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QComboBox;
class QDropEvent;
class QKeyEvent;
class QLabel;
class QMimeData;
class QMenu;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolButton;

namespace xavo {

class TBrowseDialog;
class TComboBox98;
class TContextMenuEx;
class TDropDst;
class TFindDialog;
class TFmRepl;
class TGrep;
class TGrepF;
class TGrepRunner;
struct TPatternText;
class TReplaceDialog;
class TRomajiLoad;
enum class TGrepRunEnd;
class TShellListBox;
class TStatusMessage;
class TTextListBox;
class TQGrepCommands;
class TXavoMemo;
class TZqClipDetector;
class Tdirtree;

struct TFormOptions {
    std::string IniPath;                      // the settings file; empty: Xavoline.ini beside the program
    std::string HelpFile;                     // empty: "xavoline.hlp" beside the program
    std::optional<std::string> FileArgument;  // the file named on the command line
};

// The window's components by their design names. The window owns them (Qt parents); the
// pointers stay valid while it lives. The GREP menu and the GREP bar's option menu are the
// base's (MmGrep, MmDirectory ... Cancel1, PmGrepOpt ... PmGFuzzy, PmGMigemo).
struct TForm1Components : TGrepActions {
    // Tool bar: left part with the flat buttons, middle part with the GREP bar, right part.
    QWidget* PnTb = nullptr;
    QWidget* PnTbL = nullptr;
    QWidget* PnTbM = nullptr;
    QWidget* PnTbR = nullptr;
    QToolButton* SbReadOnly = nullptr;
    QToolButton* SbFind = nullptr;
    QToolButton* SbFindDw = nullptr;
    QToolButton* SbFindEx = nullptr;
    QToolButton* SbReplace = nullptr;
    QToolButton* TbWordWrap = nullptr;
    QToolButton* TbVertBar = nullptr;
    TComboBox98* EdGrep = nullptr;
    QToolButton* TbJump = nullptr;
    QToolButton* TbGrepOpt = nullptr;

    // Left pane: favourites, directory tree, file list. Split3 holds the tree and the list.
    QWidget* PnLeft = nullptr;
    QWidget* PnSetting = nullptr;
    QComboBox* CbSetting = nullptr;
    QSplitter* Split3 = nullptr;
    Tdirtree* DTView = nullptr;
    TShellListBox* SLBox = nullptr;

    // Split1 holds the two panes; in the right pane Split2 holds the text view and the
    // results list.
    QSplitter* Split1 = nullptr;
    QWidget* PnMemo = nullptr;
    QSplitter* Split2 = nullptr;
    TXavoMemo* Memo = nullptr;
    TTextListBox* LbGrep = nullptr;

    // Status bar: panel 0 the file mask, panel 1 hints and messages.
    QStatusBar* SB = nullptr;
    QLabel* SBPanel0 = nullptr;
    QLabel* SBPanel1 = nullptr;
    QLabel* SBCaret = nullptr;     // the caret's line and column, the mode, the modified mark
    QLabel* SBEncoding = nullptr;  // the encoding of the shown file (right-hand end)

    // Main menu.
    QMenu* MmFile = nullptr;
    QAction* MmNextFile = nullptr;
    QAction* MmPrevFile = nullptr;
    QAction* MmMask = nullptr;
    QAction* MmSave = nullptr;
    QAction* MmSaveAs = nullptr;
    // The File menu's "文字コード": reads the shown file again detected or in one encoding;
    // data() is -1 for detection, else the TEncoding.
    QMenu* MmEncoding = nullptr;
    QAction* MmEncAuto = nullptr;
    QAction* MmEncSjis = nullptr;
    QAction* MmEncEucJp = nullptr;
    QAction* MmEncJis = nullptr;
    QAction* MmEncUtf8 = nullptr;
    QAction* MmEncUtf16 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Edit1 = nullptr;
    QAction* MmUndo = nullptr;
    QAction* MmCut = nullptr;
    QAction* MmCopy = nullptr;
    QAction* MmPaste = nullptr;
    QAction* MmFind = nullptr;
    QAction* MmFindNext = nullptr;
    QAction* MmFindPrev = nullptr;
    QAction* MmFindExNext = nullptr;
    QAction* MmFindExPrev = nullptr;
    QAction* MmReplace = nullptr;
    QAction* ReplaceEx1 = nullptr;
    QAction* MmEditMode = nullptr;
    // The GREP menu (MmGrep and its items) comes with TGrepActions.
    QMenu* Grep21 = nullptr;
    QAction* MmQGrepDir = nullptr;    // data(): the scope, TGrepScope::Directory
    QAction* MmQSubDir = nullptr;     // data(): TGrepScope::SelectedFile
    QAction* QGrepOption1 = nullptr;
    QAction* Grep1 = nullptr;
    QMenu* Option1 = nullptr;
    QAction* MmWordWrap = nullptr;
    QAction* MmVertBar = nullptr;
    QAction* MmToolBar = nullptr;
    QAction* MmStBar = nullptr;
    QAction* MmHideLPanel = nullptr;
    QAction* MmHalfScroll = nullptr;
    QAction* MmPlainText = nullptr;
    QAction* MmShowQGC = nullptr;
    QAction* MmFullAddDir = nullptr;
    QAction* MmJAGrep = nullptr;
    QAction* Font1 = nullptr;
    QAction* GrepFont1 = nullptr;
    QAction* MmBgColor = nullptr;
    QMenu* Help1 = nullptr;
    QAction* Topic1 = nullptr;
    QAction* MmAbout = nullptr;
    QMenu* MmDebug = nullptr;

    // The favourites list's menu (the GREP bar's options come with TGrepActions).
    QMenu* PmSetting = nullptr;
    QAction* MmAdd = nullptr;
    QAction* MmChange = nullptr;
    QAction* MmDel = nullptr;

    // Parts without a place on the screen.
    TZqClipDetector* ZqClipDetector1 = nullptr;
    TDropDst* DdMemo = nullptr;
    QTimer* TmRefresh = nullptr;
    QTimer* TmDiskWatch = nullptr;  // looks at the shown file on disk (CheckShownFile)
    QTimer* TmCaret = nullptr;      // the caret panel follows once per turn of the event loop
    TContextMenuEx* CmEx = nullptr;
    TFindDialog* FindDialog = nullptr;
    TReplaceDialog* ReplaceDialog = nullptr;
    TBrowseDialog* BrDlg = nullptr;  // where a batch replace writes
    TFmRepl* FmRepl = nullptr;       // the batch-replace dialog (SetFmRepl; made on first use otherwise)
};

class TForm1 : public QMainWindow, protected TForm1Components {
    Q_OBJECT

public:
    // Builds the window, reads the settings and shows the file argument, if any. The
    // window is not shown; the directory tree is filled once it first is.
    explicit TForm1(TFormOptions options = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    const TForm1Components& Components() const { return *this; }

    // --- Operations other commands share.

    // Shows the file Path (file-system bytes; made absolute) in the text view: nothing
    // happens when it is the file already shown or names no regular file. Unsaved edits of
    // the shown text are offered for saving first (Cancel keeps them and loads nothing).
    // The caption reads "ファイル読み込み中..." with the hour-glass while it loads and
    // "Xavoline " and the path afterwards, also on failure. The process's current directory
    // and the directory tree (and through it the file list) move to the file's directory,
    // and the text view takes the focus. Returns true when Path is the shown file
    // afterwards. Throws EXavoMemoError (CurrentFile unchanged) when the file cannot be read.
    bool OpenFile(const std::string& path);
    // The full path of the shown file; empty until one is shown.
    const std::string& CurrentFile() const { return FCurrentFile; }
    // How long a replace-all runs before it shows progress and takes Escape (tests shorten it).
    void SetReplaceProgressDelay(int ms) { FReplaceProgressDelayMs = ms; }
    // Looks at the shown file on disk (run when the window is activated and every second):
    // an unedited text follows a file another program changed (read again at the same
    // line, or a grown file's new end added); about an edited one the user is asked once
    // per change, while the window is in front.
    void CheckShownFile();

    // Sets the file list's mask (as typed: ";" separates several), shows it in status panel 0
    // and adds it to the recent masks under the File menu. With Ask, an input box offers the
    // current mask first; cancelling it changes nothing and Mask is not used.
    void SetFileMask(const QString& mask, bool ask);

    // The number of whole lines that fit in the text view.
    int VisibleLineCount();

    // Shows Hint (the hint of the control or menu item under the mouse) in status panel 1,
    // over the result message; an empty Hint shows the result message again.
    void ShowAppHint(const QString& hint);

    // Shows Message in status panel 1 as what a command found or did ("見つかりません",
    // "保存しました", "N 件 / M ファイル"; empty: none). It stays until the user's next key
    // press or mouse click (the next command) or the next result message; hints show over
    // it while the mouse rests on a control or menu item, and it comes back after them.
    void ShowResultMessage(const QString& message);

    // State the later command sets read and change.
    std::vector<std::string>& PathList() { return FPathList; }  // favourites: name@dir@mask
    std::string& GrepExe() { return FGrepExe; }
    std::string& GrepOpt() { return FGrepOpt; }
    TFormDialogs& Dialogs() { return FDialogs; }
    ZEziDE& IniGT() { return FIniGT; }
    THelpWindow* HelpWindow() const { return FHelpWindow; }

    // --- GREP: the engine, the GREP dialog (modal, shown by the GREP menu), the run under
    // way, and the find state a tag jump leaves for the find commands.
    TGrep& Grep() { return *FGrep; }
    TGrepF& GrepF() { return *FGrepF; }
    TGrepRunner& GrepRunner() { return *FGrepRunner; }
    TRomajiLoad& Romaji() { return *FRomaji; }
    TFindState& FindState() { return FFindState; }
    // The batch-replace dialog the program entry made (it outlives the window).
    void SetFmRepl(TFmRepl* dialog) { FmRepl = dialog; }

    // --- The external grep (Q-GREP) menu.
    TQGrepCommands& QGrep() { return *FQGrep; }

signals:
    // OpenFile loaded a file (its full path, decoded for display).
    void fileOpened(const QString& path);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // --- Creation, in the order the constructor runs it.
    void CreateToolBar();
    void CreateLeftPane();
    void CreateRightPane();
    void CreateStatusBar();
    void CreateMainMenu();
    void CreatePopupMenus();
    void CreateNonVisualParts();
    // Filters the events of the controls and panes that eventFilter handles.
    void WatchEvents();
    void ConnectEvents();
    void DisableCommandsNotYetBuilt();
    void OpenSettingsFile(const std::string& iniPath);
    void LoadSettings();
    void OpenStartFile(const std::string& argument);

    QToolButton* AddToolButton(QWidget* panel, const QString& glyph, const QString& hint, bool checkable);
    QAction* AddItem(QMenu* menu, const QString& caption, const QKeySequence& shortcut = {},
                     const QString& hint = {}, bool checkable = false);
    // Runs Handler through RunCommand whenever Action is triggered.
    void Bind(QAction* action, void (TForm1::*handler)());

    // --- Settings.
    TMainSettings CurrentSettings() const;
    void ApplySettings(const TMainSettings& settings, bool placementStored);
    void FormClose();
    void ApplyMemoFont();
    void ApplyGrepFont();
    int MemoHeight() const;
    int LeftPaneWidthToStore() const;
    int TreeHeight() const;
    void ApplyPaneSizes();

    // --- Files: choosing, loading, saving.
    bool LoadFile(const std::string& path, bool askAboutEdits);
    bool HasUnsavedEdits() const;
    bool ConfirmUnsavedEdits();
    // The questions before a save: characters the text's encoding cannot store, or stores
    // only as an extension other programs cannot read (each shown selected), and bytes
    // that would make the UTF-8 text at Path ill-formed. True: go on.
    void SelectCharacterAt(std::int64_t position);
    bool ConfirmUnencodable();
    bool ConfirmStandardCharacters();
    bool ConfirmUtf8Kept(const std::string& path);
    // Whether writing Path may go on: asks when it is the shown file and another program
    // changed it since it was read or saved.
    bool ConfirmOverwriteChanged(const std::string& path);
    bool WriteText(const std::string& path);
    void CreateDiskWatch();
    void ShowCaretPlace();
    void ReloadShownFile();
    bool SaveCommand();
    // OpenFile for a file chosen in the list; when the user keeps unsaved edits instead,
    // the list's selection goes back to RestoreIndex (-1: none).
    bool OpenFileFromList(const std::string& path, int restoreIndex);
    void SLBoxChange();
    bool SLBoxRightMouseDown(const QPoint& position);
    void MmNextFileClick();
    void MmPrevFileClick();
    void MmMaskClick();
    void FKeepSelect(const std::string& mask);
    void DdMemoFileDrop(const std::vector<std::string>& files);
    void MmSaveClick();
    void MmSaveAsClick();
    void MmEditModeClick();
    void MmPlainTextClick();
    void Edit1Click();
    void MmUndoClick();
    void MmCutClick();
    void MmCopyClick();
    void MmPasteClick();
    void TmRefreshTimer();

    // --- The encoding menu and panel (EncodingCommands.cpp).
    void CreateEncodingMenu();
    void MmEncodingClick(const QAction* item);
    // Shows the shown text's encoding in its panel and the file's choice in the menu.
    void ShowEncoding();

    // --- Keys, panes and view options.
    bool IsFormKeyTarget(QObject* watched) const;
    bool IsInGrepBar(QObject* watched) const;
    bool FormKeyPress(QKeyEvent* event);
    void FormKeyUp(QKeyEvent* event);
    bool MemoKeyDown(QKeyEvent* event);
    void MemoKeyUp(QKeyEvent* event);
    bool IsMenuShortcut(QKeyEvent* event) const;
    void MemoMouseMove();
    void SLBoxMouseMove();
    void PnLeftResize();
    void SetLeftPaneWidth(int width);
    // Gives each pane a usable minimum (a few lines, a few dozen characters, in its font).
    void UpdatePaneMinimums();
    void UpdateMinimumSize();
    void FirstAppearance();
    void MmWordWrapClick();
    void MmVertBarClick();
    void MmToolBarClick();
    void MmStBarClick();
    void Font1Click();
    void GrepFont1Click();
    void MmBgColorClick();
    void Topic1Click();
    void MmAboutClick();

    // --- GREP: runs from the menu and the bar, the bar's history, tag jumps (GrepCommands.cpp).
    // The word of a bar GREP under way, which joins the history when the run ends well.
    struct TBarWord {
        std::string Text;     // as typed, Shift-JIS
        bool Picked = false;  // picked from the bar's list: the list's first entry is chosen afterwards
    };
    void CreateGrepParts();
    void ConnectGrepCommands();
    // Beeps and returns true while a run is under way.
    bool RefuseWhileGrepRuns();
    // What Scope searches now; nothing for the selected file's scope without a selection.
    std::optional<TGrepTarget> GrepTarget(TGrepScope scope) const;
    // Mirrors Fuzzy and Romaji to the bar's and the dialog's checks and starts a run with
    // Pattern, expanded through the romaji dictionary when Romaji is on (while the dictionary
    // is still being read, the run starts when it has been). The caller has refused while a
    // run is under way. Raises ERegExpParser (nothing else changed) for a bad pattern.
    bool RunGrep(const TGrepTarget& target, const TPatternText& pattern, bool fuzzy, bool romaji,
                 std::optional<TBarWord> barWord);
    void GrepDone(TGrepRunEnd end);
    void AddGrepHistory(const TBarWord& word);
    void MmOneFileClick(const QAction* sender);
    // Enter in the GREP bar; false when the key goes on to the bar.
    bool EdGrepKeyPress(const QKeyEvent* event);
    void EdGrepClick();
    // What the bar's checked scope searches now.
    std::optional<TGrepTarget> BarTarget() const;
    // The bar's GREP of Text in the checked scope; true when a run started.
    bool BarGrep(const TPatternText& text, bool picked);
    // The same once the target is known and no run is under way.
    bool StartBarGrep(const TGrepTarget& target, const TPatternText& text, bool picked);
    void PmGrepOneClick();
    void PmGFuzzyClick();
    void PmGMigemoClick();
    // Disables the romaji switches, saying why (Hint) in their hints.
    void DisableRomaji(const QString& hint);
    void GREPBar1Click();
    void Cancel1Click();
    void TagJump(int index);
    void MmJumpNextClick();
    void MmJumpPrevClick();
    void LbGrepDblClick();
    void TbJumpMouseUp(Qt::MouseButton button);
    bool LbGrepDragOver(const QDropEvent* event) const;
    void LbGrepDragDrop();

    // --- Find, find across files, replace and batch replace (FindCommands.cpp).
    void CreateFindParts();
    void ConnectFindCommands();
    void Beep();
    // The beep of a search that found nothing, and the status bar saying so.
    void NotFound();
    void MmFindClick();
    // The find-next button of FindDialog or ReplaceDialog (Sender).
    void Find(QObject* sender);
    void MmFindDwClick();
    void MmFindPrevClick();
    void MmFindExNextClick();
    void MmFindExPrevClick();
    // Shows the listed file Index for a find across files; false when the walk must stop.
    bool ShowListedFileForFind(int index);
    void MmReplaceClick();
    void ReplaceDialogReplace();
    // ReplaceAllInView on the shown text, with progress and Escape after a while (-1: stopped).
    std::int64_t ReplaceAllShown(std::string_view find, const QString& replacement, TFindOptions options);
    void ReplAll();
    // The bytes the text view's text would be saved as, rich text or plain (named after
    // Path in an error); the view's form and unsaved-edit flag stay as they were.
    std::string ViewOutputBytes(const std::string& path, bool richText);

    // --- Favourites (FavouriteCommands.cpp) and moves by dragging onto the tree
    // (MoveCommands.cpp). LeftPaneEvent sees the window's events first; true consumes one.
    enum class TPaneDrag { None, FileList, DirTree };
    void ConnectLeftPaneCommands();
    bool LeftPaneEvent(QObject* watched, QEvent* event);
    TPaneDrag DragOrigin(const QObject* source, const QMimeData* mime) const;
    void PmSettingPopup();
    void MmAddClick();
    void MmChangeClick();
    void MmDelClick();
    void CbSettingChange();
    bool DTViewDragOver(TPaneDrag origin) const;
    void DTViewDragDrop(TPaneDrag origin);
    void DropDirectory(const std::string& treeDirectory, const std::string& dropTarget);
    void DropFile(const std::string& file, const std::string& dropTarget);
    // The shown file was moved (as From, or inside the directory From/) to To: Ctrl+S
    // writes to where it is now.
    void FollowMove(const std::string& from, const std::string& to);
    void DTViewMouseDown(const QPoint& position);

    ZEziDE FIniGT;
    TFileNameKeep FKeep;                 // declared before FKeepMenu, which refers to it
    std::unique_ptr<TKeepMenu> FKeepMenu;
    TFormDialogs FDialogs;
    std::string FHelpFile;
    QPointer<THelpWindow> FHelpWindow;

    std::unique_ptr<TGrep> FGrep;             // before the runner, which searches with it
    std::unique_ptr<TGrepRunner> FGrepRunner;
    TGrepF* FGrepF = nullptr;                 // owned as a child; registered its dictionary with FGrep
    std::optional<TBarWord> FBarWord;
    TRomajiLoad* FRomaji = nullptr;           // romaji search; its dictionary is read when the switch goes on
    bool FStoredMigemo = false;               // the romaji setting as read, kept while the switch is disabled
    TFindState FFindState;
    // The encoding chosen in the menu for FEncodingChoiceFile (nothing: detected). It holds
    // while that file is read again and is forgotten when another file is shown.
    std::optional<TEncoding> FEncodingChoice;
    std::string FEncodingChoiceFile;
    bool FindAcross = false;  // a failed repeat search goes on into the next listed file
    TQGrepCommands* FQGrep = nullptr;         // owned as a child
    TStatusMessage* FStatusMessage = nullptr; // status panel 1's hints and result message; a child

    std::vector<std::string> FPathList;
    std::string FGrepExe;
    std::string FGrepOpt = kDefaultGrepOpt;
    std::string FCurrentFile;
    TFileStamp FDiskStateAsked;          // the shown file's state last asked about
    bool FCheckingDisk = false;
    int FReplaceProgressDelayMs = 500;
    int FLeftPaneWidth = 0;              // the last left-pane width above the collapsed one
    TFontSpec FMemoFont;                 // the user's font for the text view
    TFontSpec FGrepFont;                 // the results list's font
    TColor FMemoColor = clWindow;        // the text view's background as stored
    int FStoredMemoHeight = kDesignedMemoHeight;  // pane sizes until the window is laid out
    int FStoredLeftPaneWidth = kDesignedLeftPaneWidth;
    int FStoredTreeHeight = kDesignedTreeHeight;
    bool FShown = false;                 // the window has been shown (and laid out) once
};

}  // namespace xavo
