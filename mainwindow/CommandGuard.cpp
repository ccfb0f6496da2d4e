// RunCommand (see CommandGuard.h).
#include "CommandGuard.h"

#include "MessageBoxes.h"

#include <exception>

namespace xavo {

void RunCommand(const std::function<void()>& command) noexcept {
    try {
        command();
    } catch (const std::exception& error) {
        ShowErrorBox(error);
    } catch (...) {
        ShowErrorBox(QStringLiteral("Unknown error"));
    }
}

}  // namespace xavo
