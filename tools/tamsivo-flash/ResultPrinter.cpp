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
        text = result.caption + ": " + result.message + '\n';
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

} // namespace tamsivo::cli
