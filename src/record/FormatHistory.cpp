#include "record/FormatHistory.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace tamsivo {
namespace {

constexpr std::size_t kColumns = 7;
using Row = std::array<std::string, kColumns>;

constexpr std::array<bool, kColumns> kRightAligned = {false, false, false, false, true, true, true};

// A line end or an escape sequence in a file name would break the table or the terminal.
std::string Printable(std::string text) {
    std::replace_if(
        text.begin(), text.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }, '?');
    return text;
}

// Characters rather than bytes: a Cyrillic letter takes two bytes and one column.
std::size_t CodePoints(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Not printf: a program that took the user's locale would write a decimal comma.
std::string OneDecimal(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return std::string(text, result.ptr);
}

} // namespace

std::string FormatHistory(const std::vector<RunRecord>& records) {
    std::vector<Row> rows{{"Time", "Outcome", "Package", "Port", "Bytes", "Seconds", "Frames"}};
    for (const RunRecord& record : records) {
        rows.push_back({Printable(record.time), Printable(record.outcome),
                        Printable(record.package), Printable(record.port),
                        std::to_string(record.sent), OneDecimal(record.seconds),
                        std::to_string(record.frames)});
    }
    std::array<std::size_t, kColumns> widths{};
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < kColumns; ++i) {
            widths[i] = std::max(widths[i], CodePoints(row[i]));
        }
    }
    std::string table;
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < kColumns; ++i) {
            const std::string padding(widths[i] - CodePoints(row[i]), ' ');
            table += i == 0 ? "" : "  ";
            table += kRightAligned[i] ? padding + row[i] : row[i] + padding;
        }
        table += '\n';
    }
    return table;
}

} // namespace tamsivo
