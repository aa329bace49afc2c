// tamsivo-flash: writes a firmware package into the on-board computer through the K-line
// adapter, from a terminal or a script. The run, its texts and its rules are those of the
// Windows program; see ExitCode.h for the exit status of every outcome.

#include "CancelHandler.h"
#include "CliOptions.h"
#include "Console.h"
#include "ExitCode.h"
#include "FlashCommand.h"
#include "PlatformText.h"
#include "SimulatedAdapter.h"
#include "flash/Platform.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

using tamsivo::cli::CliOptions;
using tamsivo::cli::Console;
using tamsivo::cli::ExitCode;

namespace {

constexpr std::size_t kDefaultHistory = 20;
constexpr std::size_t kMaxHistory = 1000000;

// The device a port name stands for, links and dot names resolved, so that two spellings of
// one device ("/dev/ttyUSB0", "ttyUSB0", a link to it) compare equal: the second run would
// otherwise fail on the first one's claim, as if another program held the port. A name that
// stands for no device stands for itself.
std::string DeviceOf(const std::string& port) {
    using tamsivo::cli::PlatformText;
    const std::string device = tamsivo::DevicePathForPort(PlatformText::EngineName(port));
    if (device.empty()) {
        return "name:" + port;
    }
    // weakly_canonical, as equivalent() refuses to compare devices.
    std::error_code error;
    const std::filesystem::path path = std::filesystem::weakly_canonical(
        tamsivo::cli::PathFromUtf8(PlatformText::NameFromEngine(device)), error);
    return "device:" + (error ? device : tamsivo::cli::Utf8Of(path));
}

constexpr const char* kDescription =
    "Writes a firmware package (.enc) into the on-board computer through the K-line adapter.\n"
    "\n"
    "  tamsivo-flash [--port PORT]... [PACKAGE]\n"
    "  tamsivo-flash --list-ports\n"
    "  tamsivo-flash --check [PACKAGE]\n"
    "  tamsivo-flash --simulate [PACKAGE]\n"
    "  tamsivo-flash --history [N]\n"
    "\n"
    "Without PACKAGE the single .enc of ./updates is flashed; with several, a terminal asks\n"
    "which one. Without --port the first free USB adapter (else the first free serial port)\n"
    "is used; with several --port options the package goes through all of them at once.\n"
    "Ctrl+C (or SIGTERM, SIGHUP) stops after the frame in flight; a second Ctrl+C at least a\n"
    "second after the first quits at once (one stop delivered twice, as timeout(1) and a\n"
    "closing terminal do, stays one stop). Every run is recorded in the user's log of runs\n"
    "(see --history).";

int Usage(const std::string& message) {
    Console::Write(stderr, "tamsivo-flash: " + message + "\nRun tamsivo-flash --help for usage.\n");
    return static_cast<int>(ExitCode::Usage);
}

int Run(int argc, char** argv) {
    CliOptions options;
    CLI::App app(kDescription, "tamsivo-flash");
    app.footer(tamsivo::cli::ExitCodeHelp());
    app.set_version_flag("--version", TAMSIVO_VERSION);

    CLI::Option* packageOption = app.add_option(
        "PACKAGE", options.package, "firmware package; default: the single .enc in ./updates");
    CLI::Option* port =
        app.add_option("-p,--port", options.ports,
                       "serial port (COM3, /dev/ttyUSB0); repeat it to flash through several "
                       "ports at once; default: the first free adapter")
            ->allow_extra_args(false)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    CLI::Option* listPorts =
        app.add_flag("--list-ports", options.listPorts, "list the free serial ports and exit");
    CLI::Option* check = app.add_flag("--check", options.check,
                                      "validate the package, print its frames and bytes, send "
                                      "nothing");
    CLI::Option* simulate =
        app.add_flag("--simulate", options.simulate,
                     "flash into a built-in simulated adapter and on-board computer (POSIX only)");
    app.add_option("--sim-answers", options.simulation.answers,
                   "the simulator's answers per frame, e.g. 22,88,ok*")
        ->needs(simulate);
    CLI::Option* fault =
        app.add_option("--sim-fault", options.simulation.fault,
                       "fault to simulate: " + tamsivo::cli::SimulatedAdapter::FaultSpellings())
            ->needs(simulate);
    app.add_option("--sim-fault-frame", options.simulation.faultFrame,
                   "frame of the fault, counted from 1 (default 1)")
        ->check(CLI::Validator(
            [](const std::string& text) {
                unsigned long long frame = 0;
                return CLI::detail::lexical_cast(text, frame) && frame >= 1 &&
                               frame <= 0xFFFFFFFFull
                           ? std::string()
                           : "frames are counted from 1: give a whole number from 1 to "
                             "4294967295, not " +
                                 text;
            },
            "FRAME"))
        ->needs(fault);
    app.add_flag("--json", options.json,
                 "machine-readable output: one JSON object per line, the result last");
    app.add_flag("--json-progress", options.jsonProgress,
                 "with --json, also a JSON object per progress notification");
    app.add_option("--timeout-ms", options.timeoutMs,
                   "serial timeout in milliseconds (default 10000)")
        ->check(CLI::Range(1u, 600000u));
    CLI::Option* log =
        app.add_option("--log", options.logPath,
                       "the file that records every run (default: the user's log of runs)");
    CLI::Option* noLog = app.add_flag("--no-log", options.noLog, "record nothing");
    // Read as text: a bare --history leaves it empty, which means the default.
    std::string newest;
    CLI::Option* history = app.add_option("--history", newest,
                                          "print the newest N records of runs (default " +
                                              std::to_string(kDefaultHistory) + ") and exit")
                               ->expected(0, 1);

    listPorts->excludes(port)->excludes(check)->excludes(simulate);
    check->excludes(port)->excludes(simulate);
    simulate->excludes(port);
    noLog->excludes(log);
    history->excludes(port)->excludes(listPorts)->excludes(check)->excludes(simulate)->excludes(
        noLog);

    const std::vector<std::string> arguments = tamsivo::cli::PlatformText::Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        // The parser would take the next argument as the port: "--port=$PORT" with PORT unset
        // must not turn the package name into a port name.
        if (argument == "--port=" || argument == "--log=" || argument == "--history=") {
            return Usage(argument.substr(0, argument.size() - 1) +
                         " needs a name, not an empty text");
        }
        // The parser reads "--history ''" as a bare --history, the default count.
        if (argument == "--history" && i + 1 < arguments.size() && arguments[i + 1].empty()) {
            return Usage("--history takes a whole number, not an empty text");
        }
        pointers.push_back(argument.c_str());
    }
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::Success& e) {
        return app.exit(e); // --help, --version
    } catch (const CLI::ParseError& e) {
        return Usage(e.what());
    }
    if ((listPorts->count() != 0 || history->count() != 0) && !options.package.empty()) {
        return Usage(std::string(listPorts->count() != 0 ? "--list-ports" : "--history") +
                     " takes no package");
    }
    if (history->count() != 0) {
        std::size_t n = kDefaultHistory;
        const char* const end = newest.data() + newest.size();
        const std::from_chars_result parsed = std::from_chars(newest.data(), end, n);
        if (!newest.empty() &&
            (parsed.ec != std::errc() || parsed.ptr != end || n < 1 || n > kMaxHistory)) {
            return Usage("--history takes a whole number from 1 to " + std::to_string(kMaxHistory) +
                         ", not " + newest);
        }
        options.history = n;
    }
    // An unset variable in a script must not fall back to the first port or the only package.
    std::vector<std::string> devices;
    for (std::size_t i = 0; i < options.ports.size(); ++i) {
        if (options.ports[i].empty()) {
            return Usage("--port needs a port name, not an empty text");
        }
        devices.push_back(DeviceOf(options.ports[i]));
        for (std::size_t j = 0; j < i; ++j) {
            if (devices[j] == devices[i]) {
                return Usage("the port " + options.ports[i] + " is named twice");
            }
        }
    }
    if (options.ports.size() > tamsivo::cli::CancelHandler::kMaxRuns) {
        return Usage("at most " + std::to_string(tamsivo::cli::CancelHandler::kMaxRuns) +
                     " ports at once");
    }
    if (log->count() != 0 && options.logPath.empty()) {
        return Usage("--log needs a file name, not an empty text");
    }
    if (packageOption->count() != 0 && options.package.empty()) {
        return Usage("the package must be a file name, not an empty text");
    }
    options.json = options.json || options.jsonProgress;
    if (options.simulate) {
        std::string error;
        if (!tamsivo::cli::SimulatedAdapter::Validate(options.simulation, &error)) {
            return Usage(error);
        }
    }
    return tamsivo::cli::FlashCommand(std::move(options)).Execute();
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        Console::Write(stderr, std::string("tamsivo-flash: internal error: ") + e.what() + '\n');
    } catch (...) {
        Console::Write(stderr, "tamsivo-flash: internal error\n");
    }
    return static_cast<int>(ExitCode::Internal);
}
