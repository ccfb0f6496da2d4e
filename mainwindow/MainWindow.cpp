// TForm1: creation of the panes, menus and parts, the settings at start and close, and
// the event routing. The commands live in FileCommands.cpp (files, editing, saving) and
// ViewCommands.cpp (keys, panes, view options).
#include "MainWindow.h"

#include "ClipDetector.h"
#include "ComboBox98.h"
#include "CommandGuard.h"
#include "ContextMenuEx.h"
#include "DirTree.h"
#include "DropDst.h"
#include "Grep.h"
#include "GrepF.h"
#include "GrepRunner.h"
#include "GrepText.h"
#include "HelpWindow.h"
#include "JapaneseUi.h"
#include "MessageBoxes.h"
#include "Migemo.h"
#include "PathText.h"
#include "Paths.h"
#include "QGrepCommands.h"
#include "SettingsQt.h"
#include "ShellListBox.h"
#include "SjisQt.h"
#include "StatusMessage.h"
#include "StringUtils.h"
#include "TextListBox.h"
#include "ViewerLogic.h"
#include "TextView.h"
#include "XavoMemo.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace xavo {
namespace {

constexpr int kToolBarHeight = 32;
constexpr int kToolButtonWidth = 32;
constexpr int kToolBarLeftWidth = 7 * kToolButtonWidth;   // every button whole
constexpr int kToolBarRightWidth = 2 * kToolButtonWidth;
constexpr int kGrepBarMinimumColumns = 12;  // characters the GREP bar shows at least
constexpr int kSettingPanelHeight = 22;
constexpr int kSplitterWidth = 3;
constexpr int kStatusMaskWidth = 60;
constexpr int kStatusHintWidth = 50;
constexpr int kRepaintDelayMs = 50;

// A layout on Owner without spacing, with VerticalMargin above and below its items.
template <class TLayout>
TLayout* NewLayout(QWidget* owner, int verticalMargin = 0) {
    auto* layout = new TLayout(owner);
    layout->setContentsMargins(0, verticalMargin, 0, verticalMargin);
    layout->setSpacing(0);
    return layout;
}

// A part of the tool bar, Width wide, that holds a row of buttons.
QWidget* NewButtonPanel(QWidget* toolBar, int width) {
    auto* panel = new QWidget(toolBar);
    panel->setFixedWidth(width);
    NewLayout<QHBoxLayout>(panel, 2);
    return panel;
}

// A splitter between two panes; the second one takes what the window gains or loses.
QSplitter* NewSplitter(Qt::Orientation orientation, QWidget* first, QWidget* second) {
    auto* splitter = new QSplitter(orientation);
    splitter->setHandleWidth(kSplitterWidth);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(first);
    splitter->addWidget(second);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    return splitter;
}

// The text colour of Widget becomes Color (a stored colour; system colours from the application).
void SetTextColor(QWidget* widget, TColor color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Text, ToQColor(color, QApplication::palette()));
    widget->setPalette(palette);
}

}  // namespace

TForm1::TForm1(TFormOptions options, QWidget* parent)
    : QMainWindow(parent),
      FDialogs(DefaultFormDialogs()),
      FHelpFile(options.HelpFile.empty() ? PathFromQString(QCoreApplication::applicationDirPath()) + "/xavoline.hlp"
                                         : options.HelpFile) {
    setWindowTitle(kApplicationTitle);
    InstallJapaneseFontSubstitutes();
    QFont uiFont(SjisToQString(kDefaultFontFace));
    uiFont.setPixelSize(12);
    setFont(uiFont);
    resize(652, 527);

    CreateToolBar();
    CreateLeftPane();
    CreateRightPane();
    UpdatePaneMinimums();
    CreateStatusBar();
    CreateMainMenu();
    CreatePopupMenus();
    CreateNonVisualParts();
    ConnectEvents();
    DisableCommandsNotYetBuilt();
    FQGrep = new TQGrepCommands(*this);
    OpenSettingsFile(options.IniPath);
    LoadSettings();
    StartUnmodified();
    if (options.FileArgument) OpenStartFile(*options.FileArgument);
}

TForm1::~TForm1() {
    // The children go after this body; nothing may call back into a half-destroyed window.
    qApp->removeEventFilter(this);
    DTView->SetOnChange({});
    SLBox->SetOnChange({});
    DdMemo->SetOnFileDrop({});
}

// ---------------------------------------------------------------------------------------
// Creation

