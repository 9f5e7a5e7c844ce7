#pragma once

// Whether the processor reports what the structural lane's code needs, asked of the processor itself, apart
// from the start-up check the program makes. CMake picks lane_avx2/ or lane_portable/ as it picks the
// lane's code.
bool processor_reports_lane();
