// Drives the real Tamsivo.exe under Wine: each scenario lays out a folder with a copy of the
// program and its `updates` folder, gives the prefix the COM ports it needs, starts the
// program and, beside it, the application driver (tests/windows-app), which looks at and
// operates the program's windows as a user would and reports what it saw.

#include "ChildProcess.h"
#include "DriverReport.h"
#include "HexText.h"
#include "PseudoTerminal.h"
#include "WineDesktop.h"

#include "BkSimulator.h"
#include "flash/SerialLine.h"
#include "text/Cp1251.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;
using tamsivo::test::ChildProcess;
using tamsivo::test::DriverReport;
using tamsivo::test::ToHex;
using tamsivo::test::WineDesktop;

constexpr const char* kWineLoader = "/usr/lib/wine/wine64";
constexpr const char* kProgram = TAMSIVO_APP_EXE;

// Generous: the program starts in about a second, the driver's steps take milliseconds.
constexpr seconds kDriverDeadline{120};
constexpr seconds kProgramEndDeadline{30};
constexpr seconds kFailedEndDeadline{2};
// Deadlines inside the driver, in milliseconds as it takes them.
constexpr const char* kShowMs = "30000";
constexpr const char* kExitMs = "20000";

// The texts the program shows (Windows-1251, as every narrow literal of this build).
constexpr const char* kProductTitle = "Tamsivo";
constexpr const char* kGreeting = "Утилита обновления ПО бортовых компьютеров. Версия 1.6";
constexpr const char* kErrorTitle = "ОШИБКА";
// "СОМ" is Cyrillic here, spelt out as its bytes so that no editor can turn it Latin.
constexpr const char* kNoPorts = "В системе отсутствуют \xD1\xCE\xCC порты!";
// Latin H, E, T, not the Cyrillic word it resembles.
constexpr const char* kNoPortName = "\x48\x45\x54";
constexpr const char* kDoneTitle = "ВЫПОЛНЕНО";
constexpr const char* kDoneMessage = "Обновление выполнено успешно!";
constexpr const char* kSelectTitle = "Выбор файла";
constexpr const char* kSelectHeading = "Выбор микропрограммы";
constexpr const char* kSelectInstruction =
    "В папке обновлений обнаружено несколько файлов микропрограмм бортовых компьютеров.\n"
    "Выберите необходимый файл из списка.";

// Control identifiers of the main dialog and the selection dialog.
constexpr const char* kTitleLabel = "1000";
constexpr const char* kPackageName = "1002";
constexpr const char* kProgress = "1003";
constexpr const char* kStartButton = "1004";
constexpr const char* kPortName = "1009";
constexpr const char* kPackageCaption = "1001";
constexpr const char* kHelpButton = "1013";
constexpr const char* kExitButton = "1021";
constexpr const char* kMessageLabel = "1023";
constexpr const char* kFirmwareList = "1015";
constexpr const char* kSelectHeadingLabel = "1014";
constexpr const char* kSelectInstructionLabel = "1013";
constexpr const char* kOkButton = "1";
constexpr const char* kCancelButton = "2";

// A package of one frame of three bytes, and the bytes it puts on the line.
constexpr const char* kPackageText = "0003 01 02 03\n";
const std::vector<std::uint8_t> kPackageBytes = {0x00, 0x03, 0x01, 0x02, 0x03};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Readable(const std::string& cp1251) {
    return "\"" + tamsivo::Cp1251ToUtf8(cp1251) + "\"";
}

// Compares a text the driver reported with the expected Windows-1251 bytes and shows both
// readably when they differ.
void ExpectText(const DriverReport& report, const std::string& label, const std::string& expected) {
    const std::string actual = report.Text(label);
    EXPECT_EQ(ToHex(actual), ToHex(expected))
        << label << " shows " << Readable(actual) << ", expected " << Readable(expected);
}

void ExpectValue(const DriverReport& report, const std::string& label,
                 const std::string& expected) {
    EXPECT_EQ(report.Value(label), expected) << label;
}

std::vector<std::string> Script(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> tokens;
    for (const std::vector<std::string>& part : parts) {
        tokens.insert(tokens.end(), part.begin(), part.end());
    }
    return tokens;
}

