#pragma once

#include "controls/Color.h"

#include <vector>

namespace tamsivo {

// The background of a graded label: solid vertical bands from left to right, at most one band a
// column, the last band taking the columns the equal division leaves over.
class LabelGradient {
public:
    static constexpr int kBandLimit = 100;

    // Columns left ... right - 1 in one colour.
    struct Band {
        int left = 0;
        int right = 0;
        Color color = 0;
        friend bool operator==(const Band&, const Band&) = default;
    };

    // Bands over the columns left ... right - 1 from colour `from` to (nearly) colour `to`; none
    // when the width is 0 or less.
    static std::vector<Band> Bands(int left, int right, Color from, Color to,
                                   int bandLimit = kBandLimit);
};

} // namespace tamsivo
