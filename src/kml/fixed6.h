#pragma once

// Writes value as glibc's printf("%.6f") does in the C locale (fixed point, six decimals, exact decimal
// expansion rounded half to even, "-0.000000" for negative values that round to zero, "inf" and "nan" with
// their sign), the same bytes on every platform, and returns the end of the text. out needs room for
// fixed6_max_length bytes.
char* format_fixed6(char* out, double value);

constexpr int fixed6_max_length = 1 + 309 + 1 + 6;  // sign, the digits of DBL_MAX, point, decimals
