#pragma once

#include "flash/FirmwarePackage.h"
#include "flash/FlashProtocol.h"
#include "flash/FlashReporter.h"
#include "flash/Platform.h"
#include "flash/SerialLine.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamsivo {

struct AppState;

// A package read once for several runs, so that every port receives the same bytes.
struct LoadedPackage {
    FirmwarePackage image;
    PackageRead read;
};

// What one run sends and where, read from the shared state when the run starts.
struct FlashInputs {
    std::string packagePath; // Windows-1251 on Windows
    std::string packageName; // the file name shown in messages
    std::string portName;
    // Read already: the run sends this and opens no file. Null: the run reads packagePath into
    // the process-wide Image().
    std::shared_ptr<const LoadedPackage> package;
};

// exeDir + "updates" + separator + firmwareName, and the port name.
FlashInputs FlashInputsFrom(const AppState& state);

// One run of the flashing protocol: reads the package into the process-wide image, opens the
// port, sends frame by frame with echo check, obeys the on-board computer's answers and ends
// with exactly one notification, or none after a cancellation. Runs on the worker thread;
// `busy` falls before the ending notification and after the line has been closed. Nothing
// escapes it: a failure of the program itself ends the run with WM_FLASH_INTERNAL_ERROR.
class FlashRun {
public:
    using LineFactory = std::function<std::unique_ptr<SerialLine>()>;

    struct Options {
        std::uint32_t timeoutMs = kLineTimeoutMs;
        LineFactory makeLine; // empty: the platform's SerialLine
    };

    // An answer of the on-board computer and when it came, in ms since the run began.
    struct TimedAnswer {
        std::uint8_t answer;
        std::uint32_t ms;
    };
    static constexpr std::size_t kKeptAnswers = 16;

    // What the run did, for the record of it; complete once Run() has returned.
    struct Statistics {
        std::uint32_t framesWritten = 0; // resent frames included
        std::uint32_t resends = 0;
        std::uint32_t waits = 0;
        std::uint32_t sent = 0; // the progress last reported
        std::chrono::steady_clock::duration duration{};
        std::vector<TimedAnswer> lastAnswers; // the newest kKeptAnswers, oldest first
        int portError = 0;                    // SerialLine::LastError() when the port did not open
        // The system's reason a transfer on the open line failed (a hang-up, a vanished
        // adapter); 0 when none failed or one merely timed out.
        int lineError = 0;
        // The package that was sent: its text's size and SHA-256, once it was read whole.
        std::uint64_t packageBytes = 0;
        std::string packageSha256;
        unsigned ending = 0;          // the notification the run ended with; 0: stopped, none told
        std::int64_t endingParam = 0; // the ending notification's lParam
    };

    FlashRun(AppState& state, FlashReporter& reporter);
    FlashRun(AppState& state, FlashReporter& reporter, Options options);

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
    // How a run ends: the notification that tells it, if any.
    struct Ending {
        unsigned message = 0; // 0: stopped by the user, nothing to tell
        std::int64_t lParam = 0;
        bool evenIfCancelled = false; // reported after a stop as well
        int lineError = 0;            // see Statistics::lineError
    };

    // The stages of a run; each returns the ending, or nothing when the run goes on.
    Ending Stages(const FlashInputs& inputs, SerialLine& line);
    std::optional<Ending> Open(const FlashInputs& inputs, SerialLine& line);
    Ending Transfer(SerialLine& line);
    Ending ConfirmLastVerdict(SerialLine& line, std::chrono::steady_clock::duration longestAnswer,
                              std::uint32_t sentTotal);
    bool Stopped() const;

    void Finish(std::unique_ptr<SerialLine> line, const Ending& ending);
    void Notify(unsigned message, std::int64_t lParam);
    void Keep(std::uint8_t answer, std::chrono::steady_clock::time_point at);

    AppState& state_;
    FlashReporter& reporter_;
    Options options_;
    const FirmwarePackage* package_ = nullptr;
    std::chrono::steady_clock::time_point start_;
    Statistics stats_;
};

} // namespace tamsivo
