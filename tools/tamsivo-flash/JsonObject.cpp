#include "JsonObject.h"

#include <cstdio>

namespace tamsivo::cli {
namespace {

// UTF-8 passes through as it is; JSON needs escapes only for quotes, backslashes and
// control characters.
void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

} // namespace

void JsonObject::Key(std::string_view key) {
    if (!members_.empty()) {
        members_ += ',';
    }
    AppendQuoted(members_, key);
    members_ += ':';
}

JsonObject& JsonObject::String(std::string_view key, std::string_view utf8) {
    Key(key);
    AppendQuoted(members_, utf8);
    return *this;
}

JsonObject& JsonObject::Integer(std::string_view key, std::int64_t value) {
    Key(key);
    members_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Real(std::string_view key, double value) {
    Key(key);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    members_ += text;
    return *this;
}

JsonObject& JsonObject::Strings(std::string_view key, const std::vector<std::string>& utf8) {
    Key(key);
    members_ += '[';
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (i != 0) {
            members_ += ',';
        }
        AppendQuoted(members_, utf8[i]);
    }
    members_ += ']';
    return *this;
}

std::string JsonObject::Line() const {
    return '{' + members_ + "}\n";
}

} // namespace tamsivo::cli
