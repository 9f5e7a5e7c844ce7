#pragma once

#include <cstdint>
#include <cstring>

#include "log/log_events.h"
#include "log/plain_number.h"
#include "log/terminated_text.h"
#include "samples/sample_assembly.h"
#include "samples/value_conversion.h"

// The store the tokenizer's fast paths hand plain numbers and separators to while dot_events or
// comma_events is bound (log/token_store.h): what on_value_dot or on_value_comma and on_separator do, bound
// when the program is built, on the value's bounds, with the column position and the record kept in
// registers. A value it cannot store so (the first of a log without header, a column with no field or past
// the table, digits its conversion declines) goes through the table, as every value once did.
template <int (*on_value)(char*)>
struct sample_store {
  std::int64_t column;  // counts on past INT32_MAX, where current_column stops: save() stops it there
  bool bound;           // the columns are bound: not while the default binding waits
  bool stored;
  char* record;

  // Stands for any table whose value and separator operations are these: the tables that differ only in
  // their other operations (the run fuzzer's, which looks at the record at each line end) go this way too.
  bool load() {
    column = current_column;
    bound = !default_binding_waits();
    record = reinterpret_cast<char*>(&sample_ring[current_slot()]);
    stored = false;
    return current_events->on_value == on_value && current_events->on_separator == on_separator;
  }

  void save() {
    current_column = static_cast<std::int32_t>(column < INT32_MAX ? column : INT32_MAX);
    if (stored) {
      line_has_value = true;
      ++direct_store_stretches;
    }
  }

  void separator() { ++column; }

  void value(char* first, char* last, const plain_digits& digits) {
    if (bound) {
      const column_def& bound_column = column_bound_at(column);
      char* field = record + bound_column.field_offset;
      switch (bound_column.type) {
        case TYPE_INT:
          if (digits.read) {
            const std::int32_t integer = int32_of_plain(digits);
            std::memcpy(field, &integer, sizeof integer);
            stored = true;
            return;
          }
          break;
        case TYPE_REAL:
          if (double real; double_of_plain(digits, &real)) {
            std::memcpy(field, &real, sizeof real);
            stored = true;
            return;
          }
          break;
        default:  // no field: the message is the table's
          break;
      }
    }
    save();
    with_terminated_text(current_events->on_value, first, last);
    load();
  }
};
