#include "log/structural_lane.h"

namespace {

bool processor_has_lane() {
  __builtin_cpu_init();  // the start-up check may run before the library's own initialisation
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
}

}  // namespace

const bool structural_lane_supported = processor_has_lane();
