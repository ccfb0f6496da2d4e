// The hour-glass for the whole application while a scope runs; restored on every exit path.
#pragma once

#include <QApplication>
#include <QCursor>

namespace xavo {

class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

}  // namespace xavo
