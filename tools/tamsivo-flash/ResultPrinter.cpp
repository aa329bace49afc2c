#include "ResultPrinter.h"

#include "Console.h"
#include "JsonLine.h"
#include "PortListing.h"
#include "record/FormatHistory.h"

namespace tamsivo::cli {

int ResultPrinter::Print(const CliResult& result) const {
    const int status = result.end.code;
    if (json_) {
        std::string lines;
        if (result.records) {
            for (const RunRecord& record : *result.records) {
                lines += RunRecordToJsonLine(record);
            }
        }
        Json json{{"result", result.end.key},
                  {"exit_code", status},
                  {"caption", result.caption},
                  {"message", result.message}};
        if (!result.package.empty()) {
            json["package"] = result.package;
        }
        if (!result.port.empty()) {
            json["port"] = result.port;
        }
        if (!result.sha256.empty()) {
            json["sha256"] = result.sha256;
        }
        if (!result.expectedSha256.empty()) {
            json["expected_sha256"] = result.expectedSha256;
        }
        json["bytes"] = result.bytes;
        json["frames"] = result.frames;
        if (result.sent) {
            json["sent"] = *result.sent;
        }
        json["seconds"] = Milliseconds(result.seconds);
        if (result.reason) {
            json["reason"] = *result.reason;
        }
        if (result.portProblem) {
            json["reason"] = result.portProblem->reason;
            if (!result.portProblem->remedy.empty()) {
                json["remedy"] = result.portProblem->remedy;
            }
        }
        if (result.offset) {
            json["offset"] = *result.offset;
        }
        if (result.packages) {
            json["packages"] = *result.packages;
        }
        if (result.ports) {
            json["ports"] = Json::array();
            for (const SerialPortInfo& port : *result.ports) {
                json["ports"].push_back(PortObject(port));
            }
        }
        if (result.records) {
            json["records"] = result.records->size();
        }
        Console::Write(stdout, lines + JsonLine(json));
        return status;
    }

    std::string text;
    if (!result.caption.empty()) {
        text =
            (labelled_ ? result.port + ": " : "") + result.caption + ": " + result.message + '\n';
    } else if (!result.message.empty()) {
        text = (result.end.Succeeded() ? "" : "tamsivo-flash: ") + result.message + '\n';
    }
    if (result.portProblem) {
        text += "  " + result.port + ": " + result.portProblem->reason + '\n';
        if (!result.portProblem->remedy.empty()) {
            text += "  to do: " + result.portProblem->remedy + '\n';
        }
    }
    if (result.ports) {
        text += PortTable(*result.ports);
    }
    if (result.records) {
        text += FormatHistory(*result.records);
    }
    Console::Write(result.end.Succeeded() ? stdout : stderr, text);
    return status;
}

int ResultPrinter::Usage(const std::string& message) const {
    Console::Write(stderr, "tamsivo-flash: " + message + "\nRun tamsivo-flash --help for usage.\n");
    if (json_) {
        CliResult result;
        result.end = kUsage;
        result.message = message;
        Print(result);
    }
    return kUsage.code;
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
    Json outcomes = Json::array();
    for (const CliResult& result : results) {
        labelled.Print(result);
        if (result.end.Succeeded()) {
            ++done;
        } else if (firstFailure == nullptr) {
            firstFailure = &result;
        }
        summary += "  " + result.port + "  " + result.end.key + '\n';
        outcomes.push_back(Json{{"port", result.port},
                                {"result", result.end.key},
                                {"exit_code", result.end.code}});
    }
    const CliEnd end = firstFailure == nullptr ? EndOf(Outcome::Done) : firstFailure->end;
    if (json_) {
        Console::Write(stdout, JsonLine(Json{{"result", end.key},
                                             {"exit_code", end.code},
                                             {"flashed", done},
                                             {"outcomes", outcomes}}));
    } else {
        Console::Write(end.Succeeded() ? stdout : stderr,
                       std::to_string(done) + " of " + std::to_string(results.size()) +
                           " ports flashed:\n" + summary);
    }
    return end.code;
}

} // namespace tamsivo::cli