// The driver's commands that read the main dialog's greeting or error screen.
std::vector<std::string> ReadMainScreen() {
    return Script({{"text", "main", "0", "caption"},
                   {"control", "main", kTitleLabel, "title"},
                   {"control", "main", kMessageLabel, "message"},
                   {"control", "main", kPackageName, "package"},
                   {"control", "main", kPortName, "port"},
                   {"control", "main", kStartButton, "start"},
                   {"control", "main", kProgress, "progress"},
                   {"focus", "main", "focus"}});
}

std::vector<std::string> ExitAndReadPort(const std::string& how) {
    std::vector<std::string> tokens;
    if (how == "escape") {
        tokens = {"key", "main", "escape"};
    } else {
        tokens = {"click", "main", kExitButton};
    }
    tokens.insert(tokens.end(), {"wait-exit", kExitMs, "exit", "read-port", "stored"});
    return tokens;
}

class WineApp : public ::testing::Test {
protected:
    void TearDown() override {
        WineDesktop::Current().ResetComLinks();
        held_.clear();
        terminals_.clear();
        if (simulator_) {
            simulator_->Stop();
            EXPECT_EQ(simulator_->ServeError(), "");
        }
    }

    static std::string TestName() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        return std::string(info->test_suite_name()) + "." + info->name();
    }

    // A fresh folder named `name` (Windows-1251) holding a copy of the program and an
    // `updates` folder with the packages named (Windows-1251), created in the order given.
    fs::path Folder(const std::string& name, const std::vector<std::string>& packages) {
        const fs::path folder =
            WineDesktop::Current().Scenarios() / TestName() / tamsivo::Cp1251ToUtf8(name);
        std::error_code code;
        fs::remove_all(folder, code);
        fs::create_directories(folder / "updates", code);
        EXPECT_FALSE(code) << folder << ": " << code.message();
        fs::copy_file(kProgram, folder / "Tamsivo.exe", fs::copy_options::overwrite_existing, code);
        EXPECT_FALSE(code) << "copying " << kProgram << ": " << code.message();
        for (const std::string& package : packages) {
            std::ofstream(folder / "updates" / tamsivo::Cp1251ToUtf8(package)) << kPackageText;
        }
        WineDesktop::Current().GiveToWineUser(WineDesktop::Current().Scenarios());
        return folder;
    }

    // The program's folder as it names it itself: the Windows path with its trailing
    // backslash, Windows-1251.
    static std::string ExeDir(const fs::path& folder) {
        return tamsivo::Utf8ToCp1251(WineDesktop::WindowsPath(folder)) + "\\";
    }

    // COMn: a port that opens.
    void FreePort(int number) {
        auto terminal = std::make_unique<tamsivo::test::PseudoTerminal>();
        std::string error;
        ASSERT_TRUE(terminal->Open(&error)) << error;
        ASSERT_TRUE(WineDesktop::Current().LinkCom(number, terminal->SlavePath(), &error)) << error;
        terminals_.push_back(std::move(terminal));
    }

    // COMn: a port that exists but that another program holds open, as our own serial line
    // holds a device on Linux (exclusive terminal and lock).
    void HeldPort(int number) {
        ASSERT_NO_FATAL_FAILURE(FreePort(number));
        auto line = std::make_unique<tamsivo::SerialLine>();
        ASSERT_TRUE(line->Open(terminals_.back()->SlavePath().c_str(), 115200, 500))
            << "holding " << terminals_.back()->SlavePath();
        held_.push_back(std::move(line));
    }

    // COMn: the simulated adapter and on-board computer, accepting everything.
    void SimulatedPort(int number) {
        simulator_ = std::make_unique<tamsivo::sim::BkSimulator>(tamsivo::sim::BkSimConfig{});
        std::string error;
        ASSERT_TRUE(simulator_->Start(&error)) << error;
        ASSERT_EQ(::chmod(simulator_->SlavePath().c_str(), 0666), 0) << simulator_->SlavePath();
        ASSERT_TRUE(WineDesktop::Current().LinkCom(number, simulator_->SlavePath(), &error))
            << error;
    }

    // Runs the driver with `tokens` to its end; every command must succeed.
    DriverReport Drive(const std::string& step, const std::vector<std::string>& tokens) {
        WineDesktop& desk = WineDesktop::Current();
        const fs::path log = desk.Logs() / (TestName() + "-" + step + ".log");
        std::vector<std::string> argv = {kWineLoader, desk.Driver().string(), "--out",
                                         WineDesktop::WindowsPath(desk.Screenshots())};
        argv.insert(argv.end(), tokens.begin(), tokens.end());
        const ChildProcess driver =
            ChildProcess::Run(desk.WineProcess(argv, "", log.string()), kDriverDeadline);
        const std::string output = ReadText(log);
        std::cout << "[   WINE   ] " << step << ": driver " << driver.Describe() << "\n";
        EXPECT_TRUE(driver.Succeeded()) << step << ": driver " << driver.Describe() << "\n"
                                        << output;
        return DriverReport(output);
    }

    // Starts the program in `folder` after the driver has run `setup` (the settings as the
    // scenario wants them), runs the driver's `script` beside it and waits for the program to
    // end; the script must have ended it.
    DriverReport Run(const std::string& step, const fs::path& folder,
                     const std::vector<std::string>& setup,
                     const std::vector<std::string>& script) {
        Drive(step + "-setup", setup);
        WineDesktop& desk = WineDesktop::Current();
        const fs::path log = desk.Logs() / (TestName() + "-" + step + "-program.log");
        ChildProcess program;
        std::string error;
        EXPECT_TRUE(program.Start(desk.WineProcess({kWineLoader, (folder / "Tamsivo.exe").string()},
                                                   folder.string(), log.string()),
                                  &error))
            << error;
        DriverReport report = Drive(step, script);
        // A script that failed half-way may have left the program waiting for a user.
        if (!program.Wait(report.Error().empty() ? kProgramEndDeadline : kFailedEndDeadline)) {
            program.Kill();
        }
        std::cout << "[   WINE   ] " << step << ": program " << program.Describe() << "\n";
        EXPECT_TRUE(program.Succeeded()) << "Tamsivo.exe: " << program.Describe() << "\n"
                                         << ReadText(log);
        return report;
    }

    std::vector<std::unique_ptr<tamsivo::test::PseudoTerminal>> terminals_;
    std::vector<std::unique_ptr<tamsivo::SerialLine>> held_;
    std::unique_ptr<tamsivo::sim::BkSimulator> simulator_;
};

