// The clipboard watcher, see ClipDetector.h.
#include "ClipDetector.h"

#include <QClipboard>
#include <QGuiApplication>

#include <stdexcept>

namespace xavo {

TZqClipDetector::TZqClipDetector(QObject* parent) : QObject(parent) {}

TZqClipDetector::~TZqClipDetector() { disconnect(FConnection); }

void TZqClipDetector::SetOnClipChange(TNotifyEvent handler) {
    if (!handler) {
        disconnect(FConnection);
        FConnection = {};
        FOnClipChange = nullptr;
        return;
    }
    if (Watching()) {
        FOnClipChange = std::move(handler);
        return;
    }
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
                                ? QGuiApplication::clipboard()
                                : nullptr;
    if (clipboard == nullptr) throw std::runtime_error("TZqClipDetector.SetOnClipChange: Cannot Allocate HWnd");
    FOnClipChange = std::move(handler);
    FConnection = connect(clipboard, &QClipboard::dataChanged, this, &TZqClipDetector::DoClipChange);
    if (!FIgnoreFirst) DoClipChange();
}

void TZqClipDetector::DoClipChange() {
    if (!FOnClipChange) return;
    const TNotifyEvent handler = FOnClipChange;  // the handler may unassign itself
    handler(this);
}

}  // namespace xavo
