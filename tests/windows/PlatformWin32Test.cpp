#include "TestEnvironment.h"
#include "TestFrames.h"
#include "TestPackage.h"

#include "app/AppState.h"
#include "flash/FlashProtocol.h"
#include "flash/FlashRun.h"
#include "flash/Platform.h"
#include "flash/SerialLine.h"
#include "flash/SerialPorts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

using namespace tamsivo;
using namespace tamsivo::test;

std::string ReadAll(std::FILE* file) {
    std::string text;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        text.append(chunk, got);
    }
    return text;
}

// The run's package path is built from Windows-1251 parts; Cyrillic folder and file names
// must reach the file system intact whatever the ANSI code page is.
TEST(PlatformWin32, PackagePathWithCyrillicNamesOpens) {
    TestPackage package;
    ASSERT_TRUE(package.Ready()) << package.Error();
    AppState state;
    state.exeDir = package.ExeDir();
    state.firmwareName = package.FirmwareName();

    const FlashInputs inputs = FlashInputsFrom(state);
    EXPECT_EQ(inputs.packagePath, package.ExeDir() + "updates\\" + package.FirmwareName());
    FilePtr file = OpenForReading(inputs.packagePath);
    ASSERT_TRUE(file) << "cannot open the package through its Windows-1251 path";
    EXPECT_EQ(ReadAll(file.get()), PackageText()); // binary: the CR LF stay

    EXPECT_FALSE(OpenForReading(package.ExeDir() + "updates\\нет такого.enc"));
    EXPECT_FALSE(OpenForReading(std::string(package.ExeDir() + "updates\\" +
                                            package.FirmwareName() + std::string(1, '\0') + "x")))
        << "a name with a NUL inside must not be cut short and opened";
}

TEST(PlatformWin32, DevicePathsFitTwelveCharacters) {
    EXPECT_EQ(DevicePathForPort("COM5"), "\\\\.\\COM5");
    EXPECT_EQ(DevicePathForPort("COM256"), "\\\\.\\COM256");
    EXPECT_EQ(DevicePathForPort("ABCDEFGH"), "\\\\.\\ABCDEFGH");
    EXPECT_EQ(DevicePathForPort("ABCDEFGHI"), "");
    EXPECT_EQ(DevicePathForPort(""), "");
}

class SerialPortsWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        port_ = TestPortName();
        if (port_.empty()) {
            GTEST_SKIP() << "TAMSIVO_TEST_PORT is not set: these cases need a COM port served by "
                            "the device simulator (bksim)";
        }
    }

    std::string port_;
};

int PortNumber(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0 || name[3] == '0' ||
        name.find_first_not_of("0123456789", 3) != std::string::npos || name.size() > 6) {
        return -1;
    }
    return std::stoi(name.substr(3));
}

TEST_F(SerialPortsWin32, FreePortIsListedInAscendingOrder) {
    const std::vector<std::string> ports = FreeSerialPorts();
    EXPECT_NE(std::find(ports.begin(), ports.end(), port_), ports.end()) << port_ << " not found";
    int previous = 0;
    for (const std::string& name : ports) {
        const int number = PortNumber(name);
        EXPECT_GE(number, 1) << "not a COM port name: " << name;
        EXPECT_LE(number, 256) << name;
        EXPECT_GT(number, previous) << "out of order: " << name;
        previous = number;
    }
    // Probing only opens and closes: the port is free for the run right after.
    SerialLine line;
    EXPECT_TRUE(line.Open(DevicePathForPort(port_).c_str(), kFlashBaudRate, 300));
}

// Under Wine, whose serial devices open any number of times, the port's claim is what shows.
TEST_F(SerialPortsWin32, HeldPortIsNotListed) {
    SerialLine holder;
    ASSERT_TRUE(holder.Open(DevicePathForPort(port_).c_str(), kFlashBaudRate, 300));
    const std::vector<std::string> ports = FreeSerialPorts();
    EXPECT_EQ(std::find(ports.begin(), ports.end(), port_), ports.end());
}

} // namespace
