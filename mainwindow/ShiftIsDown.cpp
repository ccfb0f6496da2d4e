// ShiftIsDown (see StringUtils.h): the one helper that asks the window system.
#include "StringUtils.h"

#include <QGuiApplication>

namespace xavo {

bool ShiftIsDown() { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier); }

}  // namespace xavo
