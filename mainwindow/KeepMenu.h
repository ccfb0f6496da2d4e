// The recently used names under a Qt menu: TFileNameKeep's menu interface on a QMenu.
//
// Items are appended after the menu's own items and show the names literally (a "&" is
// not a mnemonic); a click reports the item's number to the keeper. Entry point: TKeepMenu.
#pragma once

#include "FileNameKeeper.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include <vector>

namespace xavo {

class TKeepMenu : public TFileNameMenu {
public:
    // Menu and Keep are not owned; the actions created belong to Menu.
    TKeepMenu(QMenu* menu, TFileNameKeep& keep) : FMenu(menu), FKeep(&keep) {}

    void AppendSeparator() override;
    void AppendItem(int index) override;
    void SetItemCaption(int index, const std::string& caption) override;

    // Item Index (from 1), or null when it does not exist.
    QAction* Item(int index) const;

private:
    QPointer<QMenu> FMenu;
    TFileNameKeep* FKeep;
    std::vector<QPointer<QAction>> FItems;
};

}  // namespace xavo
