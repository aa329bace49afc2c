#pragma once

#include "flash/RunControl.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tamsivo {

using StringList = std::vector<std::string>;
using PathList = std::vector<std::filesystem::path>;

// The one record of the dialog program's process-wide state, shared by the user-interface
// thread and the flash worker. Its texts are Windows-1251 bytes; the program's folder and the
// packages are paths of the file system's own, so that a name outside Windows-1251 still opens
// and is recorded as it is (it is shown as well as Windows-1251 can spell it). Only the
// run's flags (RunControl: `runAllowed`, `busy`) cross threads while a run is in progress.
struct AppState : RunControl {
    std::unique_ptr<PathList> firmwarePaths; // exists only while the main dialog runs
    std::unique_ptr<StringList> portNames;     // likewise
    std::int32_t firmwareCount = 0;
    std::int32_t portCount = 0;
    std::int32_t portIndex = 0;
    std::filesystem::path exeDir; // the folder of the executable
    std::filesystem::path firmwareName; // the chosen package's file name
    std::string portName;
    std::int32_t idle = 0;
    std::int32_t helpShown = 0;
    std::string savedTitle;
    std::string savedMessage;

    AppState() = default;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;
};

// The process's instance. The worker thread reaches it the same way as the dialog.
AppState& TheAppState();

} // namespace tamsivo
