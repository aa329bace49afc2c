#pragma once

#include <string>

namespace tamsivo {

// Keeps the computer from going to sleep for as long as it lives, so that sleep never cuts a
// run short and leaves an on-board computer half written: one per run, on the run's thread.
// Where the system offers no such hold, the run goes on without it and nothing is said.
// Windows: the thread's execution state says the system is required (a hold that belongs to
// the thread: the object must end on the thread that made it). Linux: an inhibitor lock of
// systemd-logind over the system bus, which refuses sleep and idle sleep while it is held;
// without a bus or logind, nothing, after a bounded wait at most.
class StayAwake {
public:
    // `program`, the package and the port (UTF-8) tell whoever lists the holds who keeps the
    // computer awake and why.
    StayAwake(const std::string& program, const std::string& package, const std::string& port);
    ~StayAwake();
    StayAwake(const StayAwake&) = delete;
    StayAwake& operator=(const StayAwake&) = delete;

    // Whether the system granted the hold.
    bool Held() const { return hold_ >= 0; }

private:
    // Linux: logind's descriptor, whose closing ends the lock. Windows: 0 while the thread's
    // state is set. -1: no hold.
    int hold_ = -1;
};

} // namespace tamsivo
