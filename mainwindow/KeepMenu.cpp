// TFileNameKeep's menu on a QMenu (see KeepMenu.h).
#include "KeepMenu.h"

#include "SjisQt.h"

#include <QAction>
#include <QMenu>

namespace xavo {

void TKeepMenu::AppendSeparator() {
    if (FMenu) FMenu->addSeparator();
}

void TKeepMenu::AppendItem(int index) {
    if (!FMenu) return;
    QAction* action = FMenu->addAction(QString());
    TFileNameKeep* keep = FKeep;
    QObject::connect(action, &QAction::triggered, action, [keep, index] { keep->ItemClick(index); });
    FItems.resize(static_cast<std::size_t>(std::max<int>(index, static_cast<int>(FItems.size()))));
    FItems[static_cast<std::size_t>(index - 1)] = action;
}

void TKeepMenu::SetItemCaption(int index, const std::string& caption) {
    if (QAction* action = Item(index)) {
        QString text = SjisToQString(caption);
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        action->setText(text);
    }
}

QAction* TKeepMenu::Item(int index) const {
    if (index < 1 || index > static_cast<int>(FItems.size())) return nullptr;
    return FItems[static_cast<std::size_t>(index - 1)];
}

}  // namespace xavo
