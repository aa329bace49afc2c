// A 256 KiB package of 256-byte frames through the simulated adapter paced at 115200 baud with
// no processing delay. The line's ideal is (bytes + one answer byte per frame) * 10 / baud: the
// echo of every byte and every answer take their full bit times, nothing else should.
#include "BkSimulator.h"
#include "app/AppState.h"
#include "flash/FlashRun.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class DoneReporter : public tamsivo::FlashReporter {
public:
    void Report(unsigned message, std::int64_t) override { last = message; }
    unsigned last = 0;
};

} // namespace

int main() {
    constexpr std::uint32_t kBaud = 115200;
    constexpr std::uint32_t kFrameBytes = 256;
    constexpr std::uint32_t kFrames = 1024;
    constexpr std::uint32_t kBytes = kFrameBytes * kFrames;

    const auto dir = std::filesystem::temp_directory_path() / "tamsivo-bench-throughput";
    std::filesystem::create_directories(dir / "updates");
    {
        std::ofstream out(dir / "updates" / "bench.enc", std::ios::binary);
        for (std::uint32_t frame = 0; frame < kFrames; ++frame) {
            char header[8];
            std::snprintf(header, sizeof header, "%04X", kFrameBytes - 2);
            out << header;
            for (std::uint32_t i = 0; i < kFrameBytes - 2; ++i) {
                char pair[3];
                std::snprintf(pair, sizeof pair, "%02X", (frame * 7 + i) & 0xFF);
                out << pair;
            }
            out << "\r\n";
        }
    }

    tamsivo::sim::BkSimConfig config;
    config.baud = kBaud;
    tamsivo::sim::BkSimulator simulator(config);
    std::string error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }

    tamsivo::AppState& state = tamsivo::TheAppState();
    state.exeDir = dir.string() + "/";
    state.firmwareName = "bench.enc";
    state.portName = simulator.SlavePath();
    state.runAllowed = 1;
    DoneReporter reporter;
    const auto start = std::chrono::steady_clock::now();
    tamsivo::FlashRun(state, reporter).Run(tamsivo::FlashInputsFrom(state));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    simulator.Stop();
    std::filesystem::remove_all(dir);

    if (reporter.last != tamsivo::WM_FLASH_DONE) {
        std::fprintf(stderr, "run did not succeed (last notification %u)\n", reporter.last);
        return 1;
    }
    const double ideal = double(kBytes + kFrames) * 10.0 / kBaud;
    std::printf("throughput, 256 KiB in 256-byte frames at %u baud: %.3f s, line ideal %.3f s, "
                "efficiency %.3f of ideal (goal >= 0.97)\n",
                kBaud, seconds, ideal, ideal / seconds);
    return 0;
}
