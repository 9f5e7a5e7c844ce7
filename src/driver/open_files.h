#pragma once

#include <cstdio>
#include <vector>

// The files a run opens, and what keeps a file that is read as the log from ever being written: a log is
// never emptied nor written, whatever order the options come in or whatever path names it. None of these
// files takes descriptor 0, 1 or 2: a standard stream closed at start stays closed, so no message can land
// in a log or the KML, and /dev/stdin or /dev/stdout name nothing then.

extern std::vector<FILE*> logs_opened;     // every log opened, replaced ones included: never written
extern std::vector<FILE*> outputs_opened;  // every -o file, emptied once the options are done

// Opens a log for reading and remembers it for the rest of the run, even once a later log replaces it.
// Returns nullptr when it cannot be opened.
FILE* open_log_file(const char* name);

// Opens an output file for writing, creating it if missing but not emptying it yet. Returns nullptr when it
// cannot be opened or is a file opened as a log, and stdout when it is the very file standard output
// writes to (two opens of one file would overwrite each other's bytes).
FILE* open_output_file(const char* name);

// Empties every output file opened so far that is a regular file and was not opened as a log; called once
// the options are done, or when they end the run. Returns false if `current` could not be emptied.
bool empty_output_files(FILE* current);

// Both streams are open on one file (same device and inode).
bool same_file(FILE* a, FILE* b);

// A regular file or a pipe: what a run cannot read while it writes to it.
bool is_file_or_pipe(FILE* file);

// Sends standard output, and what is still buffered for it, to /dev/null.
void discard_standard_output();

// Forgets the files opened so far, without closing them.
void reset_open_files();
