#pragma once

#include "ProgressBoard.h"
#include "flash/FlashObserver.h"

#include <cstdint>

namespace tamsivo::cli {

// Shows what a run does on the board, on the run's own thread; how the run ended, the run's own
// statistics keep.
class CliReporter : public FlashObserver {
public:
    CliReporter(ProgressBoard& progress, std::size_t row) : progress_(progress), row_(row) {}

    void Sized(std::uint32_t byteCount) override { progress_.Start(row_, byteCount); }
    void Progressed(std::uint32_t sent) override { progress_.Update(row_, sent); }
    void ConfirmingLastFrame() override { progress_.Confirming(row_); }
    void Ended(const RunEnd& end) override { progress_.End(row_, RowOf(end.outcome).key); }

private:
    ProgressBoard& progress_;
    std::size_t row_;
};

} // namespace tamsivo::cli
