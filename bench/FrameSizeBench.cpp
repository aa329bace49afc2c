// Frames of 16 to 65,537 bytes (the largest), 256 KiB of each size, flashed by tamsivo-flash in a process of
// its own, as a user runs it, into the simulated adapter paced at 115200 baud with no
// processing delay. Each size's time on the simulated line against the line's ideal; the whole
// run (start-up, package reading and the quiet kept after the last verdict included) is shown
// beside it. Then 256-byte frames through a USB adapter whose latency timer is 1 ms (what the
// flasher asks of the driver) and 16 ms (FTDI's default): each against the ideal, and the
// second against the first.
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

// Flashes a package of `frameBytes`-byte frames through an adapter with the given latency timer
// (0: none) and tells its time on the line; false when the run did not succeed.
bool Measure(const fs::path& folder, std::uint32_t frameBytes, std::uint32_t latencyMs = 0,
             double* lineSeconds = nullptr) {
    const std::uint32_t frames = kPackageBytes / frameBytes;
    const std::vector<std::uint8_t> bytes = tamsivo::test::WritePackage(
        folder / "bench.enc", std::vector(frames, frameBytes - 2), tamsivo::test::AwkwardBytes());

    tamsivo::sim::BkSimConfig config;
    config.baud = kBaud;
    config.latencyMs = latencyMs;
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
    char through[64] = "";
    char goal[32] = "";
    if (latencyMs != 0) {
        std::snprintf(through, sizeof through, " through a %u ms latency timer", latencyMs);
    } else {
        std::snprintf(goal, sizeof goal, " (goal >= %.2f)", frameBytes < 64 ? 0.95 : 0.99);
    }
    std::printf("tamsivo-flash, %4u-byte frames, 256 KiB at %u baud%s: %.3f s on the line, "
                "ideal %.3f s: ratio %.4f%s, %.0f us a frame beyond the ideal; whole run "
                "%.3f s\n",
                frameBytes, kBaud, through, line, ideal, ideal / line, goal,
                (line - ideal) * 1e6 / frames, result.value("seconds", 0.0));
    std::fflush(stdout);
    if (lineSeconds != nullptr) {
        *lineSeconds = line;
    }
    return true;
}

} // namespace

int main() {
    PrintLoad("frame sizes");
    const fs::path folder = fs::temp_directory_path() / "tamsivo-bench-frames";
    fs::create_directories(folder);
    bool succeeded = true;
    // The largest frame a package may hold outgrows every buffer between the program and the
    // adapter: its echo must be read while it goes out.
    for (const std::uint32_t frameBytes : {16u, 64u, 256u, 1024u, 4096u, 65537u}) {
        succeeded = Measure(folder, frameBytes) && succeeded;
    }
    constexpr std::uint32_t kTimerFrameBytes = 256;
    double fast = 0;
    double slow = 0;
    if (Measure(folder, kTimerFrameBytes, 1, &fast) &&
        Measure(folder, kTimerFrameBytes, 16, &slow)) {
        std::printf("tamsivo-flash, %u-byte frames, latency timer 16 ms against 1 ms: %.2f times "
                    "as long, %.1f ms more a frame\n",
                    kTimerFrameBytes, slow / fast,
                    (slow - fast) * 1e3 / (kPackageBytes / kTimerFrameBytes));
    } else {
        succeeded = false;
    }
    fs::remove_all(folder);
    return succeeded ? 0 : 1;
}
