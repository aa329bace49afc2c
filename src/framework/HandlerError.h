#pragma once

#include <exception>

namespace tamsivo {

class Window;

// An exception that leaves a message handler must not unwind through the system's window
// code. The window procedures keep the first one of the thread here and end the innermost
// modal dialog; Dialog::DoModal throws it again once that dialog is gone, so no failure is
// lost and none is reported twice.
class HandlerError {
public:
    // Keeps `error` unless one is already waiting, then ends the innermost modal dialog (-1).
    static void Keep(std::exception_ptr error) noexcept;
    // Throws the waiting exception, if any, and forgets it.
    static void RethrowIfAny();

    // Marks the span of one modal run: while it lasts, `dialog` is the innermost modal dialog.
    class ModalRun {
    public:
        explicit ModalRun(const Window& dialog) noexcept;
        ~ModalRun();
        ModalRun(const ModalRun&) = delete;
        ModalRun& operator=(const ModalRun&) = delete;

    private:
        friend class HandlerError;
        const Window& dialog_;
        ModalRun* outer_;
    };
};

} // namespace tamsivo
