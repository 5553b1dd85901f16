#include "core/time_format.h"

#include <cstdio>

namespace bf {

std::string TwoDigits(int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", value);
    return buf;
}

static std::string Year(const LocalTime& t) {
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
