#pragma once

#include <cstdint>
#include <cstdio>

// The files a run opens, and the rule that keeps a file read as the log from ever being written: a log is
// never emptied nor written, whatever order the options come in, whatever names or links point at it, and
// wherever standard output goes. Every case is decided here; the driver turns each answer into its message
// and return code.

// Before the options are read. Where standard output is a regular file, what the options print is held
// until every log is known: a log option may name that very file.
void begin_options();

enum log_verdict : std::uint8_t {
  LOG_OPENED,                 // read it
  LOG_OPENED_REFUSES_OUTPUT,  // read it; the current -o file is this log, so the KML goes to standard output
  LOG_UNREADABLE,             // it cannot be opened
  LOG_IS_STANDARD_OUTPUT,     // standard output writes to it: never read, and nothing printed reaches it
};

struct opened_log {
  log_verdict verdict;
  FILE* file;  // the log, for LOG_OPENED and LOG_OPENED_REFUSES_OUTPUT
};

// Opens a log and remembers it for the rest of the run, even once a later log replaces it. current_output
// is the -o file in force, or nullptr while the KML goes to standard output.
opened_log open_log_file(const char* name, FILE* current_output);

enum output_verdict : std::uint8_t {
  OUTPUT_OPENED,              // write the KML into it
  OUTPUT_REFUSED,             // it cannot be opened, or is a log: the KML goes to standard output
  OUTPUT_IS_STANDARD_OUTPUT,  // the very file standard output writes to: the KML goes through standard
                              // output, since two opens of one file would overwrite each other's bytes
};

struct opened_output {
  output_verdict verdict;
  FILE* file;  // for OUTPUT_OPENED
};

// Opens an -o file for writing, creating it if missing but not emptying it yet.
opened_output open_output_file(const char* name);

enum options_end : std::uint8_t {
  OUTPUTS_READY,         // the -o files are empty, the held messages printed
  CURRENT_OUTPUT_STALE,  // the -o file in force could not be emptied: the KML goes to standard output
};

// Once the options are done, or have ended the run: empties every -o file that is a regular file and was not
// opened as a log, and prints what was held.
options_end finish_options(FILE* current_output);

// Identity lookups made so far: each open asks a fixed number, so a run's cost grows with its files, never
// with their square.
extern std::uint64_t identity_lookups;

// Forgets the files opened so far, without closing them.
void reset_open_files();
