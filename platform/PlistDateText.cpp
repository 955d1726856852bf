#include "platform/PlistDateText.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace platform {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to the civil date (proleptic Gregorian calendar).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

struct Civil {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

Civil civilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned mp = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2), month, day};
}

const std::int64_t kDaysTo2001 = daysFromCivil(2001, 1, 1);
const double kFirstSecond = static_cast<double>((daysFromCivil(1, 1, 1) - kDaysTo2001) * kSecondsPerDay);
const double kEndOfYear9999 =
    static_cast<double>((daysFromCivil(10000, 1, 1) - kDaysTo2001) * kSecondsPerDay);

bool isLeapYear(std::int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

unsigned daysInMonth(std::int64_t year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads exactly `digits` decimal digits at `at`, moving past them.
std::optional<unsigned> number(std::string_view text, size_t& at, size_t digits) {
  if (text.size() < at + digits) return std::nullopt;
  unsigned value = 0;
  for (size_t i = 0; i < digits; ++i) {
    const char c = text[at + i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  at += digits;
  return value;
}

bool consume(std::string_view text, size_t& at, char expected) {
  if (at >= text.size() || text[at] != expected) return false;
  ++at;
  return true;
}

}  // namespace

bool isDateInReadableRange(const PlistDate& date) {
  // Readers count in microseconds: the last readable instant is just before the year 10000.
  return date.secondsSince2001 >= kFirstSecond && date.secondsSince2001 < kEndOfYear9999 - 0.5e-6;
}

std::optional<std::string> dateToXmlText(const PlistDate& date) {
  const double seconds = date.secondsSince2001;
  if (!isDateInReadableRange(date) || seconds != std::floor(seconds)) return std::nullopt;
  const auto total = static_cast<std::int64_t>(seconds) + kDaysTo2001 * kSecondsPerDay;
  const std::int64_t days = (total >= 0 ? total : total - (kSecondsPerDay - 1)) / kSecondsPerDay;
  const std::int64_t inDay = total - days * kSecondsPerDay;
  const Civil civil = civilFromDays(days);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(civil.year),
                civil.month, civil.day, static_cast<int>(inDay / 3600),
                static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
  return std::string(text);
}

std::optional<PlistDate> dateFromXmlText(std::string_view text) {
  size_t at = 0;
  const auto year = number(text, at, 4);
  const bool hasDay = consume(text, at, '-');
  const auto month = number(text, at, 2);
  const bool hasDay2 = consume(text, at, '-');
  const auto day = number(text, at, 2);
  if (!year || !hasDay || !month || !hasDay2 || !day) return std::nullopt;
  unsigned fields[3] = {0, 0, 0};
  if (consume(text, at, 'T')) {
    for (int i = 0; i < 3; ++i) {
      if (i > 0 && !consume(text, at, ':')) break;
      const auto field = number(text, at, 2);
      if (!field) return std::nullopt;
      fields[i] = *field;
    }
  }
  if (!consume(text, at, 'Z') || at != text.size()) return std::nullopt;
  if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) ||
      fields[0] > 23 || fields[1] > 59 || fields[2] > 59) {
    return std::nullopt;
  }
  const std::int64_t days = daysFromCivil(*year, *month, *day) - kDaysTo2001;
  return PlistDate{static_cast<double>(days * kSecondsPerDay + fields[0] * 3600 + fields[1] * 60 +
                                       fields[2])};
}

}  // namespace platform
