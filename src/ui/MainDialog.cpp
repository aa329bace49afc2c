#include "ui/MainDialog.h"

#include "app/AppState.h"
#include "controls/ProgressStyle.h"
#include "controls/TextureStyle.h"
#include "framework/ClientDC.h"
#include "framework/DCStateGuard.h"
#include "framework/DataExchange.h"
#include "framework/PaintDC.h"
#include "res/resource.h"
#include "text/Cp1251Literal.h"
#include "ui/ChooseFirmware.h"
#include "ui/FirmwareFolder.h"
#include "ui/FlashNotifications.h"
#include "ui/PortDiscovery.h"

#include <cwchar>
#include <initializer_list>

namespace tamsivo {
namespace {

constexpr BYTE kCyrillicCharSet = RUSSIAN_CHARSET; // 204
constexpr int kTitleFontPoints = 26;
// Pixels at 96 DPI; scaled to the system DPI, as the dialog units grow with it.
constexpr LONG kButtonFontHeight = 26;
constexpr LONG kButtonFontWidth = 9;
constexpr int kFaceGrain = 0;
constexpr int kFaceHoverHighlight = 10;
constexpr int kFaceTintPercent = 95;
// A skinned button's caption keeps clear of the focus rectangle (4 pixels in) by 2 more pixels.
constexpr LONG kCaptionInset = 4 + 2;

HINSTANCE Module() {
    return ::GetModuleHandleW(nullptr);
}

void PauseMs(DWORD ms) {
    // The title animation is meant to be watched: the thread really sleeps between steps, and
    // a zero delay does not even yield.
    if (ms > 0) {
        ::Sleep(ms);
    }
}

} // namespace

const MessageEntry MainDialog::messageEntries[] = {
    On<WM_PAINT, &MainDialog::OnPaint>(),
    On<WM_QUERYDRAGICON, &MainDialog::OnQueryDragIcon>(),
    CtlColor<&MainDialog::OnCtlColor>(),
    On<WM_LBUTTONDOWN, &MainDialog::DragByBody>(),
    On<WM_ERASEBKGND, &MainDialog::OnEraseBkgnd>(),
    // Commands. The two labels notify their clicks as STN_CLICKED, which is BN_CLICKED's 0.
    Command<&MainDialog::OnStart>(IDC_START_BUTTON),
    Command<&MainDialog::OnExit>(IDC_EXIT_BUTTON),
    Command<&MainDialog::OnStop>(IDC_STOP_BUTTON),
    Command<&MainDialog::OnHelp>(IDC_HELP_BUTTON),
    Command<&MainDialog::OnPackageLabel>(IDC_PACKAGE_NAME, STN_CLICKED),
    Command<&MainDialog::OnPortLabel>(IDC_PORT_NAME, STN_CLICKED),
    // The flash run's notifications.
    On<kFinishStop, &MainDialog::OnFinishStop>(),
    On<WM_FLASH_SIZE, &MainDialog::OnFlashSize>(),
    On<WM_FLASH_PORT_ERROR, &MainDialog::OnFlashEnded<Outcome::PortError>>(),
    On<WM_FLASH_PROGRESS, &MainDialog::OnFlashProgress>(),
    On<WM_FLASH_NO_ECHO, &MainDialog::OnFlashEnded<Outcome::NoEcho>>(),
    On<WM_FLASH_CHECKSUM_ERROR, &MainDialog::OnFlashEnded<Outcome::ChecksumError>>(),
    On<WM_FLASH_LINE_ERROR, &MainDialog::OnFlashEnded<Outcome::LineError>>(),
    On<WM_FLASH_SIGNATURE_ERROR, &MainDialog::OnFlashEnded<Outcome::SignatureError>>(),
    On<WM_FLASH_ADAPTER_SYNC_ERROR, &MainDialog::OnFlashEnded<Outcome::AdapterSyncError>>(),
    On<WM_FLASH_NO_ANSWER, &MainDialog::OnFlashEnded<Outcome::NoAnswer>>(),
    On<WM_FLASH_DONE, &MainDialog::OnFlashEnded<Outcome::Done>>(),
    On<WM_FLASH_FILE_ERROR, &MainDialog::OnFlashEnded<Outcome::FileError>>(),
    On<WM_FLASH_BAD_ANSWER, &MainDialog::OnFlashEnded<Outcome::BadAnswer>>(),
    On<WM_FLASH_PACKAGE_ERROR, &MainDialog::OnFlashEnded<Outcome::PackageError>>(),
    On<WM_FLASH_LINK_ERROR, &MainDialog::OnFlashEnded<Outcome::LinkError>>(),
    On<WM_FLASH_INTERNAL_ERROR, &MainDialog::OnFlashEnded<Outcome::InternalError>>(),
};
const MessageMap MainDialog::messageMap{&Dialog::messageMap, messageEntries};

MainDialog::MainDialog(HWND parent)
    : Dialog(IDD_MAIN_DIALOG, parent), icon_(::LoadIconW(Module(), MAKEINTRESOURCEW(IDI_TAMSIVO))) {
}

MainDialog::~MainDialog() {
    // Only a dialog ended by a failure gets here with a run still going: it ends after the
    // frame in flight, and must not outlive the state it reads.
    TheAppState().runAllowed = 0;
    WaitForWorker();
}

void MainDialog::DoDataExchange(DataExchange& exchange) {
    Dialog::DoDataExchange(exchange);
    exchange.Control(IDC_WEB_SITE, webSiteLabel_);
    exchange.Control(IDC_PROGRESS, progressBar_);
    exchange.Control(IDC_EXIT_BUTTON, exitButton_);
    exchange.Control(IDC_START_BUTTON, startButton_);
    exchange.Control(IDC_HELP_BUTTON, helpButton_);
    exchange.Control(IDC_STOP_BUTTON, stopButton_);
    exchange.Control(IDC_TITLE, titleLabel_);
    exchange.Control(IDC_MESSAGE, messageLabel_);
    exchange.Control(IDC_PORT_CAPTION, portCaptionLabel_);
    exchange.Control(IDC_SUPPORT_TEXT, supportTextLabel_);
    exchange.Control(IDC_SUPPORT_PHONE, phoneLabel_);
    exchange.Control(IDC_MAIL_CAPTION, mailCaptionLabel_);
    exchange.Control(IDC_SUPPORT_MAIL, mailLabel_);
    exchange.Control(IDC_PACKAGE_CAPTION, packageCaptionLabel_);
    exchange.Control(IDC_PACKAGE_NAME, packageNameLabel_);
    exchange.Control(IDC_PORT_NAME, portNameLabel_);
}

bool MainDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    SetIcon(icon_, true);

