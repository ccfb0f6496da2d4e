// RunCommand (see CommandGuard.h).
#include "CommandGuard.h"

#include "ErrorText.h"
#include "IniFile.h"
#include "MessageBoxes.h"

#include <exception>

namespace xavo {

void RunCommand(const std::function<void()>& command) noexcept {
    try {
        command();
    } catch (const EIniFileError& error) {
        // The store's message names the file; the box also says why it was refused.
        ShowErrorBox(QString::fromUtf8(error.what()) +
                     (error.ErrorCode != 0 ? QStringLiteral(": ") + QString::fromStdString(ErrorReason(error.ErrorCode))
                                           : QString()));
    } catch (const std::exception& error) {
        ShowErrorBox(error);
    } catch (...) {
        ShowErrorBox(QStringLiteral("Unknown error"));
    }
}

}  // namespace xavo
