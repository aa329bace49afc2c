#pragma once

#include <nlohmann/json.hpp>

#include <cmath>
#include <string>

namespace tamsivo::cli {

// The flasher's JSON output: members in the order they were added.
using Json = nlohmann::ordered_json;

// The object on one line. A byte that is not UTF-8 (a file name from an older system) becomes
// U+FFFD rather than failing the output.
inline std::string JsonLine(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace) + '\n';
}

// Seconds to the millisecond: the rest is noise, and a reader wants "12.345", not 17 digits.
inline double Milliseconds(double seconds) {
    return std::round(seconds * 1000) / 1000;
}

} // namespace tamsivo::cli
