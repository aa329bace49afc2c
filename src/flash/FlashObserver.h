#pragma once

#include "flash/Outcome.h"
#include "flash/PackageError.h"

#include <cstdint>

namespace tamsivo {

// How a run ended, with what the user is told about it.
struct RunEnd {
    Outcome outcome = Outcome::Cancelled;
    std::uint32_t sent = 0; // bytes sent and not withdrawn by a resend; Done: the byte count
    PackageError packageError = PackageError::None; // Outcome::PackageError: why
    // The system's reason the port did not open, or a transfer on the open line failed (a
    // hang-up, a vanished adapter); 0 when it had none or a transfer merely timed out.
    int portError = 0;
    int lineError = 0;
};

// Watches one run, on the run's own thread. Each call returns only once the observer has
// taken it in (the dialog's window has handled it): the run waits meanwhile.
class FlashObserver {
public:
    virtual ~FlashObserver() = default;
    // The package has been read: `byteCount` bytes will go out.
    virtual void Sized(std::uint32_t byteCount) = 0;
    // A frame's echo came back: `sent` bytes are out; a resent frame repeats its total.
    virtual void Progressed(std::uint32_t sent) = 0;
    // The last frame was accepted, and the run makes sure that nothing follows the verdict
    // before it believes it.
    virtual void ConfirmingLastFrame() {}
    // The run's last word. A run stopped by the user says nothing more; its end is then
    // Cancelled in the run's statistics only.
    virtual void Ended(const RunEnd& end) = 0;
};

} // namespace tamsivo
