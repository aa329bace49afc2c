#include "NoticeWindow.h"

#include "app/AppState.h"
#include "flash/FlashProtocol.h"

namespace tamsivo::test {

namespace {

constexpr wchar_t kClassName[] = L"TamsivoFlashTestWindow";
constexpr unsigned kFirstFlashMessage = WM_FLASH_SIZE;
constexpr unsigned kLastFlashMessage = WM_FLASH_LINK_ERROR;

bool RegisterOnce(WNDPROC procedure) {
    static const bool registered = [procedure] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        return ::RegisterClassW(&windowClass) != 0;
    }();
    return registered;
}

// Handle values are multiples of four and are handed out lowest first; a test process
// stays far below this.
constexpr std::uintptr_t kHandleValueLimit = 0x4000;

} // namespace

std::vector<std::uintptr_t> OpenHandles() {
    std::vector<std::uintptr_t> handles;
    for (std::uintptr_t value = 4; value < kHandleValueLimit; value += 4) {
        DWORD flags = 0;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            handles.push_back(value);
        }
    }
    return handles;
}

NoticeWindow::NoticeWindow() {
    if (!RegisterOnce(&NoticeWindow::Procedure)) {
        return;
    }
    window_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    if (window_ != nullptr) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
}

NoticeWindow::~NoticeWindow() {
    if (window_ != nullptr) {
        ::DestroyWindow(window_);
    }
}

LRESULT CALLBACK NoticeWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<NoticeWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message >= kFirstFlashMessage && message <= kLastFlashMessage) {
        self->Record(message, lParam);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void NoticeWindow::Record(unsigned message, LPARAM lParam) {
    const FlashNotice notice{message, static_cast<long long>(lParam)};
    const bool snapshot = (message == WM_FLASH_PROGRESS && FirstProgress() == nullptr) ||
                          (IsEnding(message) && Ending() == nullptr);
    observations_.push_back({notice, TheAppState().busy.load(),
                             snapshot ? OpenHandles() : std::vector<std::uintptr_t>{}});
    if (hook_) {
        hook_(notice);
    }
}

bool NoticeWindow::IsEnding(unsigned message) {
    return message != WM_FLASH_SIZE && message != WM_FLASH_PROGRESS;
}

bool NoticeWindow::Pump(HANDLE thread, const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        // Messages sent from the run's thread are delivered inside PeekMessageW.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done()) {
            return true;
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        ::MsgWaitForMultipleObjectsEx(
            thread != nullptr ? 1 : 0, thread != nullptr ? &thread : nullptr,
            static_cast<DWORD>(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

bool NoticeWindow::PumpUntilEnded(DWORD timeoutMs) {
    return Pump(
        nullptr, [this] { return Ending() != nullptr; }, timeoutMs);
}

bool NoticeWindow::PumpUntilThreadEnds(HANDLE thread, DWORD timeoutMs) {
    return Pump(
        thread, [thread] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, timeoutMs);
}

std::vector<FlashNotice> NoticeWindow::Notices() const {
    std::vector<FlashNotice> notices;
    for (const FlashObservation& observation : observations_) {
        notices.push_back(observation.notice);
    }
    return notices;
}

const FlashObservation* NoticeWindow::Ending() const {
    for (const FlashObservation& observation : observations_) {
        if (IsEnding(observation.notice.message)) {
            return &observation;
        }
    }
    return nullptr;
}

const FlashObservation* NoticeWindow::FirstProgress() const {
    for (const FlashObservation& observation : observations_) {
        if (observation.notice.message == WM_FLASH_PROGRESS) {
            return &observation;
        }
    }
    return nullptr;
}

} // namespace tamsivo::test
