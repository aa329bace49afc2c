#include "flash/StayAwake.h"

#include <chrono>
#include <cstdint>
#include <memory>

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace tamsivo {
namespace {

// logind answers within milliseconds. A bus that has not answered by then (one that starts
// logind on demand, or hangs) is given up, so that it never holds a run back noticeably.
constexpr std::chrono::milliseconds kAnswerTimeout{500};

// Closed without a flush: the hold is a descriptor of its own and needs nothing more sent, and
// a flush would wait on a bus that never answers for the bus's own timeout, a minute and a half.
struct BusCloser {
    void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};
struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};

struct Answer {
    bool came = false;
    int lock = -1;
};

// The reply's descriptor belongs to the message: the lock is a copy of it. An error reply
// (no logind, or one that refuses) leaves no lock.
int OnAnswer(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    auto* answer = static_cast<Answer*>(userdata);
    answer->came = true;
    int fd = -1;
    if (!sd_bus_message_is_method_error(reply, nullptr) &&
        sd_bus_message_read(reply, "h", &fd) > 0) {
        answer->lock = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    }
    return 0;
}

} // namespace

// The call goes out asynchronously and the bus is served here until the answer or the
// deadline, which bounds the connection's handshake as well as the call: a synchronous call
// would wait for the handshake without limit.
StayAwake::StayAwake(const std::string& program, const std::string& package,
                     const std::string& port) {
    Answer answer; // outlives the bus, which holds a pointer to it
    sd_bus* opened = nullptr;
    if (sd_bus_open_system(&opened) < 0) {
        return;
    }
    const std::unique_ptr<sd_bus, BusCloser> bus(opened);
    sd_bus_message* made = nullptr;
    if (sd_bus_message_new_method_call(bus.get(), &made, "org.freedesktop.login1",
                                       "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                       "Inhibit") < 0) {
        return;
    }
    const std::unique_ptr<sd_bus_message, MessageUnref> call(made);
    const std::string why = "flashing " + package + " through " + port;
    const auto timeoutUs = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(kAnswerTimeout).count());
    if (sd_bus_message_append(call.get(), "ssss", "sleep:idle", program.c_str(), why.c_str(),
                              "block") < 0 ||
        sd_bus_call_async(bus.get(), nullptr, call.get(), OnAnswer, &answer, timeoutUs) < 0) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
    while (!answer.came) {
        const int processed = sd_bus_process(bus.get(), nullptr);
        if (processed < 0) {
            return;
        }
        if (processed > 0) {
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 ||
            sd_bus_wait(bus.get(), static_cast<std::uint64_t>(left.count())) < 0) {
            return;
        }
    }
    hold_ = answer.lock;
}

StayAwake::~StayAwake() {
    if (hold_ >= 0) {
        ::close(hold_);
    }
}

} // namespace tamsivo
