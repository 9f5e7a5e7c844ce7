#include <windows.h>

#include <string>
#include <vector>

#include "driver/driver.h"
#include "messages/exiting_allocator.h"

namespace {

using utf8_text = std::basic_string<char, std::char_traits<char>, exiting_allocator<char>>;

utf8_text utf8_of(const wchar_t* wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  utf8_text utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), length, nullptr, nullptr);
  utf8.pop_back();  // the closing zero is the string's own
  return utf8;
}

}  // namespace

// Windows hands the arguments over in UTF-16: the run gets them in UTF-8, the bytes a Linux shell passes, so
// that any file name opens and is echoed as on Linux.
int wmain(int argc, wchar_t** wide_argv) {
  std::vector<utf8_text, exiting_allocator<utf8_text>> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(utf8_of(wide_argv[i]));
  std::vector<char*, exiting_allocator<char*>> argv;
  for (utf8_text& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return exit_status_of(run_driver(argc, argv.data()));
}