// Port discovery: COM1 and COM3 open, COM2 is held by another program.
class WineAppPorts : public WineApp {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(FreePort(1));
        ASSERT_NO_FATAL_FAILURE(HeldPort(2));
        ASSERT_NO_FATAL_FAILURE(FreePort(3));
    }
};

// First start, nothing remembered: the greeting with the one package and the first free port.
// Clicking the port name steps through the free ports only, and the port shown last is
// stored at exit.
TEST_F(WineAppPorts, GreetingShowsFirstFreePortAndSkipsHeldOne) {
    const fs::path folder = Folder("one-package", {"first.enc"});
    const DriverReport report =
        Run("greeting", folder, {"forget-settings"},
            Script({{"wait", "main", kShowMs},
                    ReadMainScreen(),
                    {"shot", "main", "greeting"},
                    {"click", "main", kPortName, "text", "main", kPortName, "port.step1"},
                    {"click", "main", kPortName, "text", "main", kPortName, "port.step2"},
                    ExitAndReadPort("button")}));
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "caption", kProductTitle);
    ExpectText(report, "title.text", kProductTitle);
    ExpectText(report, "message.text", kGreeting);
    ExpectValue(report, "message.visible", "1");
    ExpectValue(report, "progress.visible", "0");
    ExpectText(report, "package.text", "first.enc");
    ExpectValue(report, "package.visible", "1");
    ExpectText(report, "port.text", "COM1");
    ExpectValue(report, "port.visible", "1");
    ExpectValue(report, "start.enabled", "1");
    ExpectValue(report, "focus", kStartButton);
    // COM2 is skipped: the list is COM1, COM3.
    ExpectText(report, "port.step1", "COM3");
    ExpectText(report, "port.step2", "COM1");
    ExpectValue(report, "exit", "0");
    ExpectText(report, "stored", "COM1");

    // Once the other program lets COM2 go, it is listed between the two.
    held_.clear();
    const DriverReport released =
        Run("released", folder, {"forget-settings"},
            Script({{"wait", "main", kShowMs},
                    {"click", "main", kPortName, "text", "main", kPortName, "port.step1"},
                    {"click", "main", kPortName, "text", "main", kPortName, "port.step2"},
                    ExitAndReadPort("escape")}));
    ASSERT_EQ(released.Error(), "");
    ExpectText(released, "port.step1", "COM2");
    ExpectText(released, "port.step2", "COM3");
    ExpectText(released, "stored", "COM3");
}

