#pragma once

// The operations take zero-terminated texts, but a token lies in the middle of the read buffer: cover the
// byte after it with a zero for the time of the call, then put that byte back.
inline void with_terminated_text(int (*operation)(char*), char* first, char* last) {
  const char covered = *last;
  *last = '\0';
  operation(first);
  *last = covered;
}
