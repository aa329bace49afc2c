#include "record/RecordOfRun.h"

#include <chrono>

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
    record.outcome = RowOf(stats.end.outcome).key;
    record.reason = std::move(reason);
    record.frames = stats.framesWritten;
    record.resends = stats.resends;
    record.waits = stats.waits;
    record.sent = stats.end.sent;
    record.seconds = std::chrono::duration<double>(stats.duration).count();
    if (stats.end.outcome != Outcome::Done && stats.end.outcome != Outcome::Cancelled) {
        record.lastAnswers = stats.lastAnswers;
    }
    return record;
}

} // namespace tamsivo
