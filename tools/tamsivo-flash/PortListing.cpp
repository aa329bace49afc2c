#include "PortListing.h"

#include "PlatformText.h"

#include <algorithm>
#include <utility>

namespace tamsivo::cli {
namespace {

const char* StateWord(PortState state) {
    switch (state) {
    case PortState::Free:
        return "free";
    case PortState::Busy:
        return "busy";
    case PortState::NoPermission:
        return "no permission";
    }
    return "unknown";
}

} // namespace

Json PortObject(const SerialPortInfo& port) {
    Json json{{"port", port.name},
              {"state", StateWord(port.state)},
              {"usb", port.usb},
              {"console", port.console}};
    const std::pair<const char*, const std::string*> facts[] = {
        {"holder", &port.holder},
        {"friendly_name", &port.friendlyName},
        {"vendor_id", &port.vendorId},
        {"product_id", &port.productId},
        {"manufacturer", &port.manufacturer},
        {"product", &port.product},
        {"serial", &port.serial}};
    for (const auto& [name, value] : facts) {
        if (!value->empty()) {
            json[name] = *value;
        }
    }
    if (port.latencyTimerMs) {
        json["latency_timer_ms"] = *port.latencyTimerMs;
    }
    return json;
}

std::string PortTable(const std::vector<SerialPortInfo>& ports) {
    std::size_t width = 0;
    for (const SerialPortInfo& port : ports) {
        width = std::max(width, port.name.size());
    }
    std::string text;
    for (const SerialPortInfo& port : ports) {
        std::string line = port.name + std::string(width + 2 - port.name.size(), ' ');
        line += StateWord(port.state);
        if (!port.holder.empty()) {
            line += " (" + port.holder + ")";
        }
        if (port.console) {
            line += ", system console";
        }
        if (!port.friendlyName.empty()) {
            line += "  " + port.friendlyName;
        }
        if (!port.vendorId.empty() || !port.productId.empty()) {
            line += "  " + port.vendorId + ":" + port.productId;
        }
        for (const std::string* fact : {&port.manufacturer, &port.product}) {
            if (!fact->empty()) {
                line += "  " + *fact;
            }
        }
        if (!port.serial.empty()) {
            line += "  serial " + port.serial;
        }
        if (port.latencyTimerMs) {
            line += "  latency timer " + std::to_string(*port.latencyTimerMs) + " ms";
        }
        text += line + '\n';
    }
    return text;
}

std::string NoFreePort(const std::vector<SerialPortInfo>& ports) {
    std::string unusable;
    for (const SerialPortInfo& port : ports) {
        if (!port.console) {
            unusable += (unusable.empty() ? "" : ", ") + PlatformText::NameFromEngine(port.name) +
                        (port.state == PortState::Busy ? " is in use" : " is not yours to use");
        }
    }
    return unusable.empty() ? "no free serial port found; connect the adapter or name a port with "
                              "--port (tamsivo-flash --list-ports shows them all)."
                            : "no free serial port: " + unusable + '.';
}

} // namespace tamsivo::cli
