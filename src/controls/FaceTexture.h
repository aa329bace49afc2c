#pragma once

#include "controls/Color.h"
#include "controls/DibSurface.h"
#include "controls/FaceRandom.h"

#include <cstdint>

namespace tamsivo {

// The pictures of the button faces: a palette ramp through the system's button colours and a
// shading pattern of palette indices. Memory row r counts from the bottom of the picture.
class FaceTexture {
public:
    // Entry 0 is the shadow colour, entry 128 (about) the face colour, entry 255 the highlight.
    static void FillRamp(DibSurface& surface, Color shadow, Color face, Color highlight);
    // Dots of the focus rectangle: the pixel at column x of memory row r is 255 (highlight) when
    // x + r is odd, else 0 (shadow); on a one-pixel strip the dots alternate along its length.
    static void FillDots(DibSurface& surface);
    // Whether the formulas of the style are defined for a face of this size; Paint draws noise
    // for faces outside.
    static bool InDomain(std::int32_t style, int width, int height);
    // Shades an 8-bit face with a TextureStyle, roughened by noise of the grain (low 8 bits);
    // the larger the grain, the narrower the band of the ramp the shading uses.
    static void Paint(DibSurface& face, std::int32_t style, int grain, const RandomSource& random);
};

} // namespace tamsivo
