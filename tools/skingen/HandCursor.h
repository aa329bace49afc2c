#pragma once

#include "skingen/CursorImage.h"

namespace tamsivo::skingen {

// The pointer over clickable labels: a hand pointing up, the tip of its index finger at the hot
// spot (6, 0).
class HandCursor {
public:
    static CursorImage make();
};

} // namespace tamsivo::skingen
