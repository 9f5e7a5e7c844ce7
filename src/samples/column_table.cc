#include <cstddef>

#include "samples/sample_record.h"

#define INT_COLUMN(field) \
  { #field, offsetof(sample_record, field), TYPE_INT }
#define REAL_COLUMN(field) \
  { #field, offsetof(sample_record, field), TYPE_REAL }
#define REAL_ELEMENT(field, i) \
  { #field "[" #i "]", offsetof(sample_record, field) + (i) * sizeof(double), TYPE_REAL }

const column_def column_table[column_rows] = {
    {"", 0, TYPE_NONE},
    INT_COLUMN(samplenumber),
    INT_COLUMN(flightnumber),
    INT_COLUMN(gps_date),
    REAL_COLUMN(gps_time),
    INT_COLUMN(gps_numsatellites),
    INT_COLUMN(gps_fixmode),
    INT_COLUMN(ap_status),
    REAL_COLUMN(gps_startlat),
    REAL_COLUMN(gps_startlon),
    REAL_COLUMN(gps_startalt),
    REAL_COLUMN(gps_curlat),
    REAL_COLUMN(gps_curlon),
    REAL_COLUMN(gps_curalt),
    REAL_COLUMN(gps_curspeed),
    REAL_COLUMN(gps_curheading),
    REAL_COLUMN(compass_curheading),
    REAL_COLUMN(bearing_to_base),
    REAL_COLUMN(turn_rate),
    REAL_COLUMN(voltage1),
    REAL_COLUMN(voltage2),
    REAL_COLUMN(voltage3),
    REAL_COLUMN(current),
    REAL_COLUMN(mah),
    REAL_COLUMN(temperature),
    REAL_COLUMN(baro_curspeed),
    REAL_COLUMN(baro_curalt),
    REAL_COLUMN(pyro_curroll),
    REAL_COLUMN(pyro_curpitch),
    REAL_COLUMN(pyro_targetroll),
    REAL_COLUMN(pyro_targetpitch),
    REAL_COLUMN(targetthrottle),
    REAL_ELEMENT(in_ppm_curwidth, 0),
    REAL_ELEMENT(in_ppm_curwidth, 1),
    REAL_ELEMENT(in_ppm_curwidth, 2),
    REAL_ELEMENT(in_ppm_curwidth, 3),
    REAL_ELEMENT(in_ppm_curwidth, 4),
    REAL_ELEMENT(in_ppm_curwidth, 5),
    REAL_ELEMENT(in_ppm_curwidth, 6),
    REAL_ELEMENT(in_ppm_curwidth, 7),
    REAL_ELEMENT(out_ppm_curwidth, 0),
    REAL_ELEMENT(out_ppm_curwidth, 1),
    REAL_ELEMENT(out_ppm_curwidth, 2),
    REAL_ELEMENT(out_ppm_curwidth, 3),
    REAL_ELEMENT(out_ppm_curwidth, 4),
    REAL_ELEMENT(out_ppm_curwidth, 5),
    INT_COLUMN(controlbyte),
};
