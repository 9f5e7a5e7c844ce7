#pragma once

// How a fuzz input is read by the targets that scan a log: the first byte picks the tokenizer variant
// (bit 0) and the read block size (bits 1 to 3), the other bytes are the log.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "log/tokenizer.h"

struct fuzz_log {
  bool comma;
  std::size_t block_size;
  const std::uint8_t* bytes;
  std::size_t size;
};

// Small blocks put refills inside tokens. Index 0 reads the whole log in one block, as a run does with any
// log shorter than the default block: allocating that megabyte for every input would slow the fuzzers tenfold
// under AddressSanitizer.
constexpr std::size_t fuzz_block_sizes[8] = {0, 1, 2, 3, 7, 13, 64, 4096};

// One byte more than the log: the first read takes all of it, the second finds the end.
inline std::size_t whole_log_block(std::size_t log_size) {
  return log_size + 1;
}

inline fuzz_log split_fuzz_input(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return {false, whole_log_block(0), data, 0};
  const std::size_t block = fuzz_block_sizes[(data[0] >> 1) & 7];
  return {(data[0] & 1) != 0, block != 0 ? block : whole_log_block(size - 1), data + 1, size - 1};
}

inline const tokenizer& variant_of(const fuzz_log& log) {
  return log.comma ? comma_tokenizer : dot_tokenizer;
}

// The log as a stream over the fuzz input itself. A stream opened "r" never writes to its buffer, so the
// const input stays untouched; fmemopen refuses an empty buffer, and /dev/null is the empty log.
inline FILE* open_fuzz_log(const fuzz_log& log) {
  if (log.size == 0) return std::fopen("/dev/null", "r");
  return fmemopen(const_cast<std::uint8_t*>(log.bytes), log.size, "r");
}

// Standard output as a memory stream for the time of one input: glibc's stdout is an ordinary variable
// that may be set. Echoed bytes and messages land in `bytes`, and nothing reaches the terminal.
struct memory_stdout {
  FILE* saved = nullptr;
  char* bytes = nullptr;
  std::size_t size = 0;
};

inline void begin_memory_stdout(memory_stdout& c) {
  std::fflush(stdout);
  c.saved = stdout;
  stdout = open_memstream(&c.bytes, &c.size);
  if (stdout == nullptr) __builtin_trap();
}

inline void end_memory_stdout(memory_stdout& c) {
  std::fclose(stdout);
  stdout = c.saved;
  std::free(c.bytes);
  c = {};
}