QToolButton* TForm1::AddToolButton(QWidget* panel, const QString& glyph, const QString& hint, bool checkable) {
    auto* button = new QToolButton(panel);
    button->setText(glyph);
    button->setAutoRaise(true);
    button->setCheckable(checkable);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(kToolButtonWidth, kToolBarHeight - 4);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    panel->layout()->addWidget(button);
    return button;
}

void TForm1::CreateToolBar() {
    PnTb = new QWidget;
    PnTb->setFixedHeight(kToolBarHeight);
    auto* row = NewLayout<QHBoxLayout>(PnTb);

    PnTbL = NewButtonPanel(PnTb, kToolBarLeftWidth);
    SbReadOnly = AddToolButton(PnTbL, QStringLiteral("編"), QStringLiteral("編集モード／表示モードを切り替えます。"), true);
    SbFind = AddToolButton(PnTbL, QStringLiteral("検"), QStringLiteral("検索ダイアログを表示します。"), false);
    SbFindDw = AddToolButton(PnTbL, QStringLiteral("↓"),
                             QStringLiteral("現在読み込んでいるテキストに対して下向きに検索します。右クリックで上向きに検索します。"), false);
    SbFindEx = AddToolButton(PnTbL, QStringLiteral("⇒"),
                             QStringLiteral("ファイルを順次読み込んで文字列を検索します。右クリックで上向きに検索します。"), false);
    SbReplace = AddToolButton(PnTbL, QStringLiteral("置"), QStringLiteral("文字の置換を行います（編集モード時のみ）"), false);
    TbWordWrap = AddToolButton(PnTbL, QStringLiteral("折"), QString(), true);
    TbWordWrap->setToolTip(QStringLiteral("右側で折り返す"));
    TbVertBar = AddToolButton(PnTbL, QStringLiteral("⇔"), QStringLiteral("水平スクロールバーの表示・非表示を切り替えます。"), true);
    static_cast<QHBoxLayout*>(PnTbL->layout())->addStretch();

    PnTbM = new QWidget(PnTb);
    auto* middle = new QHBoxLayout(PnTbM);
    middle->setContentsMargins(4, 4, 4, 4);  // the bar keeps the same offset on both sides
    EdGrep = new TComboBox98(PnTbM);
    EdGrep->setStatusTip(kGrepBarHint);
    EdGrep->setToolTip(kGrepBarHint);
    EdGrep->setInsertPolicy(QComboBox::NoInsert);
    EdGrep->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    // The characters, the drop-down button and the frame.
    EdGrep->setMinimumWidth(kGrepBarMinimumColumns * EdGrep->fontMetrics().averageCharWidth() +
                            style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    middle->addWidget(EdGrep);

    PnTbR = NewButtonPanel(PnTb, kToolBarRightWidth);
    TbJump = AddToolButton(PnTbR, QStringLiteral("→"), kJumpButtonHint, false);
    TbGrepOpt = AddToolButton(PnTbR, QStringLiteral("▼"), kGrepOptionButtonHint, false);
    TbGrepOpt->setPopupMode(QToolButton::InstantPopup);

    row->addWidget(PnTbL);
    row->addWidget(PnTbM, 1);
    row->addWidget(PnTbR);
}

void TForm1::CreateLeftPane() {
    PnLeft = new QWidget;
    auto* column = NewLayout<QVBoxLayout>(PnLeft);

    PnSetting = new QWidget(PnLeft);
    PnSetting->setFixedHeight(kSettingPanelHeight);
    PnSetting->setMinimumWidth(1);
    CbSetting = new QComboBox(PnSetting);  // a drop-down list: no edit field
    CbSetting->setStatusTip(QStringLiteral("お気に入りリスト : 右クリックで追加／名前変更／削除メニューが出ます。"));
    CbSetting->setContextMenuPolicy(Qt::CustomContextMenu);

    DTView = new Tdirtree;
    DTView->SetReadOnStart(false);  // filled once the window has appeared
    DTView->setStatusTip(QStringLiteral("ディレクトリツリー: D&D でディレクトリを移動、お気に入りリストへD&Dするとリストに追加できます"));
    SLBox = new TShellListBox;
    SLBox->setStatusTip(QStringLiteral("ファイルリスト : 選択したファイルを読み込みます。右クリックでコンテキストメニューが出ます。"));
    SLBox->SetShowExtention(false);  // readme.txt is listed as readme
    SLBox->setDragEnabled(true);  // a drag starts from a pressed item and leaves the selection on it
    SLBox->setContextMenuPolicy(Qt::PreventContextMenu);
    SLBox->SetMask("*.txt");
    Split3 = NewSplitter(Qt::Vertical, DTView, SLBox);

    column->addWidget(PnSetting);
    column->addWidget(Split3, 1);
    PnLeft->setMinimumWidth(kCollapsedLeftPaneWidth);
}

void TForm1::CreateRightPane() {
    PnMemo = new QWidget;
    auto* column = NewLayout<QVBoxLayout>(PnMemo);

    Memo = new TXavoMemo;
    Memo->SetReadOnly(true);
    Memo->SetScrollBars(ssVertical);
    Memo->SetWordWrap(false);
    Memo->SetHideSelection(false);  // a jumped-to line stays marked while the results list has the focus
    connect(Memo, &TXavoMemo::refused, this, &TForm1::ShowResultMessage);
    Memo->setStatusTip(QStringLiteral(
        "表示・編集領域 : フォーカス移動は Ctrl キーを押しながら、W (GREP結果表示)、L (お気に入りリスト)、G (GREPバー) です。"));
    LbGrep = new TTextListBox;
    LbGrep->setStatusTip(kGrepResultsHint);
    LbGrep->SetDisplayDecoder(ResultLineDisplayText);  // the lines keep their bytes
    LbGrep->viewport()->setAcceptDrops(true);           // a file dragged from the file list
    Split2 = NewSplitter(Qt::Vertical, Memo, LbGrep);
    column->addWidget(Split2);

    Split1 = NewSplitter(Qt::Horizontal, PnLeft, PnMemo);
    auto* client = new QWidget;
    auto* layout = NewLayout<QVBoxLayout>(client);
    layout->addWidget(PnTb);
    layout->addWidget(Split1, 1);
    setCentralWidget(client);
}

void TForm1::CreateStatusBar() {
    SB = new QStatusBar;
    SBPanel0 = new QLabel(QStringLiteral("*.txt"));
    SBPanel0->setFixedWidth(kStatusMaskWidth);
    SBPanel0->setAlignment(Qt::AlignCenter);
    SBPanel1 = new QLabel;
    SBPanel1->setMinimumWidth(kStatusHintWidth);
    SB->addWidget(SBPanel0);
    SB->addWidget(SBPanel1, 1);
    FStatusMessage = new TStatusMessage(SBPanel1, this);
    SBEncoding = new QLabel;
    SB->addPermanentWidget(SBEncoding);
    setStatusBar(SB);
}

QAction* TForm1::AddItem(QMenu* menu, const QString& caption, const QKeySequence& shortcut, const QString& hint,
                         bool checkable) {
    QAction* action = menu->addAction(caption);
    action->setShortcut(shortcut);
    action->setStatusTip(hint);
    action->setCheckable(checkable);
    return action;
}

void TForm1::Bind(QAction* action, void (TForm1::*handler)()) {
    connect(action, &QAction::triggered, this, [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
}

void TForm1::CreateMainMenu() {
    QMenuBar* bar = menuBar();

    MmFile = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    MmNextFile = AddItem(MmFile, QStringLiteral("次のﾌｧｲﾙ(&N)"), Qt::Key_F9,
                         QStringLiteral("ファイルリストの次のファイルを読み込みます。"));
    MmPrevFile = AddItem(MmFile, QStringLiteral("前のﾌｧｲﾙ(&P)"), Qt::SHIFT | Qt::Key_F9,
                         QStringLiteral("ファイルリストの前のファイルを読み込みます。"));
    MmFile->addSeparator();
    MmMask = AddItem(MmFile, QStringLiteral("ﾌｧｲﾙﾏｽｸ(&K)"), Qt::CTRL | Qt::Key_K,
                     QStringLiteral("ファイルリストに表示するファイルマスクを変更します。"));
    MmFile->addSeparator();
    MmSave = AddItem(MmFile, QStringLiteral("上書き保存(&S)"), Qt::CTRL | Qt::Key_S,
                     QStringLiteral("現在開いているファイルを上書き保存します。"));
    MmSaveAs = AddItem(MmFile, QStringLiteral("名前をつけて保存(&A)"), {},
                       QStringLiteral("現在開いているファイルに名前をつけて保存します。"));
    CreateEncodingMenu();
    MmFile->addSeparator();
    Exit1 = AddItem(MmFile, QStringLiteral("終了(&X)"));

    Edit1 = bar->addMenu(QStringLiteral("編集(&E)"));
    MmUndo = AddItem(Edit1, QStringLiteral("やり直し(&U)"), Qt::CTRL | Qt::Key_Z, QStringLiteral("テキストの編集をやり直します。"));
    Edit1->addSeparator();
    MmCut = AddItem(Edit1, QStringLiteral("切り取り(&T)"), {}, QStringLiteral("テキストの選択範囲を切り取ります。"));
    MmCopy = AddItem(Edit1, QStringLiteral("コピー(&C)"), {}, QStringLiteral("テキストの選択範囲をコピーします。"));
    MmPaste = AddItem(Edit1, QStringLiteral("貼り付け(&P)"), {}, QStringLiteral("テキストをクリップボードに貼り付けます。"));
    Edit1->addSeparator();
    MmFind = AddItem(Edit1, QStringLiteral("検索(&F)"), Qt::CTRL | Qt::Key_F, QStringLiteral("検索を行います。"));
    MmFindNext = AddItem(Edit1, QStringLiteral("次を検索"), Qt::Key_F3, QStringLiteral("同じ検索文字で下向き検索をします。"));
    MmFindPrev = AddItem(Edit1, QStringLiteral("前へ検索"), Qt::SHIFT | Qt::Key_F3, QStringLiteral("同じ検索文字で上向き検索をします。"));
    MmFindExNext = AddItem(Edit1, QStringLiteral("-> 次を検索"), Qt::Key_F4,
                           QStringLiteral("同じ検索文字でファイルを順次読み込んで下向き検索をします。"));
    MmFindExPrev = AddItem(Edit1, QStringLiteral("-> 前へ検索"), Qt::SHIFT | Qt::Key_F4,
                           QStringLiteral("同じ検索文字でファイルを順次読み込んで上向き検索をします。"));
    Edit1->addSeparator();
    MmReplace = AddItem(Edit1, QStringLiteral("置換(&R)"), {},
                        QStringLiteral("編集モードのとき、現在のファイルに対して文字の置換を行います。"));
    ReplaceEx1 = AddItem(Edit1, QStringLiteral("一括置換"), {},
                         QStringLiteral("現在ファイルリストに表示されているファイルすべてに対して置換を行います。（出力先を指定します）"));
    MmEditMode = AddItem(Edit1, QStringLiteral("編集ﾓｰﾄﾞ"), Qt::CTRL | Qt::Key_N,
                         QStringLiteral("編集モード／表示モードを切り替えます。"), true);

    static_cast<TGrepActions&>(*this) = CreateGrepActions(this);
    bar->addMenu(MmGrep);

    Grep21 = bar->addMenu(QStringLiteral("&Q-GREP"));
    MmQGrepDir = AddItem(Grep21, QStringLiteral("[Q]現在のﾃﾞｨﾚｸﾄﾘ(&Q)"), Qt::CTRL | Qt::Key_Q,
                         QStringLiteral("ファイルリストのすべてのファイルに対してQ-GREPを行います。"));
    MmQGrepDir->setData(static_cast<int>(TGrepScope::Directory));
    MmQSubDir = AddItem(Grep21, QStringLiteral("[Q]選択ﾌｧｲﾙのみ"), {},
                        QStringLiteral("現在読み込んでいるファイルだけQ-GREPを行います。"));
    MmQSubDir->setData(static_cast<int>(TGrepScope::SelectedFile));
    Grep21->addSeparator();
    QGrepOption1 = AddItem(Grep21, QStringLiteral("QGrep起動ｵﾌﾟｼｮﾝ..."), {},
                           QStringLiteral("デフォルトで用いるQ-GREP起動オプションを編集します。"));
    Grep1 = AddItem(Grep21, QStringLiteral("QGrepのｲﾝｽﾄｰﾙ先..."), {},
                    QStringLiteral("Q-GREPの実行ファイルがあるディレクトリを指定します。"));

    Option1 = bar->addMenu(QStringLiteral("ｵﾌﾟｼｮﾝ(&O)"));
    MmWordWrap = AddItem(Option1, QStringLiteral("右側で折り返す(&P)"), Qt::CTRL | Qt::Key_P, {}, true);
    MmVertBar = AddItem(Option1, QStringLiteral("水平ｽｸﾛｰﾙﾊﾞｰ(&B)"), Qt::CTRL | Qt::Key_B,
                        QStringLiteral("チェックすると水平スクロールバーが表示されます。"), true);
    MmToolBar = AddItem(Option1, QStringLiteral("ツールバーを表示する(&T)"), {},
                        QStringLiteral("チェックするとツールバーを表示します。"), true);
    MmStBar = AddItem(Option1, QStringLiteral("ステータスバーを表示する"), {}, {}, true);
    MmHideLPanel = AddItem(Option1, QStringLiteral("リストを自動的に隠す"), {},
                           QStringLiteral("チェックすると左側の各リストが自動的に隠れ（縮み）ます"), true);
    MmHalfScroll = AddItem(Option1, QStringLiteral("半画面スクロールにする"), {},
                           QStringLiteral("チェックするとスペースバーでスクロールする量を半画面にします"), true);
    MmPlainText = AddItem(Option1, QStringLiteral("ﾃｷｽﾄだけ表示"), {},
                          QStringLiteral("リッチテキスト形式のファイルを読み込んだときはチェックをはずしてください。"
                                         "（保存は常にテキストのみで書式は保存されません）"),
                          true);
    MmShowQGC = AddItem(Option1, QStringLiteral("QGREP起動時にｵﾌﾟｼｮﾝ表示(&S)"), {},
                        QStringLiteral("チェックすると、Q-GREPを起動するときにコマンドライン確認用のダイアログが表示されます。"), true);
    MmFullAddDir = AddItem(Option1, QStringLiteral("ﾃﾞｨﾚｸﾄﾘ登録はﾃﾞﾌｫﾙﾄでﾌﾙﾊﾟｽ"), {}, {}, true);
    MmJAGrep = AddItem(Option1, QStringLiteral("GREP実行後にﾀｸﾞｼﾞｬﾝﾌﾟする"), {}, {}, true);
    Option1->addSeparator();
    Font1 = AddItem(Option1, QStringLiteral("ﾌｫﾝﾄ...(&F)"));
    GrepFont1 = AddItem(Option1, QStringLiteral("GREP結果のﾌｫﾝﾄ..."));
    MmBgColor = AddItem(Option1, QStringLiteral("背景色..."), {}, QStringLiteral("テキスト表示・編集領域の背景色を変更します。"));

    Help1 = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    Topic1 = AddItem(Help1, QStringLiteral("ﾄﾋﾟｯｸの検索(&H)"));
    MmAbout = AddItem(Help1, QStringLiteral("バージョン情報(&A)..."));

    MmDebug = bar->addMenu(QStringLiteral("Debug"));
}

void TForm1::CreatePopupMenus() {
    TbGrepOpt->setMenu(PmGrepOpt);

    PmSetting = new QMenu(this);
    MmAdd = AddItem(PmSetting, QStringLiteral("ﾘｽﾄに追加"));
    MmChange = AddItem(PmSetting, QStringLiteral("名前を変更"));
    MmChange->setEnabled(false);
    PmSetting->addSeparator();
    MmDel = AddItem(PmSetting, QStringLiteral("ﾘｽﾄから削除"));
}

void TForm1::CreateNonVisualParts() {
    ZqClipDetector1 = new TZqClipDetector(this);  // watches only while an external grep runs
    DdMemo = new TDropDst(this);
    DdMemo->SetControl(Memo);
    TmRefresh = new QTimer(this);
    TmRefresh->setInterval(kRepaintDelayMs);
    TmRefresh->setSingleShot(true);
    CmEx = new TContextMenuEx(this);
    CreateGrepParts();
    CreateFindParts();
}

void TForm1::WatchEvents() {
    // Keys: each control of the window as it takes the focus, and the window itself for
    // keys with no control focused.
    installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != nullptr && now->window() == this) now->installEventFilter(this);
    });
    // Mouse moves, clicks, drags and sizes of the panes.
    for (QObject* pane : std::initializer_list<QObject*>{Memo->viewport(), LbGrep->viewport(), SLBox->viewport(),
                                                         DTView->viewport(), CbSetting, TbJump, SB, PnLeft, PnSetting})
        pane->installEventFilter(this);
}

