// A minimal program on the framework's entry point: counts its runs and records its name in
// its profile, under the name of whatever executable file it was started as.
#include "framework/Application.h"

#include <string>

namespace {

class CountingApplication : public tamsivo::Application {
public:
    bool InitInstance() override {
        SetRegistryKey("TamsivoGuiTest");
        const int runs = std::stoi(GetProfileText("Start", "Runs", "0"));
        WriteProfileText("Start", "Runs", std::to_string(runs + 1));
        WriteProfileText("Start", "Name", Name());
        return false;
    }
};

CountingApplication theApplication;

} // namespace
