#include "framework/Dialog.h"

#include "framework/Application.h"
#include "framework/DataExchange.h"
#include "framework/HandlerError.h"

#include <exception>

#include <commctrl.h>

namespace tamsivo {
namespace {

// The dialog manager returns these messages' results as the procedure's own return value
// instead of DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ||
           message == WM_COMPAREITEM || message == WM_VKEYTOITEM || message == WM_CHARTOITEM ||
           message == WM_QUERYDRAGICON || message == WM_INITDIALOG;
}

// Templates may hold progress bars, and controls may create tool tips: both window classes
// live in the common controls library and must be registered before a template uses them.
void RegisterCommonControls() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
        return ::InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)registered;
}

} // namespace

Dialog::Dialog(int templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

INT_PTR Dialog::DoModal() {
    RegisterCommonControls();
    INT_PTR result;
    {
        HandlerError::ModalRun run(*this);
        result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_),
                                   Owner(), &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
    }
    HandlerError::RethrowIfAny();
    return result;
}

HWND Dialog::Owner() const {
    if (parent_ != nullptr) {
        return parent_;
    }
    // Without a parent of its own a dialog belongs to the main window, which the dialog
    // manager disables meanwhile: its commands must not run under a dialog that can change
    // what they work on.
    const Application* application = Application::Current();
    const Window* main = application != nullptr ? application->MainWindow() : nullptr;
    if (main != nullptr && main != this && ::IsWindow(main->Hwnd())) {
        return main->Hwnd();
    }
    return nullptr;
}

void Dialog::EndDialog(INT_PTR result) const {
    ::EndDialog(Hwnd(), result);
}

void Dialog::UpdateData(bool save) {
    DataExchange exchange(*this, save);
    DoDataExchange(exchange);
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void Dialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void Dialog::DoDataExchange(DataExchange&) {}

void Dialog::DragByBody(UINT, POINT) {
    // The system's move loop does the rest, as for a press on a real caption.
    ::ReleaseCapture();
    Send(WM_NCLBUTTONDOWN, HTCAPTION, 0);
    Default();
}

LRESULT Dialog::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (Hwnd() == nullptr) {
        return 0;
    }
    // DefDlgProcW first calls the dialog procedure, which declines once because of the flag,
    // and then does its own handling; messages sent meanwhile are routed as usual.
    defaultRequested_ = true;
    const LRESULT result = ::DefDlgProcW(Hwnd(), message, wParam, lParam);
    defaultRequested_ = false;
    return result;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (id == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->Attach(hwnd);
    } else {
        // Null for the few messages that come before WM_INITDIALOG (WM_SETFONT and the like).
        self = static_cast<Dialog*>(FromHandle(hwnd));
    }
    if (self == nullptr) {
        return FALSE;
    }
    if (self->defaultRequested_) {
        self->defaultRequested_ = false;
        return FALSE;
    }
    INT_PTR result = FALSE;
    try {
        result = self->HandleMessage(hwnd, id, wParam, lParam);
    } catch (...) {
        HandlerError::Keep(std::current_exception());
        result = FALSE;
    }
    if (id == WM_NCDESTROY) {
        self->Detach();
    }
    return result;
}

INT_PTR Dialog::HandleMessage(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
    if (id == WM_INITDIALOG) {
        return OnInitDialog() ? TRUE : FALSE;
    }
    LRESULT result = 0;
    bool handled = Route(Message{id, wParam, lParam}, result);
    if (!handled && id == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            handled = true;
        } else if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            handled = true;
        }
    }
    if (!handled) {
        return FALSE;
    }
    if (ReturnsResultDirectly(id)) {
        return static_cast<INT_PTR>(result);
    }
    ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

} // namespace tamsivo
