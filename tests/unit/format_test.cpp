// Number and date formatting: "%d" and "%.*d", DOS date-time to a date value,
// and the date pattern with its tokens, the catalogue pattern included.
#include <gtest/gtest.h>
#include <cmath>
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

std::string Padded(int digits, uint32_t v) {
  char out[16];
  FormatPadded(digits, v, out);
  return out;
}

// A DOS date-time from its parts.
uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
  uint32_t time = static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
  return (date << 16) | time;
}

std::string Formatted(const char* pattern, uint32_t dos) {
  char out[TextBufferSize];
  FormatDateValue(pattern, DosToDateValue(dos), out, sizeof out);
  return out;
}

const char* const Catalogue = "dddd, MMMM dd, yyyy ampm hh:nn:ss";

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

TEST(Numbers, PaddedToAtLeastTheCount) {
  EXPECT_EQ(Padded(2, 5), "05");
  EXPECT_EQ(Padded(2, 123), "123");
  EXPECT_EQ(Padded(1, 0), "0");
  EXPECT_EQ(Padded(4, 2001), "2001");
  EXPECT_EQ(Padded(4, 7), "0007");
  EXPECT_EQ(Padded(0, 42), "42");
}

TEST(DateValue, DaysSinceDayZeroAndTimeAsFraction) {
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(1980, 1, 1, 0, 0, 0)), 29221.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2000, 3, 1, 12, 0, 0)), 36586.5);
  // 0x2AEF63C5: 2001-07-15 12:30:10.
  EXPECT_NEAR(DosToDateValue(0x2AEF63C5u), 37087.0 + (12 * 3600 + 30 * 60 + 10) / 86400.0, 1e-9);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2000, 2, 29, 0, 0, 0)), 36585.0) << "2000 is a leap year";
}

TEST(DateValue, InvalidPartsCountAsZero) {
  EXPECT_DOUBLE_EQ(DosToDateValue(0), 0.0) << "month 0";
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2001, 2, 29, 0, 0, 0)), 0.0) << "2001 has no 29 February";
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(2001, 13, 1, 0, 0, 0)), 0.0);
  // Seconds field 30 (60 s) and an hour of 24 make the time midnight.
  EXPECT_DOUBLE_EQ(DosToDateValue((Dos(1980, 1, 1, 0, 0, 0) & 0xFFFF0000u) | 30u), 29221.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(1980, 1, 1, 24, 0, 0)), 29221.0);
  EXPECT_DOUBLE_EQ(DosToDateValue(Dos(1980, 1, 1, 0, 60, 0)), 29221.0);
}

TEST(DatePattern, CataloguePatternShowsDayAndMonthNames) {
  EXPECT_EQ(Formatted(Catalogue, 0x2AEF63C5u), "Sunday, July 15, 2001 PM 12:30:10");
  EXPECT_EQ(Formatted(Catalogue, Dos(2023, 2, 2, 9, 15, 4)), "Thursday, February 02, 2023 AM 09:15:04");
  EXPECT_EQ(Formatted("dd, yyyy ampm hh:nn:ss", Dos(2001, 7, 15, 9, 5, 2)), "15, 2001 AM 09:05:02");
  EXPECT_EQ(Formatted("dd, yyyy ampm hh:nn:ss", Dos(2001, 7, 15, 0, 0, 0)), "15, 2001 AM 12:00:00");
  EXPECT_EQ(Formatted("dd, yyyy ampm hh:nn:ss", Dos(2001, 7, 15, 13, 0, 0)), "15, 2001 PM 01:00:00");
  EXPECT_EQ(Formatted(Catalogue, 0), "Saturday, December 30, 1899 AM 12:00:00") << "an invalid DOS date is day 0";
}

TEST(DatePattern, ThreeLettersAbbreviateTheNames) {
  EXPECT_EQ(Formatted("ddd dd MMM yyyy", Dos(2024, 2, 29, 0, 0, 0)), "Thu 29 Feb 2024");
  EXPECT_EQ(Formatted("dddd", Dos(1980, 1, 6, 0, 0, 0)), "Sunday");
  EXPECT_EQ(Formatted("dddd", Dos(2107, 12, 31, 0, 0, 0)), "Saturday") << "the last DOS year";
  EXPECT_EQ(Formatted("MMMM", Dos(1999, 12, 31, 0, 0, 0)), "December");
}

