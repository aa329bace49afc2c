#include "BkSimulator.h"

#include "flash/FlashProtocol.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace tamsivo::sim {

namespace {

// A master read in packet mode carries one leading byte: TIOCPKT_DATA, or a status alone.
constexpr std::size_t kReadChunk = 4096;
// Bytes handed to one write(); small so that paced output leaves in its time slots.
constexpr std::size_t kWriteBatch = 512;
// Reads per wake-up, so that due output is not held back by a host that writes a lot.
constexpr int kReadsPerWake = 16;
// Without inotify, an idle simulator looks for a host this often.
constexpr int kIdlePollMs = 20;

std::string ErrnoText(const char* what, const std::string& subject) {
    const int code = errno;
    std::string text = what;
    if (!subject.empty()) {
        text += " ";
        text += subject;
    }
    text += ": ";
    text += std::strerror(code);
    return text;
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

bool ParseItem(const std::string& item, std::uint8_t* value) {
    if (item.size() == 2 && std::tolower(static_cast<unsigned char>(item[0])) == 'o' &&
        std::tolower(static_cast<unsigned char>(item[1])) == 'k') {
        *value = ANSWER_OK;
        return true;
    }
    if (item.empty() || item.size() > 2) {
        return false;
    }
    unsigned parsed = 0;
    for (const char c : item) {
        const int digit = std::isxdigit(static_cast<unsigned char>(c))
                              ? (std::isdigit(static_cast<unsigned char>(c))
                                     ? c - '0'
                                     : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10)
                              : -1;
        if (digit < 0) {
            return false;
        }
        parsed = parsed * 16 + static_cast<unsigned>(digit);
    }
    *value = static_cast<std::uint8_t>(parsed);
    return true;
}

void CloseFd(int* fd) {
    if (*fd >= 0) {
        ::close(*fd);
        *fd = -1;
    }
}

} // namespace

BkSimulator::BkSimulator(BkSimConfig config) : config_(std::move(config)) {}

const std::vector<FaultName>& BkSimulator::FaultNames() {
    static const std::vector<FaultName> kNames = {
        {"no-echo", Fault::NoEcho, false},       {"short-echo", Fault::ShortEcho, false},
        {"no-answer", Fault::NoAnswer, false},   {"answer", Fault::Answer, true},
        {"drop", Fault::DropLine, false},        {"early-answer", Fault::EarlyAnswer, false},
        {"extra-echo", Fault::ExtraEcho, true},  {"noise", Fault::Noise, true},
        {"hang-up", Fault::HangUp, true},
    };
    return kNames;
}

std::optional<FaultName> BkSimulator::FindFault(std::string_view name) {
    for (const FaultName& known : FaultNames()) {
        if (name == known.name) {
            return known;
        }
    }
    return std::nullopt;
}

BkSimulator::~BkSimulator() {
    Stop();
}

bool BkSimulator::ParseAnswers(const std::string& script, std::vector<std::uint8_t>* answers,
                               bool* repeatLast) {
    std::vector<std::uint8_t> parsed;
    bool repeat = false;
    if (!Trim(script).empty()) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = script.find(',', start);
            const bool last = comma == std::string::npos;
            std::string item = Trim(script.substr(start, last ? std::string::npos : comma - start));
            if (!item.empty() && item.back() == '*') {
                if (!last) {
                    return false;
                }
                repeat = true;
                item = Trim(item.substr(0, item.size() - 1));
            }
            std::uint8_t value = 0;
            if (!ParseItem(item, &value)) {
                return false;
            }
            parsed.push_back(value);
            if (last) {
                break;
            }
            start = comma + 1;
        }
    }
    *answers = std::move(parsed);
    *repeatLast = repeat;
    return true;
}

