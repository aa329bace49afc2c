#include "AppStateScope.h"

namespace tamsivo::test {

AppStateScope::AppStateScope()
    : firmwarePaths_(std::move(TheAppState().firmwarePaths)),
      firmwareCount_(TheAppState().firmwareCount), exeDir_(TheAppState().exeDir),
      firmwareName_(TheAppState().firmwareName) {
    TheAppState().firmwarePaths = std::make_unique<StringList>();
    TheAppState().firmwareCount = 0;
}

AppStateScope::~AppStateScope() {
    AppState& state = TheAppState();
    state.firmwarePaths = std::move(firmwarePaths_);
    state.firmwareCount = firmwareCount_;
    state.exeDir = exeDir_;
    state.firmwareName = firmwareName_;
}

void AppStateScope::SetScan(std::initializer_list<std::string> paths) const {
    AppState& state = TheAppState();
    state.firmwarePaths = std::make_unique<StringList>(paths);
    state.firmwareCount = static_cast<std::int32_t>(paths.size());
}

} // namespace tamsivo::test
