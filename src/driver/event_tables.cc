#include "log/log_events.h"

#include "kml/track_builder.h"
#include "samples/sample_assembly.h"

namespace {

int ignore_text(char*) {
  return 0;
}
int ignore() {
  return 0;
}

}  // namespace

const log_events null_events = {ignore_text, ignore_text, ignore, ignore};
const log_events dot_events = {on_column_name, on_value_dot, on_separator, on_end_of_line};
const log_events comma_events = {on_column_name, on_value_comma, on_separator, on_end_of_line};