void TForm1::ConnectEvents() {
    WatchEvents();
    // Tab goes round the panes: GREP bar, favourites, tree, file list, text view, results.
    const std::initializer_list<QWidget*> tabOrder{EdGrep, CbSetting, DTView, SLBox, Memo, LbGrep};
    for (auto pane = tabOrder.begin(); pane + 1 != tabOrder.end(); ++pane) setTabOrder(*pane, *(pane + 1));
    for (QWidget* viewport : {LbGrep->viewport(), SLBox->viewport(), DTView->viewport()}) viewport->setMouseTracking(true);

    DTView->SetOnChange([this](Tdirtree*) { SLBox->SetDirectory(DTView->Directory()); });
    SLBox->SetOnChange([this](TShellListBox*) { RunCommand([this] { SLBoxChange(); }); });
    // The list read again marks the shown file, so that F9 and Shift+F9 go on from it.
    connect(SLBox, &TShellListBox::listed, this, [this] { SLBox->SetItemIndex(SLBox->IndexOf(FCurrentFile)); });
    DdMemo->SetOnFileDrop([this](TDropDst*, const std::vector<std::string>& files, int, int) { DdMemoFileDrop(files); });
    connect(TmRefresh, &QTimer::timeout, this, &TForm1::TmRefreshTimer);
    connect(Split2, &QSplitter::splitterMoved, this, [this] {
        TmRefresh->start();
        UpdateMinimumSize();
    });
    connect(Split3, &QSplitter::splitterMoved, this, &TForm1::UpdateMinimumSize);
    connect(CbSetting, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PmSetting->popup(CbSetting->mapToGlobal(at)); });

    Bind(MmNextFile, &TForm1::MmNextFileClick);
    Bind(MmPrevFile, &TForm1::MmPrevFileClick);
    Bind(MmMask, &TForm1::MmMaskClick);
    Bind(MmSave, &TForm1::MmSaveClick);
    Bind(MmSaveAs, &TForm1::MmSaveAsClick);
    connect(Exit1, &QAction::triggered, this, &QWidget::close);
    connect(Edit1, &QMenu::aboutToShow, this, &TForm1::Edit1Click);
    Bind(MmUndo, &TForm1::MmUndoClick);
    Bind(MmCut, &TForm1::MmCutClick);
    Bind(MmCopy, &TForm1::MmCopyClick);
    Bind(MmPaste, &TForm1::MmPasteClick);
    Bind(MmEditMode, &TForm1::MmEditModeClick);
    connect(SbReadOnly, &QToolButton::clicked, MmEditMode, &QAction::trigger);
    Bind(MmPlainText, &TForm1::MmPlainTextClick);
    Bind(MmWordWrap, &TForm1::MmWordWrapClick);
    connect(TbWordWrap, &QToolButton::clicked, MmWordWrap, &QAction::trigger);
    Bind(MmVertBar, &TForm1::MmVertBarClick);
    connect(TbVertBar, &QToolButton::clicked, MmVertBar, &QAction::trigger);
    Bind(MmToolBar, &TForm1::MmToolBarClick);
    Bind(MmStBar, &TForm1::MmStBarClick);
    Bind(Font1, &TForm1::Font1Click);
    Bind(GrepFont1, &TForm1::GrepFont1Click);
    Bind(MmBgColor, &TForm1::MmBgColorClick);
    Bind(Topic1, &TForm1::Topic1Click);
    Bind(MmAbout, &TForm1::MmAboutClick);
    // MmHideLPanel, MmHalfScroll, MmShowQGC, MmFullAddDir and MmJAGrep only carry their check
    // mark, which Qt switches; the commands that need them read it.
    ConnectGrepCommands();
    ConnectFindCommands();
    ConnectLeftPaneCommands();
}

