#include "app/UpdaterApp.h"

#include "flash/FirmwarePackage.h"
#include "ui/FirmwareFolder.h"
#include "ui/MainDialog.h"

#include <memory>

#include <windows.h>

namespace tamsivo {
namespace {

// The process's application object; the entry point finds it through Application::Current().
UpdaterApp theApp;

} // namespace

UpdaterApp::UpdaterApp() = default;

UpdaterApp::~UpdaterApp() = default;

std::filesystem::path UpdaterApp::GetExeDirectory() {
    // Wide all the way: a folder named outside Windows-1251 opens without its short (8.3)
    // alias, which not every volume keeps.
    return std::filesystem::path(ExecutablePath()).parent_path();
}

bool UpdaterApp::InitInstance() {
    AppState& state = State();
    SetRegistryKey(kRegistryKey);
    state.portName = GetProfileText(kSection, kPortEntry, "");

    MainDialog dialog(nullptr);
    // The owner of the selection dialog, which must not leave the main one open to clicks.
    SetMainWindow(&dialog);

    state.firmwarePaths = std::make_unique<PathList>();
    state.portNames = std::make_unique<StringList>();
    state.exeDir = GetExeDirectory();
    state.firmwarePaths->clear();
    state.firmwareCount = ScanFirmwareFolder(state.exeDir / kUpdatesFolder, *state.firmwarePaths);

    try {
        dialog.DoModal();
    } catch (...) {
        // The port is remembered and the lists go away even when a handler failed; the
        // failure itself is then shown by the entry point.
        FinishRun();
        throw;
    }
    FinishRun();
    return false;
}

void UpdaterApp::FinishRun() {
    AppState& state = State();
    // A refused write loses nothing but the remembered port; there is nobody to tell.
    (void)WriteProfileText(kSection, kPortEntry, state.portName);
    SetMainWindow(nullptr);
    state.firmwarePaths.reset();
    state.portNames.reset();
}

} // namespace tamsivo