    const ClientDC client(Hwnd());
    LoadSkin(client);
    ctlBrush_.Reset(::CreateSolidBrush(kSkinBlue));

    DressLabels();
    CreateButtonFont();
    DressButtons();
    DressProgressBar();

    UpdateData(false);
    progressBar_.Invalidate(true);
    startButton_.SetFocus();

    AppState& state = TheAppState();
    state.idle = 1;
    state.helpShown = 0;

    if (ChooseFirmware()) {
        packageNameLabel_.SetText(ShownName(state.firmwareName));
        state.idle = 1;
    } else {
        // Nothing to send: the dialog closes as soon as its initialisation is over.
        OnExit();
    }

    portNameLabel_.SetText(DiscoverSerialPorts());
    if (state.portCount == 0) {
        startButton_.EnableWindow(false);
    }
    UpdateData(true);
    // What the label shows is what a run opens and what is remembered at exit ("HET" without
    // a port).
    state.portName = portNameLabel_.Text();

    ShowGreetingOrPortError();
    SetText("Tamsivo");
    return true;
}

void MainDialog::LoadSkin(DCView like) {
    skinBitmap_.Reset(::LoadBitmapW(Module(), MAKEINTRESOURCEW(IDB_SKIN)));
    if (!skinBitmap_) {
        return; // OnEraseBkgnd paints a plain housing instead
    }
    skinDC_ = MemoryDC(like);
    skinSelection_ = SelectGuard(skinDC_, skinBitmap_);
    BITMAP info{};
    ::GetObjectW(skinBitmap_.Get(), sizeof(info), &info);
    skinWidth_ = info.bmWidth;
    skinHeight_ = info.bmHeight;
}

