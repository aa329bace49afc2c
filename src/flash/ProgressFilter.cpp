#include "flash/ProgressFilter.h"

#include "flash/FlashProtocol.h"

namespace tamsivo {

bool ProgressFilter::Passes(unsigned message, std::int64_t lParam) {
    if (message == WM_FLASH_SIZE) {
        total_ = lParam;
        shown_ = -1;
        return true;
    }
    if (message != WM_FLASH_PROGRESS) {
        return true;
    }
    const bool passes = shown_ < 0 || total_ <= 0 || lParam >= total_ ||
                        Edge(lParam) != Edge(shown_) || Percent(lParam) != Percent(shown_);
    if (passes) {
        shown_ = lParam;
    }
    return passes;
}

} // namespace tamsivo
