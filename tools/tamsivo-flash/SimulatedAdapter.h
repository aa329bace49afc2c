#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tamsivo::cli {

// What --simulate is asked to play.
struct SimulationSettings {
    std::string answers;          // the simulator's answer script ("22,ok*"); empty: all OK
    std::string fault;            // one of FaultSpellings(); empty: none
    std::uint32_t faultFrame = 1; // counted from 1 over every frame received
};

// A simulated adapter and on-board computer behind a pseudo-terminal, in this process, paced
// like the real 115200-baud line. Available on POSIX only.
class SimulatedAdapter {
public:
    SimulatedAdapter();
    ~SimulatedAdapter();
    SimulatedAdapter(const SimulatedAdapter&) = delete;
    SimulatedAdapter& operator=(const SimulatedAdapter&) = delete;

    static bool Available();
    // The faults --sim-fault takes, as it spells them ("no-echo, ..., answer:HH, ...").
    static std::string FaultSpellings();

    // False with a reason when the settings do not parse (a usage error).
    static bool Validate(const SimulationSettings& settings, std::string* error);

    // Starts serving; false with a reason when the pseudo-terminal cannot be made.
    bool Start(const SimulationSettings& settings, std::string* error);

    // The device path to flash through.
    std::string PortPath() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tamsivo::cli
