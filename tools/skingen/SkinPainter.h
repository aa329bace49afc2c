#pragma once

#include "skingen/Canvas.h"

namespace tamsivo::skingen {

// Draws the main window's skin: the front of a small device, a dark grey housing with rounded
// corners, a black bezel round the light-blue display glass with the emblem at its left end,
// and a recessed keypad whose four key fields lie under the dialog's four push buttons.
class SkinPainter {
public:
    static Canvas paint();

private:
    static void paintHousing(Canvas& canvas);
    static void paintScrew(Canvas& canvas, double cx, double cy);
    static void paintGrille(Canvas& canvas);
    static void paintLamp(Canvas& canvas, double cx, double cy);
    static void paintDisplay(Canvas& canvas);
    static void paintKeypad(Canvas& canvas);
};

} // namespace tamsivo::skingen
