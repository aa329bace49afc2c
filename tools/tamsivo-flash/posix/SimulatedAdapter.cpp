#include "SimulatedAdapter.h"

#include "BkSimulator.h"
#include "flash/FlashProtocol.h"

#include <csignal>
#include <cstdlib>
#include <pthread.h>

namespace tamsivo::cli {
namespace {

bool ParseFault(const std::string& text, sim::Fault* fault, std::uint8_t* answer) {
    static constexpr struct {
        const char* name;
        sim::Fault fault;
    } kFaults[] = {
        {"", sim::Fault::None},
        {"no-echo", sim::Fault::NoEcho},
        {"short-echo", sim::Fault::ShortEcho},
        {"no-answer", sim::Fault::NoAnswer},
        {"drop", sim::Fault::DropLine},
        {"early-answer", sim::Fault::EarlyAnswer},
    };
    for (const auto& known : kFaults) {
        if (text == known.name) {
            *fault = known.fault;
            return true;
        }
    }
    // The faults that carry a byte: KIND:HH.
    static constexpr struct {
        const char* prefix;
        sim::Fault fault;
    } kByteFaults[] = {
        {"answer:", sim::Fault::Answer},
        {"extra-echo:", sim::Fault::ExtraEcho},
        {"noise:", sim::Fault::Noise},
    };
    for (const auto& known : kByteFaults) {
        const std::string prefix = known.prefix;
        if (text.size() != prefix.size() + 2 || text.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        char* end = nullptr;
        const std::string hex = text.substr(prefix.size());
        const unsigned long value = std::strtoul(hex.c_str(), &end, 16);
        if (end != hex.c_str() + hex.size() || hex[0] == '-' || hex[0] == '+') {
            return false;
        }
        *fault = known.fault;
        *answer = static_cast<std::uint8_t>(value);
        return true;
    }
    return false;
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
        *error = "--sim-fault: expected no-echo, short-echo, no-answer, drop, early-answer, "
                 "answer:HH, extra-echo:HH or noise:HH, not " +
                 settings.fault;
        return false;
    }
    config->answers = settings.answers;
    config->baud = kFlashBaudRate;
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
