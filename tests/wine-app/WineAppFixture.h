#pragma once

// What every end-to-end scenario of the real Tamsivo.exe shares: the texts and control
// identifiers it looks for, the helpers that compare the driver's report, and the fixture
// that lays out a scenario folder, gives the prefix its COM ports and runs the program beside
// the application driver (tests/windows-app).

#include "ChildProcess.h"
#include "DriverReport.h"
#include "HexText.h"
#include "PseudoTerminal.h"
#include "WineDesktop.h"

#include "BkSimulator.h"
#include "flash/SerialLine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace tamsivo::test {

inline constexpr const char* kWineLoader = "/usr/lib/wine/wine64";
inline constexpr const char* kProgram = TAMSIVO_APP_EXE;

// Generous: the program starts in about a second, the driver's steps take milliseconds.
inline constexpr std::chrono::seconds kDriverDeadline{120};
inline constexpr std::chrono::seconds kProgramEndDeadline{30};
inline constexpr std::chrono::seconds kFailedEndDeadline{2};
// Deadlines inside the driver, in milliseconds as it takes them.
inline constexpr const char* kShowMs = "30000";
inline constexpr const char* kExitMs = "20000";

// The texts the program shows (Windows-1251, as every narrow literal of this build).
inline constexpr const char* kProductTitle = "Tamsivo";
inline constexpr const char* kGreeting = "Утилита обновления ПО бортовых компьютеров. Версия 1.6";
inline constexpr const char* kErrorTitle = "ОШИБКА";
// "СОМ" is Cyrillic here, spelt out as its bytes so that no editor can turn it Latin.
inline constexpr const char* kNoPorts = "В системе отсутствуют \xD1\xCE\xCC порты!";
// Latin H, E, T, not the Cyrillic word it resembles.
inline constexpr const char* kNoPortName = "\x48\x45\x54";
inline constexpr const char* kDoneTitle = "ВЫПОЛНЕНО";
inline constexpr const char* kDoneMessage = "Обновление выполнено успешно!";
inline constexpr const char* kSelectTitle = "Выбор файла";
inline constexpr const char* kSelectHeading = "Выбор микропрограммы";
inline constexpr const char* kSelectInstruction =
    "В папке обновлений обнаружено несколько файлов микропрограмм бортовых компьютеров.\n"
    "Выберите необходимый файл из списка.";

// Control identifiers of the main dialog and the selection dialog.
inline constexpr const char* kTitleLabel = "1000";
inline constexpr const char* kPackageName = "1002";
inline constexpr const char* kProgress = "1003";
inline constexpr const char* kStartButton = "1004";
inline constexpr const char* kPortName = "1009";
inline constexpr const char* kPackageCaption = "1001";
inline constexpr const char* kStopButton = "1011";
inline constexpr const char* kHelpButton = "1013";
inline constexpr const char* kExitButton = "1021";
inline constexpr const char* kMessageLabel = "1023";
inline constexpr const char* kFirmwareList = "1015";
inline constexpr const char* kSelectHeadingLabel = "1014";
inline constexpr const char* kSelectInstructionLabel = "1013";
inline constexpr const char* kOkButton = "1";
inline constexpr const char* kCancelButton = "2";

// A package of one frame of three bytes, and the bytes it puts on the line.
inline constexpr const char* kPackageText = "0003 01 02 03\n";
inline const std::vector<std::uint8_t> kPackageBytes = {0x00, 0x03, 0x01, 0x02, 0x03};

std::string ReadText(const std::filesystem::path& path);
// A Windows-1251 text in quotes, readable in a failure message.
std::string Readable(const std::string& cp1251);

// Compares a text the driver reported with the expected Windows-1251 bytes and shows both
// readably when they differ.
void ExpectText(const DriverReport& report, const std::string& label, const std::string& expected);
void ExpectValue(const DriverReport& report, const std::string& label, const std::string& expected);

std::vector<std::string> Script(std::initializer_list<std::vector<std::string>> parts);
// Leaves the main dialog by the exit button or by Escape ("escape"), waits for the program
// to end ("exit") and reads the port it stored ("stored").
std::vector<std::string> ExitAndReadPort(const std::string& how);

class WineApp : public ::testing::Test {
protected:
    void TearDown() override;

    static std::string TestName();

    // A fresh folder named `name` (Windows-1251) holding a copy of the program and an
    // `updates` folder with the packages named (Windows-1251), created in the order given.
    std::filesystem::path Folder(const std::string& name, const std::vector<std::string>& packages);
    // Writes (or replaces) the package `name` (Windows-1251) of `folder` with `text`.
    void WritePackage(const std::filesystem::path& folder, const std::string& name,
                      const std::string& text);

    // The program's folder as it names it itself: the Windows path with its trailing
    // backslash, Windows-1251.
    static std::string ExeDir(const std::filesystem::path& folder);

    // COMn: a port that opens.
    void FreePort(int number);
    // COMn: a port that exists but that another program holds open, as our own serial line
    // holds a device on Linux (exclusive terminal and lock).
    void HeldPort(int number);
    // Holds the terminal `slavePath` open from here on, as another program would.
    void Hold(const std::string& slavePath);
    // COMn: the simulated adapter and on-board computer, behaving as `config` says.
    void SimulatedPort(int number, const tamsivo::sim::BkSimConfig& config = {});

    // Runs the driver with `tokens` to its end; every command must succeed.
    DriverReport Drive(const std::string& step, const std::vector<std::string>& tokens);

    // Runs the driver's `setup` (the settings as the scenario wants them), then starts the
    // program in `folder`, which the next Drive calls operate.
    std::unique_ptr<ChildProcess> StartProgram(const std::string& step,
                                               const std::filesystem::path& folder,
                                               const std::vector<std::string>& setup);
    // Waits for the program to end, which the last driver `report` must have made it do.
    void EndProgram(const std::string& step, ChildProcess& program, const DriverReport& report);

    // Starts the program in `folder` after `setup`, runs the driver's `script` beside it and
    // waits for the program to end; the script must have ended it.
    DriverReport Run(const std::string& step, const std::filesystem::path& folder,
                     const std::vector<std::string>& setup, const std::vector<std::string>& script);

    std::vector<std::unique_ptr<PseudoTerminal>> terminals_;
    std::vector<std::unique_ptr<tamsivo::SerialLine>> held_;
    std::unique_ptr<tamsivo::sim::BkSimulator> simulator_;
};

} // namespace tamsivo::test
