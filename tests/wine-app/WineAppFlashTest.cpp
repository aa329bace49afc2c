// Updates through the real window: Tamsivo.exe under Wine sends its package to the simulated
// adapter and on-board computer, and the driver watches what the dialog shows meanwhile and
// at the end. The expected outcome texts come from the engine's own table, so that the
// dialog is held to what the flasher reports elsewhere.

#include "WineAppFixture.h"

#include "flash/FlashOutcome.h"
#include "flash/FlashProtocol.h"
#include "flash/PackageError.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tamsivo::test;
using tamsivo::sim::BkSimConfig;
using tamsivo::sim::Fault;

constexpr const char* kRunningTitle = "ОБНОВЛЕНИЕ";
constexpr const char* kContactsTitle = "ТОРВИК";
// What the dialog shows after each run in these scenarios: COM1 and the one package.
constexpr const char* kPort = "COM1";
constexpr const char* kPackage = "first.enc";

// The contacts group that the help command shows in place of the port and package groups.
constexpr const char* kSupportText = "1005";
constexpr const char* kTelephone = "1006";
constexpr const char* kMailCaption = "1007";
constexpr const char* kMail = "1008";
constexpr const char* kWebSite = "1012";

// A firmware package as the program reads it and as its frames go on the line.
struct Package {
    std::string text;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> ends; // where each frame ends in `bytes`
};

// Frames with the given payload lengths, their bytes a pattern that differs per `seed`, written
// one frame per line.
Package MakePackage(const std::vector<std::uint32_t>& payloads, unsigned seed) {
    Package package;
    char pair[4];
    for (std::size_t frame = 0; frame < payloads.size(); ++frame) {
        const std::uint32_t length = payloads[frame];
        std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(length >> 8),
                                           static_cast<std::uint8_t>(length & 0xFF)};
        for (std::uint32_t i = 0; i < length; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(seed + frame * 31 + i * 7));
        }
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
            package.text += pair;
            // The length's two bytes are written as one word, the payload as separate pairs.
            if (i >= 1) {
                package.text += i + 1 == bytes.size() ? '\n' : ' ';
            }
        }
        package.bytes.insert(package.bytes.end(), bytes.begin(), bytes.end());
        package.ends.push_back(static_cast<std::uint32_t>(package.bytes.size()));
    }
    return package;
}

// The first `frames` frames of `package`, as the simulator records them when it accepts them.
std::vector<std::uint8_t> FirstFrames(const Package& package, std::size_t frames) {
    const std::uint32_t end = frames == 0 ? 0 : package.ends[frames - 1];
    return std::vector<std::uint8_t>(package.bytes.begin(), package.bytes.begin() + end);
}

