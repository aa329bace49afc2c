#include "record/RunRecord.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <limits>

namespace tamsivo {
namespace {

using nlohmann::json;
using ordered = nlohmann::ordered_json;

bool ReadText(const json& object, const char* key, std::string* out) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) {
        return false;
    }
    *out = it->get_ref<const std::string&>();
    return true;
}

// A count that must fit `T`; a negative or fractional number is no count.
template <typename T> bool ReadCount(const json& value, T* out) {
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > std::numeric_limits<T>::max()) {
        return false;
    }
    *out = static_cast<T>(value.get<std::uint64_t>());
    return true;
}

template <typename T> bool ReadCount(const json& object, const char* key, T* out) {
    const auto it = object.find(key);
    return it != object.end() && ReadCount(*it, out);
}

bool ReadAnswers(const json& object, std::vector<AnswerAt>* out) {
    const auto it = object.find("answers");
    if (it == object.end()) {
        return true;
    }
    if (!it->is_array()) {
        return false;
    }
    for (const json& item : *it) {
        AnswerAt answer{};
        std::string hex;
        if (!item.is_object() || !ReadCount(item, "ms", &answer.ms) ||
            !ReadText(item, "byte", &hex) || hex.size() != 2) {
            return false;
        }
        const auto [end, error] =
            std::from_chars(hex.data(), hex.data() + hex.size(), answer.answer, 16);
        if (error != std::errc() || end != hex.data() + hex.size()) {
            return false;
        }
        out->push_back(answer);
    }
    return true;
}

} // namespace

std::string RunRecordToJsonLine(const RunRecord& record) {
    // Members in a fixed order, so that a person reading the file finds each in its place.
    ordered object;
    object["time"] = record.time;
    object["program"] = record.program;
    object["package"] = record.package;
    object["package_bytes"] = record.packageBytes ? ordered(*record.packageBytes) : ordered();
    object["sha256"] = record.sha256.empty() ? ordered() : ordered(record.sha256);
    object["port"] = record.port;
    object["outcome"] = record.outcome;
    if (!record.reason.empty()) {
        object["reason"] = record.reason;
    }
    object["frames"] = record.frames;
    object["resends"] = record.resends;
    object["waits"] = record.waits;
    object["sent"] = record.sent;
    // JSON has no infinity or NaN: they would be written as null and the line no longer read.
    object["seconds"] = std::isfinite(record.seconds) ? record.seconds : 0.0;
    if (!record.lastAnswers.empty()) {
        ordered answers = ordered::array();
        for (const AnswerAt& answer : record.lastAnswers) {
            static constexpr char kDigits[] = "0123456789ABCDEF";
            const char hex[] = {kDigits[answer.answer >> 4], kDigits[answer.answer & 0xF], '\0'};
            ordered item;
            item["ms"] = answer.ms;
            item["byte"] = hex;
            answers.push_back(std::move(item));
        }
        object["answers"] = std::move(answers);
    }
    // A file name from a system that spells names in another code page is no UTF-8; it must
    // not cost the record.
    return object.dump(-1, ' ', false, ordered::error_handler_t::replace) + '\n';
}

std::optional<RunRecord> RunRecordFromJsonLine(std::string_view line) {
    const json object = json::parse(line.begin(), line.end(), nullptr, false);
    if (!object.is_object()) {
        return std::nullopt;
    }
    RunRecord record;
    const auto bytes = object.find("package_bytes");
    const auto sha256 = object.find("sha256");
    const auto seconds = object.find("seconds");
    if (!ReadText(object, "time", &record.time) || !ReadText(object, "program", &record.program) ||
        !ReadText(object, "package", &record.package) || !ReadText(object, "port", &record.port) ||
        !ReadText(object, "outcome", &record.outcome) ||
        !ReadCount(object, "frames", &record.frames) ||
        !ReadCount(object, "resends", &record.resends) ||
        !ReadCount(object, "waits", &record.waits) || !ReadCount(object, "sent", &record.sent) ||
        seconds == object.end() || !seconds->is_number() ||
        !ReadAnswers(object, &record.lastAnswers)) {
        return std::nullopt;
    }
    record.seconds = seconds->get<double>();
    if (bytes != object.end() && !bytes->is_null()) {
        std::uint64_t value = 0;
        if (!ReadCount(*bytes, &value)) {
            return std::nullopt;
        }
        record.packageBytes = value;
    }
    if (object.contains("reason") && !ReadText(object, "reason", &record.reason)) {
        return std::nullopt;
    }
    if (sha256 != object.end() && !sha256->is_null()) {
        if (!ReadText(object, "sha256", &record.sha256)) {
            return std::nullopt;
        }
    }
    return record;
}

} // namespace tamsivo