void MainDialog::DressLabels() {
    const HCURSOR linkCursor = ::LoadCursorW(Module(), MAKEINTRESOURCEW(IDC_LINK_CURSOR));

    titleLabel_.SetFontBold(true)
        .SetFontName("Arial", kCyrillicCharSet)
        .SetFontSize(kTitleFontPoints)
        .SetBackgroundColor(kSkinBlue, 0, false)
        .SetTextColor(kSkinGrey);
    BringToTop(titleLabel_);

    messageLabel_.SetTextColor(kSkinGrey).SetBackgroundColor(kSkinBlue, 0, false).SetFontBold(true);
    BringToTop(messageLabel_);

    webSiteLabel_.SetBackgroundColor(kSkinBlue, 0, false)
        .SetTextColor(kSkinGrey)
        .SetFontBold(true)
        .SetLinkCursor(linkCursor)
        .SetFontUnderline(true)
        .SetLink(true, false);
    BringToTop(webSiteLabel_);

    packageCaptionLabel_.SetBackgroundColor(kSkinBlue, 0, false).SetTextColor(kSkinGrey);
    BringToTop(packageCaptionLabel_);

    portCaptionLabel_.SetBackgroundColor(kSkinBlue, 0, false).SetTextColor(kSkinGrey);
    BringToTop(portCaptionLabel_);

    packageNameLabel_.SetBackgroundColor(kSkinBlue, 0, false)
        .SetTextColor(kSkinGrey)
        .SetFontBold(true)
        .SetText("")
        .SetLinkCursor(linkCursor)
        .SetLink(true, true);

    portNameLabel_.SetBackgroundColor(kSkinBlue, 0, false)
        .SetTextColor(kSkinGrey)
        .SetFontBold(true)
        .SetLinkCursor(linkCursor)
        .SetLink(true, true);

    supportTextLabel_.SetBackgroundColor(kSkinBlue, 0, false).SetTextColor(kSkinGrey);

    phoneLabel_.SetBackgroundColor(kSkinBlue, 0, false).SetFontBold(true).SetTextColor(kSkinGrey);

    mailCaptionLabel_.SetBackgroundColor(kSkinBlue, 0, false).SetTextColor(kSkinGrey);

    mailLabel_.SetBackgroundColor(kSkinBlue, 0, false)
        .SetFontBold(true)
        .SetMailLink(true, false)
        .SetTextColor(kSkinGrey)
        .SetFontUnderline(true)
        .SetLinkCursor(linkCursor);

    // Overlapping siblings paint in no reliable order. The message label lies over the progress
    // bar and is shown together with it during a run; clipping it to the siblings above it lets
    // the bar, raised while it is shown, stay readable.
    messageLabel_.ModifyStyle(0, WS_CLIPSIBLINGS);
}

void MainDialog::CreateButtonFont() {
    // Everything else zero: default weight, no italics, the mapper's default quality.
    LOGFONTW font{};
    const int dpi = ClientDC(nullptr).View().DotsPerInch();
    font.lfHeight = ::MulDiv(kButtonFontHeight, dpi, USER_DEFAULT_SCREEN_DPI);
    font.lfWidth = ::MulDiv(kButtonFontWidth, dpi, USER_DEFAULT_SCREEN_DPI);
    font.lfCharSet = kCyrillicCharSet;
    std::wcsncpy(font.lfFaceName, L"Arial", LF_FACESIZE - 1);
    buttonFont_.Reset(::CreateFontIndirectW(&font));
    // Arial's glyphs at this size make "СТАРТ 115200" wider than its key: the letters are
    // condensed further, never cut off, until every caption fits.
    while (font.lfWidth > 1 && !CaptionsFit(buttonFont_.Get())) {
        --font.lfWidth;
        buttonFont_.Reset(::CreateFontIndirectW(&font));
    }
}

bool MainDialog::CaptionsFit(HFONT font) const {
    const MemoryDC measure{DCView()};
    const SelectGuard selectFont(measure, font);
    for (const SkinButton* button : {&startButton_, &exitButton_, &stopButton_, &helpButton_}) {
        const RECT client = button->GetClientRect();
        const LONG room = client.right - client.left - 2 * kCaptionInset;
        if (measure.View().MeasureString(button->Text()).cx > room) {
            return false;
        }
    }
    return true;
}

void MainDialog::DressButtons() {
    for (SkinButton* button : {&startButton_, &exitButton_, &stopButton_, &helpButton_}) {
        button->SetTexture(TextureSoftBump, kFaceGrain, kFaceHoverHighlight, kFaceTintPercent,
                           kFaceTint);
        button->SetCaptionColor(kActiveCaption);
        button->SetFont(buttonFont_.Get(), true);
        button->SetFlat(true);
    }
}

void MainDialog::DressProgressBar() {
    progressBar_.SetFont(buttonFont_.Get(), true);
    progressBar_.SetTextColors(kSkinBlue, kSkinGrey);
    progressBar_.SetTextFormat(kProgressFormat, PPB_TEXT_PERCENT);
    progressBar_.SetBkColor(kSkinBlue);
    progressBar_.SetGradientColors(kSkinGrey, kSkinGrey);
}

void MainDialog::ShowGreetingOrPortError() {
    if (TheAppState().portCount > 0) {
        ShowScreen("Tamsivo", kCp1251<"Утилита обновления ПО бортовых компьютеров. Версия 1.6">,
                   false, false, 0);
    } else {
        ::MessageBeep(MB_ICONHAND);
        ShowScreen(kCp1251<"ОШИБКА">, kCp1251<"В системе отсутствуют СОМ порты!">, false, false,
                   kTitleStepMs);
    }
}