void TForm1::DisableCommandsNotYetBuilt() {
    // View mode at start: the edit commands wait for edit mode.
    MmUndo->setEnabled(false);
    MmCut->setEnabled(false);
    MmReplace->setEnabled(false);
}

void TForm1::OpenSettingsFile(const std::string& iniPath) {
    if (!iniPath.empty()) FIniGT.SetFileName(AbsolutePath(iniPath));
    FIniGT.Loaded();
    FKeep.SetIniFileName(FIniGT.IniPath(), FIniGT.IniFile().CreatesDirectory());
    FKeep.OnSelect = [this](const std::string& mask) { RunCommand([this, mask] { FKeepSelect(mask); }); };
    FKeepMenu = std::make_unique<TKeepMenu>(MmFile, FKeep);
    FKeep.SetParentMenu(FKeepMenu.get());  // loads the recent masks under the File menu
}

void TForm1::StartUnmodified() {
    // Setting up the view's document (its margin) is recorded as an edit; nothing was typed.
    Memo->document()->clearUndoRedoStacks();
    Memo->document()->setModified(false);
}

void TForm1::OpenStartFile(const std::string& argument) {
    const std::string path = ExpandLongPath(argument);
    RunCommand([&] { OpenFile(path); });
    SetFileMask(PathToQString(MaskForFile(path)), false);
}

