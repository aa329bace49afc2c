#include "record/LocalTime.h"

#include <cmath>

#include <windows.h>

namespace tamsivo {
namespace {

long long Ticks(const FILETIME& time) { // 100-nanosecond units
    return static_cast<long long>(ULONGLONG{time.dwHighDateTime} << 32 | time.dwLowDateTime);
}

} // namespace

std::string LocalTimeNow() {
    // The system's own zone and daylight-saving rules rather than the C library's, which
    // knows only what the TZ variable says.
    FILETIME utcTime;
    ::GetSystemTimeAsFileTime(&utcTime);
    SYSTEMTIME utc;
    SYSTEMTIME local;
    FILETIME localTime;
    if (!::FileTimeToSystemTime(&utcTime, &utc) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
        !::SystemTimeToFileTime(&local, &localTime)) {
        return {};
    }
    // The conversions keep milliseconds only: the difference is whole minutes within a
    // millisecond.
    const long long offsetMinutes =
        std::llround(static_cast<double>(Ticks(localTime) - Ticks(utcTime)) / 600'000'000.0);
    return FormatLocalTime(local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute,
                           local.wSecond, static_cast<int>(offsetMinutes));
}

} // namespace tamsivo
