#include "framework/HandlerError.h"

#include "framework/Window.h"

#include <windows.h>

namespace tamsivo {
namespace {

thread_local std::exception_ptr pendingError;
thread_local HandlerError::ModalRun* innermostRun = nullptr;

} // namespace

void HandlerError::Keep(std::exception_ptr error) noexcept {
    if (!pendingError) {
        pendingError = error;
    }
    if (innermostRun != nullptr && innermostRun->dialog_.Hwnd() != nullptr) {
        ::EndDialog(innermostRun->dialog_.Hwnd(), -1);
    }
}

void HandlerError::RethrowIfAny() {
    if (pendingError) {
        std::exception_ptr error = pendingError;
        pendingError = nullptr;
        std::rethrow_exception(error);
    }
}

HandlerError::ModalRun::ModalRun(const Window& dialog) noexcept
    : dialog_(dialog), outer_(innermostRun) {
    innermostRun = this;
}

HandlerError::ModalRun::~ModalRun() {
    innermostRun = outer_;
}

} // namespace tamsivo
