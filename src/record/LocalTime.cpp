#include "record/LocalTime.h"

#include <cstdio>
#include <cstdlib>

namespace tamsivo {

std::string FormatLocalTime(int year, int month, int day, int hour, int minute, int second,
                            int offsetMinutes) {
    const int offset = std::abs(offsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", year, month, day,
                  hour, minute, second, offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

} // namespace tamsivo
