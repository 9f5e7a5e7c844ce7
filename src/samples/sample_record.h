#pragma once

#include <cstddef>
#include <cstdint>

enum value_type : std::int32_t { TYPE_NONE = 0, TYPE_INT = 1, TYPE_REAL = 2 };

// The values of one log line. Only samplenumber and the current position are read later; the rest are
// kept so that every column of the log has its place.
struct sample_record {
  std::int32_t samplenumber;
  std::int32_t flightnumber;
  std::int32_t gps_date;
  double gps_time;
  std::int32_t gps_numsatellites;
  std::int32_t gps_fixmode;
  std::int32_t ap_status;
  double gps_startlat;
  double gps_startlon;
  double gps_startalt;
  double gps_curlat;  // minutes of arc
  double gps_curlon;  // minutes of arc
  double gps_curalt;
  double gps_curspeed;
  double gps_curheading;
  double compass_curheading;
  double bearing_to_base;
  double turn_rate;
  double voltage1;
  double voltage2;
  double voltage3;
  double current;
  double mah;
  double temperature;
  double baro_curspeed;
  double baro_curalt;
  double pyro_curroll;
  double pyro_curpitch;
  double pyro_targetroll;
  double pyro_targetpitch;
  double targetthrottle;
  double in_ppm_curwidth[8];
  double out_ppm_curwidth[6];
  std::int32_t controlbyte;
};

// One known log column: its header name, where its value goes in sample_record, and how it is converted.
struct column_def {
  const char* name;
  std::size_t field_offset;
  value_type type;
};

constexpr int column_rows = 47;  // row 0 stands for no field, rows 1 to 46 are the known columns
extern const column_def column_table[column_rows];
