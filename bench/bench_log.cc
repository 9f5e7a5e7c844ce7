#include "bench_log.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::string read_example() {
  std::ifstream in(TELEM2KML_EXAMPLE_LOG, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

std::string example_log(std::size_t bytes) {
  const std::string flight = read_example();
  const std::string samples = flight.substr(flight.find('\n') + 1);
  std::string log = flight;
  while (log.size() < bytes) log += samples;
  return log;
}

FILE* open_null_sink() {
  static char buffer[std::size_t{1} << 20];
  FILE* sink = std::fopen("/dev/null", "wb");
  std::setvbuf(sink, buffer, _IOFBF, sizeof buffer);
  return sink;
}

const std::vector<std::string>& example_values() {
  static const std::vector<std::string> values = [] {
    std::vector<std::string> texts;
    const std::string flight = read_example();
    std::string field;
    for (char c : flight.substr(flight.find('\n') + 1)) {
      if (c == ';' || c == '\n') {
        texts.push_back(field);
        field.clear();
      } else {
        field += c;
      }
    }
    return texts;
  }();
  return values;
}
