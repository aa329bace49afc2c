#include "app/UpdaterApp.h"

#include "framework/WideText.h"
#include "ui/FirmwareFolder.h"
#include "ui/MainDialog.h"

#include <memory>

#include <windows.h>

namespace tamsivo {
namespace {

// The process's application object; the entry point finds it through Application::Current().
UpdaterApp theApp;

// The program's paths are Windows-1251. A folder name with characters outside that code page
// cannot be spelt in it; the short (8.3) form of the path, when the volume keeps one, can.
std::string PathInCp1251(const std::wstring& path) {
    std::string narrow = Narrow(path);
    if (Widen(narrow) == path) {
        return narrow;
    }
    const DWORD needed = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) {
        return narrow;
    }
    std::wstring shortPath(needed, L'\0');
    const DWORD length = ::GetShortPathNameW(path.c_str(), shortPath.data(), needed);
    if (length == 0 || length >= needed) {
        return narrow;
    }
    shortPath.resize(length);
    std::string shortNarrow = Narrow(shortPath);
    return Widen(shortNarrow) == shortPath ? shortNarrow : narrow;
}

} // namespace

UpdaterApp::UpdaterApp() = default;

UpdaterApp::~UpdaterApp() = default;

std::string UpdaterApp::GetExeDirectory() {
    const std::string path = PathInCp1251(ExecutablePath());
    const size_t separator = path.rfind('\\');
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

bool UpdaterApp::InitInstance() {
    AppState& state = State();
    SetRegistryKey(kRegistryKey);
    state.portName = GetProfileText(kSection, kPortEntry, "");

    MainDialog dialog(nullptr);
    // The owner of the selection dialog, which must not leave the main one open to clicks.
    SetMainWindow(&dialog);

    state.firmwarePaths = std::make_unique<StringList>();
    state.portNames = std::make_unique<StringList>();
    state.exeDir = GetExeDirectory();
    state.firmwarePaths->clear();
    state.firmwareCount = ScanFirmwareFolder(state.exeDir + kUpdatesFolder, *state.firmwarePaths);

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
