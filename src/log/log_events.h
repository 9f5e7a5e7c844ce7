#pragma once

// The four operations the tokenizer calls, in slot order. A text is the token's bytes followed by a zero
// byte, inside the tokenizer's buffer: the operation may change it in place, and it is gone once the
// operation returns. The integer results are always 0 and nobody reads them.
struct log_events {
  int (*on_column_name)(char* text);
  int (*on_value)(char* text);
  int (*on_separator)();
  int (*on_end_of_line)();
};

extern const log_events null_events;
extern const log_events dot_events;
extern const log_events comma_events;

// The table in force; read afresh for every event.
extern const log_events* current_events;
