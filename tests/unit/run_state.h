#pragma once

// Puts every piece of process-wide state back to its initial value, getopt_long's included.
void reset_run_state();
