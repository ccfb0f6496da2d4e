// The conventions every window command follows: a long operation shows the hour-glass and
// a busy caption and restores both on every exit path (TBusyCaption), and an error the
// command does not catch ends up in the application's error box while the window stays
// usable (RunCommand). Entry points: TBusyCaption, RunCommand.
#pragma once

#include "WaitCursor.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

namespace xavo {

// While it lives: the hour-glass and BusyCaption as Window's title. When it goes, the
// cursor returns and the title becomes the final caption: the title Window had before,
// unless another one is given (at construction or later).
class TBusyCaption {
public:
    TBusyCaption(QWidget* window, const QString& busyCaption)
        : FWindow(window), FFinalCaption(window->windowTitle()) {
        window->setWindowTitle(busyCaption);
    }
    TBusyCaption(QWidget* window, const QString& busyCaption, QString finalCaption)
        : TBusyCaption(window, busyCaption) {
        FFinalCaption = std::move(finalCaption);
    }
    ~TBusyCaption() {
        if (FWindow) FWindow->setWindowTitle(FFinalCaption);
    }
    TBusyCaption(const TBusyCaption&) = delete;
    TBusyCaption& operator=(const TBusyCaption&) = delete;

    void SetFinalCaption(QString caption) { FFinalCaption = std::move(caption); }

private:
    QPointer<QWidget> FWindow;
    QString FFinalCaption;
    TWaitCursor FCursor;
};

// Runs Command; an exception it lets through is shown in the application's error box
// (its message as UTF-8). Never throws.
void RunCommand(const std::function<void()>& command) noexcept;

}  // namespace xavo
