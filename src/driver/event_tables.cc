#include "log/log_events.h"

#include <cstdio>

#include "kml/track_builder.h"
#include "log/scan.h"
#include "log/tokenizer.h"
#include "samples/sample_assembly.h"
#include "samples/sample_store.h"

const log_events dot_events = {on_column_name, on_value_dot, on_separator, on_end_of_line};
const log_events comma_events = {on_column_name, on_value_comma, on_separator, on_end_of_line};

namespace {

// The tokenizer's fast paths store the values of a bound dot_events or comma_events themselves.
int scan_dot_log(FILE* input) {
  return scan_log_with<sample_store<on_value_dot>>(input, dot_rules);
}
int scan_comma_log(FILE* input) {
  return scan_log_with<sample_store<on_value_comma>>(input, comma_rules);
}

}  // namespace

const tokenizer dot_tokenizer = {scan_dot_log};
const tokenizer comma_tokenizer = {scan_comma_log};
