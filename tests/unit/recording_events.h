#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "log/log_events.h"
#include "log/tokenizer.h"

// A log_events table that writes each event into recorded_events, space separated: name(x), value(x), sep,
// eol. Texts are read as zero-terminated strings, so a text cut short by a NUL shows only its first part.
// While record_scan runs, the bytes echoed to standard output are recorded in their place as echo(x).
// Bytes outside the printable ASCII range are shown as \0 or \xNN.
extern std::string recorded_events;

int record_name(char* text);
int record_value(char* text);
int record_separator();
int record_end_of_line();

extern const log_events recording_events;

// Shows one byte as it stands in recorded_events.
std::string shown_byte(unsigned char c);

// The tokenizer's two paths: the fast lanes and the automaton alone, or with the structural lane ahead of
// them. Where the processor has no structural lane, both are the scalar path.
enum class scan_path { scalar, lane };
constexpr scan_path scan_paths[] = {scan_path::scalar, scan_path::lane};

std::string shown_path(scan_path path);

// Scans input with the variant on the path, reading blocks of block_size bytes, with current_events bound to
// events. Returns the recorded events, echoes included, and leaves the tokenizer's settings reset.
std::string record_scan(const tokenizer& variant, std::string_view input, std::size_t block_size,
                        scan_path path, const log_events& events = recording_events);
