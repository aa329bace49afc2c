#include "ui/FirmwareSelectDialog.h"

#include "app/AppState.h"
#include "controls/TextureStyle.h"
#include "framework/DataExchange.h"
#include "resource.h"
#include "text/Cp1251Literal.h"
#include "ui/FirmwareFolder.h"

#include <stdexcept>

namespace tamsivo {

namespace {

constexpr COLORREF kBackground = RGB(10, 10, 10);
constexpr COLORREF kText = RGB(192, 192, 192);

} // namespace

const MessageEntry FirmwareSelectDialog::messageEntries[] = {
    Command<&FirmwareSelectDialog::OnSelectionChange>(IDC_FIRMWARE_LIST, LBN_SELCHANGE),
    Command<&FirmwareSelectDialog::OnListDoubleClick>(IDC_FIRMWARE_LIST, LBN_DBLCLK),
    CtlColor<&FirmwareSelectDialog::OnCtlColor>(),
    On<WM_LBUTTONDOWN, &FirmwareSelectDialog::DragByBody>(),
};
const MessageMap FirmwareSelectDialog::messageMap{&Dialog::messageMap, messageEntries};

FirmwareSelectDialog::FirmwareSelectDialog()
    : Dialog(IDD_FIRMWARE_SELECT, nullptr),
      icon_(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TAMSIVO))) {}

FirmwareSelectDialog::~FirmwareSelectDialog() = default;

void FirmwareSelectDialog::DoDataExchange(DataExchange& exchange) {
    Dialog::DoDataExchange(exchange);
    exchange.Control(IDOK, okButton_);
    exchange.Control(IDCANCEL, cancelButton_);
    exchange.Control(IDC_SELECT_HEADING, headingLabel_);
    exchange.Control(IDC_SELECT_INSTRUCTION, instructionLabel_);
    exchange.Control(IDC_FIRMWARE_LIST, list_);
}

bool FirmwareSelectDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    SetIcon(icon_, true);
    backgroundBrush_.Reset(::CreateSolidBrush(kBackground));
    // No caption bar shows it, but the task bar and the window switcher do.
    SetText(kCp1251<"Выбор файла">);

    headingLabel_.SetFontName("Arial", RUSSIAN_CHARSET)
        .SetFontBold(true)
        .SetFontSize(18)
        .SetBackgroundColor(kBackground, 0, false)
        .SetText3D(true, false);
    instructionLabel_.SetBackgroundColor(kBackground, 0, false).SetTextColor(kText);

    cancelButton_.SetTexture(TextureSoftBump, 0, 10, 90, kBackground);
    cancelButton_.SetCaptionColor(kText);
    okButton_.SetTexture(TextureSoftBump, 0, 10, 90, kBackground);
    okButton_.SetCaptionColor(kText);
    UpdateData(true);

    if (const PathList* paths = TheAppState().firmwarePaths.get()) {
        for (std::size_t i = 0; i < paths->size(); ++i) {
            const std::string shown = ShownName((*paths)[i].filename());
            const int entry = list_.AddString(shown);
            if (entry < 0) {
                throw std::runtime_error("firmware selection: the list refused the entry \"" +
                                         shown + "\"");
            }
            // Which file the entry stands for, wherever the sorted list puts it.
            list_.SetItemData(entry, static_cast<LPARAM>(i));
        }
    }
    // The list box sorts, so this is the alphabetically first name, not the first found.
    list_.SetCurSel(0);
    UpdateData(true);
    // 1 names no sound of its own, so the system plays its default one.
    ::MessageBeep(1);
    return true;
}

void FirmwareSelectDialog::OnOK() {
    const PathList* paths = TheAppState().firmwarePaths.get();
    const int entry = list_.GetCurSel();
    if (paths != nullptr && entry >= 0) {
        const auto file = static_cast<std::size_t>(list_.GetItemData(entry));
        if (file < paths->size()) {
            selectedName_ = (*paths)[file].filename();
        }
    }
    Dialog::OnOK();
}

void FirmwareSelectDialog::OnSelectionChange() {
    UpdateData(true);
}

void FirmwareSelectDialog::OnListDoubleClick() {
    UpdateData(true);
    OnOK();
}

HBRUSH FirmwareSelectDialog::OnCtlColor(DCView, HWND, UINT ctlType) {
    // Only the dialog's own background is dark; the list keeps the system's colours so that
    // its selection stays readable.
    return ctlType == CTLCOLOR_DLG ? backgroundBrush_.Get() : nullptr;
}

} // namespace tamsivo