std::vector<std::uint8_t> Joined(std::vector<std::uint8_t> first,
                                 const std::vector<std::uint8_t>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

long Number(const DriverReport& report, const std::string& label) {
    const std::string value = report.Value(label);
    EXPECT_FALSE(value.empty()) << label << " is missing";
    return value.empty() ? -1 : std::stol(value);
}

// The dialog's text after an ending notification, built as the engine builds it.
std::string OutcomeTextOf(unsigned notification, long long lParam = 0) {
    const tamsivo::FlashOutcome* outcome = tamsivo::FindOutcome(notification);
    EXPECT_NE(outcome, nullptr) << "no outcome for notification " << notification;
    return outcome == nullptr ? std::string()
                              : tamsivo::OutcomeText(*outcome, kPort, kPackage, lParam);
}

// Reads what the dialog shows once a run has ended.
std::vector<std::string> ReadOutcome(const std::string& label) {
    return Script({{"text", "main", kTitleLabel, label + ".title"},
                   {"control", "main", kMessageLabel, label + ".message"},
                   {"control", "main", kProgress, label + ".progress"},
                   {"control", "main", kPortName, label + ".port"},
                   {"control", "main", kPackageName, label + ".package"},
                   {"focus", "main", label + ".focus"}});
}

// The idle look after a run: the outcome in the title and message, the progress bar hidden,
// both clickable labels enabled again.
void ExpectIdleOutcome(const DriverReport& report, const std::string& label,
                       const std::string& title, const std::string& message) {
    ExpectText(report, label + ".title", title);
    ExpectText(report, label + ".message.text", message);
    ExpectValue(report, label + ".message.visible", "1");
    ExpectValue(report, label + ".progress.visible", "0");
    ExpectValue(report, label + ".port.enabled", "1");
    ExpectValue(report, label + ".package.enabled", "1");
}

// A whole update: the title wipes to "ОБНОВЛЕНИЕ" and the bar moves while the frames go out,
// both labels are locked, then "ВЫПОЛНЕНО" with the focus on the exit button. The computer
// asks once to wait and once for a frame again on the way.
class WineAppFlash : public WineApp {};

TEST_F(WineAppFlash, WholeUpdateShowsProgressThenDone) {
    const Package package =
        MakePackage({16, 1, 64, 200, 3, 128, 250, 7, 32, 100, 5, 60, 240, 12, 90, 33}, 0x40);
    BkSimConfig config;
    config.answers = "ok,88,11,22,ok*";
    // Long enough to look at the running screen: the run takes about three seconds.
    config.processingDelayMs = 150;
    ASSERT_NO_FATAL_FAILURE(SimulatedPort(1, config));
    const fs::path folder = Folder("update", {});
    WritePackage(folder, kPackage, package.text);

    const DriverReport report =
        Run("update", folder, {"forget-settings"},
            Script({{"wait", "main", kShowMs},
                    {"click", "main", kStartButton},
                    {"wait-text", "main", kTitleLabel, ToHex(kRunningTitle), kShowMs},
                    {"wait-pos", "main", kProgress, std::to_string(package.ends[1]), kShowMs},
                    {"pos", "main", kProgress, "running"},
                    {"control", "main", kProgress, "running.progress"},
                    {"control", "main", kMessageLabel, "running.message"},
                    {"control", "main", kPortName, "running.port"},
                    {"control", "main", kPackageName, "running.package"},
                    {"focus", "main", "running.focus"},
                    {"shot", "main", "flash-running"},
                    {"wait-text", "main", kTitleLabel, ToHex(kDoneTitle), kShowMs},
                    ReadOutcome("done"),
                    {"shot", "main", "flash-done"},
                    ExitAndReadPort("escape")}));
    ASSERT_EQ(report.Error(), "");

    // The range is the package's bytes; the bar stood between its ends while it ran.
    EXPECT_EQ(Number(report, "running.max"), static_cast<long>(package.bytes.size()));
    EXPECT_GE(Number(report, "running.pos"), static_cast<long>(package.ends[1]));
    EXPECT_LT(Number(report, "running.pos"), static_cast<long>(package.bytes.size()));
    ExpectValue(report, "running.progress.visible", "1");
    ExpectText(report, "running.message.text", "");
    ExpectValue(report, "running.port.enabled", "0");
    ExpectValue(report, "running.package.enabled", "0");
    ExpectValue(report, "running.focus", kStopButton);

    ExpectIdleOutcome(report, "done", kDoneTitle, kDoneMessage);
    ExpectValue(report, "done.focus", kExitButton);
    ExpectValue(report, "exit", "0");

    EXPECT_EQ(simulator_->Accepted(), package.bytes);
    // The frame answered with a retry went out twice.
    EXPECT_EQ(simulator_->FramesReceived(), package.ends.size() + 1);
    EXPECT_EQ(simulator_->FramesAccepted(), package.ends.size());
}

// Each way a run can fail, shown in the dialog: its caption, its exact text and where the
// focus goes. The start command leaves the focus on the stop button, so "unchanged" means
// there; a port or link failure, or a refused package, sends it back to the start button.
class WineAppFailures : public WineApp {
protected:
    // Three frames; the faults are placed on the second, after one frame was accepted.
    const Package package_ = MakePackage({4, 2, 3}, 0x10);

    fs::path PackageFolder(const std::string& name) {
        const fs::path folder = Folder(name, {});
        WritePackage(folder, kPackage, package_.text);
        return folder;
    }

    // The script that starts a run, waits for the outcome's caption and reads the screen.
    static std::vector<std::string> StartUntil(const std::string& caption,
                                               const std::string& shot = {}) {
        std::vector<std::string> tokens =
            Script({{"click", "main", kStartButton},
                    {"wait-text", "main", kTitleLabel, ToHex(caption), kShowMs},
                    ReadOutcome("end")});
        if (!shot.empty()) {
            tokens.insert(tokens.end(), {"shot", "main", shot});
        }
        return tokens;
    }

    // A run against the simulator behaving as `config`, to its failure.
    void ExpectFailure(const BkSimConfig& config, unsigned notification, const std::string& caption,
                       const std::string& focus, const std::string& shot = {}) {
        ASSERT_NO_FATAL_FAILURE(SimulatedPort(1, config));
        const DriverReport report = Run(
            "failure", PackageFolder("failure"), {"forget-settings"},
            Script(
                {{"wait", "main", kShowMs}, StartUntil(caption, shot), ExitAndReadPort("escape")}));
        ASSERT_EQ(report.Error(), "");
        ExpectIdleOutcome(report, "end", caption, OutcomeTextOf(notification));
        ExpectValue(report, "end.focus", focus);
        ExpectValue(report, "exit", "0");
    }
};

TEST_F(WineAppFailures, NoEcho) {
    BkSimConfig config;
    config.fault = Fault::NoEcho;
    config.faultFrame = 2;
    // The run waits out the line's 10 s timeout for the echo.
    ExpectFailure(config, tamsivo::WM_FLASH_NO_ECHO, kErrorTitle, kStopButton);
    EXPECT_EQ(simulator_->Accepted(), FirstFrames(package_, 1));
    EXPECT_EQ(simulator_->FramesReceived(), 2u);
}

TEST_F(WineAppFailures, ChecksumRetriesExhausted) {
    BkSimConfig config;
    config.answers = "22*";
    ExpectFailure(config, tamsivo::WM_FLASH_CHECKSUM_ERROR, kErrorTitle, kStopButton,
                  "failure-checksum");
    // The first frame went out four times and never passed.
    EXPECT_EQ(simulator_->FramesReceived(), tamsivo::kMaxRetryableAnswers);
    EXPECT_EQ(simulator_->FramesAccepted(), 0u);
}

TEST_F(WineAppFailures, LineRetriesExhausted) {
    BkSimConfig config;
    config.answers = "33*";
    ExpectFailure(config, tamsivo::WM_FLASH_LINE_ERROR, kErrorTitle, kStopButton);
    EXPECT_EQ(simulator_->FramesReceived(), tamsivo::kMaxRetryableAnswers);
    EXPECT_EQ(simulator_->FramesAccepted(), 0u);
}

TEST_F(WineAppFailures, BadSignature) {
    BkSimConfig config;
    config.answers = "ok,44";
    ExpectFailure(config, tamsivo::WM_FLASH_SIGNATURE_ERROR, kErrorTitle, kStopButton);
    EXPECT_EQ(simulator_->Accepted(), FirstFrames(package_, 1));
    EXPECT_EQ(simulator_->FramesReceived(), 2u);
}

TEST_F(WineAppFailures, AdapterOutOfSync) {
    BkSimConfig config;
    config.answers = "ok,66";
    ExpectFailure(config, tamsivo::WM_FLASH_ADAPTER_SYNC_ERROR, kErrorTitle, kStopButton);
    EXPECT_EQ(simulator_->Accepted(), FirstFrames(package_, 1));
    EXPECT_EQ(simulator_->FramesReceived(), 2u);
}

TEST_F(WineAppFailures, NoAnswer) {
    BkSimConfig config;
    config.fault = Fault::NoAnswer;
    config.faultFrame = 2;
    // The run waits out the line's 10 s timeout for the answer.
    ExpectFailure(config, tamsivo::WM_FLASH_NO_ANSWER, kErrorTitle, kStopButton);
    EXPECT_EQ(simulator_->Accepted(), FirstFrames(package_, 1));
    EXPECT_EQ(simulator_->FramesReceived(), 2u);
}

TEST_F(WineAppFailures, BadAnswer) {
    BkSimConfig config;
    config.answers = "ok,55";
    ExpectFailure(config, tamsivo::WM_FLASH_BAD_ANSWER, kErrorTitle, kStopButton);
    EXPECT_EQ(simulator_->Accepted(), FirstFrames(package_, 1));
    EXPECT_EQ(simulator_->FramesReceived(), 2u);
}

TEST_F(WineAppFailures, LinkFailure) {
    BkSimConfig config;
    config.answers = "ok,77";
    ExpectFailure(config, tamsivo::WM_FLASH_LINK_ERROR, "ОШИБКА СВЯЗИ", kStartButton);
    EXPECT_EQ(simulator_->Accepted(), FirstFrames(package_, 1));
    EXPECT_EQ(simulator_->FramesReceived(), 2u);
}

// The package was there at start-up and is gone when the run begins.
TEST_F(WineAppFailures, PackageVanishedBeforeRun) {
    ASSERT_NO_FATAL_FAILURE(SimulatedPort(1));
    const fs::path folder = PackageFolder("vanished");
    const auto program = StartProgram("vanished", folder, {"forget-settings"});
    const DriverReport shown =
        Drive("vanished-shown", {"wait", "main", kShowMs, "text", "main", kPackageName, "package"});
    ExpectText(shown, "package", kPackage);
    std::error_code code;
    EXPECT_TRUE(fs::remove(folder / "updates" / kPackage, code)) << code.message();
    const DriverReport report =
        Drive("vanished", Script({StartUntil(kErrorTitle), ExitAndReadPort("escape")}));
    EndProgram("vanished", *program, report);
    ASSERT_EQ(report.Error(), "");
    ExpectIdleOutcome(report, "end", kErrorTitle, OutcomeTextOf(tamsivo::WM_FLASH_FILE_ERROR));
    ExpectValue(report, "end.focus", kStopButton);
    EXPECT_EQ(simulator_->FramesReceived(), 0u);
}

// COM1 was free at start-up; another program has taken it when the run begins.
TEST_F(WineAppFailures, PortTakenByAnotherProgram) {
    ASSERT_NO_FATAL_FAILURE(SimulatedPort(1));
    const fs::path folder = PackageFolder("taken");
    const auto program = StartProgram("taken", folder, {"forget-settings"});
    const DriverReport shown =
        Drive("taken-shown", {"wait", "main", kShowMs, "text", "main", kPortName, "port"});
    ExpectText(shown, "port", kPort);
    ASSERT_NO_FATAL_FAILURE(Hold(simulator_->SlavePath()));
    const DriverReport report =
        Drive("taken", Script({StartUntil(kErrorTitle), ExitAndReadPort("escape")}));
    EndProgram("taken", *program, report);
    ASSERT_EQ(report.Error(), "");
    ExpectIdleOutcome(report, "end", kErrorTitle, OutcomeTextOf(tamsivo::WM_FLASH_PORT_ERROR));
    ExpectValue(report, "end.focus", kStartButton);
    EXPECT_EQ(simulator_->FramesReceived(), 0u);
}

// A package that is not well formed is refused before a byte goes out, with the reason; each
// run reads the file anew, so a second malformed package gives its own reason.
TEST_F(WineAppFailures, MalformedPackageRefused) {
    ASSERT_NO_FATAL_FAILURE(SimulatedPort(1));
    const fs::path folder = Folder("malformed", {});
    WritePackage(folder, kPackage, "0003 01 02 0G\n");
    const auto program = StartProgram("malformed", folder, {"forget-settings"});
    const DriverReport first =
        Drive("malformed-text", Script({{"wait", "main", kShowMs}, StartUntil(kErrorTitle)}));
    ExpectIdleOutcome(first, "end", kErrorTitle,
                      OutcomeTextOf(tamsivo::WM_FLASH_PACKAGE_ERROR,
                                    static_cast<int>(tamsivo::PackageError::InvalidCharacter)));
    ExpectValue(first, "end.focus", kStartButton);

    // Its frame claims five bytes where three follow.
    WritePackage(folder, kPackage, "0005 01 02 03\n");
    const std::string overrun = OutcomeTextOf(
        tamsivo::WM_FLASH_PACKAGE_ERROR, static_cast<int>(tamsivo::PackageError::FrameOverrun));
    // The title reads "ОШИБКА" already: the new message tells this run's end.
    const DriverReport second = Drive(
        "malformed-frames", Script({{"click", "main", kStartButton},
                                    {"wait-text", "main", kMessageLabel, ToHex(overrun), kShowMs},
                                    ReadOutcome("end"),
                                    ExitAndReadPort("escape")}));
    EndProgram("malformed", *program, second);
    ASSERT_EQ(first.Error(), "");
    ASSERT_EQ(second.Error(), "");
    ExpectIdleOutcome(second, "end", kErrorTitle, overrun);
    ExpectValue(second, "end.focus", kStartButton);
    EXPECT_EQ(simulator_->FramesReceived(), 0u);
}

// The stop command during a run: the run ends without its own outcome, "ОТМЕНА" follows once
// the worker has let the port go, and the next run gets the port.
class WineAppStop : public WineApp {};

TEST_F(WineAppStop, StopCancelsRunAndFreesPort) {
    const Package package = MakePackage(std::vector<std::uint32_t>(30, 20), 0x70);
    BkSimConfig config;
    // About 2.4 s for the whole package: the stop comes after three frames, well before its end.
    config.processingDelayMs = 80;
    ASSERT_NO_FATAL_FAILURE(SimulatedPort(1, config));
    const fs::path folder = Folder("stop", {});
    WritePackage(folder, kPackage, package.text);
    const tamsivo::FlashOutcome& cancelled = tamsivo::CancelledOutcome();
    const std::string cancelText = tamsivo::OutcomeText(cancelled, kPort, kPackage);

    const DriverReport report =
        Run("stop", folder, {"forget-settings"},
            Script({{"wait", "main", kShowMs},
                    // Stop in the idle look does nothing.
                    {"click", "main", kStopButton},
                    {"text", "main", kTitleLabel, "idle.title"},
                    {"click", "main", kStartButton},
                    {"wait-pos", "main", kProgress, std::to_string(package.ends[2]), kShowMs},
                    {"click", "main", kStopButton},
                    {"wait-text", "main", kTitleLabel, ToHex(cancelled.caption), kShowMs},
                    ReadOutcome("cancelled"),
                    {"shot", "main", "stop-cancelled"},
                    // Whatever the ended run might still have sent would be shown by now.
                    {"windows", "windows"},
                    ReadOutcome("later"),
                    {"click", "main", kStartButton},
                    {"wait-text", "main", kTitleLabel, ToHex(kDoneTitle), kShowMs},
                    ReadOutcome("again"),
                    // Stop after the run has ended does nothing either.
                    {"click", "main", kStopButton},
                    {"text", "main", kTitleLabel, "after.title"},
                    ExitAndReadPort("escape")}));
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "idle.title", kProductTitle);
    ExpectIdleOutcome(report, "cancelled", cancelled.caption, cancelText);
    ExpectText(report, "cancelled.message.text", "Обновление отменено пользователем");
    ExpectValue(report, "cancelled.focus", kStartButton);
    ExpectIdleOutcome(report, "later", cancelled.caption, cancelText);
    ExpectIdleOutcome(report, "again", kDoneTitle, kDoneMessage);
    ExpectValue(report, "again.focus", kExitButton);
    ExpectText(report, "after.title", kDoneTitle);
    ExpectValue(report, "exit", "0");

    // The stopped run delivered a part, the second one the whole package.
    const std::vector<std::uint8_t> accepted = simulator_->Accepted();
    ASSERT_GT(accepted.size(), package.bytes.size());
    const std::size_t cutAt = accepted.size() - package.bytes.size();
    EXPECT_LT(cutAt, package.bytes.size()) << "the stopped run sent the whole package";
    EXPECT_GE(cutAt, package.ends[2]);
    const std::vector<std::uint8_t> head(accepted.begin(), accepted.begin() + cutAt);
    const std::vector<std::uint8_t> tail(accepted.begin() + cutAt, accepted.end());
    EXPECT_EQ(head, FirstFrames(package, head.size() / 22)) << "frames of 20-byte payloads";
    EXPECT_EQ(tail, package.bytes);
}