// A remembered port that is free is shown although another comes first; one that no longer
// exists gives way to the first free port and is replaced at exit.
TEST_F(WineAppPorts, RememberedPortIsShownWhenFree) {
    const fs::path folder = Folder("remembered", {"first.enc"});
    const DriverReport remembered =
        Run("remembered", folder, {"write-port", ToHex("COM3")},
            Script({{"wait", "main", kShowMs, "text", "main", kPortName, "port"},
                    {"click", "main", kPortName, "text", "main", kPortName, "port.step1"},
                    {"click", "main", kPortName, "text", "main", kPortName, "port.step2"},
                    ExitAndReadPort("escape")}));
    ASSERT_EQ(remembered.Error(), "");
    ExpectText(remembered, "port", "COM3");
    ExpectText(remembered, "port.step1", "COM1");
    ExpectText(remembered, "port.step2", "COM3");
    ExpectText(remembered, "stored", "COM3");

    const DriverReport vanished =
        Run("vanished", folder, {"write-port", ToHex("COM9")},
            Script({{"wait", "main", kShowMs, "text", "main", kPortName, "port"},
                    ExitAndReadPort("escape")}));
    ASSERT_EQ(vanished.Error(), "");
    ExpectText(vanished, "port", "COM1");
    ExpectText(vanished, "stored", "COM1");
}

class WineAppNoPort : public WineApp {};

// No serial port at all: "HET" (Latin) as the port, start disabled, the error screen; the
// port label does nothing, and "HET" is what is stored. The next start with a port shows it.
TEST_F(WineAppNoPort, ErrorScreenAndHetStored) {
    const fs::path folder = Folder("no-port", {"first.enc"});
    const DriverReport report =
        Run("no-port", folder, {"forget-settings"},
            Script({{"wait", "main", kShowMs},
                    ReadMainScreen(),
                    {"shot", "main", "no-port"},
                    {"click", "main", kPortName, "text", "main", kPortName, "port.after-click"},
                    ExitAndReadPort("button")}));
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "title.text", kErrorTitle);
    ExpectText(report, "message.text", kNoPorts);
    ExpectValue(report, "message.visible", "1");
    ExpectText(report, "port.text", kNoPortName);
    ExpectText(report, "port.after-click", kNoPortName);
    ExpectValue(report, "start.enabled", "0");
    ExpectText(report, "package.text", "first.enc");
    ExpectText(report, "caption", kProductTitle);
    ExpectValue(report, "exit", "0");
    ExpectText(report, "stored", kNoPortName);

    // "HET" from the last run matches no real port.
    ASSERT_NO_FATAL_FAILURE(FreePort(1));
    const DriverReport next =
        Run("port-back", folder, {"read-port", "before"},
            Script({{"wait", "main", kShowMs, "text", "main", kPortName, "port"},
                    {"control", "main", kStartButton, "start"},
                    ExitAndReadPort("escape")}));
    ASSERT_EQ(next.Error(), "");
    ExpectText(next, "port", "COM1");
    ExpectValue(next, "start.enabled", "1");
    ExpectText(next, "stored", "COM1");
}

class WineAppNoPackage : public WineApp {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(FreePort(1)); }
};

// An empty `updates` folder: the error box names the folder, the main dialog never shows, the
// program ends once the box is closed, and the port is still stored.
TEST_F(WineAppNoPackage, MessageBoxThenProgramEnds) {
    const fs::path folder = Folder("no-package", {});
    const DriverReport report =
        Run("no-package", folder, {"forget-settings"},
            Script({{"wait", "message-box", kShowMs},
                    {"message", "message-box", "box"},
                    {"windows", "shown"},
                    {"shot", "message-box", "no-package"},
                    {"click", "message-box", kOkButton},
                    {"wait-exit", kExitMs, "exit", "read-port", "stored"}}));
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "box.caption", kProductTitle);
    ExpectText(report, "box.text",
               "В папке\n\"" + ExeDir(folder) +
                   "updates\\\"\nне обнаружено ни одного файла "
                   "микропрограммы БК.\nДальнейшая работа невозможна.");
    ExpectValue(report, "box.buttons", kOkButton);
    ExpectValue(report, "box.icon", "1");
    ExpectValue(report, "shown", "message-box");
    ExpectValue(report, "exit", "0");
    ExpectText(report, "stored", "COM1");
}

