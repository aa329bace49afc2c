#include "BkSimulator.h"

#include <CLI/CLI.hpp>
#include <csignal>
#include <iostream>
#include <pthread.h>
#include <string>
#include <vector>

namespace {

using tamsivo::sim::BkSimConfig;
using tamsivo::sim::BkSimulator;
using tamsivo::sim::FaultName;

std::vector<std::string> FaultNames(bool takingByte) {
    std::vector<std::string> names;
    for (const FaultName& fault : BkSimulator::FaultNames()) {
        if (!takingByte || fault.takesByte) {
            names.push_back(fault.name);
        }
    }
    return names;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    BkSimConfig config;
    std::string faultName;
    std::string faultAnswer;

    CLI::App app{
        "Plays the K-line adapter and the on-board computer on a pseudo-terminal.\n"
        "Prints the slave's path as the first line, then echoes every byte written to it,\n"
        "cuts the stream into frames (16-bit big-endian length, then that many bytes) and\n"
        "answers each frame with one byte. Serves one host after another until SIGINT or\n"
        "SIGTERM, then prints the number of frames received and accepted.",
        "bksim"};
    app.add_option("--answers", config.answers,
                   "Answers to successive frames, comma separated: hexadecimal bytes or ok "
                   "(= 11). A '*' after the last item repeats it for ever. After the script "
                   "every frame gets ok. An 88 (wait) is followed by the next answer for the "
                   "same frame. Example: 22,22,11,ok*")
        ->type_name("SCRIPT");
    app.add_option("--baud", config.baud,
                   "Pace echo and answers as a line at N baud (10 bit times a byte); 0, the "
                   "default, answers at once")
        ->type_name("N");
    app.add_option("--delay-ms", config.processingDelayMs,
                   "Processing time between a frame's echo and its answer (and between a wait "
                   "and the next answer)")
        ->type_name("N");
    app.add_option("--echo-buffer", config.echoBuffer,
                   "At most N bytes wait to go back to the host; meanwhile the adapter takes no "
                   "more of the host's, as a real adapter with full buffers does (default " +
                       std::to_string(tamsivo::sim::kDefaultEchoBuffer) +
                       "; 0 takes everything at once)")
        ->type_name("N");
    app.add_option("--latency-ms", config.latencyMs,
                   "Pass what comes from the line on to the host as a USB adapter's chip does: " +
                       std::to_string(tamsivo::sim::kUsbPacketData) +
                       " bytes at a time, or fewer once N ms have passed since the first of "
                       "them arrived (FTDI's latency timer, 16 by default there); 0, the "
                       "default, passes each byte on at once")
        ->type_name("N");
    CLI::Option* fault =
        app.add_option("--fault", faultName,
                       "Fault on frame --fault-frame: no-echo (frame swallowed), short-echo "
                       "(echo lacks its last byte, no answer), no-answer (echo, then silence), "
                       "answer (echo, then --fault-answer instead of the script), drop (the "
                       "pseudo-terminal closes while the frame arrives; serving ends), "
                       "early-answer (the answer before the echo's last byte), extra-echo "
                       "(the byte --fault-answer after the echo, then the answer, --fault-delay-ms "
                       "after it at the earliest), noise (the byte --fault-answer 30 ms after the "
                       "answer has reached the host), hang-up (the echo, the byte --fault-answer, "
                       "then the adapter vanishes --fault-delay-ms after passing it on)")
            ->type_name("KIND")
            ->check(CLI::IsMember(FaultNames(false)));
    CLI::Option* faultFrame =
        app.add_option("--fault-frame", config.faultFrame,
                       "The faulty frame's number, counted from 1 over every frame received, "
                       "resends included")
            ->type_name("N")
            ->check(CLI::Range(1u, 0xFFFFFFFFu));
    CLI::Option* faultAnswerOption =
        app.add_option("--fault-answer", faultAnswer,
                       "The byte (hexadecimal) of --fault " + Joined(FaultNames(true)))
            ->type_name("HEX");
    CLI::Option* faultDelay =
        app.add_option("--fault-delay-ms", config.faultDelayMs,
                       "How long after the stray byte of --fault extra-echo the answer comes at "
                       "the earliest, and that of --fault hang-up the adapter vanishes")
            ->type_name("N");
    fault->needs(faultFrame);
    faultFrame->needs(fault);
    faultAnswerOption->needs(fault);
    faultDelay->needs(fault);
    app.add_option("--record", config.recordPath,
                   "Append every accepted frame (length bytes included) to FILE")
        ->type_name("FILE");
    app.add_option("--link", config.linkPath,
                   "Create a symbolic link to the slave at PATH (an existing link is "
                   "replaced), e.g. a Wine prefix's dosdevices/com5; removed on exit")
        ->type_name("PATH");
    // Every usage error ends with 2, CLI11's own refusals as well: 1 is for the terminal.
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e); // --help
    } catch (const CLI::ParseError& e) {
        std::cerr << "bksim: " << e.what() << "\nRun bksim --help for usage.\n";
        return 2;
    }

    // Checked before the terminal is made, whose failures alone end with 1.
    std::vector<std::uint8_t> script;
    bool repeatLast = false;
    if (!BkSimulator::ParseAnswers(config.answers, &script, &repeatLast)) {
        std::cerr << "bksim: --answers: expected comma-separated hexadecimal bytes or ok, '*' "
                     "only on the last, not \""
                  << config.answers << "\"\n";
        return 2;
    }

    const std::optional<FaultName> named = BkSimulator::FindFault(faultName);
    if (named) {
        config.fault = named->fault;
    }
    if (named && named->takesByte) {
        std::vector<std::uint8_t> parsed;
        bool repeat = false;
        if (!BkSimulator::ParseAnswers(faultAnswer, &parsed, &repeat) || parsed.size() != 1 ||
            repeat) {
            std::cerr << "bksim: --fault " << faultName
                      << " needs --fault-answer with one hexadecimal byte\n";
            return 2;
        }
        config.faultAnswer = parsed[0];
    } else if (!faultAnswer.empty()) {
        std::cerr << "bksim: --fault-answer belongs to --fault " << Joined(FaultNames(true))
                  << '\n';
        return 2;
    }

    // The signals are taken by sigwait below; blocked before the serving thread exists so
    // that it inherits the mask and no handler ever runs.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
        std::cerr << "bksim: cannot block SIGINT and SIGTERM\n";
        return 1;
    }

    BkSimulator simulator(config);
    std::string error;
    if (!simulator.Start(&error)) {
        std::cerr << "bksim: " << error << '\n';
        return 1;
    }
    std::cout << simulator.SlavePath() << std::endl;

    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
    simulator.Stop();

    std::cout << "frames received: " << simulator.FramesReceived()
              << ", frames accepted: " << simulator.FramesAccepted() << std::endl;
    const std::string serveError = simulator.ServeError();
    if (!serveError.empty()) {
        std::cerr << "bksim: " << serveError << '\n';
        return 1;
    }
    return 0;
}
