#pragma once

#include "record/RunRecord.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tamsivo {

// The run log: one JSON line per run (RunRecordToJsonLine), appended by every Tamsivo program
// of the user, read back for the history.
class RunLog {
public:
    explicit RunLog(std::filesystem::path path);

    const std::filesystem::path& Path() const { return path_; }

    // Appends the record as one line, creating missing folders, and returns once it is on the
    // disk. Threads and other processes appending at the same time never split a line. False
    // with the reason (UTF-8) in `error`, which may be null; never throws.
    bool Append(const RunRecord& record, std::string* error);

    // The newest `n` records, oldest first. Lines that are no record (malformed, foreign, cut
    // short by a crash) are skipped; a missing file holds no records. `error` (may be null) is
    // emptied, or says why the file could not be read, the records read until then returned.
    // Never throws.
    std::vector<RunRecord> Last(std::size_t n, std::string* error) const;

    // DefaultRunLogPath().
    static std::filesystem::path DefaultPath();

private:
    std::filesystem::path path_;
};

} // namespace tamsivo