// Three packages, created out of order: the selection dialog lists them sorted with the first
// selected, and takes the one selected when it ends.
class WineAppSelection : public WineApp {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(FreePort(1)); }

    fs::path ThreePackages(const std::string& name) {
        return Folder(name, {"beta.enc", "gamma.enc", "alpha.enc"});
    }

    // Waits for the selection dialog, then `choose`, then reads the package the main dialog
    // shows and leaves.
    DriverReport Choose(const std::string& step, const std::vector<std::string>& choose) {
        return Run(step, ThreePackages(step), {"forget-settings"},
                   Script({{"wait", "select", kShowMs},
                           choose,
                           {"wait", "main", kShowMs},
                           {"text", "main", kPackageName, "package"},
                           ExitAndReadPort("escape")}));
    }
};

TEST_F(WineAppSelection, ListsPackagesSortedAndEnterTakesSelected) {
    const DriverReport report = Choose("enter", {"text",
                                                 "select",
                                                 "0",
                                                 "caption",
                                                 "control",
                                                 "select",
                                                 kSelectHeadingLabel,
                                                 "heading",
                                                 "control",
                                                 "select",
                                                 kSelectInstructionLabel,
                                                 "instruction",
                                                 "list",
                                                 "select",
                                                 kFirmwareList,
                                                 "list",
                                                 "focus",
                                                 "select",
                                                 "focus",
                                                 "shot",
                                                 "select",
                                                 "selection",
                                                 "pick",
                                                 "select",
                                                 kFirmwareList,
                                                 "2",
                                                 "list",
                                                 "select",
                                                 kFirmwareList,
                                                 "picked",
                                                 "key",
                                                 "select",
                                                 "enter"});
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "caption", kSelectTitle);
    ExpectText(report, "heading.text", kSelectHeading);
    ExpectText(report, "instruction.text", kSelectInstruction);
    ExpectValue(report, "list.count", "3");
    ExpectText(report, "list.0", "alpha.enc");
    ExpectText(report, "list.1", "beta.enc");
    ExpectText(report, "list.2", "gamma.enc");
    ExpectValue(report, "list.selected", "0");
    ExpectValue(report, "picked.selected", "2");
    ExpectText(report, "package", "gamma.enc");
}

TEST_F(WineAppSelection, OkButtonTakesSelected) {
    const DriverReport report =
        Choose("ok", {"pick", "select", kFirmwareList, "1", "click", "select", kOkButton});
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "package", "beta.enc");
}

TEST_F(WineAppSelection, DoubleClickTakesItem) {
    const DriverReport report =
        Choose("double-click", {"double-pick", "select", kFirmwareList, "2"});
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "package", "gamma.enc");
}

TEST_F(WineAppSelection, OkWithoutChangeTakesFirst) {
    const DriverReport report = Choose("first", {"click", "select", kOkButton});
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "package", "alpha.enc");
}

// Cancel at start-up ends the program by itself: no message box waits to be closed (the
// driver only waits), and the port found is still stored.
TEST_F(WineAppSelection, CancelAtStartEndsProgramSilently) {
    const DriverReport report =
        Run("cancel", ThreePackages("cancel"), {"forget-settings"},
            Script({{"wait", "select", kShowMs},
                    {"click", "select", kCancelButton},
                    {"wait-exit", kExitMs, "exit", "read-port", "stored"}}));
    ASSERT_EQ(report.Error(), "");
    ExpectValue(report, "exit", "0");
    ExpectText(report, "stored", "COM1");
}

// Keys and the mouse on the main dialog.
class WineAppKeys : public WineApp {
protected:
    // COM1 answers like the real adapter, so that whatever a key starts can run to its end.
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(SimulatedPort(1)); }
};

// Enter never closes the main dialog. The dialog manager takes Enter for the default button
// of the template, the start button, so it may start an update; the script waits until the
// dialog is idle again (the port label is enabled only then) before Escape closes it.
TEST_F(WineAppKeys, EnterKeepsDialogEscapeClosesIt) {
    const fs::path folder = Folder("keys", {"first.enc"});
    const DriverReport report = Run("keys", folder, {"forget-settings"},
                                    Script({{"wait", "main", kShowMs},
                                            {"key", "main", "enter"},
                                            {"windows", "after-enter"},
                                            {"wait-state", "main", kPortName, "enabled", kShowMs},
                                            {"text", "main", kTitleLabel, "title.after-enter"},
                                            ExitAndReadPort("escape")}));
    ASSERT_EQ(report.Error(), "");
    ExpectValue(report, "after-enter", "main");
    ExpectValue(report, "exit", "0");
    std::cout << "[   WINE   ] after Enter the title reads "
              << Readable(report.Text("title.after-enter")) << "\n";
}

