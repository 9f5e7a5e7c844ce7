#pragma once

#include <cstdio>

#include "kml/kml_writer.h"

// The open files of the run.
extern kml_output output;  // the KML goes here: standard output through stdio, or the -o file
extern FILE* dot_log;      // opened by -t, --trek, --smlog
extern FILE* comma_log;    // opened by -r, --trek-ru, --smlog-ru

// Return codes of the run; where exit statuses are 8 bits wide they arrive as 255, 253 and 252.
constexpr int RUN_TOO_FEW_ARGUMENTS = -1;
constexpr int RUN_LOG_UNREADABLE = -3;
constexpr int RUN_OUTPUT_FAILED = -4;

// The exit status of a run, as Linux reports it, on every platform: Windows would report -1 as -1, which
// `if errorlevel 1` takes for success.
constexpr int exit_status_of(int run_code) {
  return run_code & 0xff;
}

void reset_driver();

struct log_events;
struct tokenizer;

// One run of a log: binds the events, starts the samples and the track afresh, reads the log to its end with
// the tokenizer, and closes it. The column binding and the sample list stay as they are.
void run_log(FILE* log, const log_events& events, const tokenizer& variant);

// The whole KML document of one log on `output`: its start, run_log, its end.
void convert_log(FILE* log, const log_events& events, const tokenizer& variant);

void print_usage(const char* name);

// Acts at once on one option as getopt_long returned it. Returns 0 to go on, or the return code that ends
// the run (RUN_TOO_FEW_ARGUMENTS, RUN_LOG_UNREADABLE).
int act_on_option(int option, const char* argument, const char* program_name);

// The whole run: options, the log through its tokenizer, the KML document frame. Returns 0 or a RUN_ code.
int run_driver(int argc, char** argv);
