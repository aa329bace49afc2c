#include "controls/ButtonFaces.h"

#include "controls/FaceTexture.h"

#include <algorithm>

namespace tamsivo {

void ButtonFaces::Build(int width, int height, std::int16_t focusMargin, const SystemColors& colors,
                        const Texture& texture, const RandomSource& random) {
    const int m = focusMargin;
    focusHorizontal_.Create(std::max(1, width - 2 * m - 1), 1, 8);
    focusVertical_.Create(1, std::max(1, height - 2 * m), 8);
    normal_.Create(width, height, 8);

    for (DibSurface* surface : {&focusHorizontal_, &focusVertical_, &normal_}) {
        FaceTexture::FillRamp(*surface, colors.shadow, colors.face, colors.highlight);
    }
    // The focus dots keep the untinted ramp so that they stay visible on a dark face.
    normal_.BlendPalette(texture.tintColor, static_cast<unsigned>(texture.tintPercent & 0xFF));

    FaceTexture::FillDots(focusHorizontal_);
    FaceTexture::FillDots(focusVertical_);
    FaceTexture::Paint(normal_, texture.style, texture.grain, random);

    disabled_.Clone(normal_);
    hover_.Clone(normal_);
    hover_.BlendPalette(colors.highlight, static_cast<unsigned>(texture.hoverHighlight & 0xFF));
    pressed_.Clone(hover_);
}

} // namespace tamsivo
