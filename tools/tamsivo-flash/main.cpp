// tamsivo-flash: writes a firmware package into the on-board computer through the K-line
// adapter, from a terminal or a script. The run, its texts and its rules are those of the
// Windows program; see ExitCode.h for the exit status of every outcome.

#include "CancelHandler.h"
#include "CliOptions.h"
#include "Console.h"
#include "ExitCode.h"
#include "FlashCommand.h"
#include "PlatformText.h"
#include "ResultPrinter.h"
#include "SimulatedAdapter.h"
#include "flash/FirmwarePackage.h"
#include "flash/Platform.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <exception>
#include <string>
#include <system_error>
#include <vector>

using tamsivo::cli::CliOptions;
using tamsivo::cli::Console;

namespace {

constexpr std::size_t kDefaultHistory = 20;
constexpr unsigned long long kMaxHistory = 1000000;

// Two spellings of one device ("/dev/ttyUSB0", "ttyUSB0", a link to it; "COM5", "com5") name
// one port: the second run would otherwise fail on the first one's claim, as if another
// program held the port.
std::string DeviceOf(const std::string& port) {
    return tamsivo::CanonicalPortName(tamsivo::cli::PlatformText::EngineName(port));
}

// The program's description, with the packages' folder named where it is.
std::string Description() {
    const std::string updates = std::string("./") + tamsivo::kUpdatesFolder;
    return "Writes a firmware package (.enc) into the on-board computer through the K-line "
           "adapter.\n"
           "\n"
           "  tamsivo-flash [--port PORT]... [PACKAGE]\n"
           "  tamsivo-flash --list-ports\n"
           "  tamsivo-flash --check [PACKAGE]\n"
           "  tamsivo-flash --simulate [PACKAGE]\n"
           "  tamsivo-flash --history [N]\n"
           "\n"
           "Without PACKAGE the single .enc of " +
           updates +
           " is flashed; with several, a terminal asks\n"
           "which one. Without --port the first free USB adapter (else the first free serial "
           "port)\n"
           "is used; with several --port options the package goes through all of them at once.\n"
           "Ctrl+C (or SIGTERM, SIGHUP) stops after the frame in flight; a second Ctrl+C at "
           "least a\n"
           "second after the first quits at once (one stop delivered twice, as timeout(1) and a\n"
           "closing terminal do, stays one stop). Every run is recorded in the user's log of "
           "runs\n"
           "(see --history).";
}

// The one wording of an empty value, whichever way it was given ("--port=", --port "").
const std::string kEmptyValue = "needs a value, not an empty text";

// An unset variable in a script must not let the first port or the only package be taken.
const CLI::Validator kNotEmpty(
    [](const std::string& value) { return value.empty() ? kEmptyValue : std::string(); }, "");

// A port name never starts with '-': "--port --json" left the port out, and the next option
// is no name for it.
const CLI::Validator kPortName(
    [](const std::string& value) {
        return value.empty()      ? kEmptyValue
               : value[0] == '-' ? "needs a port name, not " + value
                                 : std::string();
    },
    "");

// A SHA-256 as 64 hexadecimal digits, in either case; anything shorter could pin two packages.
const CLI::Validator kSha256(
    [](const std::string& value) {
        const bool hex = value.size() == 64 &&
                         value.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        return hex ? std::string()
                   : "give a SHA-256 of 64 hexadecimal digits, not " +
                         (value.empty() ? std::string("an empty text") : value);
    },
    "");

// Why `text` is no whole number from `least` to `most`; empty when it is one.
std::string NotAWholeNumber(unsigned long long least, unsigned long long most,
                            const std::string& text) {
    unsigned long long value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error == std::errc() && stop == end && value >= least && value <= most) {
        return {};
    }
    return "give a whole number from " + std::to_string(least) + " to " + std::to_string(most) +
           ", not " + (text.empty() ? "an empty text" : text);
}

CLI::Validator WholeNumber(unsigned long long least, unsigned long long most) {
    return CLI::Validator(
        [least, most](const std::string& text) { return NotAWholeNumber(least, most, text); }, "");
}