bool BkSimulator::Start(std::string* error) {
    if (thread_.joinable() || master_ >= 0) {
        *error = "the simulator is already running on " + slavePath_;
        return false;
    }
    if (!ParseAnswers(config_.answers, &script_, &repeatLast_)) {
        *error = "invalid answer script \"" + config_.answers +
                 "\": expected comma-separated hexadecimal bytes or ok, '*' only on the last";
        return false;
    }
    if (config_.fault != Fault::None && config_.faultFrame == 0) {
        *error = "a fault needs the number of its frame, counted from 1";
        return false;
    }
    scriptPos_ = 0;
    byteSeen_ = false;
    stopping_ = false;
    framesReceived_ = 0;
    framesAccepted_ = 0;
    {
        std::lock_guard<std::mutex> lock(acceptedMutex_);
        accepted_.clear();
        serveError_.clear();
        firstByte_ = lastAccepted_ = {};
    }

    auto fail = [&](std::string reason) {
        *error = std::move(reason);
        CloseAll();
        return false;
    };

    if (!config_.recordPath.empty()) {
        record_ = std::fopen(config_.recordPath.c_str(), "ab");
        if (record_ == nullptr) {
            return fail(ErrnoText("cannot open the record file", config_.recordPath));
        }
    }

    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        return fail(ErrnoText("posix_openpt", ""));
    }
    // Children of the test or of the tool must not keep the pseudo-terminal alive.
    if (::fcntl(master_, F_SETFD, FD_CLOEXEC) != 0 ||
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
        return fail(ErrnoText("cannot configure the pseudo-terminal master", ""));
    }
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        return fail(ErrnoText("cannot unlock the pseudo-terminal slave", ""));
    }
    const char* name = ::ptsname(master_);
    if (name == nullptr) {
        return fail(ErrnoText("ptsname", ""));
    }
    slavePath_ = name;
    // Packet mode reports the host's purges; a purge restarts the stream at a frame boundary.
    int packet = 1;
    if (::ioctl(master_, TIOCPKT, &packet) != 0) {
        return fail(ErrnoText("cannot set packet mode on the master of", slavePath_));
    }

    // A fresh slave echoes and translates in canonical mode; the first bytes of a host that
    // has not configured the line yet would come back twice. The settings outlive the slave's
    // close as long as the master stays open, so one raw setting here serves every host.
    const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        return fail(ErrnoText("cannot open", slavePath_));
    }
    termios raw{};
    std::string rawError;
    if (::tcgetattr(slave, &raw) != 0) {
        rawError = ErrnoText("cannot read the settings of", slavePath_);
    } else {
        ::cfmakeraw(&raw);
        if (::tcsetattr(slave, TCSANOW, &raw) != 0) {
            rawError = ErrnoText("cannot make raw", slavePath_);
        }
    }
    ::close(slave);
    if (!rawError.empty()) {
        return fail(rawError);
    }

    // Watch only after our own open, so that every event belongs to a host.
    inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ >= 0 &&
        ::inotify_add_watch(inotify_, slavePath_.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        CloseFd(&inotify_); // idle waits fall back to short polls
    }

    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        return fail(ErrnoText("cannot create the wake-up pipe", ""));
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];

    if (!config_.linkPath.empty()) {
        struct stat st {};
        if (::lstat(config_.linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                return fail(config_.linkPath + " exists and is not a symbolic link");
            }
            if (::unlink(config_.linkPath.c_str()) != 0) {
                return fail(ErrnoText("cannot replace the link", config_.linkPath));
            }
        } else if (errno != ENOENT) {
            return fail(ErrnoText("cannot inspect", config_.linkPath));
        }
        if (::symlink(slavePath_.c_str(), config_.linkPath.c_str()) != 0) {
            return fail(ErrnoText("cannot create the link", config_.linkPath));
        }
        linkCreated_ = true;
    }

    try {
        thread_ = std::thread(&BkSimulator::Serve, this);
    } catch (const std::system_error& e) {
        return fail(std::string("cannot start the serving thread: ") + e.what());
    }
    return true;
}

