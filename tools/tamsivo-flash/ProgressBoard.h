#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace tamsivo::cli {

enum class ProgressStyle {
    None,     // nothing (--json without --json-progress)
    Terminal, // a line per port, redrawn in place
    Lines,    // a plain line per tenth of the package, for logs and pipes
    Json,     // a JSON object per notification
};

// Shows how far each run has got from its size and progress as the run tells them:
// one row per port, fed from the runs' own threads.
class ProgressBoard {
public:
    // With more than one port each row names its port; a terminal that cannot move its cursor
    // gets plain lines instead of rows redrawn in place.
    ProgressBoard(ProgressStyle style, std::FILE* out, std::vector<std::string> ports);

    void Start(std::size_t row, std::uint32_t totalBytes);
    // `sentBytes` never falls; a resent frame repeats the previous total.
    void Update(std::size_t row, std::uint32_t sentBytes);
    // The whole package of `row` has gone and its last frame was accepted; the run makes sure
    // that no other word of the computer follows before it believes that.
    void Confirming(std::size_t row);
    // The run of `row` has ended as `outcome` (its key): with several ports its row says so at
    // once, rather than keep showing the progress of a run that is over.
    void End(std::size_t row, const std::string& outcome);
    // Leaves the rows drawn so far as they are and the cursor below them.
    void Finish();

    // A row's words for `sentBytes` of `totalBytes` gone in `seconds`: the rate and the time
    // left once there is a rate to go by.
    static std::string Describe(std::uint32_t sentBytes, std::uint32_t totalBytes, double seconds);

private:
    using Clock = std::chrono::steady_clock;
    struct Row {
        std::string port;
        Clock::time_point start;
        Clock::time_point lastDraw;
        std::uint32_t total = 0;
        int lastTenth = -1;
        int lastPercent = -1;
        std::string text; // what the terminal shows of it
    };

    void Draw();
    void Emit(const std::string& text);

    ProgressStyle style_;
    std::FILE* out_;
    std::mutex mutex_; // the rows and the output
    std::vector<Row> rows_;
    bool labelled_;
    bool drawn_ = false; // rows are on the terminal and the cursor is below them
    std::size_t drawnWidth_ = 0;
};

} // namespace tamsivo::cli