int Run(int argc, char** argv) {
    CliOptions options;
    CLI::App app(Description(), "tamsivo-flash");
    app.footer(tamsivo::cli::ExitCodeHelp());
    app.set_version_flag("--version", TAMSIVO_VERSION);

    CLI::Option* packageOption =
        app.add_option("PACKAGE", options.package,
                       std::string("firmware package; default: the single .enc in ./") +
                           tamsivo::kUpdatesFolder)
            ->check(kNotEmpty);
    CLI::Option* port =
        app.add_option("-p,--port", options.ports,
                       "serial port (COM3, /dev/ttyUSB0); repeat it to flash through several "
                       "ports at once; default: the first free adapter")
            ->allow_extra_args(false)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->check(kPortName);
    CLI::Option* listPorts =
        app.add_flag("--list-ports", options.listPorts, "list the serial ports and their state");
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
        ->check(WholeNumber(1, 0xFFFFFFFFull))
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
                       "the file that records every run (default: the user's log of runs)")
            ->check(kNotEmpty);
    CLI::Option* noLog = app.add_flag("--no-log", options.noLog, "record nothing");
    CLI::Option* trace =
        app.add_option("--trace", options.tracePath,
                       "write every byte sent and received, with its time, into FILE, and the "
                       "run's settings and outcome; with several ports, the second port's into "
                       "FILE.2 and so on")
            ->type_name("FILE")
            ->check(kNotEmpty);
    CLI::Option* pin =
        app.add_option("--expect-sha256", options.expectedSha256,
                       "refuse, before anything is sent, a package whose SHA-256 is another "
                       "(exit code 18); --check prints the package's SHA-256")
            ->type_name("HEX")
            ->check(kSha256);
    // A bare --history takes the default; an empty value is no number.
    std::size_t newest = kDefaultHistory;
    CLI::Option* history =
        app.add_option("--history", newest,
                       "print the newest N records of runs (default " +
                           std::to_string(kDefaultHistory) + ") and exit")
            ->expected(0, 1)
            ->default_str(std::to_string(kDefaultHistory))
            ->check(WholeNumber(1, kMaxHistory));

    // What each mode of the program excludes, declared once: a mode takes no port and no
    // other mode; listing and history take no package either.
    for (CLI::Option* mode : {listPorts, check, simulate, history}) {
        mode->excludes(port);
    }
    for (CLI::Option* mode : {listPorts, history}) {
        mode->excludes(packageOption)->excludes(pin);
    }
    for (CLI::Option* mode : {listPorts, check, history}) {
        mode->excludes(trace);
    }
    listPorts->excludes(check)->excludes(simulate)->excludes(history);
    check->excludes(simulate)->excludes(history);
    simulate->excludes(history);
    noLog->excludes(log)->excludes(history);

    const std::vector<std::string> given = tamsivo::cli::PlatformText::Arguments(argc, argv);
    // Wherever --json stands, a script reads the result object, also of a usage error.
    const bool json = std::any_of(given.begin(), given.end(), [](const std::string& argument) {
        return argument == "--json" || argument == "--json-progress";
    });
    const tamsivo::cli::ResultPrinter printer(json);
    // The parser reads "--port=" as a bare --port and would take the next argument as its
    // value: "--port=$PORT" with PORT unset must not turn the package name into a port name.
    // As an option and an empty value, it is refused in the words of --port "".
    std::vector<std::string> arguments;
    for (const std::string& argument : given) {
        if (argument.size() > 3 && argument.rfind("--", 0) == 0 &&
            argument.find('=') == argument.size() - 1) {
            arguments.push_back(argument.substr(0, argument.size() - 1));
            arguments.emplace_back();
        } else {
            arguments.push_back(argument);
        }
    }
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::Success& e) {
        return app.exit(e); // --help, --version
    } catch (const CLI::ParseError& e) {
        return printer.Usage(e.what());
    }
    if (history->count() != 0) {
        // The parser validates no empty value.
        const std::vector<std::string>& values = history->results();
        if (std::find(values.begin(), values.end(), std::string()) != values.end()) {
            return printer.Usage("--history: " + NotAWholeNumber(1, kMaxHistory, ""));
        }
        options.history = newest;
    }
    // One device in two spellings would fail on its own claim, as if another program held it.
    std::vector<std::string> devices;
    for (std::size_t i = 0; i < options.ports.size(); ++i) {
        devices.push_back(DeviceOf(options.ports[i]));
        for (std::size_t j = 0; j < i; ++j) {
            if (devices[j] == devices[i]) {
                return printer.Usage("the port " + options.ports[i] + " is named twice");
            }
        }
    }
    if (options.ports.size() > tamsivo::cli::CancelHandler::kMaxRuns) {
        return printer.Usage("at most " + std::to_string(tamsivo::cli::CancelHandler::kMaxRuns) +
                     " ports at once");
    }
    options.json = options.json || options.jsonProgress;
    std::transform(options.expectedSha256.begin(), options.expectedSha256.end(),
                   options.expectedSha256.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (options.simulate) {
        std::string error;
        if (!tamsivo::cli::SimulatedAdapter::Validate(options.simulation, &error)) {
            return printer.Usage(error);
        }
    }
    try {
        return tamsivo::cli::FlashCommand(std::move(options)).Execute();
    } catch (const std::exception& e) {
        // A script with --json reads the result object of this end too; main() says it in words.
        if (json) {
            tamsivo::cli::CliResult failure;
            failure.end = tamsivo::cli::EndOf(tamsivo::Outcome::InternalError);
            failure.message = std::string("internal error: ") + e.what();
            printer.Print(failure);
        }
        throw;
    }
}

} // namespace

int main(int argc, char** argv) {
    tamsivo::cli::CancelHandler::StopQuitsBeforeTheRuns();
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        Console::Write(stderr, std::string("tamsivo-flash: internal error: ") + e.what() + '\n');
    } catch (...) {
        Console::Write(stderr, "tamsivo-flash: internal error\n");
    }
    return tamsivo::cli::EndOf(tamsivo::Outcome::InternalError).code;
}
