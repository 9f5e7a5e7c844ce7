#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The bundled example flight, repeated to about `bytes` bytes, header once: a realistic log in memory.
std::string example_log(std::size_t bytes);

// The value texts of the example flight's data lines, in order ("3345.072000", "1500", ...).
const std::vector<std::string>& example_values();

// /dev/null opened for writing, with a 1 MiB buffer for what goes through stdio.
FILE* open_null_sink();
