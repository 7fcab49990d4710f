// Number and date formatting: the two printf patterns the program uses ("%d"
// and "%.*d"), DOS date-time to a date value (days since 1899-12-30, the time
// of day as the fraction), and the pattern-driven date formatter with its
// small set of tokens. The time separator is always ":"; the AMPM words come
// from the message catalogue; the names of days and months ("ddd", "dddd",
// "MMM", "MMMM") are the system's, in the user's language.
#include "support/format.h"
#include "SFXstrings/strings.h"
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

// Decimal digits of value, at least minDigits of them, after an optional sign.
static void WriteDecimal(bool negative, uint64_t value, int minDigits, char* result) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + DivideByTen(&value));
  } while (value != 0);
  while (n < minDigits && n < static_cast<int>(sizeof digits)) digits[n++] = '0';
  if (negative) *result++ = '-';
  while (n > 0) *result++ = digits[--n];
  *result = 0;
}

void FormatSigned(int32_t value, char* result) {
  // The magnitude in unsigned arithmetic, so that -2147483648 has one too.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  WriteDecimal(value < 0, magnitude, 1, result);
}

void FormatUnsigned(uint64_t value, char* result) { WriteDecimal(false, value, 1, result); }

void FormatPadded(int digits, uint32_t value, char* result) { WriteDecimal(false, value, digits, result); }

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

struct DateParts {
  int32_t year, month, day, hour, minute, second;
  int32_t weekday;  // 0 Sunday to 6 Saturday
};

static DateParts SplitDateValue(double value) {
  int32_t days = static_cast<int32_t>(value);
  if (days > value) --days;  // toward minus infinity for values before day 0
  int32_t ms = static_cast<int32_t>((value - days) * MillisecondsPerDay + 0.5);
  if (ms >= MillisecondsPerDay) {
    ms -= MillisecondsPerDay;
    ++days;
  }
  // Walk from year 1 by 400-year cycles, then years, then months.
  int32_t rest = days + DateValueEpoch;
  if (rest < 0) rest = 0;
  int32_t year = 1 + 400 * (rest / 146097);
  rest %= 146097;
  for (;;) {
    int32_t length = IsLeapYear(year) ? 366 : 365;
    if (rest < length) break;
    rest -= length;
    ++year;
  }
  int32_t month = 1;
  while (rest >= DaysInMonth(year, month)) rest -= DaysInMonth(year, month++);
  DateParts p;
  p.year = year;
  p.month = month;
  p.day = rest + 1;
  p.hour = ms / 3600000;
  p.minute = ms / 60000 % 60;
  p.second = ms / 1000 % 60;
  p.weekday = ((days % 7) + 7 + 6) % 7;  // day 0, 1899-12-30, was a Saturday
  return p;
}

// --- The date pattern ----------------------------------------------------------

static char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
static bool IsLetter(char c) { c = Lower(c); return c >= 'a' && c <= 'z'; }

// Case-insensitive: does text start with the lower-case word?
static bool StartsWith(const char* text, const char* word) {
  for (; *word != 0; ++text, ++word)
    if (Lower(*text) != *word) return false;
  return true;
}

// Length of the AM/PM token at text ("am/pm" 5, "a/p" 3, "ampm" 4), 0 if none.
static int AmPmTokenLength(const char* text) {
  if (StartsWith(text, "am/pm")) return 5;
  if (StartsWith(text, "a/p")) return 3;
  if (StartsWith(text, "ampm")) return 4;
  return 0;
}

// After an hour run: does the first "a" met before the next "h", skipping
// quoted text, begin an AM/PM token?
static bool AmPmFollows(const char* text) {
  while (*text != 0) {
    char c = *text;
    if (c == '"' || c == '\'') {
      ++text;
      while (*text != 0 && *text != c) ++text;
      if (*text != 0) ++text;
      continue;
    }
    char l = Lower(c);
    if (l == 'h') return false;
    if (l == 'a') return AmPmTokenLength(text) != 0;
    ++text;
  }
  return false;
}

struct DateWriter {
  char* out;
  unsigned used, limit;  // limit: characters that may be written
  void Put(char c) {
    if (used < limit) out[used++] = c;
  }
  void Put(const char* text) {
    while (*text != 0) Put(*text++);
  }
  // A name written straight into the room left (see Room), length n.
  char* Room() { return out + used; }
  unsigned RoomSize() const { return limit - used + 1; }
  void Name(unsigned n) { used += n; }
  // digits 1: no leading zero; 2 or more: at least that many digits.
  void Number(int32_t value, int digits) {
    char text[12];
    FormatPadded(digits, static_cast<uint32_t>(value), text);
    Put(text);
  }
};

void FormatDateValue(const char* pattern, double value, char* result, unsigned room) {
  if (room == 0) return;
  DateParts p = SplitDateValue(value);
  bool afternoon = p.hour >= 12;
  DateWriter w{result, 0, room - 1 < 256u ? room - 1 : 256u};
  char lastLetter = 0;
  bool ampmSeen = false;

  const char* at = pattern;
  while (*at != 0) {
    char c = *at;
    char l = Lower(c);
    unsigned run = 1;
    while (at[run] == c) ++run;

    if (c == '"' || c == '\'') {  // quoted text, copied without its quotes
      ++at;
      while (*at != 0 && *at != c) w.Put(*at++);
      if (*at != 0) ++at;
      continue;
    }
    if (l == 'a') {
      int length = AmPmTokenLength(at);
      lastLetter = 'a';
      if (length == 5) {
        w.Put(afternoon ? at[3] : at[0]);
        w.Put(afternoon ? at[4] : at[1]);
      } else if (length == 3) {
        w.Put(afternoon ? at[2] : at[0]);
      } else if (length == 4) {
        w.Put(LoadMessage(afternoon ? MsgPm : MsgAm).text);
      } else {
        w.Put(c);
        ++at;
        continue;
      }
      ampmSeen = true;
      at += length;
      continue;
    }
    if (l == 'm' && lastLetter == 'h') l = 'n';  // minutes after an hour

    switch (l) {
      case 'd':
        if (run <= 2) w.Number(p.day, static_cast<int>(run));
        else w.Name(WeekdayName(p.weekday, run == 3, w.Room(), w.RoomSize()));
        break;
      case 'm':
        if (run <= 2) w.Number(p.month, static_cast<int>(run));
        else w.Name(MonthName(p.month, run == 3, w.Room(), w.RoomSize()));
        break;
      case 'y':
        if (run <= 2) w.Number(p.year % 100, 2);
        else w.Number(p.year, 4);
        break;
      case 'h': {
        int32_t hour = p.hour;
        if (ampmSeen || AmPmFollows(at + run)) {
          if (hour == 0) hour = 12;
          else if (hour > 12) hour -= 12;
        }
        w.Number(hour, run >= 2 ? 2 : 1);
        break;
      }
      case 'n':
        w.Number(p.minute, run >= 2 ? 2 : 1);
        break;
      case 's':
        w.Number(p.second, run >= 2 ? 2 : 1);
        break;
      case ':':
        w.Put(':');
        run = 1;
        break;
      default:
        w.Put(c);  // any other character, one at a time
        run = 1;
        break;
    }
    if (IsLetter(c)) lastLetter = l;
    at += run;
  }
  result[w.used] = 0;
}
