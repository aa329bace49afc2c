#pragma once

#include "ProgressBoard.h"
#include "flash/FlashReporter.h"

#include <cstdint>

namespace tamsivo::cli {

// Receives a run's notifications on the run's own thread: shows the progress and keeps the
// ending notification for the exit code and the outcome text.
class CliReporter : public FlashReporter {
public:
    CliReporter(ProgressBoard& progress, std::size_t row) : progress_(progress), row_(row) {}

    void Report(unsigned message, std::int64_t lParam) override;

    bool Ended() const { return ending_ != 0; }
    unsigned Ending() const { return ending_; }
    std::int64_t EndingParam() const { return endingParam_; }
    std::uint32_t SentBytes() const { return sent_; }

private:
    ProgressBoard& progress_;
    std::size_t row_;
    unsigned ending_ = 0;
    std::int64_t endingParam_ = 0;
    std::uint32_t sent_ = 0;
};

} // namespace tamsivo::cli
