#include "engine/entry.h"

#include <cstdio>

namespace kx {

std::string FormatDate(const DateTime& dt) {
  if (dt.year == 0) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", dt.day, dt.month, dt.year);
  return buf;
}

std::string FormatTime(const DateTime& dt) {
  if (dt.year == 0) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", dt.hour, dt.minute, dt.second);
  return buf;
}

DateTime FromDosDateTime(std::uint16_t dosDate, std::uint16_t dosTime) {
  DateTime dt;
  dt.day = dosDate & 0x1f;
  dt.month = (dosDate >> 5) & 0x0f;
  dt.year = 1980 + (dosDate >> 9);
  dt.second = (dosTime & 0x1f) * 2;
  dt.minute = (dosTime >> 5) & 0x3f;
  dt.hour = dosTime >> 11;
  // A zero or impossible date field is "no date", not 00.00.1980.
  if (dt.day == 0 || dt.month == 0 || dt.month > 12) return DateTime{};
  return dt;
}

std::time_t ToLocalTime(const DateTime& dt) {
  if (dt.year == 0) return -1;
  std::tm tm{};
  tm.tm_year = dt.year - 1900;
  tm.tm_mon = dt.month - 1;
  tm.tm_mday = dt.day;
  tm.tm_hour = dt.hour;
  tm.tm_min = dt.minute;
  tm.tm_sec = dt.second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

}  // namespace kx
