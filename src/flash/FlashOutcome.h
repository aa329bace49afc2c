#pragma once

#include "flash/PackageError.h"

#include <string>

namespace tamsivo {

// Where the keyboard focus goes after an outcome is shown.
enum class OutcomeFocus { Unchanged, StartButton, ExitButton };

// What a named value is inserted between the two text pieces.
enum class OutcomeInsert { None, PortName, PackageName };

// The user-visible outcome of a run: the dialog's title and message, in Windows-1251.
struct FlashOutcome {
    unsigned message; // the ending WM_FLASH_* notification; 0 for a cancellation
    const char* caption;
    const char* textBefore;
    OutcomeInsert insert;
    const char* textAfter;
    OutcomeFocus focus;
    const char* key; // the outcome's name in records and scripts: "done", "no_echo", ...
};

// The outcome of an ending notification, or nullptr for WM_FLASH_SIZE, WM_FLASH_PROGRESS and
// unknown numbers.
const FlashOutcome* FindOutcome(unsigned message);

// The outcome shown when the user stops a run.
const FlashOutcome& CancelledOutcome();

// The message text with the port or package name put in. `lParam` is the notification's
// argument: for WM_FLASH_PACKAGE_ERROR it names the reason, which is appended.
std::string OutcomeText(const FlashOutcome& outcome, const std::string& portName,
                        const std::string& packageName, long long lParam = 0);

// The reason of a refused package, as a Windows-1251 phrase ("файл пуст").
const char* PackageErrorReason(PackageError error);

} // namespace tamsivo
