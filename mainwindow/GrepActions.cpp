// The GREP menu and the GREP bar's option menu, see GrepActions.h.
#include "GrepActions.h"


#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWidget>

namespace xavo {

namespace {

QAction* MakeAction(QWidget* window, const char* name, const QString& caption, const QKeySequence& shortcut,
                    const QString& hint) {
    auto* action = new QAction(caption, window);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setStatusTip(hint);
    return action;
}

QAction* MakeScopeItem(QActionGroup* group, const char* name, const QString& caption, TGrepScope scope) {
    auto* action = new QAction(caption, group);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(true);
    action->setData(static_cast<int>(scope));
    return action;
}

}  // namespace

TGrepActions CreateGrepActions(QWidget* window) {
    TGrepActions a{};
    a.MmDirectory = MakeAction(window, "MmDirectory", QStringLiteral("現在のﾃﾞｨﾚｸﾄﾘ(&D)"), QKeySequence(Qt::CTRL | Qt::Key_D),
                               QStringLiteral("ファイルリストのすべてのファイルに対してGREPを行います。"));
    a.MmDirectory->setData(static_cast<int>(TGrepScope::Directory));
    a.Recursible1 = MakeAction(window, "Recursible1", QStringLiteral("ｻﾌﾞﾃﾞｨﾚｸﾄﾘを含む(&R)"), QKeySequence(Qt::CTRL | Qt::Key_R),
                               QStringLiteral("現在のディレクトリとその下位ディレクトリにあるファイルに対してGREPを行います。"));
    a.Recursible1->setData(static_cast<int>(TGrepScope::Recursive));
    a.MmOneFile = MakeAction(window, "MmOneFile", QStringLiteral("選択ﾌｧｲﾙのみ(&O)"), QKeySequence(Qt::CTRL | Qt::Key_O),
                             QStringLiteral("現在読み込んでいるファイルだけGREPを行います。"));
    a.MmOneFile->setData(static_cast<int>(TGrepScope::SelectedFile));
    a.GREPBar1 = MakeAction(window, "GREPBar1", QStringLiteral("&GREP Bar"), QKeySequence(Qt::CTRL | Qt::Key_G), {});
    window->addAction(a.GREPBar1);
    a.MmJumpNext = MakeAction(window, "MmJumpNext", QStringLiteral("次にﾀｸﾞｼﾞｬﾝﾌﾟ(&N)"), QKeySequence(Qt::Key_F8),
                              QStringLiteral("GREP結果を下向きにタグジャンプします。"));
    a.MmJumpPrev = MakeAction(window, "MmJumpPrev", QStringLiteral("前にﾀｸﾞｼﾞｬﾝﾌﾟ(&P)"),
                              QKeySequence(Qt::SHIFT | Qt::Key_F8), QStringLiteral("GREP結果を上向きにタグジャンプします。"));
    a.Cancel1 = MakeAction(window, "Cancel1", QStringLiteral("GREPをｷｬﾝｾﾙ(&E)"), QKeySequence(Qt::CTRL | Qt::Key_E),
                           QStringLiteral("GREP処理が長いとき、強制的に中断します。"));

    a.MmGrep = new QMenu(QStringLiteral("&GREP"), window);
    a.MmGrep->setObjectName(QStringLiteral("MmGrep"));
    a.MmGrep->menuAction()->setStatusTip(QStringLiteral("GREP (internal)"));
    a.MmGrep->addActions({a.MmDirectory, a.Recursible1, a.MmOneFile});
    a.MmGrep->addSeparator();
    a.MmGrep->addActions({a.MmJumpNext, a.MmJumpPrev});
    a.MmGrep->addSeparator();
    a.MmGrep->addAction(a.Cancel1);

    a.PmGrepOpt = new QMenu(window);
    a.PmGrepOpt->setObjectName(QStringLiteral("PmGrepOpt"));
    a.PmGrepScope = new QActionGroup(a.PmGrepOpt);
    a.PmGrepScope->setExclusive(true);
    a.PmGrepDir = MakeScopeItem(a.PmGrepScope, "PmGrepDir", QStringLiteral("現在のﾃﾞｨﾚｸﾄﾘ"), TGrepScope::Directory);
    a.PmGrepRec = MakeScopeItem(a.PmGrepScope, "PmGrepRec", QStringLiteral("ｻﾌﾞﾃﾞｨﾚｸﾄﾘを含む"), TGrepScope::Recursive);
    a.PmGrepOne = MakeScopeItem(a.PmGrepScope, "PmGrepOne", QStringLiteral("選択ﾌｧｲﾙのみ"), TGrepScope::SelectedFile);
    a.PmGrepDir->setChecked(true);
    a.PmGrepOpt->addActions(a.PmGrepScope->actions());
    a.PmGrepOpt->addSeparator();
    a.PmGFuzzy = a.PmGrepOpt->addAction(QStringLiteral("あいまい検索"));
    a.PmGFuzzy->setObjectName(QStringLiteral("PmGFuzzy"));
    a.PmGFuzzy->setCheckable(true);
    a.PmGMigemo = a.PmGrepOpt->addAction(QStringLiteral("ローマ字検索"));
    a.PmGMigemo->setObjectName(QStringLiteral("PmGMigemo"));
    a.PmGMigemo->setCheckable(true);
    a.PmGMigemo->setStatusTip(kRomajiHint);
    return a;
}

std::optional<TGrepScope> CheckedBarScope(const TGrepActions& actions) {
    for (const QAction* item : {actions.PmGrepOne, actions.PmGrepDir, actions.PmGrepRec})
        if (item->isChecked()) return GrepScopeOf(item->data().toInt());
    return std::nullopt;
}

void CheckBarScope(const TGrepActions& actions, std::optional<TGrepScope> scope) {
    if (!scope) return;
    for (QAction* item : {actions.PmGrepOne, actions.PmGrepDir, actions.PmGrepRec})
        if (GrepScopeOf(item->data().toInt()) == scope) item->setChecked(true);
}

}  // namespace xavo
