#include "flash/FlashRun.h"

#include "flash/Platform.h"

#include <algorithm>
#include <chrono>

namespace tamsivo {
namespace {

using Clock = std::chrono::steady_clock;

Outcome FailureOf(std::uint8_t answer) {
    switch (answer) {
    case ANSWER_BAD_SIGNATURE:
        return Outcome::SignatureError;
    case ANSWER_ADAPTER_OUT_OF_SYNC:
        return Outcome::AdapterSyncError;
    case ANSWER_LINK_FAILURE:
        return Outcome::LinkError;
    default:
        return Outcome::BadAnswer;
    }
}

bool NothingWaiting(SerialLine& line) {
    std::uint32_t waiting = 0;
    return line.BytesWaiting(&waiting) && waiting == 0;
}

// The system's reason a transfer failed, kept for the user; a timeout has none beyond the
// outcome itself.
int SystemReason(const SerialLine& line) {
    return line.LastError() == TimeoutError() ? 0 : line.LastError();
}

} // namespace

FlashRun::FlashRun(RunControl& control, FlashObserver& observer)
    : FlashRun(control, observer, Options{}) {}

FlashRun::FlashRun(RunControl& control, FlashObserver& observer, Options options)
    : control_(control), observer_(observer), options_(std::move(options)) {}

std::uint32_t FlashRun::QuietAfterVerdictMs(Clock::duration longestAnswer,
                                            std::uint32_t timeoutMs) {
    const auto longest = std::chrono::ceil<std::chrono::milliseconds>(longestAnswer).count();
    const long long wanted =
        std::max<long long>(kMinQuietAfterVerdictMs, kQuietAnswerTimes * longest);
    const long long cap = std::max<long long>(kMinQuietAfterVerdictMs, timeoutMs);
    return static_cast<std::uint32_t>(std::min(wanted, cap));
}

FirmwarePackage& FlashRun::Image() {
    static FirmwarePackage image;
    return image;
}

void FlashRun::Run(const FlashInputs& inputs) {
    start_ = Clock::now();
    stats_ = {};
    stats_.lastAnswers.reserve(kKeptAnswers);
    sent_ = 0;
    package_ = inputs.package ? &inputs.package->image : nullptr;
    control_.busy = 1;
    std::unique_ptr<SerialLine> line;
    Ending ending;
    try {
        line = options_.makeLine ? options_.makeLine() : std::make_unique<SerialLine>();
        ending = Stages(inputs, *line);
    } catch (...) {
        // Out of memory, an observer that failed: whatever it was, the update did not complete
        // and the user must hear so rather than lose the program.
        ending = Ends(Outcome::InternalError);
    }
    Finish(std::move(line), std::move(ending));
}

// The package is read before the port opens, so that the port is held no longer than the
// transfer needs; what went wrong with it is told in the order the user expects: a missing
// file before the port, a malformed one once the port is known to work.
FlashRun::Ending FlashRun::Stages(const FlashInputs& inputs, SerialLine& line) {
    Ending refused;
    refused.evenIfCancelled = true;
    const std::string devicePath = DevicePathForPort(inputs.portName);
    if (devicePath.empty()) {
        refused.end.outcome = Outcome::PortError;
        return refused;
    }
    const PackageRead read =
        inputs.package ? inputs.package->read : Image().ReadFile(inputs.packagePath);
    if (read.status == PackageRead::Status::NotOpened) {
        refused.end.outcome = Outcome::FileError;
        return refused;
    }
    // A stop before the port opens leaves the port, and the vehicle, untouched.
    if (Stopped()) {
        return Ends(Outcome::Cancelled);
    }
    if (!line.Open(devicePath.c_str(), kFlashBaudRate, options_.timeoutMs)) {
        refused.end.outcome = Outcome::PortError;
        refused.end.portError = line.LastError();
        return refused;
    }
    // A malformed package is refused before its first byte reaches the vehicle.
    if (read.status == PackageRead::Status::Unreadable) {
        refused.end.outcome = Outcome::FileError;
        return refused;
    }
    if (read.status == PackageRead::Status::Refused) {
        refused.end.outcome = Outcome::PackageError;
        refused.end.packageError = read.error;
        return refused;
    }
    const FirmwarePackage& image = Package();
    stats_.packageBytes = image.TextBytes();
    stats_.packageSha256 = image.TextSha256();
    observer_.Sized(image.ByteCount());
    return Transfer(line);
}

FlashRun::Ending FlashRun::Transfer(SerialLine& line) {
    const FirmwarePackage& image = Package();
    const std::uint32_t byteCount = image.ByteCount();
    const std::uint8_t* const bytes = image.Bytes();
    // The echo of the frame at image offset p lands at offset p, to be compared with what
    // was sent.
    const std::unique_ptr<std::uint8_t[]> echoBuffer(new std::uint8_t[byteCount]);
    std::uint8_t* const echo = echoBuffer.get();
    std::uint32_t position = 0;
    std::uint32_t frameBytes = 0;
    unsigned retries = 0; // shared by both retryable answers; reset only by OK and WAIT
    unsigned sends = 0;   // of the frame at hand, in all
    bool waiting = false;
    bool answered = false;           // the computer has spoken since the line was opened
    Clock::time_point asked;         // since when the computer owes an answer
    Clock::duration longestAnswer{}; // the longest it took to give one
    for (;;) {
        // Nothing goes out after a stop, and no wait is waited out: a frame on its way has had
        // its echo and its answer read by the time the stop is looked at again.
        if (Stopped()) {
            return Ends(Outcome::Cancelled);
        }
        if (!waiting) {
            frameBytes = kFrameHeaderBytes + image.FrameLength(position);
            // Between a verdict and the next frame the computer says nothing. A byte that
            // came all the same puts the stream out of step: the verdict may have been a
            // stray byte and the real one is still to come. Once the computer has spoken, a
            // purge could only hide such a byte (one arriving just before it): nothing else
            // can be waiting, and a byte that arrives from now on shows in the echo.
            if (!answered) {
                line.Purge();
            } else if (!NothingWaiting(line)) {
                return Ends(Outcome::LineError, SystemReason(line));
            }
            ++stats_.framesWritten;
            ++sends;
            switch (line.WriteEchoed(bytes + position, frameBytes, echo + position)) {
            case EchoCheck::Same:
                break;
            // An echo that differs from the frame means the line changed it or the stream is
            // out of step; either way no following byte can be trusted as the answer, and a
            // resend could repeat a frame the computer already took.
            case EchoCheck::Differs:
                return Ends(Outcome::LineError);
            // A frame that did not go out in full, or whose echo did not come back, may have
            // reached the computer only in part; nothing read after it is its answer.
            case EchoCheck::Failed:
                return Ends(Outcome::NoEcho, SystemReason(line));
            }
            sent_ += frameBytes;
            observer_.Progressed(sent_);
            position += frameBytes;
            asked = Clock::now();
        }
        std::uint8_t answer = 0;
        if (!line.Read(&answer, 1)) {
            return Ends(Outcome::NoAnswer, SystemReason(line));
        }
        // After a wait the next answer is owed from here.
        const Clock::time_point answeredAt = Clock::now();
        Keep(answer, answeredAt);
        longestAnswer = std::max(longestAnswer, answeredAt - asked);
        asked = answeredAt;
        answered = true;
        waiting = answer == ANSWER_WAIT;
        switch (answer) {
        case ANSWER_OK:
            sends = 0;
            retries = 0;
            break;
        case ANSWER_WAIT:
            ++stats_.waits;
            retries = 0;
            break;
        case ANSWER_CHECKSUM_RETRY:
        case ANSWER_LINE_RETRY:
            if (++retries == kMaxRetryableAnswers || sends == kMaxSendsOfAFrame) {
                return Ends(answer == ANSWER_CHECKSUM_RETRY ? Outcome::ChecksumError
                                                            : Outcome::LineError);
            }
            // Send the same frame again and count it once.
            ++stats_.resends;
            position -= frameBytes;
            sent_ -= frameBytes;
            break;
        default:
            return Ends(FailureOf(answer));
        }
        // A wait answer is always followed by the frame's verdict, the last frame's too:
        // leaving before it would report success for a frame the computer may still refuse.
        if (position >= byteCount && !waiting) {
            return ConfirmLastVerdict(line, longestAnswer);
        }
    }
}

// The last verdict is believed only when nothing follows it: with one byte too many in the
// stream, what was read as the verdict was not the computer's last word, and the real one
// comes when the computer has judged the frame. Only a read that ran out its time is quiet: a
// byte, a hang-up or any other failure of the line meanwhile leaves the update unconfirmed.
FlashRun::Ending FlashRun::ConfirmLastVerdict(SerialLine& line, Clock::duration longestAnswer) {
    observer_.ConfirmingLastFrame();
    std::uint8_t stray = 0;
    if (!NothingWaiting(line) ||
        !line.SetTimeouts(QuietAfterVerdictMs(longestAnswer, options_.timeoutMs)) ||
        line.Read(&stray, 1) || line.LastError() != TimeoutError()) {
        return Ends(Outcome::LineError, SystemReason(line));
    }
    // The computer has the whole package: a stop that came too late changes nothing, and the
    // user must not be told that the update was cancelled.
    Ending done = Ends(Outcome::Done);
    done.evenIfCancelled = true;
    return done;
}

// Every end closes the line before `busy` falls, so that the port is free again by the time
// the end can be shown and a next run started, and is told after `busy` has fallen. After a
// cancellation only the failures of the start-up stage and a completed update are told.
void FlashRun::Finish(std::unique_ptr<SerialLine> line, Ending ending) {
    if (line) {
        line->Close();
        line.reset();
    }
    stats_.duration = Clock::now() - start_;
    ending.end.sent = sent_;
    if (ending.end.outcome != Outcome::Cancelled && !ending.evenIfCancelled && Stopped()) {
        ending.end = RunEnd{Outcome::Cancelled, sent_};
    }
    stats_.end = ending.end;
    control_.busy = 0;
    if (stats_.end.outcome != Outcome::Cancelled) {
        observer_.Ended(stats_.end);
    }
}

void FlashRun::Keep(std::uint8_t answer, Clock::time_point at) {
    if (stats_.lastAnswers.size() == kKeptAnswers) {
        stats_.lastAnswers.erase(stats_.lastAnswers.begin());
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - start_).count();
    stats_.lastAnswers.push_back({answer, static_cast<std::uint32_t>(ms)});
}

} // namespace tamsivo
