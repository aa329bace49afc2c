#include "app/AppState.h"

namespace tamsivo {

AppState& TheAppState() {
    static AppState state;
    return state;
}

} // namespace tamsivo
