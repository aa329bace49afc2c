#pragma once

#include <string>

namespace tamsivo {

// The local date and time now, ISO 8601 with the offset from UTC, e.g.
// "2026-12-07T14:03:12+03:00"; empty when the system cannot tell.
std::string LocalTimeNow();

// That text for the given local fields and offset; both platforms' halves format with it.
std::string FormatLocalTime(int year, int month, int day, int hour, int minute, int second,
                            int offsetMinutes);

} // namespace tamsivo
