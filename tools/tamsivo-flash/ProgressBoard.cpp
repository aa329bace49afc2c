#include "ProgressBoard.h"

#include "Console.h"
#include "JsonLine.h"

namespace tamsivo::cli {
namespace {

// A console redraw per frame would slow a fast line down; ten a second look smooth.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

int PercentOf(std::uint32_t sent, std::uint32_t total) {
    return total == 0 ? 100 : static_cast<int>(std::uint64_t{sent} * 100 / total);
}

// `text` cut to leave the last of `columns` free (a terminal that writes into its last column
// may move to the next line); never inside a UTF-8 sequence. 0 columns: unknown, uncut.
std::string FitTo(std::string text, std::size_t columns) {
    if (columns == 0 || text.size() < columns) {
        return text;
    }
    std::size_t cut = columns - 1;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    text.resize(cut);
    return text;
}

} // namespace

ProgressBoard::ProgressBoard(ProgressStyle style, std::FILE* out, std::vector<std::string> ports)
    : style_(style), out_(out), labelled_(ports.size() > 1) {
    if (style_ == ProgressStyle::Terminal && labelled_ && !Console::MovesCursor(out_)) {
        style_ = ProgressStyle::Lines;
    }
    for (std::string& port : ports) {
        rows_.push_back(Row{std::move(port), {}, {}, 0, -1, -1, {}});
    }
}

void ProgressBoard::Start(std::size_t row, std::uint32_t totalBytes) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        Row& r = rows_[row];
        r.total = totalBytes;
        r.start = r.lastDraw = Clock::now();
        r.lastTenth = r.lastPercent = -1;
        if (style_ == ProgressStyle::Json) {
            Emit(JsonLine(Json{{"event", "size"}, {"port", r.port}, {"bytes", totalBytes}}));
            return;
        }
    }
    Update(row, 0);
}

void ProgressBoard::Update(std::size_t row, std::uint32_t sentBytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Row& r = rows_[row];
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - r.start).count();
    const int percent = PercentOf(sentBytes, r.total);
    switch (style_) {
    case ProgressStyle::None:
        return;
    case ProgressStyle::Json:
        Emit(JsonLine(Json{{"event", "progress"},
                           {"port", r.port},
                           {"sent", sentBytes},
                           {"bytes", r.total},
                           {"percent", percent},
                           {"seconds", Milliseconds(seconds)}}));
        return;
    case ProgressStyle::Lines:
        if (percent / 10 != r.lastTenth) {
            r.lastTenth = percent / 10;
            Emit((labelled_ ? r.port + ": " : "") + Describe(sentBytes, r.total, seconds) + '\n');
        }
        return;
    case ProgressStyle::Terminal:
        if (percent == r.lastPercent && sentBytes != r.total &&
            now - r.lastDraw < kRedrawInterval) {
            return;
        }
        r.lastPercent = percent;
        r.lastDraw = now;
        r.text = Describe(sentBytes, r.total, seconds);
        Draw();
        return;
    }
}

void ProgressBoard::Confirming(std::size_t row) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Row& r = rows_[row];
    static constexpr const char* kConfirming = "100%  confirming the last frame";
    switch (style_) {
    case ProgressStyle::None:
        return;
    case ProgressStyle::Json:
        Emit(JsonLine(Json{{"event", "confirming"}, {"port", r.port}}));
        return;
    case ProgressStyle::Lines:
        Emit((labelled_ ? r.port + ": " : "") + kConfirming + '\n');
        return;
    case ProgressStyle::Terminal:
        r.text = kConfirming;
        Draw();
        return;
    }
}

void ProgressBoard::End(std::size_t row, const std::string& outcome) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!labelled_) {
        return; // the outcome follows at once
    }
    Row& r = rows_[row];
    if (style_ == ProgressStyle::Lines) {
        Emit(r.port + ": " + outcome + '\n');
    } else if (style_ == ProgressStyle::Terminal) {
        r.text = outcome;
        Draw();
    }
}

void ProgressBoard::Finish() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (drawn_ && !labelled_) {
        Emit("\n");
    }
    drawn_ = false;
}

std::string ProgressBoard::Describe(std::uint32_t sentBytes, std::uint32_t totalBytes,
                                    double seconds) {
    char text[128];
    const int percent = PercentOf(sentBytes, totalBytes);
    const double rate = seconds > 0 ? sentBytes / seconds : 0.0; // bytes a second
    if (rate <= 0) {
        std::snprintf(text, sizeof text, "%3d%%  %u/%u bytes", percent, sentBytes, totalBytes);
        return text;
    }
    const auto left = static_cast<unsigned long>((totalBytes - sentBytes) / rate + 0.5);
    std::snprintf(text, sizeof text, "%3d%%  %u/%u bytes  %.1f KiB/s  %lu:%02lu left", percent,
                  sentBytes, totalBytes, rate / 1024, left / 60, left % 60);
    return text;
}

// One port: its line is redrawn from its start. Several: the cursor goes back up to the first
// row and every row is written again, each ending its line.
void ProgressBoard::Draw() {
    // A line longer than the terminal would wrap: "\r" would then go back to its last part,
    // and moving up by rows would land inside the table.
    const std::size_t columns = Console::Columns(out_);
    if (!labelled_) {
        std::string text = FitTo(rows_.front().text, columns);
        const std::size_t width = text.size();
        // Blank what a longer previous line left behind.
        if (width < drawnWidth_) {
            text.append(drawnWidth_ - width, ' ');
        }
        drawnWidth_ = width;
        drawn_ = true;
        Emit('\r' + text);
        return;
    }
    std::string text = drawn_ ? "\x1b[" + std::to_string(rows_.size()) + "A" : "";
    for (const Row& r : rows_) {
        const std::string row = FitTo(r.port + "  " + r.text, columns);
        text += '\r' + row + "\x1b[K\n";
    }
    drawn_ = true;
    Emit(text);
}

void ProgressBoard::Emit(const std::string& text) {
    Console::Write(out_, text);
}

} // namespace tamsivo::cli
