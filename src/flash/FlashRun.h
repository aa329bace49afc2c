#pragma once

#include "flash/AnswerAt.h"
#include "flash/FirmwarePackage.h"
#include "flash/FlashObserver.h"
#include "flash/FlashProtocol.h"
#include "flash/RunControl.h"
#include "flash/SerialLine.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamsivo {

// A package read once for several runs, so that every port receives the same bytes.
struct LoadedPackage {
    FirmwarePackage image;
    PackageRead read;
};

// What one run sends and where.
struct FlashInputs {
    std::filesystem::path packagePath;
    std::string packageName; // the file name in the run's messages, spelt as they are
    std::string portName;    // Windows-1251 on Windows, the file system's bytes on POSIX
    // Read already: the run sends this and opens no file. Null: the run reads packagePath into
    // the process-wide Image().
    std::shared_ptr<const LoadedPackage> package;
};

// One run of the flashing protocol: reads the package (unless it was given one), opens the
// port, sends frame by frame with echo check, obeys the on-board computer's answers and tells
// its observer how it went: its size, its progress, and how it ended, unless a stop ended it
// with nothing else to tell. `busy` falls after the line has been closed and before the end is
// told. Nothing escapes it: a failure of the program itself ends the run as InternalError.
class FlashRun {
public:
    using LineFactory = std::function<std::unique_ptr<SerialLine>()>;

    struct Options {
        std::uint32_t timeoutMs = kLineTimeoutMs;
        LineFactory makeLine; // empty: the platform's SerialLine
    };

    static constexpr std::size_t kKeptAnswers = 16;

    // What the run did, for the record of it; complete once Run() has returned.
    struct Statistics {
        std::uint32_t framesWritten = 0; // resent frames included
        std::uint32_t resends = 0;
        std::uint32_t waits = 0;
        std::chrono::steady_clock::duration duration{};
        std::vector<AnswerAt> lastAnswers; // the newest kKeptAnswers, oldest first
        // The package that was sent: its text's size and SHA-256, once it was read whole.
        std::uint64_t packageBytes = 0;
        std::string packageSha256;
        RunEnd end; // also when it was not told: a stopped run's end is Cancelled
    };

    FlashRun(RunControl& control, FlashObserver& observer);
    FlashRun(RunControl& control, FlashObserver& observer, Options options);

    void Run(const FlashInputs& inputs);

    const Statistics& Stats() const { return stats_; }
    // The image this run sends: the one it was given, or the process-wide one.
    const FirmwarePackage& Package() const { return package_ != nullptr ? *package_ : Image(); }

    // The process-wide image of the package last read; it outlives every run.
    static FirmwarePackage& Image();

    // How long the line must stay quiet after the last verdict (see kMinQuietAfterVerdictMs),
    // when the computer took `longestAnswer` at most to answer and answers time out after
    // `timeoutMs`.
    static std::uint32_t QuietAfterVerdictMs(std::chrono::steady_clock::duration longestAnswer,
                                             std::uint32_t timeoutMs);

private:
    // How a run ends, and whether that is told after a stop as well.
    struct Ending {
        RunEnd end;
        bool evenIfCancelled = false;
    };
    static Ending Ends(Outcome outcome, int lineError = 0) {
        Ending ending;
        ending.end.outcome = outcome;
        ending.end.lineError = lineError;
        return ending;
    }

    // The stages of a run; each returns the ending.
    Ending Stages(const FlashInputs& inputs, SerialLine& line);
    Ending Transfer(SerialLine& line);
    Ending ConfirmLastVerdict(SerialLine& line, std::chrono::steady_clock::duration longestAnswer);

    void Finish(std::unique_ptr<SerialLine> line, Ending ending);
    void Keep(std::uint8_t answer, std::chrono::steady_clock::time_point at);
    bool Stopped() const { return control_.runAllowed.load() == 0; }

    RunControl& control_;
    FlashObserver& observer_;
    Options options_;
    const FirmwarePackage* package_ = nullptr;
    std::chrono::steady_clock::time_point start_;
    std::uint32_t sent_ = 0; // bytes sent and not withdrawn by a resend
    Statistics stats_;
};

} // namespace tamsivo
