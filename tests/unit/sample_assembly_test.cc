#include "samples/sample_assembly.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "kml/track_builder.h"
#include "log/log_events.h"
#include "log/plain_number.h"
#include "run_state.h"
#include "samples/sample_store.h"
#include "scratch_streams.h"

namespace {

class SampleAssembly : public ::testing::Test {
 protected:
  void SetUp() override { reset_run_state(); }
};

// A script is tokens divided by spaces: ";" is a separator, "|" a line end, a token that starts with a
// letter a column name, any other a value. Each text goes over as a char array of its own, as the
// tokenizer's buffer would, since the operations may change it.
void play(const std::string& script, bool comma) {
  std::istringstream tokens(script);
  for (std::string token; tokens >> token;) {
    std::vector<char> text(token.begin(), token.end());
    text.push_back('\0');
    if (token == ";") {
      on_separator();
    } else if (token == "|") {
      on_end_of_line();
    } else if (std::isalpha(static_cast<unsigned char>(token[0]))) {
      on_column_name(text.data());
    } else {
      (comma ? on_value_comma : on_value_dot)(text.data());
    }
  }
}

std::string repeat(const std::string& token, int count) {
  std::string script;
  for (int i = 0; i < count; ++i) script += " " + token;
  return script + " ";
}

// The values 1, 2, ... count, each in a field of its own.
std::string numbered_fields(int count) {
  std::string script = "1";
  for (int i = 2; i <= count; ++i) script += " ; " + std::to_string(i);
  return script;
}

struct field_check {
  int slot;
  int row;  // of column_table
  double value;
};

double field_value(int slot, int row) {
  const column_def& column = column_table[row];
  const char* field = reinterpret_cast<const char*>(&sample_ring[slot]) + column.field_offset;
  if (column.type == TYPE_INT) {
    std::int32_t value;
    std::memcpy(&value, field, sizeof value);
    return value;
  }
  double value;
  std::memcpy(&value, field, sizeof value);
  return value;
}

constexpr std::int32_t unchecked = -1;

struct assembly_case {
  const char* name;
  bool comma = false;
  std::string script;
  std::string printed = "";
  std::vector<field_check> fields;
  std::int32_t max_column = unchecked;
  std::int32_t current_column = unchecked;
  std::int32_t start_column = 0;
  std::int32_t start_accepted = 0;
};

// Rows of column_table.
enum : int {
  SAMPLE = 1,
  FLIGHT = 2,
  DATE = 3,
  TIME = 4,
  SATELLITES = 5,
  LAT = 11,
  LON = 12,
  ALT = 13,
  CONTROL = 46
};

TEST_F(SampleAssembly, ValuesGoIntoTheirFields) {
  const std::string no_header = "Header not found, using default\n";
  const std::string header = "samplenumber ; gps_curlat ; gps_curlon ; gps_curalt | ";
  // "Unkn col nam '...'\n" of 255 to 257 and of 4095 to 4097 bytes.
  std::string edge_names, edge_messages;
  for (const std::size_t length : {255u, 256u, 257u, 4095u, 4096u, 4097u}) {
    std::string name(length - 16, 'x');
    name[0] = 'n';
    edge_names.append(name).append(length < 4097 ? " ; " : " ");
    edge_messages.append("Unkn col nam '").append(name).append("'\n");
  }
  const assembly_case cases[] = {
      {.name = "header binds positions",
       .script = header + "5 ; 3330.5 ; 2250.25 ; 150",
       .fields = {{0, SAMPLE, 5}, {0, LAT, 3330.5}, {0, LON, 2250.25}, {0, ALT, 150}, {1, SAMPLE, 0}},
       .max_column = 3},
      {.name = "no header: default binding, announced once",
       .script = "1 ; 2 ; 3 ; 4.5 | 6 ; 7",
       .printed = no_header,
       .fields = {{0, SAMPLE, 6}, {0, FLIGHT, 7}, {0, DATE, 3}, {0, TIME, 4.5}},
       .max_column = 45},
      {.name = "no header: 47th field has none",
       .script = numbered_fields(47),
       .printed = no_header + "Err: Unkn typ [46]='47'\n",
       .fields = {{0, SAMPLE, 1}, {0, LAT, 11}, {0, CONTROL, 46}},
       .max_column = 45,
       .current_column = 46},
      {.name = "header of a single name is replaced",
       .script = "gps_curlat | 5 ; 6",
       .printed = no_header,
       .fields = {{0, SAMPLE, 5}, {0, FLIGHT, 6}, {0, LAT, 0}},
       .max_column = 45},
      {.name = "capitalised name is unknown",
       .script = "Samplenumber ; gps_curlat | 5 ; 3330.5",
       .printed = "Unkn col nam 'Samplenumber'\nErr: Unkn typ [0]='5'\n",
       .fields = {{0, SAMPLE, 0}, {0, LAT, 3330.5}},
       .max_column = 1},
      {.name = "fields past the header",
       .script = "samplenumber ; gps_curlat | 5 ; 3330.5 ; 7 ; ; 8.5",
       .printed = "Err: Unkn typ [2]='7'\nErr: Unkn typ [4]='8.5'\n",
       .fields = {{0, SAMPLE, 5}, {0, LAT, 3330.5}},
       .max_column = 1,
       .current_column = 4},
      {.name = "a name in a data line rebinds its position",
       .script = "samplenumber ; gps_curlat | 5 ; gps_curlon | 6 ; 2250.5",
       .fields = {{0, SAMPLE, 6}, {0, LON, 2250.5}}},
      {.name = "date-time into int and real",
       .script = "gps_date ; gps_time ; x | 21/03/2011,12:34:56.789 ; 21/03/2011,12:34:56.789 ; "
                 "21/03/2011,12:34:56.789",
       .printed = "Unkn col nam 'x'\nErr: Unkn typ [2]='21/03/2011,12:34:56.789'\n",
       .fields = {{0, DATE, 21}, {0, TIME, 21}}},
      {.name = "comma variant date-time",
       .comma = true,
       .script = "gps_date ; gps_time ; x | 21/03/2011,12:34:56.789 ; 21/03/2011,12:34:56.789 ; "
                 "21/03/2011,12:34:56.789",
       .printed = "Unkn col nam 'x'\nErr: Unkn typ [2]='21/03/2011.12:34:56.789'\n",
       .fields = {{0, DATE, 21}, {0, TIME, 21}}},
      {.name = "real text into int, int text into real",
       .script = "samplenumber ; flightnumber ; gps_curlat | 12.9 ; -12.9 ; -7",
       .fields = {{0, SAMPLE, 12}, {0, FLIGHT, -12}, {0, LAT, -7.0}}},
      {.name = "comma variant replaces the comma",
       .comma = true,
       .script = "samplenumber ; gps_curlat ; gps_curlon | 5 ; 3330,5 ; ,25 ; 1,25",
       .printed = "Err: Unkn typ [3]='1.25'\n",
       .fields = {{0, SAMPLE, 5}, {0, LAT, 3330.5}, {0, LON, 0.25}}},
      {.name = "comma variant header divided by commas",
       .comma = true,
       .script = "samplenumber,gps_curlat,gps_curlon | 5 ; 3330,5",
       .printed = "Unkn col nam 'samplenumber,gps_curlat,gps_curlon'\n" + no_header,
       .fields = {{0, SAMPLE, 5}, {0, FLIGHT, 3330}},
       .max_column = 45},
      {.name = "integers keep their low 32 bits",
       .script = "samplenumber ; flightnumber ; gps_date ; gps_numsatellites | 4294967297 ; 2147483648 ; "
                 "9223372036854775808 ; -9223372036854775809",
       .fields = {{0, SAMPLE, 1}, {0, FLIGHT, -2147483648.0}, {0, DATE, -1}, {0, SATELLITES, 0}}},
      {.name = "values go into slot accepted_count % 2, no default binding after an acceptance",
       .script = "5 | samplenumber ; gps_curlat | 7 ; 3330.5",
       .printed = "Err: Unkn typ [0]='5'\n",
       .fields = {{1, SAMPLE, 7}, {1, LAT, 3330.5}, {0, SAMPLE, 0}},
       .max_column = 1,
       .start_accepted = 1},
      {.name = "values at positions 999 to 1001",
       .script = "samplenumber ; gps_curlat | 5 ; 3330.5" + repeat(";", 998) + "1 ; 2 ; 3",
       .printed = "Err: Unkn typ [999]='1'\nErr: Unkn typ [1000]='2'\nErr: Unkn typ [1001]='3'\n",
       .fields = {{0, SAMPLE, 5}},
       .max_column = 1,
       .current_column = 1001},
      {.name = "names at position 1000 and on bind nothing",
       .script =
           "samplenumber" + repeat(";", 1000) + "gps_curlat ; foo | 5" + repeat(";", 1000) + "9 | 6 ; 3330.5",
       .printed = "Unkn col nam 'foo'\nErr: Unkn typ [1000]='9'\nErr: Unkn typ [1]='3330.5'\n",
       .fields = {{0, SAMPLE, 6}, {0, LAT, 0}},
       .max_column = 1001},
      {.name = "messages as long as a formatting buffer and a byte either side",
       .script = edge_names + "| 5",
       .printed = edge_messages + "Err: Unkn typ [0]='5'\n",
       .fields = {{0, SAMPLE, 0}},
       .max_column = 5},
      {.name = "current_column saturates",
       .script = "; ; ; 5 samplenumber",
       .printed = no_header + "Err: Unkn typ [2147483647]='5'\n",
       .fields = {{0, SAMPLE, 0}},
       .max_column = INT32_MAX,
       .current_column = INT32_MAX,
       .start_column = INT32_MAX - 1},
  };
  for (const assembly_case& c : cases) {
    SCOPED_TRACE(c.name);
    reset_run_state();
    current_column = c.start_column;
    accepted_count = c.start_accepted;
    EXPECT_EQ(capture_stdout([&] { play(c.script, c.comma); }), c.printed);
    for (const field_check& f : c.fields) {
      EXPECT_EQ(field_value(f.slot, f.row), f.value) << "slot " << f.slot << " " << column_table[f.row].name;
    }
    if (c.max_column != unchecked) {
      EXPECT_EQ(max_column, c.max_column);
    }
    if (c.current_column != unchecked) {
      EXPECT_EQ(current_column, c.current_column);
    }
  }
}

// The tokenizer's own store counts separators past INT32_MAX in a register; what it gives back stops there,
// as on_separator does, and a value found there is reported, not stored.
TEST_F(SampleAssembly, DirectStoreColumnStopsAtTheTop) {
  current_events = &dot_events;
  max_column = 1;
  current_column = INT32_MAX - 1;
  sample_store<on_value_dot> store;
  ASSERT_TRUE(store.load());
  char buffer[18] = {};  // the digits are read with the 16 bytes before a value's end, a zero put after it
  char* text = buffer + 16;
  *text = '5';
  const std::string printed = capture_stdout([&] {
    for (int i = 0; i < 3; ++i) store.separator();
    store.value(text, text + 1, read_plain_digits(text, text + 1));
  });
  store.save();
  EXPECT_EQ(current_column, INT32_MAX);
  EXPECT_EQ(printed, "Err: Unkn typ [2147483647]='5'\n");
}

// Only a line that stored a value into its slot is judged at its end.
TEST_F(SampleAssembly, LineHasValueOnlyWhenAValueWasStored) {
  const struct {
    const char* script;
    bool has_value;
  } cases[] = {
      {"samplenumber ; gps_curlat", false},       {"samplenumber ; gps_curlat | ; ; 5", false},
      {"samplenumber ; gps_curlat | 5", true},    {"samplenumber ; gps_curlat | ; 3330.5 ; 7", true},
      {"samplenumber ; gps_curlat | 5 |", false}, {"5", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    reset_run_state();
    capture_stdout([&] { play(c.script, false); });
    EXPECT_EQ(line_has_value, c.has_value);
  }
}

}  // namespace
