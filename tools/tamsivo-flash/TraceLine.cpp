#include "TraceLine.h"

#include "flash/Platform.h"

#include <cstdio>
#include <cstring>

namespace tamsivo::cli {
namespace {

using Clock = Trace::Clock;

std::string OfBytes(std::uint32_t part, std::uint32_t whole, const char* what) {
    return std::to_string(part) + " of " + std::to_string(whole) + " bytes " + what;
}

} // namespace

TraceLine::TraceLine(std::unique_ptr<SerialLine> line, Trace& trace)
    : line_(std::move(line)), trace_(trace) {
    line_->SetTap([this](LineDirection direction, const std::uint8_t* bytes,
                         std::uint32_t count) { Chunk(direction, bytes, count); });
}

std::string TraceLine::Failure(bool done) const {
    if (done) {
        return {};
    }
    if (LastError() == TimeoutError()) {
        return "timeout: nothing more within " + std::to_string(timeoutMs_) + " ms";
    }
    return LastErrorMessage();
}

void TraceLine::Chunk(LineDirection direction, const std::uint8_t* bytes, std::uint32_t count) {
    const Clock::time_point at = Clock::now();
    if (direction == LineDirection::Sent) {
        trace_.Line(at, ">", bytes, count);
        return;
    }
    // An echo that equals what was sent repeats the lines above it: its size is enough.
    const bool echo = echoOf_ != nullptr && count <= echoCount_ - echoed_ &&
                      std::memcmp(bytes, echoOf_ + echoed_, count) == 0;
    echoed_ += echoOf_ != nullptr ? count : 0;
    if (echo) {
        char what[16];
        std::snprintf(what, sizeof what, "< =%u", static_cast<unsigned>(count));
        trace_.Line(at, what);
    } else {
        trace_.Line(at, "<", bytes, count);
    }
}

bool TraceLine::Open(const char* devicePath, std::uint32_t baudRate, std::uint32_t timeoutMs) {
    const bool opened = Took(line_->Open(devicePath, baudRate, timeoutMs));
    if (opened) {
        baudRate_ = baudRate;
        timeoutMs_ = timeoutMs;
    }
    Note([&] {
        trace_.Line(Clock::now(), std::string("open ") + devicePath, nullptr, 0, Failure(opened));
    });
    return opened;
}

bool TraceLine::SetTimeouts(std::uint32_t timeoutMs) {
    const bool set = Took(line_->SetTimeouts(timeoutMs));
    if (set) {
        timeoutMs_ = timeoutMs;
    }
    Note([&] {
        trace_.Line(Clock::now(), "timeout " + std::to_string(timeoutMs) + " ms", nullptr, 0,
                    Failure(set));
    });
    return set;
}

bool TraceLine::Purge() {
    const bool purged = Took(line_->Purge());
    Note([&] { trace_.Line(Clock::now(), "purge", nullptr, 0, Failure(purged)); });
    return purged;
}

bool TraceLine::Close() {
    const bool wasOpen = line_->IsOpen();
    const bool closed = Took(line_->Close());
    if (wasOpen) {
        Note([&] { trace_.Line(Clock::now(), "close", nullptr, 0, Failure(closed)); });
    }
    return closed;
}

bool TraceLine::Write(const std::uint8_t* data, std::uint32_t count) {
    const bool written = Took(line_->Write(data, count));
    if (!written) {
        Note([&] {
            trace_.Line(Clock::now(), "! " + Failure(false) + ", " +
                                          OfBytes(LastTransfer().written, count, "written"));
        });
    }
    return written;
}

bool TraceLine::Read(std::uint8_t* buffer, std::uint32_t count) {
    const bool read = Took(line_->Read(buffer, count));
    if (!read) {
        Note([&] {
            trace_.Line(Clock::now(), "! " + Failure(false) + ", " +
                                          OfBytes(LastTransfer().received, count, "received"));
        });
    }
    return read;
}

EchoCheck TraceLine::WriteEchoed(const std::uint8_t* data, std::uint32_t count,
                                 std::uint8_t* echo) {
    echoOf_ = data;
    echoCount_ = count;
    echoed_ = 0;
    const EchoCheck check = Took(line_->WriteEchoed(data, count, echo));
    echoOf_ = nullptr;
    if (check == EchoCheck::Same) {
        return check;
    }
    Note([&] {
        const Transferred& moved = LastTransfer();
        std::string failure = Failure(false);
        if (check == EchoCheck::Differs) {
            std::uint32_t at = 0;
            while (at < moved.received && echo[at] == data[at]) {
                ++at;
            }
            failure = "the echo differs from byte " + std::to_string(at + 1) + " on";
        }
        failure += ", " + OfBytes(moved.received, count, "echoed");
        if (moved.written < count) {
            failure += ", " + OfBytes(moved.written, count, "written");
        }
        trace_.Line(Clock::now(), "! " + failure);
    });
    return check;
}

bool TraceLine::BytesWaiting(std::uint32_t* count) {
    const bool told = Took(line_->BytesWaiting(count));
    // The run asks before every frame; only what is not silence is worth a line.
    if (!told || *count != 0) {
        Note([&] {
            trace_.Line(Clock::now(),
                        told ? "waiting unread " + std::to_string(*count) + " bytes" : "waiting",
                        nullptr, 0, Failure(told));
        });
    }
    return told;
}

} // namespace tamsivo::cli
