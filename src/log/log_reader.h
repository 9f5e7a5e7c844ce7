#pragma once

#include <cstddef>
#include <cstdio>

// The log's bytes as the scanning engine reads them: blocks of read_block_size bytes into one buffer, which
// keeps the unfinished token at each refill and grows for a token longer than itself. The unconsumed input
// is [token, end).
//
// The buffer is padded on both sides, so that a load of up to log_padding bytes that begins or ends inside
// it stays inside the allocation: a plain number's digits are read with one 16-byte load ending at its last
// byte, wherever the number lies, and a token ending at the end of the buffer can still be followed by its
// terminating zero.
struct log_reader {
  FILE* input;
  bool terminal;
  bool at_eof;
  char* buffer;
  std::size_t capacity;
  char* token;
  char* end;
};

constexpr std::size_t log_padding = 64;

log_reader open_reader(FILE* input);
// Keeps the unfinished token, growing the buffer when the token fills it, and reads the next block after it.
void refill(log_reader& r);
void close_reader(log_reader& r);
