// Number and date formatting: the "%d" pattern, DOS date-time to a date
// value (days since 1899-12-30, the time of day as the fraction), and the
// date value as text, which the platform writes in the user's own long date
// and time formats.
#include "support/format.h"
#include "platform/platform.h"

// value / 10, with the remainder returned: in 16-bit steps, so that the
// stub needs no 64-bit division routine.
static uint32_t DivideByTen(uint64_t* value) {
  uint64_t quotient = 0;
  uint32_t rest = 0;
  for (int shift = 48; shift >= 0; shift -= 16) {
    uint32_t part = rest << 16 | (static_cast<uint32_t>(*value >> shift) & 0xFFFF);
    quotient = quotient << 16 | part / 10;
    rest = part % 10;
  }
  *value = quotient;
  return rest;
}

// The decimal digits of value after an optional sign.
static void WriteDecimal(bool negative, uint64_t value, char* result) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + DivideByTen(&value));
  } while (value != 0);
  if (negative) *result++ = '-';
  while (n > 0) *result++ = digits[--n];
  *result = 0;
}

void FormatSigned(int32_t value, char* result) {
  // The magnitude in unsigned arithmetic, so that -2147483648 has one too.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  WriteDecimal(value < 0, magnitude, result);
}

void FormatUnsigned(uint64_t value, char* result) { WriteDecimal(false, value, result); }

// --- Calendar ----------------------------------------------------------------

static const int32_t MillisecondsPerDay = 86400000;

static bool IsLeapYear(int32_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

static int32_t DaysInMonth(int32_t year, int32_t month) {
  static const uint8_t lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return lengths[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

// Days from 0001-01-01 (day 0) to the given date of the Gregorian calendar.
static int32_t DaysSinceYearOne(int32_t year, int32_t month, int32_t day) {
  int32_t y = year - 1;
  int32_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int32_t m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

// 1899-12-30, day 0 of a date value, counted from 0001-01-01.
enum : int32_t { DateValueEpoch = 693593 };

double DosToDateValue(uint32_t dos) {
  int32_t year = static_cast<int32_t>(dos >> 25) + 1980;
  int32_t month = static_cast<int32_t>((dos >> 21) & 15);
  int32_t day = static_cast<int32_t>((dos >> 16) & 31);
  int32_t hour = static_cast<int32_t>((dos >> 11) & 31);
  int32_t minute = static_cast<int32_t>((dos >> 5) & 63);
  int32_t second = static_cast<int32_t>(dos & 31) * 2;
  double value = 0;
  if (month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month))
    value = DaysSinceYearOne(year, month, day) - DateValueEpoch;
  if (hour <= 23 && minute <= 59 && second <= 59)
    value += static_cast<double>(hour * 3600000 + minute * 60000 + second * 1000) / MillisecondsPerDay;
  return value;
}

// The pattern is not read: dates are shown as the user's system shows them.
void FormatDateValue(const char*, double value, char* result, unsigned room) { DateTimeText(value, result, room); }