// A stop that comes once the last frame is out, while the computer still judges it: the
// computer takes the frame, and the dialog says so instead of "ОТМЕНА".
TEST_F(WineAppStop, StopAfterTheLastFrameShowsDone) {
    const Package package = MakePackage({20}, 0x33);
    BkSimConfig config;
    config.processingDelayMs = 1500;
    ASSERT_NO_FATAL_FAILURE(SimulatedPort(1, config));
    const fs::path folder = Folder("late-stop", {});
    WritePackage(folder, kPackage, package.text);
    const DriverReport report =
        Run("late-stop", folder, {"forget-settings"},
            Script({{"wait", "main", kShowMs},
                    {"click", "main", kStartButton},
                    {"wait-pos", "main", kProgress, std::to_string(package.ends[0]), kShowMs},
                    {"click", "main", kStopButton},
                    {"wait-text", "main", kTitleLabel, ToHex(kDoneTitle), kShowMs},
                    ReadOutcome("end"),
                    ExitAndReadPort("escape")}));
    ASSERT_EQ(report.Error(), "");
    ExpectIdleOutcome(report, "end", kDoneTitle, kDoneMessage);
    EXPECT_EQ(simulator_->Accepted(), package.bytes);
}

// The commands and clicks that make sense only in the idle look, and the ones that change
// what the next run uses.
class WineAppIdle : public WineApp {};

