#pragma once

#include <functional>
#include <string>

// Puts every piece of process-wide state back to its initial value, getopt_long's included.
void reset_run_state();

// Runs body with standard output going to a scratch file and returns what it wrote.
std::string capture_stdout(const std::function<void()>& body);
