// Number and date formatting: the "%d" pattern, DOS date and time to a date
// value (days since 1899-12-30, time as the fraction), and a date value as
// text in the user's long date and time formats, through the platform.
#pragma once
#include <stdint.h>

// "%d": the signed decimal digits of value. Writes a NUL-terminated text.
void FormatSigned(int32_t value, char* result);
// The decimal digits of an unsigned count (sizes from 2 GiB up stay positive,
// sizes of 4 GiB and more whole).
void FormatUnsigned(uint64_t value, char* result);

double DosToDateValue(uint32_t dosDateTime);
// The date and time of value as the user's system writes them (DateTimeText
// of the platform), into result (room bytes; the empty text when it does not
// fit). The pattern, once a date pattern of the program's own, is not read.
void FormatDateValue(const char* pattern, double value, char* result, unsigned room);
