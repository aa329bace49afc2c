#pragma once

#include "controls/win32/PercentProgressBar.h"
#include "controls/win32/SkinButton.h"
#include "controls/win32/SkinLabel.h"
#include "flash/Outcome.h"
#include "framework/Dialog.h"
#include "framework/GdiObject.h"
#include "framework/MemoryDC.h"
#include "framework/OwnedHandle.h"
#include "framework/SelectGuard.h"
#include "text/Cp1251Literal.h"

#include <cstdint>
#include <string>

#include <windows.h>

namespace tamsivo {

// The program's one top-level window: a captionless dialog (template IDD_MAIN_DIALOG) with the
// skin bitmap stretched over its client area, skinned labels on the display glass and four
// skinned buttons on the key fields, dragged by any free spot of its body. Every change of
// screen goes through ShowScreen, which wipes the old title away character by character, grows
// the new one, shows one group of controls (port and package, or the support contacts, or the
// progress bar) and recolours the buttons for the idle or running look (TheAppState().idle).
// Its commands start and stop a flash run on a worker thread, which reports back with the
// WM_FLASH_* notifications; each ending one shows its outcome and returns to the idle look.
class MainDialog : public Dialog {
public:
    // Skin palette.
    static constexpr COLORREF kSkinBlue = RGB(10, 180, 250);
    static constexpr COLORREF kSkinGrey = RGB(64, 64, 64);
    static constexpr COLORREF kFaceTint = RGB(10, 10, 10);
    // Button captions: active buttons in the display's blue, inactive ones in dark grey.
    static constexpr COLORREF kActiveCaption = kSkinBlue;
    static constexpr COLORREF kInactiveCaption = kSkinGrey;
    static constexpr const char* kProgressFormat = kCp1251<"Выполнено : %d%%">;
    // The pause between two steps of the title animation of the screens shown by commands.
    static constexpr DWORD kTitleStepMs = 15;

    explicit MainDialog(HWND parent = nullptr);
    ~MainDialog() override;

    // Shows a screen: `caption` in the title label (animated, stepDelayMs per character),
    // `message` in the message label, the progress bar instead of the message when
    // `showProgress`, the support contacts instead of the port and package when `showContacts`.
    // Blocks the dialog's thread for (old title length + caption length + 2) * stepDelayMs.
    void ShowScreen(const std::string& caption, const std::string& message, bool showProgress,
                    bool showContacts, DWORD stepDelayMs);
    // Caption colours of the four buttons and the enabled state of the two clickable labels,
    // from TheAppState().idle.
    void RefreshButtons();
    // The guarded cancel: ends the dialog (IDCANCEL) only while it is idle and no run is busy.
    void OnExit();

protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

    void DoDataExchange(DataExchange& exchange) override;
    bool OnInitDialog() override;
    // Enter never closes the dialog.
    void OnOK() override;
    // Escape, Alt+F4 and the close request.
    void OnCancel() override;

    // Starts the worker of one flash run, reporting to this dialog, with the package and port
    // chosen now and the length of the progress bar, and hands over its thread handle; null
    // when no thread could be started: then no notification will come.
    virtual HANDLE StartFlashWorker();

    // The controls, bound by data exchange.
    PercentProgressBar progressBar_; // IDC_PROGRESS
    SkinButton exitButton_;          // IDC_EXIT_BUTTON
    SkinButton startButton_;         // IDC_START_BUTTON
    SkinButton helpButton_;          // IDC_HELP_BUTTON
    SkinButton stopButton_;          // IDC_STOP_BUTTON
    SkinLabel titleLabel_;           // IDC_TITLE
    SkinLabel messageLabel_;         // IDC_MESSAGE, over the progress bar
    SkinLabel portCaptionLabel_;     // IDC_PORT_CAPTION
    SkinLabel supportTextLabel_;     // IDC_SUPPORT_TEXT
    SkinLabel phoneLabel_;           // IDC_SUPPORT_PHONE
    SkinLabel mailCaptionLabel_;     // IDC_MAIL_CAPTION
    SkinLabel mailLabel_;            // IDC_SUPPORT_MAIL
    SkinLabel packageCaptionLabel_;  // IDC_PACKAGE_CAPTION
    SkinLabel packageNameLabel_;     // IDC_PACKAGE_NAME, click: choose the package again
    SkinLabel webSiteLabel_;         // IDC_WEB_SITE
    SkinLabel portNameLabel_;        // IDC_PORT_NAME, click: next port

private:
    // Message handlers.
    void OnPaint();
    HICON OnQueryDragIcon();
    HBRUSH OnCtlColor(DCView dc, HWND control, UINT controlType);
    bool OnEraseBkgnd(DCView dc);

