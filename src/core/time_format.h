#pragma once

#include <string>

#include "platform/clock.h"

namespace bf {

std::string TwoDigits(int value);
std::string FormatTime(const LocalTime& t);          // HH:MM:SS
std::string FormatDateYMD(const LocalTime& t);       // YYYY-MM-DD
std::string FormatDateMDY(const LocalTime& t);       // MM-DD-YYYY
std::string FormatDateDMY(const LocalTime& t);       // DD-MM-YYYY
std::string FormatDateYDM(const LocalTime& t);       // YYYY-DD-MM
std::string FormatBillingStamp(const LocalTime& t);  // YYYYMMDD-HHMMSS

}  // namespace bf
