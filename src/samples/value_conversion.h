#pragma once

// Number conversions with the C library's results and without its cost.

// Exactly glibc's atol (strtol base 10): leading white space, an optional sign, the longest run of digits;
// a value beyond the range of long saturates to LONG_MAX or LONG_MIN. Any text.
long parse_long(const char* text);

// Exactly strtod(text, nullptr) in the C locale for a text that starts with a value token of the log: an
// optional '-', digits, a '.' and digits, an exponent (anything after the longest number is ignored, so a
// date-time gives its first number). Overflow gives +-infinity and underflow a value toward zero, as strtod.
double parse_double(const char* text);
