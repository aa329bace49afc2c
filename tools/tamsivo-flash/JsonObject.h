#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tamsivo::cli {

// One JSON object written as a single line, members in the order they were added.
class JsonObject {
public:
    JsonObject& String(std::string_view key, std::string_view utf8);
    JsonObject& Integer(std::string_view key, std::int64_t value);
    JsonObject& Real(std::string_view key, double value);
    JsonObject& Strings(std::string_view key, const std::vector<std::string>& utf8);

    // The object and a newline.
    std::string Line() const;

private:
    void Key(std::string_view key);

    std::string members_;
};

} // namespace tamsivo::cli