void BkSimulator::Stop() {
    stopping_ = true;
    if (wakeWrite_ >= 0) {
        const char wake = 1;
        // A full pipe already holds a wake-up; nothing else can fail here.
        [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &wake, 1);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    CloseAll();
}

void BkSimulator::CloseAll() {
    RemoveLink();
    CloseFd(&master_);
    CloseFd(&inotify_);
    CloseFd(&wakeRead_);
    CloseFd(&wakeWrite_);
    if (record_ != nullptr) {
        std::fclose(record_);
        record_ = nullptr;
    }
}

void BkSimulator::RemoveLink() {
    if (!linkCreated_) {
        return;
    }
    linkCreated_ = false;
    // Another simulator may have taken the name over since; its link stays.
    char target[PATH_MAX];
    const ssize_t length = ::readlink(config_.linkPath.c_str(), target, sizeof target);
    if (length >= 0 && std::string(target, static_cast<std::size_t>(length)) == slavePath_ &&
        ::unlink(config_.linkPath.c_str()) != 0 && errno != ENOENT) {
        NoteError(ErrnoText("cannot remove the link", config_.linkPath));
    }
}

std::vector<std::uint8_t> BkSimulator::Accepted() const {
    std::lock_guard<std::mutex> lock(acceptedMutex_);
    return accepted_;
}

std::string BkSimulator::ServeError() const {
    std::lock_guard<std::mutex> lock(acceptedMutex_);
    return serveError_;
}

std::chrono::steady_clock::duration BkSimulator::BusyTime() const {
    std::lock_guard<std::mutex> lock(acceptedMutex_);
    return lastAccepted_ > firstByte_ ? lastAccepted_ - firstByte_ : Clock::duration::zero();
}

void BkSimulator::NoteError(const std::string& what) {
    std::lock_guard<std::mutex> lock(acceptedMutex_);
    if (serveError_.empty()) {
        serveError_ = what;
    }
}

void BkSimulator::Serve() {
    // The default 50 us timer slack would make every paced wake-up late by that much.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    while (WaitForHost()) {
        const HostState state = ServeHost();
        // Whatever a departed host left half done is forgotten; the next host starts clean.
        ResetSession();
        if (state == HostState::Stopping) {
            break;
        }
    }
}

bool BkSimulator::WaitForHost() {
    std::uint8_t discard[1 + kReadChunk];
    for (;;) {
        if (stopping_) {
            return false;
        }
        // Old events go first: an open from here on wakes the wait below.
        DrainHostEvents();
        pollfd master{master_, POLLIN, 0};
        if (::poll(&master, 1, 0) < 0) {
            if (errno == EINTR) {
                continue;
            }
            NoteError(ErrnoText("poll on the master of", slavePath_));
            return false;
        }
        // The master reports a hang-up exactly while no process has the slave open.
        if ((master.revents & POLLHUP) == 0) {
            return true;
        }
        // Anything still buffered was written by a host that has gone. The kernel hands it
        // out until the buffer is empty and only then reports EIO.
        ssize_t got = 0;
        do {
            got = ::read(master_, discard, sizeof discard);
        } while (got > 0 || (got < 0 && errno == EINTR));
        if (got < 0 && errno == EAGAIN) {
            return true; // a host has opened the slave meanwhile
        }

        pollfd waits[2] = {{wakeRead_, POLLIN, 0}, {inotify_, POLLIN, 0}};
        const bool watched = inotify_ >= 0;
        if (::poll(waits, watched ? 2 : 1, watched ? -1 : kIdlePollMs) < 0 && errno != EINTR) {
            NoteError(ErrnoText("poll while waiting for a host of", slavePath_));
            return false;
        }
    }
}

