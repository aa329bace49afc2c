#include "record/RecordOfRun.h"

#include "flash/FlashOutcome.h"
#include "flash/FlashProtocol.h"

#include <chrono>
#include <string_view>

namespace tamsivo {

RunRecord RecordOfRun(const char* program, std::string startedAt, std::string packageName,
                      std::string port, const FlashRun::Statistics& stats, std::string reason) {
    RunRecord record;
    record.time = std::move(startedAt);
    record.program = program;
    record.package = std::move(packageName);
    if (!stats.packageSha256.empty()) {
        record.packageBytes = stats.packageBytes;
        record.sha256 = stats.packageSha256;
    }
    record.port = std::move(port);
    const char* outcome = OutcomeKeyOf(stats.ending);
    record.outcome = outcome;
    record.reason = std::move(reason);
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