// ---------------------------------------------------------------------------------------
// Settings

void TForm1::LoadSettings() {
    TMainSettings settings = CurrentSettings();
    const TWindowPlacement unplaced = settings.Main;
    ReadMainSettings(FIniGT, settings);
    ApplySettings(settings, !(settings.Main == unplaced));
}

TMainSettings TForm1::CurrentSettings() const {
    TMainSettings s;
    s.Main = PlacementOf(*this);
    s.WordList = ComboItems(EdGrep);
    s.SettingList = ComboItems(CbSetting);
    s.SettingPath = FPathList;
    s.EditFont = FMemoFont;
    s.GEditFont = FGrepFont;
    s.GrepExe = FGrepExe;
    s.GrepOpt = FGrepOpt;
    s.Vbar = MemoHeight();
    s.Hbar = LeftPaneWidthToStore();
    s.DTVh = TreeHeight();
    s.GrepMode = CheckedBarScope(*this);
    s.ShowQGC = MmShowQGC->isChecked();
    s.Fuzzy = PmGFuzzy->isChecked();
    s.Migemo = PmGMigemo->isEnabled() ? PmGMigemo->isChecked() : FStoredMigemo;
    s.WordWrap = MmWordWrap->isChecked();
    s.VertBar = MmVertBar->isChecked();
    s.StatusBar = MmStBar->isChecked();
    s.HideLPanel = MmHideLPanel->isChecked();
    s.HalfScroll = MmHalfScroll->isChecked();
    s.ToolBar = MmToolBar->isChecked();
    s.AddDir = MmFullAddDir->isChecked();
    s.PlainText = MmPlainText->isChecked();
    s.JAGREP = MmJAGrep->isChecked();
    s.BackGround = FMemoColor;
    return s;
}

