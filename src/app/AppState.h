#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tamsivo {

using StringList = std::vector<std::string>;

// The folder beside the program that holds the packages, as it is read and as the user is
// shown it; the system's file names ignore case.
inline constexpr const char* kUpdatesFolder = "updates";

// The one record of process-wide state, shared by the user-interface thread and the flash
// worker. All strings are Windows-1251 bytes. Only `runAllowed` and `busy` cross threads while
// a run is in progress; they are atomics so that each side sees the other's store.
struct AppState {
    std::unique_ptr<StringList> firmwarePaths; // exists only while the main dialog runs
    std::unique_ptr<StringList> portNames;     // likewise
    std::int32_t firmwareCount = 0;
    std::int32_t portCount = 0;
    std::int32_t portIndex = 0;
    std::string exeDir; // ends with the path separator
    std::string firmwareName;
    std::string portName;
    std::int32_t idle = 0;
    std::int32_t helpShown = 0;
    std::string savedTitle;
    std::string savedMessage;
    std::atomic<std::uint8_t> runAllowed{0}; // written by the dialog, read by the run
    std::atomic<std::uint8_t> busy{0};       // written by the run, read by the dialog

    AppState() = default;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;
};

// The process's instance. The worker thread reaches it the same way as the dialog.
AppState& TheAppState();

} // namespace tamsivo
