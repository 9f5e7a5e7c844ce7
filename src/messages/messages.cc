#include "messages/messages.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

// fwrite, not printf: standard output is then buffered alike on every system, where some C libraries'
// printf (MinGW's) flushes it after every call. The format attribute holds the formats to what is handled
// here.
void write_formatted(FILE* stream, const char* format, va_list arguments) {
  for (const char* p = format; *p != '\0';) {
    if (*p != '%') {
      const std::size_t literal = std::strcspn(p, "%");
      std::fwrite(p, 1, literal, stream);
      p += literal;
      continue;
    }
    int longs = 0;
    for (++p; *p == 'l'; ++p) ++longs;
    const char conversion = *p++;
    char digits[24];  // a 64-bit number in octal at its longest
    std::to_chars_result number{};
    switch (conversion) {
      case '%':
        std::fputc('%', stream);
        continue;
      case 'c':
        std::fputc(static_cast<unsigned char>(va_arg(arguments, int)), stream);
        continue;
      case 's': {
        const char* text = va_arg(arguments, const char*);
        if (text == nullptr) text = "(null)";  // as glibc's printf shows it
        std::fwrite(text, 1, std::strlen(text), stream);
        continue;
      }
      case 'd':
        number = std::to_chars(digits, std::end(digits),
                               longs == 0   ? va_arg(arguments, int)
                               : longs == 1 ? va_arg(arguments, long)
                                            : va_arg(arguments, long long));
        break;
      default:  // 'u' and 'o'
        number = std::to_chars(digits, std::end(digits),
                               longs == 0   ? va_arg(arguments, unsigned)
                               : longs == 1 ? va_arg(arguments, unsigned long)
                                            : va_arg(arguments, unsigned long long),
                               conversion == 'o' ? 8 : 10);
        break;
    }
    std::fwrite(digits, 1, static_cast<std::size_t>(number.ptr - digits), stream);
  }
}

}  // namespace

void print_message(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  write_formatted(stdout, format, arguments);
  va_end(arguments);
}

void print_error(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  write_formatted(stderr, format, arguments);
  va_end(arguments);
}

void fatal(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  write_formatted(stderr, format, arguments);
  va_end(arguments);
  std::exit(2);  // exit flushes what was already written
}