void TForm1::ApplySettings(const TMainSettings& s, bool placementStored) {
    if (placementStored) ApplyPlacement(*this, s.Main);
    SetComboItems(EdGrep, s.WordList);
    SetComboItems(CbSetting, s.SettingList);
    FPathList = s.SettingPath;
    FMemoFont = s.EditFont;
    ApplyMemoFont();
    FGrepFont = s.GEditFont;
    ApplyGrepFont();
    FGrepExe = s.GrepExe;
    FGrepOpt = s.GrepOpt;
    FStoredMemoHeight = s.Vbar;
    FStoredLeftPaneWidth = s.Hbar;
    FStoredTreeHeight = s.DTVh;
    if (FShown) ApplyPaneSizes();
    MmShowQGC->setChecked(s.ShowQGC);
    PmGFuzzy->setChecked(s.Fuzzy);
    MmWordWrap->setChecked(s.WordWrap);
    MmVertBar->setChecked(s.VertBar);
    MmStBar->setChecked(s.StatusBar);
    MmHideLPanel->setChecked(s.HideLPanel);
    MmHalfScroll->setChecked(s.HalfScroll);
    MmToolBar->setChecked(s.ToolBar);
    MmFullAddDir->setChecked(s.AddDir);
    MmPlainText->setChecked(s.PlainText);
    MmJAGrep->setChecked(s.JAGREP);
    FMemoColor = s.BackGround;
    Memo->SetColor(ToQColor(FMemoColor, QApplication::palette()));

    Memo->SetWordWrap(MmWordWrap->isChecked());
    TbWordWrap->setChecked(MmWordWrap->isChecked());
    Memo->SetScrollBars(MmVertBar->isChecked() ? ssBoth : ssVertical);
    TbVertBar->setChecked(MmVertBar->isChecked());
    PnTb->setVisible(MmToolBar->isChecked());
    SB->setVisible(MmStBar->isChecked());
    Memo->SetPlainText(MmPlainText->isChecked());
    FGrepF->CbFuzzy->setChecked(PmGFuzzy->isChecked());
    FStoredMigemo = s.Migemo;
    PmGMigemo->setChecked(s.Migemo && PmGMigemo->isEnabled());
    PmGMigemoClick();
    CheckBarScope(*this, s.GrepMode);
}

