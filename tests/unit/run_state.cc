#include "run_state.h"

#include "driver/driver.h"
#include "kml/kml_writer.h"
#include "kml/track_builder.h"
#include "log/tokenizer.h"
#include "platform/platform.h"
#include "samples/sample_assembly.h"
#include "samples/sample_intervals.h"

void reset_run_state() {
  reset_driver();
  reset_tokenizer();
  reset_samples();
  reset_intervals();
  reset_track();
  reset_kml_writer();
  reset_platform();
}
