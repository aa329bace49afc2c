#pragma once

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tamsivo::test {

// Everything the scenarios share for one run of the harness: a private X display, a private
// Wine prefix under the build tree and its server, and the user Wine runs as.
//
// Wine runs as an unprivileged user when the harness runs as root. A port held by another
// program must fail to open, and Wine does not apply share modes to serial devices; a
// terminal held with TIOCEXCL refuses every other opener with EBUSY, but root is exempt from
// that. So the prefix, its home and the scenario folders belong to that user, and the display
// accepts any local client.
class WineDesktop : public ::testing::Environment {
public:
    WineDesktop();

    void SetUp() override;
    void TearDown() override;

    // The one instance, registered with GoogleTest.
    static WineDesktop& Current();

    // How a Wine process is started: as the Wine user, in the prefix, on the display.
    ChildProcess::Options WineProcess(std::vector<std::string> argv, const std::string& workingDir,
                                      const std::string& outputPath) const;
    // Hands a freshly made folder (and all it holds) to the Wine user.
    void GiveToWineUser(const std::filesystem::path& path) const;

    // Leaves the prefix without a COM port that opens. When a session starts, Wine makes a
    // device COMn for each serial device of the machine and links it to that device; those
    // must not reach the scenarios. Removing such a link is not enough: the device then opens
    // with nothing behind it. So those numbers are linked to a file the Wine user may not open
    // instead, and every other COM link is removed.
    void ResetComLinks() const;
    bool LinkCom(int number, const std::string& target, std::string* error) const;

    // The driver's copy that the Wine user can reach.
    const std::filesystem::path& Driver() const { return driver_; }

    // The path as the program sees it, through the prefix's drive Z: (UTF-8).
    static std::string WindowsPath(const std::filesystem::path& path);

    const std::filesystem::path& Screenshots() const { return screenshots_; }
    const std::filesystem::path& Logs() const { return logs_; }
    const std::filesystem::path& Scenarios() const { return scenarios_; }

private:
    void ChoosePlaces();
    bool StartDisplay(std::string* error);
    bool MakePrefix(std::string* error);
    bool RunStep(const std::string& name, std::vector<std::string> argv,
                 std::chrono::milliseconds deadline, std::string* error) const;
    std::vector<std::string> Environment() const;

    std::filesystem::path buildDir_; // logs, and the screenshots for people to look at
    std::filesystem::path root_;     // what the Wine user works in
    std::filesystem::path driver_;
    std::filesystem::path prefix_;
    std::filesystem::path home_;
    std::filesystem::path screenshots_;
    std::filesystem::path logs_;
    std::filesystem::path scenarios_;
    std::filesystem::path unopenable_;
    std::vector<int> sessionPorts_; // the COM numbers Wine made devices for
    bool switchUser_ = false;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::string userName_;
    int lock_ = -1;
    ChildProcess display_;
    std::string displayName_;
    bool serverStarted_ = false;
};

} // namespace tamsivo::test
