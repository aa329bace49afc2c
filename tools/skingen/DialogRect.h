#pragma once

namespace tamsivo::skingen {

// A control's rectangle in a dialog template, in dialog units.
struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

} // namespace tamsivo::skingen
