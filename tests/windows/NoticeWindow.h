#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

#include <windows.h>

namespace tamsivo::test {

struct FlashNotice {
    unsigned message;
    long long lParam;

    friend bool operator==(const FlashNotice&, const FlashNotice&) = default;
    friend void PrintTo(const FlashNotice& notice, std::ostream* out) {
        *out << "{" << notice.message << ", " << notice.lParam << "}";
    }
};

// What the dialog could see while it handled one notification; the run is blocked in its
// SendMessageW all that time.
struct FlashObservation {
    FlashNotice notice;
    std::uint8_t busy; // AppState::busy
    // The process's open handle values, taken at the first progress notice and at the
    // ending one only (empty otherwise).
    std::vector<std::uintptr_t> handles;
};

// The handle values that are open in this process right now, in ascending order. Found by
// asking about each small value in turn: GetProcessHandleCount is a stub under Wine.
std::vector<std::uintptr_t> OpenHandles();

// Plays the dialog for a flash run: a hidden message-only window on the creating thread
// that records every WM_FLASH_* message in order. Needs no display, so it works under Wine
// without an X server.
class NoticeWindow {
public:
    using NoticeHook = std::function<void(const FlashNotice&)>;

    NoticeWindow();
    ~NoticeWindow();
    NoticeWindow(const NoticeWindow&) = delete;
    NoticeWindow& operator=(const NoticeWindow&) = delete;

    bool Created() const { return window_ != nullptr; }
    HWND Handle() const { return window_; }

    // Called inside the window procedure after each notice is recorded, as the dialog's
    // handler would run: the sending run waits until it returns.
    void OnNotice(NoticeHook hook) { hook_ = std::move(hook); }

    // Dispatches messages until an ending notification has been handled. False when the
    // deadline came first.
    bool PumpUntilEnded(DWORD timeoutMs);
    // Dispatches messages until `thread` has ended (so nothing more can be sent).
    bool PumpUntilThreadEnds(HANDLE thread, DWORD timeoutMs);

    std::vector<FlashNotice> Notices() const;
    const std::vector<FlashObservation>& Observations() const { return observations_; }
    // The first ending notification's observation, or nullptr.
    const FlashObservation* Ending() const;
    // The first WM_FLASH_PROGRESS observation, or nullptr.
    const FlashObservation* FirstProgress() const;

    // Anything but WM_FLASH_SIZE and WM_FLASH_PROGRESS ends a run.
    static bool IsEnding(unsigned message);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Pump(HANDLE thread, const std::function<bool()>& done, DWORD timeoutMs);
    void Record(unsigned message, LPARAM lParam);

    HWND window_ = nullptr;
    NoticeHook hook_;
    std::vector<FlashObservation> observations_;
};

} // namespace tamsivo::test
