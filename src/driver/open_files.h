#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

// The files a run opens, and the rule that keeps a file read as the log from ever being written: a log is
// never emptied nor written, whatever order the options come in, whatever names, links or mounts show it,
// and wherever standard output and standard error go. Every case is decided here; the driver turns each
// answer into its message and return code.

// Before any option is acted on, with the names of every log option: a standard stream that writes to one
// of those files (standard output to a regular file or a pipe, standard error to a regular file) is closed
// for the run now, before anything is printed into the log.
void keep_standard_streams_from_logs(std::span<const char* const> log_names);

enum log_verdict : std::uint8_t {
  LOG_OPENED,                 // read it
  LOG_OPENED_REFUSES_OUTPUT,  // read it; the -o file in force is this log: refused, the KML goes to standard
                              // output
  LOG_UNREADABLE,             // it cannot be opened
  LOG_IS_STANDARD_OUTPUT,     // standard output writes to it: never read, and nothing printed reaches it
};

struct opened_log {
  log_verdict verdict;
  FILE* file;                  // the log, for LOG_OPENED and LOG_OPENED_REFUSES_OUTPUT
  const char* refused_output;  // the -o name refused, for LOG_OPENED_REFUSES_OUTPUT
};

// Opens a log and remembers it for the rest of the run, even once a later log replaces it.
opened_log open_log_file(const char* name);

enum output_verdict : std::uint8_t {
  OUTPUT_OPENED,              // the KML goes into it
  OUTPUT_REFUSED,             // it cannot be opened, or is a log: the KML goes to standard output
  OUTPUT_IS_STANDARD_OUTPUT,  // the very file standard output writes to: the KML goes through standard
                              // output, since two opens of one file would overwrite each other's bytes
};

// Opens an -o file for writing, creating it if missing but not emptying it yet; it replaces the -o in force.
output_verdict open_output_file(const char* name);

enum kml_target : std::uint8_t {
  KML_TO_FILE,                   // the -o file in force
  KML_TO_STANDARD_OUTPUT,        // no -o, or the last was refused or names standard output's file
  KML_TO_STANDARD_OUTPUT_STALE,  // the -o file in force could not be emptied: refused, standard output
};

struct kml_destination {
  kml_target target;
  FILE* file;        // for KML_TO_FILE
  const char* name;  // the -o name, for KML_TO_FILE and KML_TO_STANDARD_OUTPUT_STALE
};

// Once the options are done, or have ended the run: empties every -o file that is a regular file and was not
// opened as a log, and says where the KML goes.
kml_destination empty_output_files();

// Test seam: the questions asked of the system about files so far. Each file costs a fixed number, so a
// run's questions grow with its files, never with their square.
std::uint64_t identity_lookups_made();

// Forgets the files opened so far, without closing them, and the standard streams closed.
void reset_open_files();