TEST(DatePattern, NamesAreCutAtTheResultsRoom) {
  char small[6];
  std::memset(small, 'x', sizeof small);
  FormatDateValue("MMMM dd", DosToDateValue(Dos(2001, 9, 15, 0, 0, 0)), small, 5);
  EXPECT_STREQ(small, "Sept");
  EXPECT_EQ(small[5], 'x') << "nothing is written past the room";
}

TEST(DatePattern, MonthOrMinuteByTheLetterBefore) {
  uint32_t t = 0x2AEF63C5u;
  EXPECT_EQ(Formatted("hh:mm", t), "12:30");
  EXPECT_EQ(Formatted("mm", t), "07");
  EXPECT_EQ(Formatted("m", t), "7");
  EXPECT_EQ(Formatted("h m", t), "12 30");
  EXPECT_EQ(Formatted("hxm", t), "12x7") << "another letter between: the month";
  EXPECT_EQ(Formatted("hh:mm:mm", t), "12:30:07") << "an m taken for minutes counts as n";
}

TEST(DatePattern, DayYearAndSingleLetters) {
  uint32_t t = 0x2AEF63C5u;
  EXPECT_EQ(Formatted("d", t), "15");
  EXPECT_EQ(Formatted("d", Dos(2001, 7, 5, 0, 0, 0)), "5");
  EXPECT_EQ(Formatted("dd", Dos(2001, 7, 5, 0, 0, 0)), "05");
  EXPECT_EQ(Formatted("yy", t), "01");
  EXPECT_EQ(Formatted("y", t), "01");
  EXPECT_EQ(Formatted("yyy", t), "2001");
  EXPECT_EQ(Formatted("yyyyy", t), "2001");
  EXPECT_EQ(Formatted("h:n:s", Dos(2001, 7, 15, 9, 5, 2)), "9:5:2");
  EXPECT_EQ(Formatted("HH:NN:SS", Dos(2001, 7, 15, 9, 5, 2)), "09:05:02") << "letters in any case";
  EXPECT_EQ(Formatted("dD", t), "1515") << "a run is the same byte";
}

TEST(DatePattern, TwelveHourClockByAnAmPmTokenBeforeOrAfter) {
  uint32_t evening = Dos(2001, 7, 15, 21, 0, 0);
  EXPECT_EQ(Formatted("hh", evening), "21");
  EXPECT_EQ(Formatted("hh am/pm", evening), "09 pm");
  EXPECT_EQ(Formatted("hh AM/PM", Dos(2001, 7, 15, 8, 0, 0)), "08 AM");
  EXPECT_EQ(Formatted("hh A/P", evening), "09 P");
  EXPECT_EQ(Formatted("h a/p", Dos(2001, 7, 15, 8, 0, 0)), "8 a");
  EXPECT_EQ(Formatted("hh ampm", evening), "09 PM");
  EXPECT_EQ(Formatted("AMPM hh", evening), "PM 09");
  EXPECT_EQ(Formatted("hh 'am/pm'", evening), "21 am/pm") << "quoted text is skipped";
  EXPECT_EQ(Formatted("hh h am/pm", evening), "21 9 pm") << "the scan stops at the next hour";
  EXPECT_EQ(Formatted("hh ax ampm", evening), "21 ax PM") << "the first a is no token";
}

TEST(DatePattern, QuotesSeparatorAndOtherCharacters) {
  uint32_t t = 0x2AEF63C5u;
  EXPECT_EQ(Formatted("\"dd\" dd", t), "dd 15");
  EXPECT_EQ(Formatted("'yy", t), "yy") << "an open quote runs to the end";
  EXPECT_EQ(Formatted("hh:nn", t), "12:30");
  EXPECT_EQ(Formatted("[d]", t), "[15]");
  EXPECT_EQ(Formatted("a", t), "a");
  EXPECT_EQ(Formatted("", t), "");
}

TEST(DatePattern, OutputStopsAtTheRoom) {
  char out[8];
  FormatDateValue("yyyy-mm-dd hh", DosToDateValue(0x2AEF63C5u), out, sizeof out);
  EXPECT_EQ(std::string(out), "2001-07");
  std::string longPattern(400, '-');
  char big[TextBufferSize];
  FormatDateValue(longPattern.c_str(), 0, big, sizeof big);
  EXPECT_EQ(std::string(big).size(), 255u);
}

}  // namespace
