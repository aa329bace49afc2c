#include "ProgressPrinter.h"

#include "Console.h"
#include "JsonObject.h"

namespace tamsivo::cli {
namespace {

// A console redraw per frame would slow a fast line down; ten a second look smooth.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

int PercentOf(std::uint32_t sent, std::uint32_t total) {
    return total == 0 ? 100 : static_cast<int>(std::uint64_t{sent} * 100 / total);
}

} // namespace

ProgressPrinter::ProgressPrinter(ProgressStyle style, std::FILE* out) : style_(style), out_(out) {}

void ProgressPrinter::Start(std::uint32_t totalBytes) {
    total_ = totalBytes;
    start_ = Clock::now();
    lastDraw_ = start_;
    lastTenth_ = -1;
    lastPercent_ = -1;
    if (style_ == ProgressStyle::Json) {
        Emit(JsonObject().String("event", "size").Integer("bytes", totalBytes).Line());
        return;
    }
    Update(0);
}

void ProgressPrinter::Update(std::uint32_t sentBytes) {
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const int percent = PercentOf(sentBytes, total_);
    switch (style_) {
    case ProgressStyle::None:
        return;
    case ProgressStyle::Json:
        Emit(JsonObject()
                 .String("event", "progress")
                 .Integer("sent", sentBytes)
                 .Integer("bytes", total_)
                 .Integer("percent", percent)
                 .Real("seconds", seconds)
                 .Line());
        return;
    case ProgressStyle::Lines:
        if (percent / 10 != lastTenth_) {
            lastTenth_ = percent / 10;
            Emit(Describe(sentBytes, seconds) + '\n');
        }
        return;
    case ProgressStyle::Terminal:
        if (percent == lastPercent_ && sentBytes != total_ && now - lastDraw_ < kRedrawInterval) {
            return;
        }
        lastPercent_ = percent;
        lastDraw_ = now;
        std::string text = Describe(sentBytes, seconds);
        const std::size_t width = text.size();
        // Blank what a longer previous line left behind.
        if (width < drawnWidth_) {
            text.append(drawnWidth_ - width, ' ');
        }
        drawnWidth_ = width;
        lineOpen_ = true;
        Emit('\r' + text);
        return;
    }
}

void ProgressPrinter::Finish() {
    if (lineOpen_) {
        lineOpen_ = false;
        Emit("\n");
    }
}

std::string ProgressPrinter::Describe(std::uint32_t sentBytes, double seconds) const {
    char text[128];
    const int percent = PercentOf(sentBytes, total_);
    const double rate = seconds > 0 ? sentBytes / seconds : 0.0; // bytes a second
    if (rate <= 0) {
        std::snprintf(text, sizeof text, "%3d%%  %u/%u bytes", percent, sentBytes, total_);
        return text;
    }
    const auto left = static_cast<unsigned long>((total_ - sentBytes) / rate + 0.5);
    std::snprintf(text, sizeof text, "%3d%%  %u/%u bytes  %.1f KiB/s  %lu:%02lu left", percent,
                  sentBytes, total_, rate / 1024, left / 60, left % 60);
    return text;
}

void ProgressPrinter::Emit(const std::string& text) {
    Console::Write(out_, text);
}

} // namespace tamsivo::cli
