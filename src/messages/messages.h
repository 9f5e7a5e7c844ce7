#pragma once

// Every line the program prints besides the KML and the echoed log bytes, through one formatting path.
// Formats are printf's, and the compiler checks them as printf's; what they may hold is %s, %c, %%, and %d,
// %u, %o with no modifier, l or ll. The literal text and each argument go to the stream where they lie: a
// quoted token of any length is never copied.

// Progress and diagnostics, on standard output, interleaved with the echoed log bytes and the KML.
[[gnu::format(printf, 1, 2)]] void print_message(const char* format, ...);

// A failure that ends the run, on standard error.
[[gnu::format(printf, 1, 2)]] void print_error(const char* format, ...);

// One line on standard error, then the process ends with status 2; what was written stays written.
[[noreturn, gnu::format(printf, 1, 2)]] void fatal(const char* format, ...);
