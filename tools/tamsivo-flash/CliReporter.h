#pragma once

#include "ProgressBoard.h"
#include "flash/FlashReporter.h"

#include <cstdint>

namespace tamsivo::cli {

// Receives a run's notifications on the run's own thread and shows them on the board; how the
// run ended, the run's own statistics keep.
class CliReporter : public FlashReporter {
public:
    CliReporter(ProgressBoard& progress, std::size_t row) : progress_(progress), row_(row) {}

    void Report(unsigned message, std::int64_t lParam) override;
    void ConfirmingLastFrame() override { progress_.Confirming(row_); }

private:
    ProgressBoard& progress_;
    std::size_t row_;
};

} // namespace tamsivo::cli
