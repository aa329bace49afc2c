#pragma once

#include <cstdint>

namespace tamsivo {

// One answer byte of the on-board computer and when it came.
struct AnswerAt {
    std::uint8_t answer;
    std::uint32_t ms; // since the run's start

    bool operator==(const AnswerAt&) const = default;
};

} // namespace tamsivo
