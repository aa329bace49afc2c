#include "record/RecordOfRun.h"

#include "flash/FlashOutcome.h"
#include "flash/FlashProtocol.h"

#include <chrono>
#include <string_view>

namespace tamsivo {

RunRecord RecordOfRun(const char* program, std::string startedAt, const FileDigest& package,
                      std::string packageName, std::string port, const char* outcome,
                      const FlashRun::Statistics& stats) {
    RunRecord record;
    record.time = std::move(startedAt);
    record.program = program;
    record.package = std::move(packageName);
    record.packageBytes = package.bytes;
    record.sha256 = package.sha256;
    record.port = std::move(port);
    record.outcome = outcome;
    record.frames = stats.framesWritten;
    record.resends = stats.resends;
    record.waits = stats.waits;
    record.sent = stats.sent;
    record.seconds = std::chrono::duration<double>(stats.duration).count();
    const std::string_view key(outcome);
    if (key != "done" && key != "cancelled") {
        for (const FlashRun::TimedAnswer& answer : stats.lastAnswers) {
            record.lastAnswers.push_back({answer.answer, answer.ms});
        }
    }
    return record;
}

const char* OutcomeKeyOf(unsigned ending) {
    if (ending == 0) {
        return CancelledOutcome().key;
    }
    const FlashOutcome* outcome = FindOutcome(ending);
    return outcome != nullptr ? outcome->key : FindOutcome(WM_FLASH_INTERNAL_ERROR)->key;
}

} // namespace tamsivo