bool BkSimulator::DrainHostEvents() {
    bool closed = false;
    if (inotify_ < 0) {
        return closed;
    }
    alignas(inotify_event) char events[4096];
    ssize_t got = 0;
    while ((got = ::read(inotify_, events, sizeof events)) > 0) {
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            inotify_event event;
            std::memcpy(&event, events + at, sizeof event);
            closed = closed || (event.mask & IN_CLOSE) != 0;
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
    return closed;
}

BkSimulator::HostState BkSimulator::ServeHost() {
    ResetSession();
    for (;;) {
        if (stopping_) {
            return HostState::Stopping;
        }
        bool blocked = false;
        Clock::time_point wake;
        const HostState written = WriteDue(&blocked, &wake);
        if (written != HostState::Present) {
            return written;
        }
        // Paced bytes are due every few dozen microseconds: a millisecond-grained poll would
        // stretch every frame's last echo byte and its answer by up to a millisecond.
        timespec timeout{};
        const timespec* wait = nullptr;
        if (!blocked && !out_.empty()) {
            const auto left = std::max(Clock::duration::zero(), wake - Clock::now());
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
            timeout.tv_sec = static_cast<time_t>(seconds.count());
            timeout.tv_nsec = static_cast<long>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count());
            wait = &timeout;
        }
        // A full buffer takes nothing of the host's: it stalls until the host reads its echo.
        const short input = Room() > 0 ? POLLIN : 0;
        pollfd fds[3] = {
            {master_, static_cast<short>(input | (blocked ? POLLOUT : 0)), 0},
            {wakeRead_, POLLIN, 0},
            {inotify_, POLLIN, 0},
        };
        if (::ppoll(fds, inotify_ >= 0 ? 3 : 2, wait, nullptr) < 0) {
            if (errno == EINTR) {
                continue;
            }
            NoteError(ErrnoText("poll on the master of", slavePath_));
            return HostState::Stopping;
        }
        if (fds[1].revents != 0) {
            return HostState::Stopping;
        }
        // Looked at before the data: what follows a close may come from the next host.
        if (inotify_ >= 0 && fds[2].revents != 0 && DrainHostEvents()) {
            return HostState::Gone;
        }
        if ((fds[0].revents & POLLHUP) != 0) {
            return HostState::Gone;
        }
        if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) {
            NoteError("the master of " + slavePath_ + " failed");
            return HostState::Stopping;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const HostState read = ReadFromHost();
            if (read != HostState::Present) {
                return read;
            }
        }
    }
}

std::size_t BkSimulator::Room() const {
    if (config_.echoBuffer == 0) {
        return kReadChunk;
    }
    return out_.size() >= config_.echoBuffer
               ? 0
               : std::min<std::size_t>(kReadChunk, config_.echoBuffer - out_.size());
}

BkSimulator::HostState BkSimulator::ReadFromHost() {
    std::uint8_t buffer[1 + kReadChunk];
    for (int i = 0; i < kReadsPerWake; ++i) {
        const std::size_t room = Room();
        if (room == 0) {
            return HostState::Present;
        }
        const ssize_t got = ::read(master_, buffer, 1 + room);
        if (got > 0) {
            if (buffer[0] != TIOCPKT_DATA) {
                // The host discarded what it had written and not yet delivered: a frame in
                // progress is abandoned, the next byte starts a new one.
                if ((buffer[0] & TIOCPKT_FLUSHWRITE) != 0) {
                    frame_.clear();
                }
                continue;
            }
            const Clock::time_point arrival = Clock::now();
            for (ssize_t k = 1; k < got; ++k) {
                if (!TakeByte(buffer[k], arrival)) {
                    return HostState::Stopping;
                }
            }
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno == EAGAIN) {
            return HostState::Present;
        }
        if (got == 0 || errno == EIO) {
            return HostState::Gone;
        }
        NoteError(ErrnoText("read from the master of", slavePath_));
        return HostState::Stopping;
    }
    return HostState::Present;
}

