// The file drop target, see DropDst.h.
#include "DropDst.h"

#include "MessageBoxes.h"
#include "PathText.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <stdexcept>

namespace xavo {

namespace {

// The local files a drag carries, in its order; empty when it carries none.
std::vector<std::string> LocalFilesOf(const QMimeData* mime) {
    std::vector<std::string> files;
    if (mime == nullptr || !mime->hasUrls()) return files;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) continue;
        files.push_back(PathFromUrl(url));
    }
    return files;
}

}  // namespace

TDropDst::TDropDst(QObject* parent) : QObject(parent) {}

TDropDst::~TDropDst() { Unhook(); }

void TDropDst::SetControl(QWidget* control) {
    Unhook();
    if (FControl) disconnect(FControl, nullptr, this, nullptr);
    FControl = control;
    if (control != nullptr) {
        // A destroyed control is forgotten, as is the hook on it.
        connect(control, &QObject::destroyed, this, [this] { Unhook(); });
    }
    Hook();
}

void TDropDst::SetTarget(THookTarget target) {
    Unhook();
    FTarget = target;
    Hook();
}

void TDropDst::Hook() {
    QWidget* target = FControl;
    if (FTarget == htForm) {
        QWidget* start = FControl;
        for (QObject* up = parent(); start == nullptr && up != nullptr; up = up->parent())
            start = qobject_cast<QWidget*>(up);
        target = start != nullptr ? start->window() : nullptr;
        if (target == nullptr) throw std::runtime_error("フック先を特定できません。");
    }
    if (target == nullptr) return;
    FHooked = target;
    // A scroll area receives drags on its viewport; filtering there sees them first.
    auto* area = qobject_cast<QAbstractScrollArea*>(target);
    FDropReceiver = area != nullptr ? area->viewport() : target;
    FReceiverAcceptedDrops = FDropReceiver->acceptDrops();
    FDropReceiver->setAcceptDrops(true);
    FDropReceiver->installEventFilter(this);
}

void TDropDst::Unhook() {
    if (FDropReceiver) {
        FDropReceiver->removeEventFilter(this);
        FDropReceiver->setAcceptDrops(FReceiverAcceptedDrops);
    }
    FDropReceiver = nullptr;
    FHooked = nullptr;
}

bool TDropDst::eventFilter(QObject* watched, QEvent* event) {
    if (watched != FDropReceiver) return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (LocalFilesOf(drag->mimeData()).empty()) return false;
        if (FAcceptDrop) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::vector<std::string> files = LocalFilesOf(drop->mimeData());
        if (files.empty()) return false;
        if (!FAcceptDrop) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        const QPoint point = FDropReceiver->mapTo(FHooked, drop->position().toPoint());
        DoFileDrop(files, point);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

void TDropDst::DoFileDrop(const std::vector<std::string>& files, const QPoint& point) {
    if (!FOnFileDrop) return;
    const TFileDropEvent handler = FOnFileDrop;
    try {
        handler(this, files, point.x(), point.y());
    } catch (const std::exception& error) {
        ShowErrorBox(error);
    } catch (...) {
        ShowErrorBox(QStringLiteral("Unknown error"));
    }
}

}  // namespace xavo
