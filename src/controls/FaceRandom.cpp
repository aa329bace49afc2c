#include "controls/FaceRandom.h"

#include <cstdlib>

namespace tamsivo {

int FaceRandom() {
    return std::rand() & kFaceRandomMax;
}

} // namespace tamsivo
