#pragma once

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

// The C++ library's exact floating conversions where it has them (libstdc++), and the C library's where it
// has none (libc++, Apple's among them): strtod and printf, correctly rounded in the C locale in glibc and
// Apple's libc. Both sides give the same bytes; the conversion tests hold them to the C library.

#if defined(__cpp_lib_to_chars)

// Exactly strtod(text, nullptr). from_chars is exact too but leaves the value untouched when it is out of
// range, where strtod gives +-infinity or a value toward zero: strtod itself settles those rare texts.
inline double exact_strtod(const char* text) {
  double value;
  const auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
  if (error == std::errc::result_out_of_range) return std::strtod(text, nullptr);
  return error == std::errc{} ? value : 0.0;
}

// printf("%.6f") of value; out has room for `room` bytes. Returns the end of the text.
inline char* exact_fixed6(char* out, std::size_t room, double value) {
  return std::to_chars(out, out + room, value, std::chars_format::fixed, 6).ptr;
}

#else

inline double exact_strtod(const char* text) {
  return std::strtod(text, nullptr);
}

// printf's closing zero goes to a buffer of its own.
inline char* exact_fixed6(char* out, std::size_t room, double value) {
  char text[512];
  const int length = std::snprintf(text, sizeof text, "%.6f", value);
  const std::size_t size = static_cast<std::size_t>(length) < room ? static_cast<std::size_t>(length) : room;
  std::memcpy(out, text, size);
  return out + size;
}

#endif
