// Frames of 16 to 4096 bytes, 256 KiB of each size, flashed by tamsivo-flash in a process of
// its own, as a user runs it, into the simulated adapter paced at 115200 baud with no
// processing delay. Each size's time on the simulated line against the line's ideal; the whole
// run (start-up, package reading and the quiet kept after the last verdict included) is shown
// beside it.
#include "BenchFigures.h"
#include "BkSimulator.h"
#include "ChildProcess.h"
#include "TestPackage.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tamsivo::bench;

constexpr std::uint32_t kPackageBytes = 256 * 1024;

// Flashes a package of `frameBytes`-byte frames; false when the run did not succeed.
bool Measure(const fs::path& folder, std::uint32_t frameBytes) {
    const std::uint32_t frames = kPackageBytes / frameBytes;
    const std::vector<std::uint8_t> bytes = tamsivo::test::WritePackage(
        folder / "bench.enc", std::vector(frames, frameBytes - 2), tamsivo::test::AwkwardBytes());

    tamsivo::sim::BkSimConfig config;
    config.baud = kBaud;
    tamsivo::sim::BkSimulator simulator(config);
    std::string error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return false;
    }
    ChildProcess child(
        {TAMSIVO_FLASH_EXE, "--json", "--no-log", "--port", simulator.SlavePath(), "bench.enc"},
        folder, folder / "stderr.log", true);
    nlohmann::json result;
    while (const auto line = child.NextLine()) {
        result = nlohmann::json::parse(*line, nullptr, false);
    }
    const ChildProcess::Ending ending = child.Wait();
    simulator.Stop();
    if (ending.exitCode != 0 || !result.is_object() || result.value("result", "") != "done" ||
        simulator.Accepted() != bytes) {
        std::fprintf(stderr, "%u-byte frames: the run failed (exit %d): %s\n", frameBytes,
                     ending.exitCode, result.dump().c_str());
        return false;
    }
    const double line = Seconds(simulator.BusyTime());
    const double ideal = LineIdealSeconds(kPackageBytes, frames, config.processingDelayMs);
    std::printf("tamsivo-flash, %4u-byte frames, 256 KiB at %u baud: %.3f s on the line, ideal "
                "%.3f s: ratio %.4f (goal >= %.2f), %.0f us a frame beyond the ideal; whole "
                "run %.3f s\n",
                frameBytes, kBaud, line, ideal, ideal / line, frameBytes < 64 ? 0.95 : 0.99,
                (line - ideal) * 1e6 / frames, result.value("seconds", 0.0));
    std::fflush(stdout);
    return true;
}

} // namespace

int main() {
    PrintLoad("frame sizes");
    const fs::path folder = fs::temp_directory_path() / "tamsivo-bench-frames";
    fs::create_directories(folder);
    bool succeeded = true;
    for (const std::uint32_t frameBytes : {16u, 64u, 256u, 1024u, 4096u}) {
        succeeded = Measure(folder, frameBytes) && succeeded;
    }
    fs::remove_all(folder);
    return succeeded ? 0 : 1;
}
