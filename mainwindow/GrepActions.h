// The GREP commands as actions: the GREP menu with its items (captions, short-cuts, hints,
// scope tags) and the GREP bar's option menu (three scope radio items, fuzzy and romaji
// search), plus the hints of the GREP widgets. This is the one table of them; the main
// window adds the menus where they belong and connects the actions' triggered signals.
// Entry point: CreateGrepActions.
#pragma once

#include "GrepFiles.h"

#include <QString>

#include <optional>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

namespace xavo {

inline const QString kGrepBarHint =
    QStringLiteral("GREPバー : GREPしたい文字を入力またはリストから選択し、EnterキーでGREPを開始します。");
inline const QString kGrepOptionButtonHint = QStringLiteral("GREPバーのオプション ; GREPバーの動作を変更します。");
inline const QString kGrepResultsHint = QStringLiteral(
    "GREP結果 : リストをダブルクリックするとタグジャンプします。エクスプローラーからファイルをD&DするとGREPができます。");
// The romaji switch's hint (RomajiLoad.h has the hints when it cannot serve).
inline const QString kRomajiHint = QStringLiteral(
    "ローマ字検索 : ローマ字で入力した単語を漢字・ひらがな・カタカナに展開して検索します。"
    "正規表現の記号を含む文字列はそのまま検索します。");
inline const QString kJumpButtonHint =
    QStringLiteral("左クリックで下向きにタグジャンプ、右クリックで上向きにタグジャンプします。");

// The actions, owned by the window given to CreateGrepActions. A scope action carries its
// scope as data(): the int value of its TGrepScope.
struct TGrepActions {
    QMenu* MmGrep = nullptr;          // "&GREP": scopes, separator, jumps, separator, cancel
    QAction* MmDirectory = nullptr;   // scope 1, Ctrl+D
    QAction* Recursible1 = nullptr;   // scope 2, Ctrl+R
    QAction* MmOneFile = nullptr;     // scope 0, Ctrl+O
    QAction* GREPBar1 = nullptr;      // Ctrl+G; in no menu: the window carries it so its short-cut works
    QAction* MmJumpNext = nullptr;    // F8
    QAction* MmJumpPrev = nullptr;    // Shift+F8
    QAction* Cancel1 = nullptr;       // Ctrl+E
    QMenu* PmGrepOpt = nullptr;       // the bar's options: three exclusive scopes, separator, fuzzy, romaji
    QActionGroup* PmGrepScope = nullptr;
    QAction* PmGrepDir = nullptr;     // scope 1, checked as designed
    QAction* PmGrepRec = nullptr;     // scope 2
    QAction* PmGrepOne = nullptr;     // scope 0
    QAction* PmGFuzzy = nullptr;      // "あいまい検索", checkable
    QAction* PmGMigemo = nullptr;     // "ローマ字検索", checkable
};

// Creates the actions and both menus as children of Window and adds GREPBar1 to Window.
TGrepActions CreateGrepActions(QWidget* window);

// The bar's scope: the first checked of PmGrepOne, PmGrepDir, PmGrepRec; nothing when none is.
std::optional<TGrepScope> CheckedBarScope(const TGrepActions& actions);

// Checks the bar's radio item of Scope; nothing leaves the check as it is.
void CheckBarScope(const TGrepActions& actions, std::optional<TGrepScope> scope);

}  // namespace xavo
