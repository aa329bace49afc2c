#pragma once

#include "Trace.h"
#include "flash/SerialLine.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tamsivo::cli {

// A serial line that passes every operation to the platform's line and writes what went
// through into a trace: every chunk of bytes as the system moved it (through the wrapped
// line's tap), and every operation's failure with the system's reason. The run reads the
// wrapped line's reason and counts here, as if it talked to the line itself, and cannot tell
// the difference.
class TraceLine : public SerialLine {
public:
    TraceLine(std::unique_ptr<SerialLine> line, Trace& trace);

    bool Open(const char* devicePath, std::uint32_t baudRate, std::uint32_t timeoutMs) override;
    bool SetTimeouts(std::uint32_t timeoutMs) override;
    bool Purge() override;
    bool Close() override;
    bool Write(const std::uint8_t* data, std::uint32_t count) override;
    bool Read(std::uint8_t* buffer, std::uint32_t count) override;
    EchoCheck WriteEchoed(const std::uint8_t* data, std::uint32_t count,
                          std::uint8_t* echo) override;
    bool BytesWaiting(std::uint32_t* count) override;

private:
    // Takes the wrapped line's reason and counts for the operation that gave `result`.
    template <class Result> Result Took(Result result) {
        lastError_ = line_->LastError();
        transferred_ = line_->LastTransfer();
        return result;
    }
    // Why the last operation ended short: a timeout with its length, else the system's words;
    // empty when `done`.
    std::string Failure(bool done) const;
    // A chunk the wrapped line moved, written as it comes.
    void Chunk(LineDirection direction, const std::uint8_t* bytes, std::uint32_t count);
    // Runs `record`; a trace that cannot even be composed stops, and the run goes on.
    template <class Record> void Note(Record&& record) noexcept {
        try {
            record();
        } catch (...) {
            trace_.Stop("out of memory");
        }
    }

    std::unique_ptr<SerialLine> line_;
    Trace& trace_;
    // While WriteEchoed runs: the bytes it writes, and how many of them have come back.
    const std::uint8_t* echoOf_ = nullptr;
    std::uint32_t echoCount_ = 0;
    std::uint32_t echoed_ = 0;
};

} // namespace tamsivo::cli
