// The status panel's result message under the hints, see StatusMessage.h.
#include "StatusMessage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>

namespace xavo {

namespace {

bool IsModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
        return true;
    default:
        return false;
    }
}

// True for an event that begins a command: a key (not a modifier alone) or a click. A key
// that triggers a short-cut arrives as ShortcutOverride before the command runs.
bool BeginsCommand(const QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
        return !IsModifierKey(static_cast<const QKeyEvent*>(event)->key());
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return true;
    default:
        return false;
    }
}

}  // namespace

TStatusMessage::TStatusMessage(QLabel* panel, QObject* parent) : QObject(parent), FPanel(panel) {
    // Every widget's input passes the application first; a command's own events come
    // before the command itself, so its result is set after the old one was cleared.
    QCoreApplication::instance()->installEventFilter(this);
}

TStatusMessage::~TStatusMessage() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeEventFilter(this);
}

void TStatusMessage::ShowResult(const QString& message) {
    FResult = message;
    Show();
}

void TStatusMessage::ShowHint(const QString& hint) {
    FHint = hint;
    Show();
}

void TStatusMessage::Show() {
    if (FPanel) FPanel->setText(FHint.isEmpty() ? FResult : FHint);
}

bool TStatusMessage::eventFilter(QObject* watched, QEvent* event) {
    if (!FResult.isEmpty() && BeginsCommand(event)) ClearResult();
    return QObject::eventFilter(watched, event);
}

}  // namespace xavo
