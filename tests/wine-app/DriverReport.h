#pragma once

#include <map>
#include <string>

namespace tamsivo::test {

// The report lines of one run of the application driver: "<label> <value>  # comment".
// Texts arrive as hexadecimal Windows-1251 bytes and are handed out as those bytes.
class DriverReport {
public:
    explicit DriverReport(const std::string& output);

    bool Has(const std::string& label) const;
    // The raw value; empty when the label is missing.
    std::string Value(const std::string& label) const;
    // The value decoded from hexadecimal; "<missing>" or "<not hexadecimal>" when it is not
    // one, which no expected text equals.
    std::string Text(const std::string& label) const;
    // The driver's reason when a command failed, else empty.
    std::string Error() const;

private:
    std::map<std::string, std::string> values_;
    std::string error_;
};

} // namespace tamsivo::test
