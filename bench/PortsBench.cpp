// One tamsivo-flash flashing through eight ports at once, each served by its own simulated
// adapter paced at 115200 baud, 256 KiB in 256-byte frames: each port's time on its simulated
// line against the line's ideal, and the CPU time the flasher spent (its own rusage), as a
// share of one core over the time it ran.
#include "BenchFigures.h"
#include "BkSimulator.h"
#include "ChildProcess.h"
#include "TestPackage.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tamsivo::bench;

constexpr std::uint32_t kPorts = 8;
constexpr std::uint32_t kFrameBytes = 256;
constexpr std::uint32_t kFrames = 1024;

} // namespace

int main() {
    PrintLoad("eight ports");
    const fs::path folder = fs::temp_directory_path() / "tamsivo-bench-ports";
    const std::vector<std::uint8_t> bytes = tamsivo::test::WritePackage(
        folder / "bench.enc", std::vector(kFrames, kFrameBytes - 2), tamsivo::test::AwkwardBytes());

    tamsivo::sim::BkSimConfig config;
    config.baud = kBaud;
    std::vector<std::unique_ptr<tamsivo::sim::BkSimulator>> simulators;
    std::vector<std::string> argv{TAMSIVO_FLASH_EXE, "--json", "--no-log"};
    for (std::uint32_t i = 0; i < kPorts; ++i) {
        simulators.push_back(std::make_unique<tamsivo::sim::BkSimulator>(config));
        std::string error;
        if (!simulators.back()->Start(&error)) {
            std::fprintf(stderr, "simulator: %s\n", error.c_str());
            return 1;
        }
        argv.insert(argv.end(), {"--port", simulators.back()->SlavePath()});
    }
    argv.push_back("bench.enc");

    ChildProcess child(argv, folder, folder / "stderr.log", true);
    std::map<std::string, nlohmann::json> results; // by port
    while (const auto line = child.NextLine()) {
        const nlohmann::json object = nlohmann::json::parse(*line, nullptr, false);
        if (object.is_object() && object.contains("port")) {
            results[object.value("port", "")] = object;
        }
    }
    const ChildProcess::Ending ending = child.Wait();
    for (const auto& simulator : simulators) {
        simulator->Stop();
    }
    fs::remove_all(folder);

    const double ideal = LineIdealSeconds(bytes.size(), kFrames, config.processingDelayMs);
    bool succeeded = ending.exitCode == 0;
    std::printf("tamsivo-flash, %u ports at once, 256 KiB each in %u-byte frames at %u baud, "
                "ideal %.3f s a port:\n",
                kPorts, kFrameBytes, kBaud, ideal);
    for (const auto& simulator : simulators) {
        const auto found = results.find(simulator->SlavePath());
        if (found == results.end() || found->second.value("result", "") != "done" ||
            simulator->Accepted() != bytes) {
            std::printf("  %s: failed: %s\n", simulator->SlavePath().c_str(),
                        found == results.end() ? "no result" : found->second.dump().c_str());
            succeeded = false;
            continue;
        }
        const double line = Seconds(simulator->BusyTime());
        std::printf("  %s: %.3f s on the line: ratio %.4f (goal >= 0.97)\n",
                    simulator->SlavePath().c_str(), line, ideal / line);
    }
    std::printf("  CPU of tamsivo-flash: %.2f s user + system in %.2f s: %.1f %% of one core "
                "(goal < 10 %%)\n",
                ending.cpuSeconds, ending.wallSeconds,
                100.0 * ending.cpuSeconds / ending.wallSeconds);
    if (!succeeded) {
        std::fprintf(stderr, "the flasher ended with exit code %d\n", ending.exitCode);
    }
    return succeeded ? 0 : 1;
}
