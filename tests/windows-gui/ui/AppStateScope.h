#pragma once

#include "app/AppState.h"

#include <initializer_list>
#include <memory>
#include <string>

namespace tamsivo::test {

// The process's one shared state, as the firmware choice reads and writes it, put back as it
// was when the test ends, so that tests do not leak into each other.
class AppStateScope {
public:
    AppStateScope();
    ~AppStateScope();
    AppStateScope(const AppStateScope&) = delete;
    AppStateScope& operator=(const AppStateScope&) = delete;

    AppState& State() const { return TheAppState(); }

    // What a folder scan would leave: the full paths in the scan's order, and their count.
    void SetScan(std::initializer_list<std::string> paths) const;

private:
    std::unique_ptr<StringList> firmwarePaths_;
    std::int32_t firmwareCount_;
    std::string exeDir_;
    std::string firmwareName_;
};

} // namespace tamsivo::test
