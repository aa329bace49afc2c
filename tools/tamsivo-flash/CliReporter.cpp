#include "CliReporter.h"

#include "flash/FlashProtocol.h"
#include "record/RecordOfRun.h"

namespace tamsivo::cli {

void CliReporter::Report(unsigned message, std::int64_t lParam) {
    const auto bytes = static_cast<std::uint32_t>(lParam);
    if (message == WM_FLASH_SIZE) {
        progress_.Start(row_, bytes);
    } else if (message == WM_FLASH_PROGRESS) {
        progress_.Update(row_, bytes);
    } else {
        progress_.End(row_, OutcomeKeyOf(message));
    }
}

} // namespace tamsivo::cli
