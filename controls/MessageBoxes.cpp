// The application's message boxes, see MessageBoxes.h.
#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace xavo {

namespace {

TMessagePresenter& Presenter() {
    static TMessagePresenter presenter;
    return presenter;
}

void Present(TMessageKind kind, const QString& caption, const QString& text) {
    if (Presenter()) {
        const TMessagePresenter presenter = Presenter();  // may be replaced while it runs
        presenter(kind, caption, text);
        return;
    }
    QMessageBox box(kind == TMessageKind::Error ? QMessageBox::Critical : QMessageBox::Information,
                    caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

}  // namespace

void ShowErrorBox(const QString& message) {
    try {
        Present(TMessageKind::Error, kApplicationTitle, message);
    } catch (...) {
        // The error box is the last stop; an error while showing it has nowhere to go.
    }
}

void ShowErrorBox(const std::exception& error) { ShowErrorBox(QString::fromUtf8(error.what())); }

void ShowInformationBox(const QString& caption, const QString& text) {
    Present(TMessageKind::Information, caption, text);
}

TMessagePresenter SetMessagePresenter(TMessagePresenter presenter) {
    return std::exchange(Presenter(), std::move(presenter));
}

}  // namespace xavo
