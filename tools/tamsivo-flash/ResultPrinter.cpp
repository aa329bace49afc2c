#include "ResultPrinter.h"

#include "Console.h"
#include "JsonObject.h"

namespace tamsivo::cli {

int ResultPrinter::Print(const CliResult& result) const {
    const int status = static_cast<int>(result.code);
    if (json_) {
        JsonObject json;
        json.String("result", result.result.empty() ? ResultName(result.code) : result.result)
            .Integer("exit_code", status)
            .String("caption", result.caption)
            .String("message", result.message);
        if (!result.package.empty()) {
            json.String("package", result.package);
        }
        if (!result.port.empty()) {
            json.String("port", result.port);
        }
        json.Integer("bytes", result.bytes).Integer("frames", result.frames);
        if (result.sent) {
            json.Integer("sent", *result.sent);
        }
        json.Real("seconds", result.seconds);
        if (result.reason) {
            json.Integer("reason", *result.reason);
        }
        if (result.offset) {
            json.Integer("offset", static_cast<std::int64_t>(*result.offset));
        }
        if (result.packages) {
            json.Strings("packages", *result.packages);
        }
        if (result.ports) {
            json.Strings("ports", *result.ports);
        }
        Console::Write(stdout, json.Line());
        return status;
    }

    std::string text;
    if (!result.caption.empty()) {
        text =
            (labelled_ ? result.port + ": " : "") + result.caption + ": " + result.message + '\n';
    } else if (!result.message.empty()) {
        text = (result.code == ExitCode::Success ? "" : "tamsivo-flash: ") + result.message + '\n';
    }
    if (result.ports) {
        for (const std::string& port : *result.ports) {
            text += port + '\n';
        }
    }
    Console::Write(result.code == ExitCode::Success ? stdout : stderr, text);
    return status;
}

int ResultPrinter::PrintAll(const std::vector<CliResult>& results) const {
    if (results.size() == 1) {
        return Print(results.front());
    }
    ResultPrinter labelled(json_);
    labelled.labelled_ = true;
    const CliResult* firstFailure = nullptr;
    std::size_t done = 0;
    std::string summary;
    std::vector<std::string> outcomes;
    for (const CliResult& result : results) {
        labelled.Print(result);
        const char* name = result.result.empty() ? ResultName(result.code) : result.result.c_str();
        if (result.code == ExitCode::Success) {
            ++done;
        } else if (firstFailure == nullptr) {
            firstFailure = &result;
        }
        summary += "  " + result.port + "  " + name + '\n';
        outcomes.push_back(result.port + ' ' + name);
    }
    const ExitCode code = firstFailure == nullptr ? ExitCode::Success : firstFailure->code;
    if (json_) {
        JsonObject json;
        json.String("result", ResultName(code))
            .Integer("exit_code", static_cast<int>(code))
            .Integer("flashed", static_cast<std::int64_t>(done))
            .Integer("ports", static_cast<std::int64_t>(results.size()))
            .Strings("outcomes", outcomes);
        Console::Write(stdout, json.Line());
    } else {
        Console::Write(code == ExitCode::Success ? stdout : stderr,
                       std::to_string(done) + " of " + std::to_string(results.size()) +
                           " ports flashed:\n" + summary);
    }
    return static_cast<int>(code);
}

} // namespace tamsivo::cli
