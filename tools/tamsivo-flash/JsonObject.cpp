#include "JsonObject.h"

#include <cstdio>

namespace tamsivo::cli {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80; // the range of the first continuation byte
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

// UTF-8 passes through as it is; JSON needs escapes only for quotes, backslashes and
// control characters. A byte that is not UTF-8 (a file name from a system that spells names
// in another code page) becomes U+FFFD, so that every line stays valid JSON.
void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        const char c = text[i++];
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