void TForm1::FormClose() {
    RunCommand([this] { WriteMainSettings(FIniGT, CurrentSettings()); });
}

void TForm1::ApplyMemoFont() {
    Memo->setFont(ToQFont(FMemoFont));
    SetTextColor(Memo, FMemoFont.Color);
    Memo->SetHideSelection(Memo->HideSelection());  // the selection colours follow the text colour
    UpdatePaneMinimums();
}

void TForm1::ApplyGrepFont() {
    LbGrep->setFont(ToQFont(FGrepFont));
    SetTextColor(LbGrep, FGrepFont.Color);
    UpdatePaneMinimums();
}

int TForm1::MemoHeight() const { return FShown ? Memo->height() : FStoredMemoHeight; }

int TForm1::LeftPaneWidthToStore() const {
    if (!FShown) return FStoredLeftPaneWidth;
    // A pane collapsed by auto-hide is stored at the width it comes back to.
    const int width = PnLeft->width();
    if (width == kCollapsedLeftPaneWidth && FLeftPaneWidth > kCollapsedLeftPaneWidth) return FLeftPaneWidth;
    return width;
}

int TForm1::TreeHeight() const { return FShown ? DTView->height() : FStoredTreeHeight; }

void TForm1::ApplyPaneSizes() {
    // A stored size that does not fit the window (from a bigger screen, or damaged) gives
    // way to the designed one, so neither pane is squeezed below its minimum and the window
    // does not grow past the screen.
    const auto apply = [](QSplitter* splitter, int first, int designed) {
        const QList<int> sizes = splitter->sizes();
        const int total = sizes.value(0) + sizes.value(1);
        const auto least = [splitter](int i) {
            const QWidget* pane = splitter->widget(i);
            const QSize size = pane->minimumSize().expandedTo(pane->minimumSizeHint());
            return splitter->orientation() == Qt::Horizontal ? size.width() : size.height();
        };
        const int smallest = std::max(least(0), 1);
        const int largest = std::max(total - least(1), smallest);
        if (first < smallest || first > largest) first = std::clamp(designed, smallest, largest);
        splitter->setSizes({first, std::max(total - first, 0)});
    };
    apply(Split1, FStoredLeftPaneWidth, kDesignedLeftPaneWidth);
    apply(Split2, FStoredMemoHeight, kDesignedMemoHeight);
    apply(Split3, FStoredTreeHeight, kDesignedTreeHeight);
}

