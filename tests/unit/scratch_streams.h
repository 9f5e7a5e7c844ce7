#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include <sys/types.h>

// Streams for the tests over scratch files, the same on every platform (fmemopen and open_memstream are
// POSIX only). Each kind has one file per process, emptied for every new stream: one stream of each kind at
// a time. A stream that cannot be made aborts the test binary.

// A stream to be read, holding bytes (NUL bytes included, none at all too), at its start.
FILE* stream_holding(std::string_view bytes);

// A stream to be written; written_bytes reads back what was written to it and closes it.
FILE* scratch_stream();
std::string written_bytes(FILE* stream);

// Standard output's descriptor writing into a scratch file, for a test to read what was printed as it
// goes: printed_since_last takes the bytes printed since it was last called, end_stdout_capture the rest and
// gives standard output back. Captures do not nest.
struct stdout_capture {
  int saved_stdout;
  off_t taken;
};

stdout_capture begin_stdout_capture();
std::string printed_since_last(stdout_capture& capture);
std::string end_stdout_capture(stdout_capture& capture);

// Runs body with standard output captured and returns what it printed.
std::string capture_stdout(const std::function<void()>& body);
