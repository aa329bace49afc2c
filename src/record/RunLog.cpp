#include "record/RunLog.h"

#include "record/AppendFile.h"
#include "record/RecordPlatform.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <mutex>
#include <system_error>

namespace tamsivo {
namespace {

namespace fs = std::filesystem;

// Lines are read from the end in pieces of this size.
constexpr std::size_t kPiece = 64 * 1024;
// A record is a few kilobytes at most; a longer line is someone else's and is not kept.
constexpr std::size_t kMaxLine = 1024 * 1024;

void SetError(std::string* error, std::string text) {
    if (error != nullptr) {
        *error = std::move(text);
    }
}

std::string PathText(const fs::path& path) {
    try {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    } catch (const std::exception&) {
        // A Windows name with a lone surrogate has no UTF-8 form.
        return "?";
    }
}

std::string ErrnoText() {
    return std::generic_category().message(errno);
}

// One lock for every log of the process: the system keeps other processes' lines whole, this
// keeps threads' writes and their folder creation from racing on any platform.
std::mutex& AppendLock() {
    static std::mutex lock;
    return lock;
}

// The record of a line. A writer that died mid-line leaves it unfinished, and the next record
// is appended to it: that record is taken from the last place a record begins.
void TakeLine(std::string_view line, std::vector<RunRecord>* newestFirst) {
    std::optional<RunRecord> record = RunRecordFromJsonLine(line);
    const std::size_t start = line.rfind("{\"time\":");
    if (!record && start != std::string_view::npos && start != 0) {
        record = RunRecordFromJsonLine(line.substr(start));
    }
    if (record) {
        newestFirst->push_back(std::move(*record));
    }
}

bool EndsMidLine(const fs::path& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file || file.tellg() <= 0) {
        return false;
    }
    file.seekg(-1, std::ios::end);
    char last = '\n';
    return file.get(last) && last != '\n';
}

} // namespace

RunLog::RunLog(std::filesystem::path path) : path_(std::move(path)) {}

fs::path RunLog::DefaultPath() {
    return DefaultRunLogPath();
}

bool RunLog::Append(const RunRecord& record, std::string* error) {
    try {
        std::string line = RunRecordToJsonLine(record);
        const std::lock_guard<std::mutex> guard(AppendLock());
        if (path_.has_parent_path()) {
            std::error_code code;
            fs::create_directories(path_.parent_path(), code);
            if (code) {
                SetError(error, "cannot create the folder " + PathText(path_.parent_path()) + ": " +
                                    code.message());
                return false;
            }
        }
        AppendFile file;
        std::string reason;
        if (!file.Open(path_, &reason)) {
            SetError(error, "cannot open " + PathText(path_) + ": " + reason);
            return false;
        }
        // What a crash or a full disk cut short stays a line of its own, to be skipped, rather
        // than spoiling the record that follows it.
        if (EndsMidLine(path_)) {
            line.insert(line.begin(), '\n');
        }
        if (!file.Write(line, &reason)) {
            SetError(error, "cannot write " + PathText(path_) + ": " + reason);
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        SetError(error, e.what());
        return false;
    }
}

std::vector<RunRecord> RunLog::Last(std::size_t n, std::string* error) const {
    SetError(error, {});
    std::vector<RunRecord> newestFirst;
    try {
        std::error_code code;
        const fs::file_status status = fs::status(path_, code);
        if (n == 0 || status.type() == fs::file_type::not_found) {
            return {};
        }
        if (code || !fs::is_regular_file(status)) {
            SetError(error, "cannot read " + PathText(path_) + ": " +
                                (code ? code.message() : "not a plain file"));
            return {};
        }
        std::ifstream file(path_, std::ios::binary);
        if (!file.seekg(0, std::ios::end)) {
            SetError(error, "cannot open " + PathText(path_) + ": " + ErrnoText());
            return {};
        }
        // Read backwards a piece at a time; `pending` is the text read but not yet taken, up to
        // the end of the oldest line taken.
        std::streamoff offset = file.tellg();
        std::string pending;
        bool overlong = false; // the line at pending's end was too long and is dropped
        while (newestFirst.size() < n && (offset > 0 || !pending.empty())) {
            if (offset > 0) {
                const auto piece = std::min<std::streamoff>(offset, kPiece);
                offset -= piece;
                std::string text(static_cast<std::size_t>(piece), '\0');
                if (!file.seekg(offset) || !file.read(text.data(), piece)) {
                    SetError(error, "cannot read " + PathText(path_) + ": " + ErrnoText());
                    break;
                }
                pending.insert(0, text);
            }
            std::size_t end = pending.size();
            while (newestFirst.size() < n) {
                const std::size_t newline =
                    end == 0 ? std::string::npos : pending.rfind('\n', end - 1);
                if (newline == std::string::npos && offset > 0) {
                    break; // the line begins in a piece not read yet
                }
                const std::size_t begin = newline == std::string::npos ? 0 : newline + 1;
                if (overlong) {
                    overlong = false;
                } else {
                    TakeLine(std::string_view(pending).substr(begin, end - begin), &newestFirst);
                }
                if (newline == std::string::npos) {
                    end = 0;
                    break;
                }
                end = newline;
            }
            pending.resize(end);
            if (pending.size() > kMaxLine) {
                pending.clear();
                overlong = true;
            }
        }
    } catch (const std::exception& e) {
        SetError(error, e.what());
    }
    std::reverse(newestFirst.begin(), newestFirst.end());
    return newestFirst;
}

} // namespace tamsivo
