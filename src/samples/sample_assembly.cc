#include "samples/sample_assembly.h"

#include <cstdio>
#include <cstring>

#include "kml/track_builder.h"
#include "messages/messages.h"
#include "samples/value_conversion.h"

sample_record sample_ring[2];
std::uint8_t column_map[column_positions];
std::int32_t max_column;
std::int32_t current_column;
bool line_has_value;
std::uint64_t direct_store_stretches = 0;

void begin_sample_run() {
  std::memset(sample_ring, 0, sizeof sample_ring);
  current_column = 0;
  line_has_value = false;
}

void reset_samples() {
  begin_sample_run();
  std::memset(column_map, 0, sizeof column_map);
  max_column = 0;
}

namespace {

// Row 0, the empty name, never equals a token: names are never empty.
std::uint8_t find_column(const char* name) {
  for (std::uint8_t row = 0; row < column_rows; ++row) {
    if (std::strcmp(column_table[row].name, name) == 0) return row;
  }
  return UNKNOWN_COLUMN;
}

void bind_default_columns() {
  print_message("Header not found, using default\n");
  for (int i = 0; i < default_columns; ++i) column_map[i] = static_cast<std::uint8_t>(i + 1);
  max_column = default_columns - 1;
}

}  // namespace

int on_column_name(char* text) {
  const std::uint8_t row = find_column(text);
  if (row == UNKNOWN_COLUMN) print_message("Unkn col nam '%s'\n", text);
  if (current_column < column_positions) column_map[current_column] = row;  // beyond: no field to bind
  if (max_column < current_column) max_column = current_column;
  return 0;
}

int on_separator() {
  if (current_column < INT32_MAX) ++current_column;  // past the last bound position, all are alike
  return 0;
}

namespace {

// What both variants do with a value; the decimal-comma variant's text reads as if its commas were points.
int store_value(char* text, bool decimal_comma) {
  if (default_binding_waits()) bind_default_columns();
  const column_def& column = column_bound_at(current_column);
  char* field = reinterpret_cast<char*>(&sample_ring[current_slot()]) + column.field_offset;
  switch (column.type) {
    case TYPE_INT: {
      // atol, kept to 32 bits; it stops at the first mark, comma or point
      const auto value = static_cast<std::int32_t>(parse_long(text));
      std::memcpy(field, &value, sizeof value);
      break;
    }
    case TYPE_REAL: {
      const double value = decimal_comma ? parse_double_comma(text) : parse_double(text);
      std::memcpy(field, &value, sizeof value);
      break;
    }
    default:
      if (decimal_comma) make_commas_points(text);
      print_message("Err: Unkn typ [%d]='%s'\n", current_column, text);
      return 0;
  }
  line_has_value = true;
  return 0;
}

}  // namespace

int on_value_dot(char* text) {
  return store_value(text, false);
}
int on_value_comma(char* text) {
  return store_value(text, true);
}
