#include "SimulatedAdapter.h"

#include "BkSimulator.h"
#include "flash/FlashProtocol.h"

#include <csignal>
#include <cstdlib>
#include <pthread.h>

namespace tamsivo::cli {
namespace {

// KIND, or KIND:HH for the faults that carry a byte; empty: none.
bool ParseFault(const std::string& text, sim::Fault* fault, std::uint8_t* answer) {
    if (text.empty()) {
        *fault = sim::Fault::None;
        return true;
    }
    const std::size_t colon = text.find(':');
    const std::optional<sim::FaultName> named =
        sim::BkSimulator::FindFault(std::string_view(text).substr(0, colon));
    if (!named || named->takesByte != (colon != std::string::npos)) {
        return false;
    }
    if (named->takesByte) {
        const std::string hex = text.substr(colon + 1);
        char* end = nullptr;
        const unsigned long value = std::strtoul(hex.c_str(), &end, 16);
        if (hex.size() != 2 || end != hex.c_str() + hex.size() || hex[0] == '-' ||
            hex[0] == '+') {
            return false;
        }
        *answer = static_cast<std::uint8_t>(value);
    }
    *fault = named->fault;
    return true;
}

bool ConfigFrom(const SimulationSettings& settings, sim::BkSimConfig* config, std::string* error) {
    std::vector<std::uint8_t> answers;
    bool repeatLast = false;
    if (!settings.answers.empty() &&
        !sim::BkSimulator::ParseAnswers(settings.answers, &answers, &repeatLast)) {
        *error = "--sim-answers: not a list of hexadecimal answers or \"ok\" (e.g. 22,ok*): " +
                 settings.answers;
        return false;
    }
    if (!ParseFault(settings.fault, &config->fault, &config->faultAnswer)) {
        *error = "--sim-fault: expected one of " + SimulatedAdapter::FaultSpellings() + ", not " +
                 settings.fault;
        return false;
    }
    config->answers = settings.answers;
    config->baud = kFlashBaudRate;
    // A cable pulled a moment after the stray byte, not while what came before it is still on
    // its way: a terminal that hangs up discards what its reader has not taken yet.
    config->faultDelayMs = 100;
    config->faultFrame = settings.faultFrame;
    return true;
}

} // namespace

struct SimulatedAdapter::Impl {
    explicit Impl(sim::BkSimConfig config) : simulator(std::move(config)) {}
    sim::BkSimulator simulator;
};

SimulatedAdapter::SimulatedAdapter() = default;
SimulatedAdapter::~SimulatedAdapter() = default;

bool SimulatedAdapter::Available() {
    return true;
}

std::string SimulatedAdapter::FaultSpellings() {
    std::string text;
    for (const sim::FaultName& fault : sim::BkSimulator::FaultNames()) {
        text += (text.empty() ? "" : ", ") + std::string(fault.name) +
                (fault.takesByte ? ":HH" : "");
    }
    return text;
}

bool SimulatedAdapter::Validate(const SimulationSettings& settings, std::string* error) {
    sim::BkSimConfig config;
    return ConfigFrom(settings, &config, error);
}

bool SimulatedAdapter::Start(const SimulationSettings& settings, std::string* error) {
    sim::BkSimConfig config;
    if (!ConfigFrom(settings, &config, error)) {
        return false;
    }
    impl_ = std::make_unique<Impl>(std::move(config));
    // Ctrl+C is meant for the run on the main thread: the simulator's thread starts with the
    // stop signals blocked so that they never interrupt its own waits.
    sigset_t stopSignals;
    sigset_t previous;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
    const bool started = impl_->simulator.Start(error);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (!started) {
        impl_.reset();
    }
    return started;
}

std::string SimulatedAdapter::PortPath() const {
    return impl_ ? impl_->simulator.SlavePath() : std::string();
}

} // namespace tamsivo::cli