void MainDialog::BringToTop(const SkinLabel& label) {
    label.SetWindowPos(HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MainDialog::StackProgressBar(bool shown) const {
    // Raised above everything while shown; parked at the bottom otherwise, so the labels keep
    // the stacking their dressing gave them.
    progressBar_.SetWindowPos(shown ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                              SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MainDialog::ShowScreen(const std::string& caption, const std::string& message,
                            bool showProgress, bool showContacts, DWORD stepDelayMs) {
    AppState& state = TheAppState();

    const std::initializer_list<const Window*> everyGroup = {
        &portNameLabel_,    &portCaptionLabel_, &packageNameLabel_, &packageCaptionLabel_,
        &supportTextLabel_, &phoneLabel_,       &mailCaptionLabel_, &mailLabel_,
        &messageLabel_,     &progressBar_,      &webSiteLabel_};
    for (const Window* control : everyGroup) {
        control->ShowWindow(SW_HIDE);
    }
    UpdateWindow();

    // Each SetText below paints the title at once; a pending paint of the whole label would
    // otherwise flash the final text over the animation.
    titleLabel_.ValidateRect();
    const std::string oldTitle = titleLabel_.Text();
    for (size_t dropped = 1; dropped <= oldTitle.size(); ++dropped) {
        titleLabel_.SetText(oldTitle.substr(dropped));
        PauseMs(stepDelayMs);
    }
    PauseMs(2 * stepDelayMs);
    for (size_t shown = 1; shown <= caption.size(); ++shown) {
        titleLabel_.ValidateRect();
        titleLabel_.SetText(caption.substr(caption.size() - shown));
        PauseMs(stepDelayMs);
    }

    StackProgressBar(showProgress);
    progressBar_.ShowWindow(showProgress ? SW_SHOW : SW_HIDE);
    progressBar_.SetPos(0);

    messageLabel_.ShowWindow(showProgress ? SW_HIDE : SW_SHOW);
    messageLabel_.SetText(message);

    portNameLabel_.EnableWindow(state.idle == 1);
    RefreshButtons();

    const int groupCommand = showContacts ? SW_HIDE : SW_SHOW;
    const int contactsCommand = showContacts ? SW_SHOW : SW_HIDE;
    for (const SkinLabel* label : {&portNameLabel_, &portCaptionLabel_, &packageNameLabel_,
                                   &packageCaptionLabel_, &messageLabel_}) {
        label->ShowWindow(groupCommand);
    }
    for (const SkinLabel* label :
         {&supportTextLabel_, &phoneLabel_, &mailCaptionLabel_, &mailLabel_, &webSiteLabel_}) {
        label->ShowWindow(contactsCommand);
    }

    state.helpShown = 0;
}

void MainDialog::RefreshButtons() {
    for (SkinButton* button : {&startButton_, &helpButton_, &exitButton_, &stopButton_}) {
        button->SetCaptionColor(kInactiveCaption);
    }
    const bool idle = TheAppState().idle == 1;
    if (idle) {
        startButton_.SetCaptionColor(kActiveCaption);
        helpButton_.SetCaptionColor(kActiveCaption);
        exitButton_.SetCaptionColor(kActiveCaption);
    } else {
        stopButton_.SetCaptionColor(kActiveCaption);
    }
    packageNameLabel_.EnableWindow(idle);
    portNameLabel_.EnableWindow(idle);
    for (const SkinButton* button : {&startButton_, &helpButton_, &exitButton_, &stopButton_}) {
        button->Invalidate(true);
    }
}

void MainDialog::OnExit() {
    const AppState& state = TheAppState();
    if (state.busy.load() == 0 && state.idle == 1 && !stopping_) {
        WaitForWorker();
        EndDialog(IDCANCEL);
    }
}

void MainDialog::OnOK() {}

void MainDialog::OnCancel() {
    OnExit();
}

void MainDialog::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    const PaintDC dc(Hwnd());
    Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.View().Handle()));
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    const RECT client = GetClientRect();
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc.View().Handle(), x, y, icon_);
}

HICON MainDialog::OnQueryDragIcon() {
    return icon_;
}

HBRUSH MainDialog::OnCtlColor(DCView, HWND, UINT) {
    return ctlBrush_.Get();
}

bool MainDialog::OnEraseBkgnd(DCView dc) {
    const RECT client = GetClientRect();
    if (skinBitmap_) {
        // The client area is rarely the bitmap's size exactly (dialog units follow the system's
        // font); the default mode would AND the dropped rows of the housing's texture into dark
        // streaks when shrinking.
        const DCStateGuard state(dc);
        ::SetStretchBltMode(dc.Handle(), HALFTONE);
        ::SetBrushOrgEx(dc.Handle(), 0, 0, nullptr);
        ::StretchBlt(dc.Handle(), 0, 0, client.right - client.left, client.bottom - client.top,
                     skinDC_.View().Handle(), 0, 0, skinWidth_, skinHeight_, SRCCOPY);
    } else {
        dc.FillSolidRect(client, kSkinGrey);
    }
    return true;
}

} // namespace tamsivo
