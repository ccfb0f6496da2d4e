// TForm1: the favourites list. Adding, renaming and deleting through its popup menu (or by
// dropping a directory of the tree on it), and choosing an entry, which moves the tree (and
// with it the file list) and applies the entry's mask. The entries' logic is Favourites.h.
#include "MainWindow.h"

#include "DirTree.h"
#include "Favourites.h"
#include "MessageBoxes.h"
#include "PathText.h"
#include "ShellListBox.h"
#include "SjisQt.h"
#include "ViewerLogic.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>

#include <unistd.h>

namespace xavo {

void TForm1::PmSettingPopup() {
    const bool selected = CbSetting->currentIndex() >= 0;
    MmChange->setEnabled(selected);
    MmDel->setEnabled(selected);
}

void TForm1::MmAddClick() {
    const std::string directory = DTView->Directory();
    const std::optional<QString> name = FDialogs.InputText(
        this, QStringLiteral("お気に入りリストに追加"),
        QStringLiteral("名前をつけてください (マスク: ") + PathToQString(SLBox->Mask()) + QStringLiteral(")"),
        PathToQString(DefaultFavouriteName(directory, MmFullAddDir->isChecked())));
    if (!name) return;
    FPathList.push_back(FavouriteEntry({QStringToSjis(*name), directory, SLBox->Mask()}));
    CbSetting->addItem(*name);
    CbSetting->setCurrentIndex(CbSetting->count() - 1);  // shown, not chosen: nothing moves
}

void TForm1::MmChangeClick() {
    const int k = CbSetting->currentIndex();
    if (k < 0 || static_cast<std::size_t>(k) >= FPathList.size()) return;
    std::string& entry = FPathList[static_cast<std::size_t>(k)];
    const std::optional<QString> name =
        FDialogs.InputText(this, QStringLiteral("登録されている名前の変更"), QStringLiteral("新しい名前をつけてください"),
                           SjisToQString(ParseFavourite(entry).Name));
    if (!name) return;
    entry = RenamedFavourite(entry, QStringToSjis(*name));
    CbSetting->setItemText(k, *name);
    CbSetting->setCurrentIndex(k);
}

void TForm1::MmDelClick() {
    const int k = CbSetting->currentIndex();
    if (k < 0) return;
    const QString text = QStringLiteral("お気に入りリストから\n\"") + CbSetting->currentText() + QStringLiteral("\" を削除します");
    if (FDialogs.AskWarning(this, QStringLiteral("よろしいですか？"), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
        QMessageBox::Yes)
        return;
    if (static_cast<std::size_t>(k) < FPathList.size()) FPathList.erase(FPathList.begin() + k);
    CbSetting->removeItem(k);
    CbSetting->setCurrentIndex(-1);
}

void TForm1::CbSettingChange() {
    if (CbSetting->currentIndex() < 0) return;
    const QString shown = CbSetting->currentText();
    const int k = FindFavourite(FPathList, QStringToSjis(shown));
    if (k < 0) {
        ShowInformationBox(kApplicationTitle, QStringLiteral("SList:Can't Find \"") + shown + QStringLiteral("\""));
        return;
    }
    const TFavourite favourite = ParseFavourite(FPathList[static_cast<std::size_t>(k)]);
    if (!favourite.Directory.empty() && ::chdir(favourite.Directory.c_str()) == 0) {
        DTView->SetDirectory(ProcessDirectory());
        if (SLBox->Mask() != favourite.Mask) SetFileMask(PathToQString(favourite.Mask), false);
        return;
    }
    ShowResultMessage(QStringLiteral("Can't find \"") + PathToQString(favourite.Directory) + QStringLiteral("\""));
    SLBox->SetMask(std::string());
    QApplication::beep();
}

}  // namespace xavo
