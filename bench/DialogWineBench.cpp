// The dialog program Tamsivo.exe under Wine, operated as a user would (its start button pressed
// through the keyboard on the X display of the environment), flashing 256 KiB in 256-byte
// frames into the simulated adapter paced at 115200 baud as its COM1: the package's time on
// the simulated line against the line's ideal. Wine's prefix is kept in the build tree, so only
// the first run makes it.
#include "BenchFigures.h"
#include "BkSimulator.h"
#include "ChildProcess.h"
#include "TestPackage.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tamsivo::bench;

constexpr const char* kWine = "/usr/lib/wine/wine64";
constexpr const char* kWineServer = "/usr/lib/wine/wineserver64";
const fs::path kWork = TAMSIVO_BENCH_WINE_DIR;
const fs::path kPrefix = kWork / "wineprefix";
constexpr std::uint32_t kFrameBytes = 256;
constexpr std::uint32_t kFrames = 1024;

bool Fail(const char* what) {
    std::fprintf(stderr, "dialog under Wine: %s (logs in %s)\n", what, kWork.c_str());
    return false;
}

// The prefix, its server kept running for the bench, and no COM port but the simulator's:
// every link the session made to the machine's own serial devices leads to a folder, which no
// program opens as a port.
bool PrepareWine() {
    ::setenv("WINEPREFIX", kPrefix.c_str(), 1);
    ::setenv("WINEDEBUG", "-all", 1);
    // No Mono or Gecko installer dialogs while the prefix is made, no menu entries.
    ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d", 1);
    ::setenv("LANG", "C.UTF-8", 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    if (!fs::exists(kPrefix / "system.reg")) {
        std::printf("dialog under Wine: making the prefix %s (once)\n", kPrefix.c_str());
        std::fflush(stdout);
        if (Run({kWine, "wineboot", "-i"}, kWork, kWork / "wineboot.log") != 0) {
            return Fail("wineboot failed");
        }
        // Xvfb has no window manager, and Wine waits two seconds for one to withdraw each
        // managed window that is hidden or destroyed; unmanaged windows go at once.
        Run({kWine, "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N",
             "/f"},
            kWork, kWork / "managed.log");
        Run({kWineServer, "-w"}, kWork, kWork / "wineserver-wait.log");
    }
    const int server = Run({kWineServer, "-p60"}, kWork, kWork / "wineserver.log");
    if (server != 0 && server != 2) { // 2: one runs already
        return Fail("wineserver did not start");
    }
    // The session's first process brings up Wine's services, which link the COM ports; this
    // one also makes the program forget its settings, so that it greets on the first port.
    Run({kWine, "reg", "delete", "HKCU\\Software\\TORVIK", "/f"}, kWork, kWork / "settings.log");
    std::error_code error;
    fs::create_directories(kWork / "no-port", error);
    for (int n = 1; n <= 32; ++n) {
        const fs::path link = kPrefix / "dosdevices" / ("com" + std::to_string(n));
        fs::remove(link, error);
        fs::create_symlink(kWork / "no-port", link, error);
    }
    return true;
}

// Presses the focused start button with the space bar, as the keyboard of a user would.
bool PressStart() {
    ChildProcess search(
        {"timeout", "60", "xdotool", "search", "--sync", "--onlyvisible", "--name", "^Tamsivo$"},
        kWork, kWork / "xdotool.log", true);
    const std::optional<std::string> window = search.NextLine();
    if (search.Wait().exitCode != 0 || !window) {
        return false;
    }
    return Run({"xdotool", "windowfocus", "--sync", *window}, kWork, kWork / "focus.log") == 0 &&
           Run({"xdotool", "key", "space"}, kWork, kWork / "key.log") == 0;
}

bool Measure() {
    const fs::path folder = kWork / "program";
    fs::remove_all(folder);
    const std::vector<std::uint8_t> bytes =
        tamsivo::test::WritePackage(folder / "updates" / "bench.enc",
                                    std::vector(kFrames, kFrameBytes - 2), {0x01, 0x02, 0x03});
    fs::copy_file(fs::path(TAMSIVO_WINDOWS_BIN_DIR) / "src" / "Tamsivo.exe",
                  folder / "Tamsivo.exe");

    tamsivo::sim::BkSimConfig config;
    config.baud = kBaud;
    config.linkPath = (kPrefix / "dosdevices" / "com1").string();
    tamsivo::sim::BkSimulator simulator(config);
    std::string error;
    if (!simulator.Start(&error)) {
        return Fail(error.c_str());
    }
    ChildProcess program({kWine, (folder / "Tamsivo.exe").string()}, folder, kWork / "program.log",
                         false);
    bool accepted = false;
    if (PressStart()) {
        // The simulator counts what it accepted; looked at ten times a second, the bench stays
        // off the cores the run needs.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
        while (!(accepted = simulator.FramesAccepted() >= kFrames) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    // The server ends the program with it.
    Run({kWineServer, "-k"}, kWork, kWork / "wineserver-kill.log");
    program.Wait();
    simulator.Stop();
    if (!accepted || simulator.Accepted() != bytes) {
        return Fail(accepted ? "the simulator accepted other bytes than the package's"
                             : "the program did not flash the package");
    }
    const double line = Seconds(simulator.BusyTime());
    const double ideal = LineIdealSeconds(bytes.size(), kFrames, config.processingDelayMs);
    std::printf("Tamsivo.exe under Wine, 256 KiB in %u-byte frames at %u baud: %.3f s on the "
                "line, ideal %.3f s: ratio %.4f (goal >= 0.97), %.0f us a frame beyond the "
                "ideal\n",
                kFrameBytes, kBaud, line, ideal, ideal / line, (line - ideal) * 1e6 / kFrames);
    return true;
}

} // namespace

int main() {
    PrintLoad("dialog under Wine");
    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "dialog under Wine: no X display (run it under xvfb-run)\n");
        return 1;
    }
    fs::create_directories(kWork);
    return PrepareWine() && Measure() ? 0 : 1;
}
