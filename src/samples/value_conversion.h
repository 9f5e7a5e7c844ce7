#pragma once

// Number conversions with the C library's results and without its cost.

// Exactly glibc's atol (strtol base 10): leading white space, an optional sign, the longest run of digits;
// a value beyond the range of long saturates to LONG_MAX or LONG_MIN. Any text.
long parse_long(const char* text);

// Exactly strtod(text, nullptr) in the C locale for the text of a value token: an integer, a real number
// (optional '-', digits, '.', digits, exponent) or a date-time, whose first number is all that is read.
// Overflow gives +-infinity and underflow a value toward zero, as strtod does.
double parse_double(const char* text);
