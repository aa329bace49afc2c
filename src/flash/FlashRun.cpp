#include "flash/FlashRun.h"

#include "app/AppState.h"
#include "flash/Platform.h"

#include <cstdio>

namespace tamsivo {
namespace {

// The echo of the frame at image offset p lands at offset p here. Its bytes are not compared
// with what was sent: on the K-line only their full arrival tells that the frame went out.
std::uint8_t* EchoBuffer() {
    static const std::unique_ptr<std::uint8_t[]> echo(
        new std::uint8_t[FirmwarePackage::kCapacity]());
    return echo.get();
}

unsigned FailureOf(std::uint8_t answer) {
    switch (answer) {
    case ANSWER_BAD_SIGNATURE:
        return WM_FLASH_SIGNATURE_ERROR;
    case ANSWER_ADAPTER_OUT_OF_SYNC:
        return WM_FLASH_ADAPTER_SYNC_ERROR;
    case ANSWER_LINK_FAILURE:
        return WM_FLASH_LINK_ERROR;
    default:
        return WM_FLASH_BAD_ANSWER;
    }
}

} // namespace

FlashInputs FlashInputsFrom(const AppState& state) {
    FlashInputs inputs;
    inputs.packagePath = state.exeDir + "updates" + PathSeparator() + state.firmwareName;
    inputs.packageName = state.firmwareName;
    inputs.portName = state.portName;
    return inputs;
}

FlashRun::FlashRun(AppState& state, FlashReporter& reporter)
    : FlashRun(state, reporter, Options{}) {}

FlashRun::FlashRun(AppState& state, FlashReporter& reporter, Options options)
    : state_(state), reporter_(reporter), options_(std::move(options)) {}

FirmwarePackage& FlashRun::Image() {
    static FirmwarePackage image;
    return image;
}

void FlashRun::Run(const FlashInputs& inputs) {
    state_.busy = 1;
    std::unique_ptr<SerialLine> line =
        options_.makeLine ? options_.makeLine() : std::make_unique<SerialLine>();

    const std::string devicePath = DevicePathForPort(inputs.portName);
    if (devicePath.empty()) {
        Finish(std::move(line), WM_FLASH_PORT_ERROR, 0, true);
        return;
    }
    FilePtr file = OpenForReading(inputs.packagePath);
    if (!file) {
        Finish(std::move(line), WM_FLASH_FILE_ERROR, 0, true);
        return;
    }
    if (!line->Open(devicePath.c_str(), kFlashBaudRate, options_.timeoutMs)) {
        file.reset();
        Finish(std::move(line), WM_FLASH_PORT_ERROR, 0, true);
        return;
    }
    // A malformed package is refused before its first byte reaches the vehicle.
    FirmwarePackage& image = Image();
    const PackageError packageError = image.ReadFrom(file.get());
    const bool readFailed = std::ferror(file.get()) != 0; // e.g. a folder named like a package
    file.reset();
    if (readFailed) {
        Finish(std::move(line), WM_FLASH_FILE_ERROR, 0, true);
        return;
    }
    if (packageError != PackageError::None) {
        Finish(std::move(line), WM_FLASH_PACKAGE_ERROR, static_cast<int>(packageError), true);
        return;
    }
    const std::uint32_t byteCount = image.ByteCount();
    Notify(WM_FLASH_SIZE, byteCount);

    const std::uint8_t* const bytes = image.Bytes();
    std::uint8_t* const echo = EchoBuffer();
    std::uint32_t position = 0;
    std::uint32_t sentTotal = 0;
    std::uint32_t frameBytes = 0;
    unsigned retries = 0; // shared by both retryable answers; reset only by OK and WAIT
    bool waiting = false;
    for (;;) {
        if (!waiting) {
            frameBytes = kFrameHeaderBytes + image.FrameLength(position);
            line->Purge();
            // A failed write reads no echo; the missing answer then ends the run.
            if (line->Write(bytes + position, frameBytes) &&
                !line->Read(echo + position, frameBytes)) {
                Finish(std::move(line), WM_FLASH_NO_ECHO, 0, false);
                return;
            }
            sentTotal += frameBytes;
            Notify(WM_FLASH_PROGRESS, sentTotal);
            position += frameBytes;
        }
        std::uint8_t answer = 0;
        if (!line->Read(&answer, 1)) {
            Finish(std::move(line), WM_FLASH_NO_ANSWER, 0, false);
            return;
        }
        waiting = answer == ANSWER_WAIT;
        switch (answer) {
        case ANSWER_OK:
        case ANSWER_WAIT:
            retries = 0;
            break;
        case ANSWER_CHECKSUM_RETRY:
        case ANSWER_LINE_RETRY:
            if (++retries == kMaxRetryableAnswers) {
                Finish(std::move(line),
                       answer == ANSWER_CHECKSUM_RETRY ? WM_FLASH_CHECKSUM_ERROR
                                                       : WM_FLASH_LINE_ERROR,
                       0, false);
                return;
            }
            // Send the same frame again and count it once.
            position -= frameBytes;
            sentTotal -= frameBytes;
            break;
        default:
            Finish(std::move(line), FailureOf(answer), 0, false);
            return;
        }
        // A wait answer is always followed by the frame's verdict, the last frame's too:
        // leaving before it would report success for a frame the computer may still refuse.
        if (!state_.runAllowed || (position >= byteCount && !waiting)) {
            break;
        }
    }
    if (sentTotal == byteCount) {
        Finish(std::move(line), WM_FLASH_DONE, sentTotal, false);
    } else {
        Finish(std::move(line), WM_FLASH_PACKAGE_ERROR,
               static_cast<int>(PackageError::FrameOverrun), false);
    }
}

// Every end closes the line before `busy` falls, so that the port is free again by the time
// the dialog can start the next run, and reports after `busy` has fallen. After a
// cancellation only the failures of the start-up stage are still reported.
void FlashRun::Finish(std::unique_ptr<SerialLine> line, unsigned message, std::int64_t lParam,
                      bool evenIfCancelled) {
    line->Close();
    line.reset();
    state_.busy = 0;
    if (evenIfCancelled || state_.runAllowed) {
        Notify(message, lParam);
    }
}

void FlashRun::Notify(unsigned message, std::int64_t lParam) {
    reporter_.Report(message, lParam);
}

} // namespace tamsivo