// Start, help, exit and Escape during a run change nothing: the run goes on alone to its end.
TEST_F(WineAppIdle, StartHelpExitIgnoredWhileRunning) {
    const Package package = MakePackage(std::vector<std::uint32_t>(20, 10), 0x22);
    BkSimConfig config;
    config.processingDelayMs = 150; // about three seconds for the whole package
    ASSERT_NO_FATAL_FAILURE(SimulatedPort(1, config));
    const fs::path folder = Folder("running", {});
    WritePackage(folder, kPackage, package.text);

    const DriverReport report =
        Run("running", folder, {"forget-settings"},
            Script({{"wait", "main", kShowMs},
                    {"click", "main", kStartButton},
                    {"wait-pos", "main", kProgress, std::to_string(package.ends[0]), kShowMs},
                    {"click", "main", kStartButton},
                    {"click", "main", kHelpButton},
                    {"click", "main", kExitButton},
                    {"key", "main", "escape"},
                    {"windows", "during.windows"},
                    {"text", "main", kTitleLabel, "during.title"},
                    {"control", "main", kWebSite, "during.web"},
                    {"pos", "main", kProgress, "during"},
                    {"wait-text", "main", kTitleLabel, ToHex(kDoneTitle), kShowMs},
                    ReadOutcome("done"),
                    ExitAndReadPort("button")}));
    ASSERT_EQ(report.Error(), "");
    ExpectValue(report, "during.windows", "main");
    ExpectText(report, "during.title", kRunningTitle);
    ExpectValue(report, "during.web.visible", "0");
    // The clicks fell inside the run.
    EXPECT_LT(Number(report, "during.pos"), Number(report, "during.max"));
    ExpectIdleOutcome(report, "done", kDoneTitle, kDoneMessage);
    ExpectValue(report, "exit", "0");
    // One run, each frame once: the second start made no second worker.
    EXPECT_EQ(simulator_->Accepted(), package.bytes);
    EXPECT_EQ(simulator_->FramesReceived(), package.ends.size());
}

