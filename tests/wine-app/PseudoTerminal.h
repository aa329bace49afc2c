#pragma once

#include <string>

namespace tamsivo::test {

// A serial port for the program under Wine: the harness keeps the master side open, Wine opens
// the slave through a COM link. Nothing answers on it; it only has to open.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The slave is made accessible to every user: Wine may run under another user than the
    // harness, and the system gives a new terminal to its creator alone.
    bool Open(std::string* error);

    const std::string& SlavePath() const { return slavePath_; }

private:
    int master_ = -1;
    std::string slavePath_;
};

} // namespace tamsivo::test
