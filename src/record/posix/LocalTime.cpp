#include "record/LocalTime.h"

#include <ctime>

namespace tamsivo {

std::string LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    // localtime_r need not look at TZ again; tzset makes a changed zone count.
    ::tzset();
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) {
        return {};
    }
    return FormatLocalTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min, local.tm_sec, static_cast<int>(local.tm_gmtoff / 60));
}

} // namespace tamsivo
