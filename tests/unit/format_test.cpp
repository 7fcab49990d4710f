// Number and date formatting: "%d", DOS date-time to a date value, and a date
// value as text: the posix platform's US English long date and time, the
// form Windows gives for that locale.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include "Sfx/state.h"
#include "support/format.h"

namespace {

std::string Signed(int32_t v) {
  char out[16];
  FormatSigned(v, out);
  return out;
}

std::string Unsigned(uint32_t v) {
  char out[16];
  FormatUnsigned(v, out);
  return out;
}

// A DOS date-time from its parts.
uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
  uint32_t time = static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
  return (date << 16) | time;
}

std::string Formatted(uint32_t dos) {
  char out[TextBufferSize];
  std::memset(out, 'x', sizeof out);
  FormatDateValue("", DosToDateValue(dos), out, sizeof out);
  return out;
}

TEST(Numbers, SignedDecimal) {
  EXPECT_EQ(Signed(0), "0");
  EXPECT_EQ(Signed(1234), "1234");
  EXPECT_EQ(Signed(-7), "-7");
  EXPECT_EQ(Signed(2147483647), "2147483647");
  EXPECT_EQ(Signed(-2147483647 - 1), "-2147483648");
}

TEST(Numbers, UnsignedSizesFromTwoGibibytesStayPositive) {
  EXPECT_EQ(Unsigned(0x80000000u), "2147483648");
  EXPECT_EQ(Unsigned(0xFFFFFFFFu), "4294967295");
  EXPECT_EQ(Unsigned(0), "0");
}

TEST(DateValue, DaysSinceDayZeroAndTimeAsFraction) {
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(1980, 1, 1, 0, 0, 0)), 29221.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2000, 3, 1, 12, 0, 0)), 36586.5);
  // 0x2AEF63C5: 2001-07-15 12:30:10.
  EXPECT_NEAR(DosToDateValue(0x2AEF63C5u), 37087.0 + (12 * 3600 + 30 * 60 + 10) / 86400.0, 1e-9);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2000, 2, 29, 0, 0, 0)), 36585.0) << "2000 is a leap year";
}

TEST(DateValue, LeapYearsOfTheDosRange) {
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(1980, 12, 31, 0, 0, 0)), 29586.0) << "1980 is a leap year";
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2000, 12, 31, 0, 0, 0)), 36891.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2096, 2, 29, 0, 0, 0)), 71649.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2100, 2, 28, 0, 0, 0)), 73109.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2100, 2, 29, 0, 0, 0)), 0.0) << "2100 is no leap year";
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2100, 3, 1, 0, 0, 0)), 73110.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2104, 2, 29, 0, 0, 0)), 74570.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2107, 12, 31, 0, 0, 0)), 75971.0) << "the last DOS day";
}

TEST(DateValue, InvalidPartsCountAsZero) {
  EXPECT_DOUBLE_EQ(DosToDateValue(0), 0.0) << "month 0";
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2001, 2, 29, 0, 0, 0)), 0.0) << "2001 has no 29 February";
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2001, 13, 1, 0, 0, 0)), 0.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2001, 4, 31, 0, 0, 0)), 0.0) << "April has 30 days";
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2001, 4, 0, 0, 0, 0)), 0.0) << "day 0";
  // Seconds field 30 (60 s) and an hour of 24 make the time midnight.
  EXPECT_DOUBLE_EQ(DosToDateValue((Dos(1980, 1, 1, 0, 0, 0) & 0xFFFF0000u) | 30u), 29221.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(1980, 1, 1, 24, 0, 0)), 29221.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(1980, 1, 1, 0, 60, 0)), 29221.0);
}

TEST(DateText, LongDateAndTimeOfTheUsersLanguage) {
  EXPECT_EQ(Formatted(0x2AEF63C5u), "Sunday, July 15, 2001 12:30:10 PM");
  EXPECT_EQ(Formatted(Dos(2023, 2, 2, 9, 15, 4)), "Thursday, February 2, 2023 9:15:04 AM");
  EXPECT_EQ(Formatted(Dos(2024, 2, 29, 23, 59, 58)), "Thursday, February 29, 2024 11:59:58 PM");
  EXPECT_EQ(Formatted(Dos(2107, 12, 31, 0, 0, 0)), "Saturday, December 31, 2107 12:00:00 AM") << "the last DOS year";
}

TEST(DateText, TwelveHourClockAroundMidnightAndNoon) {
  EXPECT_EQ(Formatted(Dos(1980, 1, 1, 0, 0, 2)), "Tuesday, January 1, 1980 12:00:02 AM");
  EXPECT_EQ(Formatted(Dos(1980, 1, 1, 11, 59, 58)), "Tuesday, January 1, 1980 11:59:58 AM");
  EXPECT_EQ(Formatted(Dos(1980, 1, 1, 12, 0, 0)), "Tuesday, January 1, 1980 12:00:00 PM");
  EXPECT_EQ(Formatted(Dos(1980, 1, 1, 13, 1, 0)), "Tuesday, January 1, 1980 1:01:00 PM");
}

TEST(DateText, AnInvalidDosDateIsDayZero) {
  EXPECT_EQ(Formatted(0), "Saturday, December 30, 1899 12:00:00 AM");
  EXPECT_EQ(Formatted(Dos(2001, 2, 29, 10, 0, 0)), "Saturday, December 30, 1899 10:00:00 AM");
}

TEST(DateText, WholeSecondsAreNotRoundedDown) {
  // 23:59:58 is a fraction of a day that a double does not hold exactly.
  EXPECT_EQ(Formatted(Dos(2099, 12, 31, 23, 59, 58)), "Thursday, December 31, 2099 11:59:58 PM");
  for (int second = 0; second < 60; second += 2) {
    std::string text = Formatted(Dos(2001, 7, 15, 17, 43, second));
    char want[8];
    std::snprintf(want, sizeof want, ":%02d PM", second);
    EXPECT_NE(text.find(want), std::string::npos) << text;
  }
}

TEST(DateText, TooLongForTheRoomIsEmpty) {
  char out[12];
  std::memset(out, 'x', sizeof out);
  FormatDateValue("", DosToDateValue(0x2AEF63C5u), out, 11);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(out[11], 'x') << "nothing is written past the room";
  char exact[34];
  FormatDateValue("", DosToDateValue(0x2AEF63C5u), exact, sizeof exact);
  EXPECT_STREQ(exact, "Sunday, July 15, 2001 12:30:10 PM") << "33 characters and the NUL fit 34 bytes";
  FormatDateValue("", DosToDateValue(0x2AEF63C5u), exact, sizeof exact - 1);
  EXPECT_STREQ(exact, "");
}

TEST(DateText, ThePatternIsNotRead) {
  char out[TextBufferSize];
  FormatDateValue("yyyy", DosToDateValue(0x2AEF63C5u), out, sizeof out);
  EXPECT_STREQ(out, "Sunday, July 15, 2001 12:30:10 PM");
}

}  // namespace
