#pragma once

#include "app/AppState.h"

#include <gtest/gtest.h>

#include <memory>

namespace tamsivo::test {

// The shared state a start-up with one package leaves before the main dialog runs, reset
// afterwards so that no test leaks into another.
class MainDialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        AppState& state = TheAppState();
        state.exeDir = "C:\\Tamsivo\\";
        state.firmwarePaths =
            std::make_unique<StringList>(StringList{"C:\\Tamsivo\\UPDATES\\one.enc"});
        state.firmwareCount = 1;
        state.portNames = std::make_unique<StringList>();
        state.portName = "";
    }

    void TearDown() override {
        AppState& state = TheAppState();
        state.firmwarePaths.reset();
        state.portNames.reset();
        state.firmwareCount = 0;
        state.portCount = 0;
        state.portIndex = 0;
        state.exeDir.clear();
        state.firmwareName.clear();
        state.portName.clear();
        state.idle = 0;
        state.helpShown = 0;
        state.savedTitle.clear();
        state.savedMessage.clear();
        state.runAllowed = 0;
        state.busy = 0;
    }
};

} // namespace tamsivo::test