// Help shows the contacts and, pressed again, brings back exactly the outcome shown before.
// A run started from the contacts view returns to the port and package groups.
TEST_F(WineAppIdle, HelpTwiceRestoresShownOutcome) {
    const Package package = MakePackage({8, 8}, 0x33);
    BkSimConfig config;
    config.answers = "ok,44"; // the first run fails on its second frame, the next passes
    ASSERT_NO_FATAL_FAILURE(SimulatedPort(1, config));
    const fs::path folder = Folder("help", {});
    WritePackage(folder, kPackage, package.text);
    const std::string signature = OutcomeTextOf(tamsivo::WM_FLASH_SIGNATURE_ERROR);

    const auto contacts = [](const std::string& label) {
        return Script({{"control", "main", kSupportText, label + ".support"},
                       {"control", "main", kTelephone, label + ".telephone"},
                       {"control", "main", kMailCaption, label + ".mail-caption"},
                       {"control", "main", kMail, label + ".mail"},
                       {"control", "main", kWebSite, label + ".web"}});
    };
    const DriverReport report =
        Run("help", folder, {"forget-settings"},
            Script({{"wait", "main", kShowMs},
                    {"click", "main", kStartButton},
                    {"wait-text", "main", kTitleLabel, ToHex(kErrorTitle), kShowMs},
                    {"click", "main", kHelpButton},
                    {"wait-text", "main", kTitleLabel, ToHex(kContactsTitle), kShowMs},
                    ReadOutcome("contacts"),
                    contacts("contacts"),
                    {"shot", "main", "help-contacts"},
                    {"click", "main", kHelpButton},
                    ReadOutcome("restored"),
                    contacts("restored"),
                    {"click", "main", kHelpButton},
                    {"wait-text", "main", kTitleLabel, ToHex(kContactsTitle), kShowMs},
                    {"click", "main", kStartButton},
                    {"wait-text", "main", kTitleLabel, ToHex(kDoneTitle), kShowMs},
                    ReadOutcome("done"),
                    contacts("done"),
                    ExitAndReadPort("escape")}));
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "contacts.title", kContactsTitle);
    for (const char* label : {"support", "telephone", "mail-caption", "mail", "web"}) {
        ExpectValue(report, std::string("contacts.") + label + ".visible", "1");
        ExpectValue(report, std::string("restored.") + label + ".visible", "0");
        ExpectValue(report, std::string("done.") + label + ".visible", "0");
    }
    ExpectValue(report, "contacts.port.visible", "0");
    ExpectValue(report, "contacts.package.visible", "0");
    ExpectValue(report, "contacts.message.visible", "0");
    ExpectIdleOutcome(report, "restored", kErrorTitle, signature);
    ExpectValue(report, "restored.port.visible", "1");
    ExpectValue(report, "restored.package.visible", "1");
    ExpectIdleOutcome(report, "done", kDoneTitle, kDoneMessage);
    ExpectValue(report, "done.port.visible", "1");
    ExpectValue(report, "done.package.visible", "1");
    EXPECT_EQ(simulator_->Accepted(), Joined(FirstFrames(package, 1), package.bytes));
}

