#pragma once

#include "controls/win32/SkinButton.h"
#include "controls/win32/SkinLabel.h"
#include "framework/Dialog.h"
#include "framework/GdiObject.h"
#include "framework/ListBox.h"

#include <filesystem>
#include <string>

#include <windows.h>

namespace tamsivo {

class DataExchange;

// The choice among several firmware packages: the file names of the last folder scan
// (TheAppState().firmwarePaths) in a sorted list, the first one selected. Ends with IDOK (the
// choose button, Enter, or a double click on an entry) and SelectedName() holding the chosen
// file's name, or with IDCANCEL (the cancel button or Escape). Captionless: the user drags it by any
// free spot of its body.
class FirmwareSelectDialog : public Dialog {
public:
    FirmwareSelectDialog();
    ~FirmwareSelectDialog() override;

    // The file name of the list's current entry when the dialog ended with IDOK, as the file
    // system spells it: two names Windows-1251 shows alike are still two files.
    const std::filesystem::path& SelectedName() const noexcept { return selectedName_; }

protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    void DoDataExchange(DataExchange& exchange) override;
    bool OnInitDialog() override;
    void OnOK() override;

    static const MessageMap messageMap;

private:
    void OnSelectionChange();
    void OnListDoubleClick();
    HBRUSH OnCtlColor(DCView dc, HWND control, UINT ctlType);

    static const MessageEntry messageEntries[];

    SkinButton okButton_;
    SkinButton cancelButton_;
    SkinLabel headingLabel_;
    SkinLabel instructionLabel_;
    ListBox list_;
    std::filesystem::path selectedName_;
    Brush backgroundBrush_;
    HICON icon_; // shared resource icon: the system owns it
};

} // namespace tamsivo
