#pragma once

#include "skingen/Box.h"
#include "skingen/Canvas.h"
#include "skingen/Rgb.h"

namespace tamsivo::skingen {

// The program's emblem: a microchip with four pins on each side and a lightning bolt cut out of
// its body (a firmware update going into a chip).
class EmblemPainter {
public:
    // Paints the emblem to fill the square area; the bolt and the pin-one mark take boltColour,
    // normally the colour of what lies under the emblem.
    static void paint(Canvas& canvas, const Box& area, Rgb bodyColour, Rgb boltColour);
};

} // namespace tamsivo::skingen
