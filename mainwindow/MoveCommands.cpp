// TForm1: moving by drag and drop onto the directory tree. A file dragged from the file
// list moves into the directory dropped on (asking to overwrite or rename when the name is
// taken); the tree's selected directory dragged within the tree moves into the one dropped
// on. Also the tree's context menu, the favourites list accepting a directory of the tree,
// and the wiring of both. Decisions: TreeDrop.h; the moves themselves: FileMove.h.
#include "MainWindow.h"

#include "CommandGuard.h"
#include "ContextMenuEx.h"
#include "DirTree.h"
#include "FileMove.h"
#include "MessageBoxes.h"
#include "PathText.h"
#include "Paths.h"
#include "ShellListBox.h"
#include "TreeDrop.h"
#include "ViewerLogic.h"

#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

#include <sys/stat.h>

namespace xavo {

namespace {

const QString kMoveFailed = QStringLiteral("失敗しました");

}  // namespace

void TForm1::ConnectLeftPaneCommands() {
    Bind(MmAdd, &TForm1::MmAddClick);
    Bind(MmChange, &TForm1::MmChangeClick);
    Bind(MmDel, &TForm1::MmDelClick);
    connect(PmSetting, &QMenu::aboutToShow, this, &TForm1::PmSettingPopup);
    connect(CbSetting, &QComboBox::activated, this, [this] { RunCommand([this] { CbSettingChange(); }); });
    CbSetting->setAcceptDrops(true);

    DTView->setDragEnabled(true);
    DTView->SetOnDragOver([this](Tdirtree*, QObject* source) { return DTViewDragOver(DragOrigin(source, DTView->DragData())); });
    DTView->SetOnDragDrop([this](Tdirtree*, QObject* source) { DTViewDragDrop(DragOrigin(source, DTView->DragData())); });
}

bool TForm1::LeftPaneEvent(QObject* watched, QEvent* event) {
    if (watched == DTView->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() != Qt::RightButton) return false;
        DTViewMouseDown(press->position().toPoint());
        return true;
    }
    if (watched != CbSetting) return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (DragOrigin(drag->source(), drag->mimeData()) == TPaneDrag::DirTree) drag->acceptProposedAction();
        else drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (DragOrigin(drop->source(), drop->mimeData()) != TPaneDrag::DirTree) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // The input box opens after the drag has ended, not inside it.
        QMetaObject::invokeMethod(this, [this] { RunCommand([this] { MmAddClick(); }); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return false;
    }
}

TForm1::TPaneDrag TForm1::DragOrigin(const QObject* source, const QMimeData* mime) const {
    if (source == SLBox || IsFileListDrag(mime)) return TPaneDrag::FileList;
    if (qobject_cast<const Tdirtree*>(source) != nullptr || IsDirTreeDrag(mime)) return TPaneDrag::DirTree;
    return TPaneDrag::None;
}

bool TForm1::DTViewDragOver(TPaneDrag origin) const {
    return (origin == TPaneDrag::FileList && SLBox->Count() > 0) || origin == TPaneDrag::DirTree;
}

void TForm1::DTViewDragDrop(TPaneDrag origin) {
    const std::string target = DTView->DropTargetDir();
    // No node was highlighted during the drag: there is nowhere to move to.
    if (target.empty() || !DTViewDragOver(origin)) return;
    // The questions open after the drag has ended, not inside it; what was dragged and
    // where to are taken now.
    const auto later = [this](std::function<void()> command) {
        QMetaObject::invokeMethod(this, [command] { RunCommand(command); }, Qt::QueuedConnection);
    };
    if (origin == TPaneDrag::DirTree) {
        const std::string directory = DTView->Directory();
        later([this, directory, target] { DropDirectory(directory, target); });
    } else {
        const std::string file = SLBox->SelectedFileName();
        if (!file.empty()) later([this, file, target] { DropFile(file, target); });
    }
}

void TForm1::DropDirectory(const std::string& treeDirectory, const std::string& dropTarget) {
    if (treeDirectory.empty() || treeDirectory.front() == '?') return;
    const TDirectoryDrop drop = PlanDirectoryDrop(treeDirectory, dropTarget);
    switch (drop.Verdict) {
    case TDirectoryDropVerdict::SameDirectory:
        ShowInformationBox(kApplicationTitle, QStringLiteral("移動元と移動先が同じディレクトリです"));
        return;
    case TDirectoryDropVerdict::SameParent:
        ShowInformationBox(kApplicationTitle, QStringLiteral("同じ親ディレクトリには移動できません"));
        return;
    case TDirectoryDropVerdict::Ask:
        break;
    }
    if (FDialogs.Ask(this, QStringLiteral("ディレクトリ移動"), QStringLiteral("移動してよろしいですか？"),
                     QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    if (MoveToDir(drop.Source, drop.Destination, false) != 0) {
        ShowInformationBox(kApplicationTitle, kMoveFailed);
        return;
    }
    FollowMove(WithTrailingSlash(drop.Source), drop.NewPath);
    DTView->Reload();
    DTView->SetDirectory(drop.NewPath);
}

void TForm1::DropFile(const std::string& file, const std::string& dropTarget) {
    struct stat st {};
    int error = 0;
    std::string moved = FileDropTarget(file, dropTarget);
    if (::lstat(moved.c_str(), &st) != 0) {
        error = MoveToDir(file, dropTarget, false);
    } else {
        const QMessageBox::StandardButton answer = FDialogs.Ask(
            this, QStringLiteral("同名のファイルが既に存在します！"),
            QStringLiteral("上書きで置き換えますか？\n\nはい\t:  上書き移動\nいいえ\t:  名前を変えて移動\nキャンセル\t:  何もしない\n"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        if (answer == QMessageBox::Yes) {
            if (DTView->Directory() == dropTarget) return;  // the file itself: nothing to move
            error = MoveToDir(file, dropTarget, true);
        } else if (answer == QMessageBox::No) {
            const std::optional<QString> name =
                FDialogs.InputText(this, QStringLiteral("新しいファイル名を入力"),
                                   QStringLiteral("拡張子を省略すると変更前の拡張子になります"),
                                   PathToQString(FileNameOf(file)));
            if (!name) return;
            moved = dropTarget + RenameTargetName(PathFromQString(*name), file);
            error = MoveToPath(file, moved, false);
        } else {
            return;
        }
    }
    if (error == kMoveSourceChanged) {
        ShowInformationBox(kApplicationTitle,
                           QStringLiteral("移動中に %1 がほかのプログラムによって変更されたため、削除せずに残しました。\n"
                                          "%2 は変更前の内容です。")
                               .arg(PathToQString(file), PathToQString(moved)));
        SLBox->SetDirectory(ProcessDirectory());
        return;
    }
    if (error != 0) {
        ShowInformationBox(kApplicationTitle, kMoveFailed);
        return;
    }
    FollowMove(file, moved);
    SLBox->SetDirectory(ProcessDirectory());
}

void TForm1::DTViewMouseDown(const QPoint& position) {
    const std::string directory = DTView->Directory();
    if (directory.empty() || directory.front() == '?') return;
    try {
        // The root keeps its "/": without it there would be no path at all.
        CmEx->ShowFileMenu(DTView->viewport(), WithoutTrailingSlash(directory), position.x(), position.y());
    } catch (...) {
        // A failing context menu must not disturb the tree.
    }
}

}  // namespace xavo
