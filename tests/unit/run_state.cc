#include "run_state.h"

#include <cstdio>

#include <unistd.h>

#include "driver/driver.h"
#include "kml/kml_writer.h"
#include "kml/track_builder.h"
#include "log/tokenizer.h"
#include "platform/messages.h"
#include "samples/sample_assembly.h"
#include "samples/sample_intervals.h"

void reset_run_state() {
  reset_driver();
  reset_tokenizer();
  reset_samples();
  reset_intervals();
  reset_track();
  reset_kml_writer();
  reset_messages();
}

std::string capture_stdout(const std::function<void()>& body) {
  std::fflush(stdout);
  FILE* scratch = std::tmpfile();
  const int saved = dup(STDOUT_FILENO);
  dup2(fileno(scratch), STDOUT_FILENO);
  body();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string written;
  std::rewind(scratch);
  char block[4096];
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, scratch)) > 0;) written.append(block, n);
  std::fclose(scratch);
  return written;
}