BkSimulator::HostState BkSimulator::WriteDue(bool* blocked, Clock::time_point* wake) {
    *blocked = false;
    std::uint8_t batch[kWriteBatch];
    while (!out_.empty()) {
        const Clock::time_point now = Clock::now();
        if (out_.front().hangUp) {
            *wake = out_.front().due;
            if (*wake > now) {
                return HostState::Present;
            }
            DropLine();
            return HostState::Stopping;
        }
        if (released_ == 0) {
            const std::size_t burst = NextBurst(now, wake);
            if (*wake > now) {
                return HostState::Present;
            }
            released_ = burst;
        }
        for (std::size_t i = 0; i < released_; ++i) {
            OutByte& byte = out_[i];
            // The record must be complete before the host can see the OK.
            if (byte.frame && byte.byte == ANSWER_OK) {
                Record(*byte.frame);
                byte.frame.reset();
            }
            batch[i] = byte.byte;
        }
        const ssize_t written = ::write(master_, batch, released_);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                *blocked = true;
                return HostState::Present;
            }
            if (errno == EIO) {
                return HostState::Gone;
            }
            NoteError(ErrnoText("write to the master of", slavePath_));
            return HostState::Stopping;
        }
        out_.erase(out_.begin(), out_.begin() + written);
        released_ -= static_cast<std::size_t>(written);
        if (released_ > 0) {
            *blocked = true;
            return HostState::Present;
        }
    }
    return HostState::Present;
}

std::size_t BkSimulator::NextBurst(Clock::time_point now, Clock::time_point* release) {
    const bool timed = config_.latencyMs != 0;
    const Clock::time_point expiry = out_.front().due + Latency();
    const std::size_t most = timed ? kUsbPacketData : kWriteBatch;
    std::size_t count = 0;
    for (; count < most && count < out_.size(); ++count) {
        OutByte& byte = out_[count];
        if (byte.hangUp || (timed ? byte.due >= expiry : byte.due > now)) {
            break;
        }
        if (byte.frame && byte.byte == ANSWER_WAIT) {
            // The БК answers again once its wait has gone out on the line, whatever the adapter
            // does with the wait: the next answer may share the wait's packet.
            ScheduleAnswer(NextScriptAnswer(), true,
                           byte.due + std::chrono::milliseconds(config_.processingDelayMs),
                           std::exchange(byte.frame, nullptr));
        }
    }
    if (!timed) {
        *release = out_.front().due;
    } else {
        // The chip sends a full packet at once, anything less when its timer runs out.
        *release = count == kUsbPacketData ? out_[count - 1].due : expiry;
    }
    return count;
}

bool BkSimulator::TakeByte(std::uint8_t byte, Clock::time_point arrival) {
    if (!byteSeen_) {
        byteSeen_ = true;
        std::lock_guard<std::mutex> lock(acceptedMutex_);
        firstByte_ = arrival;
    }
    if (frame_.empty()) {
        const std::uint32_t number = framesReceived_.load() + 1;
        frameFault_ = config_.faultFrame == number ? config_.fault : Fault::None;
        if (frameFault_ == Fault::DropLine) {
            DropLine();
            return false;
        }
    }
    frame_.push_back(byte);
    const bool complete =
        frame_.size() >= 2 && frame_.size() == 2u + ((std::size_t{frame_[0]} << 8) | frame_[1]);
    const Fault fault = frameFault_;
    const bool heldBack = complete && (fault == Fault::ShortEcho || fault == Fault::EarlyAnswer);
    if (fault != Fault::NoEcho && !heldBack) {
        out_.push_back(OutByte{Depart(arrival), byte, nullptr});
    }
    if (complete) {
        FrameComplete();
        if (fault == Fault::EarlyAnswer) {
            out_.push_back(OutByte{Depart(arrival), byte, nullptr});
        }
    }
    return true;
}