// Pressing on the skin, or on a label that is not a link, and moving drags the captionless
// window; pressing on a button or on a link label does not.
TEST_F(WineAppKeys, PressOnBodyAndMoveDragsWindow) {
    const fs::path folder = Folder("drag", {"first.enc"});
    const DriverReport report =
        Run("drag", folder, {"forget-settings"},
            Script({{"wait", "main", kShowMs},
                    {"drag", "main", "0", "40", "30", "body"},
                    {"drag", "main", kPackageCaption, "-25", "15", "caption"},
                    {"drag", "main", kHelpButton, "70", "50", "button"},
                    {"drag", "main", kPortName, "30", "20", "port-label"},
                    {"text", "main", kTitleLabel, "title", "text", "main", kPortName, "port"},
                    ExitAndReadPort("escape")}));
    ASSERT_EQ(report.Error(), "");
    ExpectValue(report, "body.moved", "40,30");
    ExpectValue(report, "caption.moved", "-25,15");
    ExpectValue(report, "button.moved", "0,0");
    ExpectValue(report, "port-label.moved", "0,0");
    // Released away from it, the help button was not clicked.
    ExpectText(report, "title", kProductTitle);
    ExpectText(report, "port", "COM1");
    ExpectValue(report, "exit", "0");
}

// A whole update through the real window: the start button sends the package to the
// simulated adapter and on-board computer on COM1, and the dialog shows the success.
class WineAppUpdate : public WineApp {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(SimulatedPort(1)); }
};

TEST_F(WineAppUpdate, StartButtonSendsPackage) {
    const fs::path folder = Folder("update", {"first.enc"});
    const DriverReport report =
        Run("update", folder, {"forget-settings"},
            Script({{"wait", "main", kShowMs},
                    {"click", "main", kStartButton},
                    {"wait-text", "main", kTitleLabel, ToHex(kDoneTitle), kShowMs},
                    {"control", "main", kMessageLabel, "message"},
                    {"control", "main", kPortName, "port"},
                    {"focus", "main", "focus"},
                    {"shot", "main", "update-done"},
                    ExitAndReadPort("escape")}));
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "message.text", kDoneMessage);
    ExpectValue(report, "message.visible", "1");
    ExpectValue(report, "port.enabled", "1");
    ExpectValue(report, "focus", kExitButton);
    ExpectValue(report, "exit", "0");
    EXPECT_EQ(simulator_->Accepted(), kPackageBytes);
    EXPECT_EQ(simulator_->FramesReceived(), 1u);
}

// Cyrillic letters in the program's folder and in a package name.
class WineAppCyrillic : public WineApp {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(FreePort(1)); }
};

TEST_F(WineAppCyrillic, PackageNameShownUnchanged) {
    const std::string package = "прошивка БК-01.enc";
    const fs::path folder = Folder("Обновление БК", {package});
    const DriverReport report = Run("cyrillic", folder, {"forget-settings"},
                                    Script({{"wait", "main", kShowMs},
                                            ReadMainScreen(),
                                            {"shot", "main", "cyrillic-greeting"},
                                            ExitAndReadPort("button")}));
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "title.text", kProductTitle);
    ExpectText(report, "package.text", package);
    ExpectText(report, "port.text", "COM1");
    ExpectText(report, "stored", "COM1");
}

TEST_F(WineAppCyrillic, FolderNamedInMessageBox) {
    const fs::path folder = Folder("Папка без пакетов", {});
    const DriverReport report = Run("cyrillic-empty", folder, {"forget-settings"},
                                    Script({{"wait", "message-box", kShowMs},
                                            {"message", "message-box", "box"},
                                            {"click", "message-box", kOkButton},
                                            {"wait-exit", kExitMs, "exit"}}));
    ASSERT_EQ(report.Error(), "");
    ExpectText(report, "box.text",
               "В папке\n\"" + ExeDir(folder) +
                   "updates\\\"\nне обнаружено ни одного файла "
                   "микропрограммы БК.\nДальнейшая работа невозможна.");
}

::testing::Environment* const kDesktop = ::testing::AddGlobalTestEnvironment(new WineDesktop);

} // namespace
