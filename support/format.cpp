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

// --- DOS dates ---------------------------------------------------------------

// 1980-01-01, the first DOS date, as a date value (days since 1899-12-30).
enum : int32_t { FirstDosDay = 29221 };

double DosToDateValue(uint32_t dos) {
  // Days of the year before each month, in a year without 29 February.
  static const uint16_t daysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  static const uint8_t lengths[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int32_t years = static_cast<int32_t>(dos >> 25);  // since 1980: 0 to 127
  int32_t month = static_cast<int32_t>((dos >> 21) & 15);
  int32_t day = static_cast<int32_t>((dos >> 16) & 31);
  int32_t hour = static_cast<int32_t>((dos >> 11) & 31);
  int32_t minute = static_cast<int32_t>((dos >> 5) & 63);
  int32_t second = static_cast<int32_t>(dos & 31) * 2;
  // Of the years DOS dates reach, 1980 to 2107, every fourth is a leap year
  // from 1980 on but 2100, which the Gregorian calendar leaves out.
  bool leap = years % 4 == 0 && years != 120;
  int32_t days = 0, seconds = 0;
  if (month >= 1 && month <= 12 && day >= 1 && day <= lengths[month - 1] && (month != 2 || day <= 28 || leap))
    days = FirstDosDay + years * 365 + (years + 3) / 4 - (years > 120) + daysBefore[month - 1] +
           (month > 2 && leap) + day - 1;
  if (hour <= 23 && minute <= 59 && second <= 59) seconds = hour * 3600 + minute * 60 + second;
  return days + seconds / 86400.0;
}

// The pattern is not read: dates are shown as the user's system shows them.
void FormatDateValue(const char*, double value, char* result, unsigned room) { DateTimeText(value, result, room); }
