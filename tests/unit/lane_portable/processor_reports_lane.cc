#include "processor_reports_lane.h"

// The build has no lane's code to run.
bool processor_reports_lane() {
  return false;
}
