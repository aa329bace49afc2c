#include "DriverReport.h"

#include "HexText.h"

#include <sstream>

namespace tamsivo::test {

DriverReport::DriverReport(const std::string& output) {
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t space = line.find(' ');
        if (space == std::string::npos) {
            continue;
        }
        const std::string label = line.substr(0, space);
        std::string value = line.substr(space + 1);
        if (label == "error") {
            error_ = value;
            continue;
        }
        const std::size_t comment = value.find("  # ");
        if (comment != std::string::npos) {
            value.resize(comment);
        }
        values_[label] = value;
    }
}

bool DriverReport::Has(const std::string& label) const {
    return values_.count(label) != 0;
}

std::string DriverReport::Value(const std::string& label) const {
    const auto found = values_.find(label);
    return found == values_.end() ? std::string() : found->second;
}

std::string DriverReport::Text(const std::string& label) const {
    if (!Has(label)) {
        return "<missing>";
    }
    std::string bytes;
    if (!FromHex(Value(label), &bytes)) {
        return "<not hexadecimal>";
    }
    return bytes;
}

std::string DriverReport::Error() const {
    return error_;
}

} // namespace tamsivo::test