// Three ports found: each click on the port name shows the next, round to the first, and the
// run goes to the port shown.
TEST_F(WineAppIdle, PortLabelCyclesThroughThreePorts) {
    ASSERT_NO_FATAL_FAILURE(FreePort(1));
    ASSERT_NO_FATAL_FAILURE(SimulatedPort(2));
    ASSERT_NO_FATAL_FAILURE(FreePort(3));
    const fs::path folder = Folder("three-ports", {kPackage});
    std::vector<std::string> script = {"wait", "main",    kShowMs, "text",
                                       "main", kPortName, "port.0"};
    for (int click = 1; click <= 4; ++click) {
        script.insert(script.end(), {"click", "main", kPortName, "text", "main", kPortName,
                                     "port." + std::to_string(click)});
    }
    script.insert(script.end(), {"click", "main", kStartButton, "wait-text", "main", kTitleLabel,
                                 ToHex(kDoneTitle), kShowMs});
    const std::vector<std::string> leave = ExitAndReadPort("escape");
    script.insert(script.end(), leave.begin(), leave.end());

    const DriverReport report = Run("three-ports", folder, {"forget-settings"}, script);
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "port.0", "COM1");
    ExpectText(report, "port.1", "COM2");
    ExpectText(report, "port.2", "COM3");
    ExpectText(report, "port.3", "COM1");
    ExpectText(report, "port.4", "COM2");
    ExpectText(report, "stored", "COM2");
    EXPECT_EQ(simulator_->Accepted(), kPackageBytes);
}

