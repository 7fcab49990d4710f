// Number and date formatting: the "%d" and "%.*d" patterns, DOS date and time
// to a date value (days since 1899-12-30, time as the fraction), and the
// pattern-driven date formatter. Only the day and month names come from the
// user's language, through the platform.
#pragma once
#include <stdint.h>

// "%d": the signed decimal digits of value. Writes a NUL-terminated text.
void FormatSigned(int32_t value, char* result);
// The decimal digits of an unsigned count (sizes from 2 GiB up stay positive,
// sizes of 4 GiB and more whole).
void FormatUnsigned(uint64_t value, char* result);
// "%.*d": value's digits padded with leading zeros to at least digits.
void FormatPadded(int digits, uint32_t value, char* result);

double DosToDateValue(uint32_t dosDateTime);
// Formats value by pattern into result (room bytes; at most 256 characters).
void FormatDateValue(const char* pattern, double value, char* result, unsigned room);
