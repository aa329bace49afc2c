#include "ui/ProgressFilter.h"

namespace tamsivo {

void ProgressFilter::Start(std::uint32_t total) {
    total_ = total;
    shown_ = -1;
}

bool ProgressFilter::Passes(std::uint32_t sent) {
    const std::int64_t at = sent;
    const bool passes = shown_ < 0 || total_ <= 0 || at >= total_ || Edge(at) != Edge(shown_) ||
                        Percent(at) != Percent(shown_);
    if (passes) {
        shown_ = at;
    }
    return passes;
}

} // namespace tamsivo