// A click on the package name scans the folder again: one package is taken silently, a
// second one that has appeared brings the selection, and the run sends the one chosen. An
// emptied folder shows its message box and keeps the package chosen before.
TEST_F(WineAppIdle, PackageLabelRescansFolder) {
    ASSERT_NO_FATAL_FAILURE(SimulatedPort(1));
    const fs::path folder = Folder("rescan", {kPackage});
    const Package second = MakePackage({6, 9}, 0x5A);
    const auto program = StartProgram("rescan", folder, {"forget-settings"});

    const DriverReport single =
        Drive("rescan-single", Script({{"wait", "main", kShowMs},
                                       {"click", "main", kPackageName},
                                       {"windows", "windows"},
                                       {"text", "main", kPackageName, "package"}}));
    ExpectValue(single, "windows", "main");
    ExpectText(single, "package", kPackage);

    WritePackage(folder, "second.enc", second.text);
    const DriverReport chosen = Drive(
        "rescan-two", Script({{"click", "main", kPackageName},
                              {"wait", "select", kShowMs},
                              {"list", "select", kFirmwareList, "list"},
                              {"pick", "select", kFirmwareList, "1"},
                              {"click", "select", kOkButton},
                              {"wait-gone", "select", kShowMs},
                              {"text", "main", kPackageName, "package"},
                              {"click", "main", kStartButton},
                              {"wait-text", "main", kTitleLabel, ToHex(kDoneTitle), kShowMs}}));
    ExpectValue(chosen, "list.count", "2");
    ExpectText(chosen, "list.0", kPackage);
    ExpectText(chosen, "list.1", "second.enc");
    ExpectText(chosen, "package", "second.enc");

    std::error_code code;
    fs::remove(folder / "updates" / kPackage, code);
    fs::remove(folder / "updates" / "second.enc", code);
    const DriverReport emptied =
        Drive("rescan-empty", Script({{"click", "main", kPackageName},
                                      {"wait", "message-box", kShowMs},
                                      {"message", "message-box", "box"},
                                      {"click", "message-box", kOkButton},
                                      {"wait-gone", "message-box", kShowMs},
                                      {"windows", "windows"},
                                      {"control", "main", kPackageName, "package"},
                                      {"text", "main", kTitleLabel, "title"},
                                      ExitAndReadPort("escape")}));
    EndProgram("rescan", *program, emptied);
    ASSERT_EQ(single.Error(), "");
    ASSERT_EQ(chosen.Error(), "");
    ASSERT_EQ(emptied.Error(), "");
    ExpectText(emptied, "box.text",
               "В папке\n\"" + ExeDir(folder) +
                   "updates\\\"\nне обнаружено ни одного файла "
                   "микропрограммы БК.\nДальнейшая работа невозможна.");
    ExpectValue(emptied, "windows", "main");
    ExpectText(emptied, "package.text", "second.enc");
    ExpectValue(emptied, "package.enabled", "1");
    ExpectText(emptied, "title", kDoneTitle);
    ExpectValue(emptied, "exit", "0");
    EXPECT_EQ(simulator_->Accepted(), second.bytes);
}

