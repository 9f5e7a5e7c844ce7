#include "log/structural_lane.h"

const bool structural_lane_supported = false;