void BkSimulator::FrameComplete() {
    ++framesReceived_;
    auto frame = std::make_shared<const std::vector<std::uint8_t>>(std::move(frame_));
    frame_.clear();
    const Fault fault = std::exchange(frameFault_, Fault::None);
    const Clock::time_point earliest =
        LineFree() + std::chrono::milliseconds(config_.processingDelayMs);
    switch (fault) {
    case Fault::NoEcho:
    case Fault::ShortEcho:
    case Fault::NoAnswer:
    case Fault::DropLine:
        return;
    case Fault::Answer:
        ScheduleAnswer(config_.faultAnswer, false, earliest, std::move(frame));
        return;
    case Fault::ExtraEcho: {
        const Clock::time_point stray = Depart(LineFree());
        out_.push_back(OutByte{stray, config_.faultAnswer, nullptr});
        ScheduleAnswer(NextScriptAnswer(), true,
                       std::max(earliest, stray + std::chrono::milliseconds(config_.faultDelayMs)),
                       std::move(frame));
        return;
    }
    case Fault::HangUp: {
        const Clock::time_point stray = Depart(LineFree());
        out_.push_back(OutByte{stray, config_.faultAnswer, nullptr});
        // Counted from when the adapter has passed the stray byte on at the latest: a terminal
        // that hangs up discards what its reader has not taken yet.
        OutByte hangUp;
        hangUp.due = stray + Latency() + std::chrono::milliseconds(config_.faultDelayMs);
        hangUp.hangUp = true;
        out_.push_back(std::move(hangUp));
        return;
    }
    case Fault::Noise:
        ScheduleAnswer(NextScriptAnswer(), true, earliest, std::move(frame));
        // After the host has the answer, which the adapter may hold for its timer.
        out_.push_back(
            OutByte{Depart(LineFree() + Latency() + kNoiseDelay), config_.faultAnswer, nullptr});
        return;
    case Fault::EarlyAnswer:
    case Fault::None:
        ScheduleAnswer(NextScriptAnswer(), true, earliest, std::move(frame));
        return;
    }
}

void BkSimulator::ScheduleAnswer(std::uint8_t answer, bool scripted, Clock::time_point earliest,
                                 std::shared_ptr<const std::vector<std::uint8_t>> frame) {
    // The frame rides along only where it is needed again: to be recorded on OK, or to be
    // answered once more after a scripted wait.
    const bool keep = answer == ANSWER_OK || (scripted && answer == ANSWER_WAIT);
    out_.push_back(OutByte{Depart(earliest), answer, keep ? std::move(frame) : nullptr});
}

std::uint8_t BkSimulator::NextScriptAnswer() {
    if (scriptPos_ < script_.size()) {
        const std::uint8_t answer = script_[scriptPos_];
        if (!(repeatLast_ && scriptPos_ + 1 == script_.size())) {
            ++scriptPos_;
        }
        return answer;
    }
    return ANSWER_OK;
}

BkSimulator::Clock::time_point BkSimulator::LineFree() const {
    if (config_.baud == 0) {
        return lineAnchor_;
    }
    // Rounded up so that no byte is ever due before its last stop bit has gone.
    const std::uint64_t ns = (lineBytes_ * 10'000'000'000ULL + config_.baud - 1) / config_.baud;
    return lineAnchor_ + std::chrono::nanoseconds(ns);
}

BkSimulator::Clock::time_point BkSimulator::Depart(Clock::time_point earliest) {
    // Departures are counted from an anchor rather than added up, so pacing never drifts.
    if (earliest > LineFree()) {
        lineAnchor_ = earliest;
        lineBytes_ = 0;
    }
    if (config_.baud != 0) {
        ++lineBytes_;
        // `baud` bytes take exactly ten seconds: moving the anchor keeps the product small.
        if (lineBytes_ > config_.baud) {
            lineAnchor_ += std::chrono::seconds(10);
            lineBytes_ -= config_.baud;
        }
    }
    return LineFree();
}

void BkSimulator::ResetSession() {
    frame_.clear();
    frameFault_ = Fault::None;
    out_.clear();
    released_ = 0;
    lineAnchor_ = Clock::time_point{};
    lineBytes_ = 0;
}

void BkSimulator::Record(const std::vector<std::uint8_t>& frame) {
    if (record_ != nullptr &&
        (std::fwrite(frame.data(), 1, frame.size(), record_) != frame.size() ||
         std::fflush(record_) != 0)) {
        NoteError(ErrnoText("cannot write the record file", config_.recordPath));
    }
    std::lock_guard<std::mutex> lock(acceptedMutex_);
    accepted_.insert(accepted_.end(), frame.begin(), frame.end());
    lastAccepted_ = Clock::now();
    ++framesAccepted_;
}

void BkSimulator::DropLine() {
    // The link goes first: a host that sees the hang-up finds the name gone as well.
    RemoveLink();
    CloseFd(&master_);
}

} // namespace tamsivo::sim