// A 256 KiB package in 256-byte frames through a line paced at 115200 baud, the computer
// answering at once: how close the whole run, as the user sees it from the click to
// "ВЫПОЛНЕНО", comes to the line's own time. Measured and reported, not judged here.
class WineAppSpeed : public WineApp {};

TEST_F(WineAppSpeed, PacedLineRunMeasured) {
    constexpr std::uint32_t kFrames = 1024;
    constexpr std::uint32_t kFrameBytes = 256;
    const Package package = MakePackage(std::vector<std::uint32_t>(kFrames, kFrameBytes - 2), 0x01);
    ASSERT_EQ(package.bytes.size(), 256u * 1024u);
    BkSimConfig config;
    config.baud = tamsivo::kFlashBaudRate;
    ASSERT_NO_FATAL_FAILURE(SimulatedPort(1, config));
    const fs::path folder = Folder("speed", {});
    WritePackage(folder, kPackage, package.text);
    const std::string half = std::to_string(package.bytes.size() / 2);

    const DriverReport report =
        Run("speed", folder, {"forget-settings"},
            Script({{"wait", "main", kShowMs},
                    {"clock", "clock.click"},
                    {"click", "main", kStartButton},
                    {"clock", "clock.started"},
                    {"wait-pos", "main", kProgress, half, "120000"},
                    {"pos", "main", kProgress, "midway"},
                    {"bar-fill", "main", kProgress, "midway.fill"},
                    {"pos", "main", kProgress, "midway.after"},
                    {"text", "main", kTitleLabel, "midway.title"},
                    {"shot", "main", "speed-midway"},
                    {"wait-text", "main", kTitleLabel, ToHex(kDoneTitle), "120000"},
                    {"clock", "clock.done"},
                    ReadOutcome("done"),
                    ExitAndReadPort("escape")}));
    ASSERT_EQ(report.Error(), "");
    ExpectIdleOutcome(report, "done", kDoneTitle, kDoneMessage);
    EXPECT_EQ(simulator_->Accepted(), package.bytes);

    // Midway the bar stood between its ends, and the screen showed it there: the dialog kept
    // repainting while the worker sent.
    const long total = static_cast<long>(package.bytes.size());
    const long before = Number(report, "midway.pos");
    const long after = Number(report, "midway.after.pos");
    EXPECT_EQ(Number(report, "midway.max"), total);
    EXPECT_LT(after, total);
    ExpectText(report, "midway.title", kRunningTitle);
    const long fill = Number(report, "midway.fill");
    // A few columns of the bar's edge and rounding either way.
    EXPECT_GE(fill, before * 1000 / total - 30) << "the bar on the screen lags its position";
    EXPECT_LE(fill, after * 1000 / total + 30) << "the bar on the screen runs ahead";

    const double seconds =
        static_cast<double>(Number(report, "clock.done") - Number(report, "clock.click")) / 1000;
    const double fromWorker =
        static_cast<double>(Number(report, "clock.done") - Number(report, "clock.started")) / 1000;
    // Every byte of the frames, plus one answer byte per frame, at ten bit times a byte.
    const double ideal =
        static_cast<double>(package.bytes.size() + kFrames) * 10 / tamsivo::kFlashBaudRate;
    std::printf("[   WINE   ] speed: %u frames of %u bytes at %u baud: %.2f s from the click "
                "to \"done\" (%.2f s after the start command returned), line's ideal %.2f s, "
                "ratio %.3f\n",
                kFrames, kFrameBytes, tamsivo::kFlashBaudRate, seconds, fromWorker, ideal,
                seconds / ideal);
    std::fflush(stdout);
}

} // namespace
