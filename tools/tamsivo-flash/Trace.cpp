#include "Trace.h"

#include "ExitCode.h"
#include "flash/FlashProtocol.h"
#include "record/LocalTime.h"

#include <cstdio>

namespace tamsivo::cli {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::uint32_t kBytesPerGroup = 4;

std::string Counted(std::uint32_t count, const char* what) {
    return std::to_string(count) + ' ' + what + (count == 1 ? "" : "s");
}

} // namespace

Trace::Trace(const std::filesystem::path& path, const std::string& packageName,
             const LoadedPackage& package, const std::string& port, std::uint32_t timeoutMs,
             std::uint64_t headBytes)
    : start_(Clock::now()), headBytes_(headBytes) {
    if (!file_.Create(path, &error_)) {
        return;
    }
    try {
        const FirmwarePackage& image = package.image;
        std::string header =
            "# tamsivo-flash " TAMSIVO_VERSION ", a run begun " + LocalTimeNow() + '\n';
        header += "# package " + packageName + ": ";
        if (package.read.status == PackageRead::Status::Read) {
            header += std::to_string(image.TextBytes()) + " bytes of text, SHA-256 " +
                      image.TextSha256() + "; " + std::to_string(image.ByteCount()) + " bytes in " +
                      Counted(image.FrameCount(), "frame") + '\n';
        } else {
            header += "not sent, see the outcome\n";
        }
        header += "# port " + port + ": " + std::to_string(kFlashBaudRate) + " baud, timeout " +
                  std::to_string(timeoutMs) + " ms\n";
        header += "# seconds since the start; > sent, < received: each chunk the system "
                  "moved, in hexadecimal, " +
                  std::to_string(kBytesPerGroup) +
                  " bytes to a group; \"< =N\" N bytes of echo equal to what was sent; "
                  "\"!\" why a transfer ended short\n";
        Put(header);
    } catch (...) {
        Stop("out of memory");
    }
}

void Trace::Line(Clock::time_point at, std::string_view what, const std::uint8_t* bytes,
                 std::uint32_t count, std::string_view failure) noexcept {
    if (!error_.empty()) {
        return;
    }
    try {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(at - start_).count();
        char time[32];
        std::snprintf(time, sizeof time, "%lld.%06lld ", static_cast<long long>(us / 1000000),
                      static_cast<long long>(us % 1000000));
        line_ = time;
        line_ += what;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (i % kBytesPerGroup == 0) {
                line_ += ' ';
            }
            line_ += kHexDigits[bytes[i] >> 4];
            line_ += kHexDigits[bytes[i] & 0x0F];
        }
        if (!failure.empty()) {
            line_ += " ! ";
            line_ += failure;
        }
        line_ += '\n';
        Keep(line_);
    } catch (...) {
        Stop("out of memory");
    }
}

void Trace::End(const FlashRun::Statistics& stats) noexcept {
    if (!error_.empty()) {
        return;
    }
    try {
        if (leftOut_ != 0) {
            Put("# " + std::to_string(leftOut_) + " lines left out: beyond its first " +
                std::to_string(headBytes_ >> 20) + " MiB a trace keeps its newest lines\n");
        }
        for (const std::string& line : newest_) {
            Put(line);
        }
        const CliEnd end = EndOf(stats.end.outcome);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f",
                      std::chrono::duration<double>(stats.duration).count());
        Put("# outcome " + std::string(end.key) + " (exit code " + std::to_string(end.code) +
            "): " + std::to_string(stats.end.sent) + " bytes sent, " +
            Counted(stats.framesWritten, "frame") + " written, " +
            Counted(stats.resends, "resend") + ", " + Counted(stats.waits, "wait") + ", " +
            seconds + " s\n");
    } catch (...) {
        Stop("out of memory");
    }
    file_.Close();
}

void Trace::Stop(std::string reason) noexcept {
    if (error_.empty()) {
        error_ = std::move(reason);
    }
    file_.Close();
}

void Trace::Put(const std::string& text) {
    if (!error_.empty()) {
        return;
    }
    std::string reason;
    if (!file_.Write(text, &reason)) {
        Stop(std::move(reason));
    }
    written_ += text.size();
}

void Trace::Keep(const std::string& line) {
    if (newest_.empty() && written_ + line.size() <= headBytes_) {
        Put(line);
        return;
    }
    newest_.push_back(line);
    newestBytes_ += line.size();
    while (newestBytes_ > headBytes_ / 8) {
        newestBytes_ -= newest_.front().size();
        newest_.pop_front();
        ++leftOut_;
    }
}

} // namespace tamsivo::cli