    // Commands (MainDialogCommands.cpp).
    void OnStart();
    void OnStop();
    void OnHelp();
    // Clicks on the package-name and port-name labels.
    void OnPackageLabel();
    void OnPortLabel();
    // Waits for one message of the thread's queue and dispatches it; 0 for WM_QUIT, which is
    // taken from the queue and not dispatched (its exit code into `quitCode` when given),
    // else 1.
    int PumpOneMessage(WPARAM* quitCode = nullptr);
    // Dispatches the input and posted messages that wait in the queue now, without waiting
    // for more; a quit request is handed on.
    void ServeWaitingInput();
    void ServeInputDuringReport();
    // The second half of a stop: waits for the worker, then tells of the cancellation unless the
    // run told its own end meanwhile.
    void FinishStop();
    LRESULT OnFinishStop(WPARAM, LPARAM);
    // Posted by a stop served inside a report of the worker's, which it cannot wait for there.
    static constexpr UINT kFinishStop = WM_APP + 0x20;
    // Keeps the dialog's thread serving messages until the worker of the last run has ended,
    // then lets go of it: the worker may be blocked in a synchronous send to this window.
    void WaitForRunToEnd(HCURSOR waitCursor);
    // Waits until the last run's worker thread has ended, serving only what other threads
    // send meanwhile: its ending notification may still be on its way.
    void WaitForWorker();

    // The flash run's notifications. Every handler returns 1.
    LRESULT OnFlashSize(WPARAM, LPARAM byteCount);
    LRESULT OnFlashProgress(WPARAM, LPARAM sentTotal);
    // lParam names the reason of a refused package (PackageError).
    template <Outcome Ending> LRESULT OnFlashEnded(WPARAM, LPARAM lParam) {
        return ShowRunEnd(RowOf(Ending), lParam);
    }
    LRESULT ShowRunEnd(const OutcomeRow& outcome, LPARAM lParam);
    void MoveFocus(OutcomeFocus focus) const;

    void LoadSkin(DCView like);
    void DressLabels();
    void CreateButtonFont();
    // Whether every button's caption fits between its focus margins in `font`.
    bool CaptionsFit(HFONT font) const;
    void DressButtons();
    void DressProgressBar();
    void ShowGreetingOrPortError();
    // The label, on top of its siblings so that it paints over the controls it overlaps.
    static void BringToTop(const SkinLabel& label);
    // Keeps the progress bar readable while it is shown: the message label, which lies over
    // it, gives way to it.
    void StackProgressBar(bool shown) const;

    static const MessageEntry messageEntries[];

    OwnedHandle worker_;       // the thread of the last run started here
    bool stopping_ = false;    // the stop command waits for the run to end
    bool runEndShown_ = false; // an ending notification was shown since the stop began
    bool inRunReport_ = false; // serving input inside a report the worker waits on
    Brush ctlBrush_;
    HICON icon_ = nullptr; // shared resource icon: never destroyed
    Font buttonFont_;
    MemoryDC skinDC_;
    Bitmap skinBitmap_;
    std::int32_t skinHeight_ = 0;
    std::int32_t skinWidth_ = 0;
    // Holds skinBitmap_ selected into skinDC_; declared after both, so that it puts the
    // context's own bitmap back before either is deleted (a selected bitmap cannot be).
    SelectGuard skinSelection_;
};

} // namespace tamsivo