// ---------------------------------------------------------------------------------------
// Events

bool TForm1::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        ShowAppHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (LeftPaneEvent(watched, event)) return true;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // The menu's short-cuts come before the keys of the focused control.
        if (IsFormKeyTarget(watched) && IsMenuShortcut(static_cast<QKeyEvent*>(event))) return true;
        break;
    case QEvent::KeyPress:
        if (IsFormKeyTarget(watched)) {
            auto* key = static_cast<QKeyEvent*>(event);
            bool discard = false;
            RunCommand([&] { discard = FormKeyPress(key) || (watched == Memo && MemoKeyDown(key)); });
            if (discard || (IsInGrepBar(watched) && EdGrepKeyPress(key))) return true;
        }
        break;
    case QEvent::KeyRelease:
        if (IsFormKeyTarget(watched)) {
            auto* key = static_cast<QKeyEvent*>(event);
            FormKeyUp(key);
            if (watched == Memo) MemoKeyUp(key);
        }
        break;
    case QEvent::ChildPolished:
        // The byte view comes and goes with large files.
        if (watched == Memo->viewport() && Memo->ByteView() != nullptr)
            Memo->ByteView()->viewport()->installEventFilter(this);
        break;
    case QEvent::MouseMove:
        if (watched == Memo->viewport() || watched == LbGrep->viewport() ||
            (Memo->ShowsBytes() && watched == Memo->ByteView()->viewport()))
            MemoMouseMove();
        if (watched == SLBox->viewport() || watched == DTView->viewport()) SLBoxMouseMove();
        break;
    case QEvent::MouseButtonPress:
        if (watched == SLBox->viewport() && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
            return SLBoxRightMouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
        break;
    case QEvent::MouseButtonRelease:
        if (watched == TbJump && TbJump->isEnabled()) {
            const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
            RunCommand([&] { TbJumpMouseUp(button); });
        }
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
        if (watched == LbGrep->viewport()) {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (LbGrepDragOver(drag))
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        break;
    case QEvent::Drop:
        if (watched == LbGrep->viewport()) {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!LbGrepDragOver(drop)) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            // The GREP dialog opens after the drag has ended, not inside it.
            QMetaObject::invokeMethod(this, [this] { RunCommand([this] { LbGrepDragDrop(); }); }, Qt::QueuedConnection);
            return true;
        }
        break;
    case QEvent::MouseButtonDblClick:
        // A click on a panel reaches the bar too: the panels' labels let it through.
        if (watched == SB) RunCommand([this] { MmMaskClick(); });
        break;
    case QEvent::Resize:
        if (watched == PnLeft) PnLeftResize();
        if (watched == PnSetting) CbSetting->setGeometry(2, 0, std::max(PnSetting->width() - 4, 0), kSettingPanelHeight);
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool goOn = false;
    RunCommand([&] { goOn = ConfirmUnsavedEdits(); });
    if (!goOn) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (std::exchange(FShown, true)) return;
    ApplyPaneSizes();
    FLeftPaneWidth = std::max(FLeftPaneWidth, PnLeft->width() > kCollapsedLeftPaneWidth ? PnLeft->width() : 0);
    UpdateMinimumSize();
    QTimer::singleShot(0, this, [this] { RunCommand([this] { FirstAppearance(); }); });
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    UpdateMinimumSize();
}

void TForm1::ShowAppHint(const QString& hint) { FStatusMessage->ShowHint(hint); }

void TForm1::ShowResultMessage(const QString& message) { FStatusMessage->ShowResult(message); }

}  // namespace xavo
