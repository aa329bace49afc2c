#include "ui/ChooseFirmware.h"

#include "app/AppState.h"
#include "flash/FirmwarePackage.h"
#include "framework/WideText.h"
#include "text/Cp1251Literal.h"
#include "ui/FirmwareFolder.h"
#include "ui/FirmwareSelectDialog.h"

#include <string>

#include <windows.h>

namespace tamsivo {

namespace {

void ReportEmptyFolder(const AppState& state) {
    const std::string text = kCp1251<"В папке\n\""> + Narrow((state.exeDir / kUpdatesFolder).native()) +
                             "\\\"" +
                             kCp1251<"\nне обнаружено ни одного файла микропрограммы БК."> +
                             kCp1251<"\nДальнейшая работа невозможна.">;
    // No owner: at start-up the main window is not shown yet, and after a rescan the box is
    // the program's last word before it goes on unchanged.
    ::MessageBoxW(nullptr, Widen(text).c_str(), L"Tamsivo", MB_OK | MB_ICONERROR);
}

} // namespace

bool ChooseFirmware() {
    AppState& state = TheAppState();
    const PathList* paths = state.firmwarePaths.get();
    if (state.firmwareCount > 1) {
        FirmwareSelectDialog dialog;
        const INT_PTR result = dialog.DoModal();
        if (result == IDCANCEL) {
            return false;
        }
        // A dialog that could not even be created (-1) leaves the previous choice standing.
        if (result == IDOK) {
            state.firmwareName = dialog.SelectedName();
        }
        return true;
    }
    if (state.firmwareCount == 1 && paths != nullptr && !paths->empty()) {
        state.firmwareName = paths->front().filename();
        return true;
    }
    ReportEmptyFolder(state);
    return false;
}

} // namespace tamsivo
