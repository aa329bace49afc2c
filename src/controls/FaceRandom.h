#pragma once

#include <functional>

namespace tamsivo {

// Where the face textures take their noise from. Each call yields the next value in
// 0 ... kFaceRandomMax.
using RandomSource = std::function<int()>;

inline constexpr int kFaceRandomMax = 32767;

// The C library's generator, never seeded by this program, so that every run draws the same
// faces from the generator's default seed. The texture formulas assume the Windows C runtime's
// range of 0 ... 32767; other C libraries go up to 2^31 - 1, so only the low 15 bits are kept.
int FaceRandom();

} // namespace tamsivo
