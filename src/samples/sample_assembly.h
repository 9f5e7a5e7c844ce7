#pragma once

#include <cstdint>
#include <limits>
#include <type_traits>

#include "kml/track_builder.h"
#include "samples/sample_record.h"

constexpr int column_positions = 1000;  // input column positions that can be bound to a field

extern sample_record sample_ring[2];               // the slot being filled is accepted_count % 2
extern std::uint8_t column_map[column_positions];  // column position -> column_table row
extern std::int32_t max_column;                    // highest position that received a name
extern std::int32_t current_column;                // position of the field being read
extern bool line_has_value;                        // the current line stored a value into its slot

// A name not in column_table is marked by the number after its last row; a log without header has its
// fields in table order, from row 1 on.
constexpr std::uint8_t UNKNOWN_COLUMN = column_rows;
constexpr int default_columns = column_rows - 1;
static_assert(column_rows <= std::numeric_limits<std::remove_all_extents_t<decltype(column_map)>>::max(),
              "column_map's bytes hold every row of column_table and UNKNOWN_COLUMN");

// The first value of a run waits for the default binding while no column name was read beyond the first
// position (a log without header, or a header of one name).
inline bool default_binding_waits() {
  return accepted_count == 0 && max_column == 0;
}

// The column_table row bound to a column position: row 0, no field, for a position past column_map and for
// an unknown name.
inline const column_def& column_bound_at(std::int64_t column) {
  const std::uint8_t row = column < column_positions ? column_map[column] : 0;
  return row < column_rows ? column_table[row] : column_table[0];
}

// A test seam: the stretches (a window's values, a line's) in which the tokenizer's fast paths stored
// values themselves (sample_store.h) since the process began; counted once per stretch, never per value.
extern std::uint64_t direct_store_stretches;

// Both slots and the column position afresh for a run; the column binding stays as the options left it.
void begin_sample_run();
void reset_samples();

int on_column_name(char* text);
int on_value_dot(char* text);
int on_value_comma(char* text);
int on_separator();
