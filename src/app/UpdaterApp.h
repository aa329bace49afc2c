#pragma once

#include "app/AppState.h"
#include "framework/Application.h"

#include <filesystem>
#include <string>

namespace tamsivo {

// The program's one application object: reads the remembered port, finds the packages beside
// the executable, runs the main dialog and writes the port back. The process-wide state it
// holds for everyone, the flash worker included, is TheAppState().
class UpdaterApp : public Application {
public:
    // Settings: HKEY_CURRENT_USER\Software\<kRegistryKey>\<executable name>\<kSection>.
    static constexpr const char* kRegistryKey = "TORVIK";
    static constexpr const char* kSection = "Tamsivo";
    static constexpr const char* kPortEntry = "Port";

    UpdaterApp();
    ~UpdaterApp() override;

    // Always false: the program ends when its main dialog has closed.
    bool InitInstance() override;

    // The folder of the running executable, however long its path and whatever characters it
    // holds; empty when the system names no file.
    static std::filesystem::path GetExeDirectory();

    AppState& State() const { return TheAppState(); }

private:
    // Stores the port the dialog left and deletes the lists, however the dialog ended.
    void FinishRun();
};

} // namespace tamsivo
