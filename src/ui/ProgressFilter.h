#pragma once

#include <cstdint>

namespace tamsivo {

// Decides on the run's side which progress can change what the progress bar shows. A report
// handed to a window costs the run a synchronous cross-thread message and the bar a repaint,
// and the line stands idle meanwhile; with many small frames most of them would move neither
// the bar's drawn edge nor its percentage. So a progress report goes through only when it
// moves one of the two; the first and the last (the whole package sent) always go through.
class ProgressFilter {
public:
    // `barExtent`: how many pixels the bar fills when the whole package has gone.
    explicit ProgressFilter(std::uint32_t barExtent) : extent_(barExtent) {}

    // A run of `total` bytes begins; nothing of it has been shown.
    void Start(std::uint32_t total);
    // Whether `sent` must reach the window; notes what it shows.
    bool Passes(std::uint32_t sent);

private:
    // The bar's drawn edge in pixels and its percentage, as the bar computes them: rounded
    // down.
    std::int64_t Edge(std::int64_t sent) const { return sent * extent_ / total_; }
    std::int64_t Percent(std::int64_t sent) const { return sent * 100 / total_; }

    std::int64_t extent_;
    std::int64_t total_ = 0;
    std::int64_t shown_ = -1; // the last progress passed; -1 before the first
};

} // namespace tamsivo
