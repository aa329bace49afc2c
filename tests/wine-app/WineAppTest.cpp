// Drives the real Tamsivo.exe under Wine: each scenario lays out a folder with a copy of the
// program and its `updates` folder, gives the prefix the COM ports it needs, starts the
// program and, beside it, the application driver (tests/windows-app), which looks at and
// operates the program's windows as a user would and reports what it saw.

#include "WineAppFixture.h"

#include "text/Cp1251.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tamsivo::test;

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

} // namespace
