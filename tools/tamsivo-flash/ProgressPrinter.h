#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tamsivo::cli {

enum class ProgressStyle {
    None,     // nothing (--json without --json-progress)
    Terminal, // one line redrawn in place
    Lines,    // a plain line per tenth of the package, for logs and pipes
    Json,     // a JSON object per notification
};

// Shows how far a run has got from its WM_FLASH_SIZE and WM_FLASH_PROGRESS notifications.
class ProgressPrinter {
public:
    ProgressPrinter(ProgressStyle style, std::FILE* out);

    void Start(std::uint32_t totalBytes);
    // `sentBytes` never falls; a resent frame repeats the previous total.
    void Update(std::uint32_t sentBytes);
    // Ends a line left open by the Terminal style.
    void Finish();

private:
    using Clock = std::chrono::steady_clock;

    std::string Describe(std::uint32_t sentBytes, double seconds) const;
    void Emit(const std::string& text);

    ProgressStyle style_;
    std::FILE* out_;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
    std::uint32_t total_ = 0;
    int lastTenth_ = -1;
    int lastPercent_ = -1;
    std::size_t drawnWidth_ = 0;
    bool lineOpen_ = false;
};

} // namespace tamsivo::cli
