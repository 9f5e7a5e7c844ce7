#include "log/log_events.h"

#include "kml/track_builder.h"
#include "samples/sample_assembly.h"

const log_events dot_events = {on_column_name, on_value_dot, on_separator, on_end_of_line};
const log_events comma_events = {on_column_name, on_value_comma, on_separator, on_end_of_line};
