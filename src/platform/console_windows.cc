#include "platform/console_windows.h"

#include <windows.h>
// After windows.h, which it needs.
#include <versionhelpers.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "platform/platform.h"

namespace {

// The console's output code page before the run changed it; 0 while the run has not.
UINT code_page_before = 0;

// What stdio still holds for the console is written before the code page goes back, so it reads as UTF-8.
void restore_code_page() {
  std::fflush(stdout);
  std::fflush(stderr);
  SetConsoleOutputCP(code_page_before);
}

// Ctrl+C, Ctrl+Break, closing the window, logging off: the system ends the process without running atexit.
// Returning FALSE hands the event on, in the end to the default handler that ends the process.
BOOL WINAPI restore_code_page_on(DWORD) {
  SetConsoleOutputCP(code_page_before);
  return FALSE;
}

}  // namespace

// Windows 8 or later as VerifyVersionInfo tells it, which holds without the manifest too (a build that lost
// it): a later system that a program's manifest does not name passes for 8.
void use_utf8_console() {
  if (code_page_before != 0 || !IsWindows8OrGreater()) return;
  if (!is_terminal(stdout) && !is_terminal(stderr)) return;
  const UINT before = GetConsoleOutputCP();
  if (before == 0 || before == CP_UTF8) return;
  // The ways back are in place before the code page changes.
  code_page_before = before;
  std::atexit(restore_code_page);
  SetConsoleCtrlHandler(restore_code_page_on, TRUE);
  SetConsoleOutputCP(CP_UTF8);
  // Left without a buffer of its own, the C library hands a console a message in pieces (its first byte
  // alone; wine's, byte by byte), and a console that does not join a character's bytes across writes shows
  // each byte for a character. Unbuffered, a message reaches it with its characters whole.
  for (FILE* stream : {stdout, stderr}) {
    if (is_terminal(stream)) std::setvbuf(stream, nullptr, _IONBF, 0);
  }
}
