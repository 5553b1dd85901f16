#include "core/time_format.h"

#include <cstdio>

namespace bf {

// Every stamp of the log and the records is made of these: a title flood
// makes thousands a second.
std::string TwoDigits(int value) {
    if (value >= 0 && value < 100)
        return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", value);
    return buf;
}

static std::string Year(const LocalTime& t) {
    if (t.year >= 1000 && t.year <= 9999) return std::to_string(t.year);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", t.year);
    return buf;
}

std::string FormatTime(const LocalTime& t) {
    return TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}
std::string FormatDateYMD(const LocalTime& t) {
    return Year(t) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day);
}
std::string FormatDateMDY(const LocalTime& t) {
    return TwoDigits(t.month) + "-" + TwoDigits(t.day) + "-" + Year(t);
}
std::string FormatDateDMY(const LocalTime& t) {
    return TwoDigits(t.day) + "-" + TwoDigits(t.month) + "-" + Year(t);
}
std::string FormatDateYDM(const LocalTime& t) {
    return Year(t) + "-" + TwoDigits(t.day) + "-" + TwoDigits(t.month);
}
std::string FormatBillingStamp(const LocalTime& t) {
    return Year(t) + TwoDigits(t.month) + TwoDigits(t.day) + "-" + TwoDigits(t.hour) + TwoDigits(t.minute) +
           TwoDigits(t.second);
}

}  // namespace bf
