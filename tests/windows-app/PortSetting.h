#pragma once

#include <string>

namespace tamsivo::test {

// The one value the program keeps between runs: the string "Port" under
// HKEY_CURRENT_USER\Software\TORVIK\<program name>\Tamsivo. Texts are Windows-1251.
class PortSetting {
public:
    explicit PortSetting(const std::string& programName);

    // False with `present` false when there is no such value.
    bool Read(std::string* value, bool* present, std::string* error) const;
    bool Write(const std::string& value, std::string* error) const;
    // Removes the program's whole settings key, as on a machine that never ran it.
    bool Forget(std::string* error) const;

private:
    std::wstring programKey_; // Software\TORVIK\<program name>
};

} // namespace tamsivo::test
