// Writes a realistic telemetry log: the 46 known columns in table order, one line of about 296 bytes per
// sample at 5 Hz, of flights that wait for a fix, climb out, fly a few laps of a circuit, come back and
// land. The same seed and options always give the same bytes.
//
// usage: generate_log [--seed N] [--samples N | --bytes N] [--flights-of N] [--crlf] [--comma] [--no-header]
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>

#include "platform/platform.h"
#include "splitmix64.h"

namespace {

struct options {
  std::uint64_t seed = 1;
  std::uint64_t samples = 0;
  std::uint64_t bytes = 0;
  std::uint64_t samples_per_flight = 6000;
  bool crlf = false;
  bool decimal_comma = false;
  bool header = true;
};

constexpr const char* column_names[] = {"samplenumber",
                                        "flightnumber",
                                        "gps_date",
                                        "gps_time",
                                        "gps_numsatellites",
                                        "gps_fixmode",
                                        "ap_status",
                                        "gps_startlat",
                                        "gps_startlon",
                                        "gps_startalt",
                                        "gps_curlat",
                                        "gps_curlon",
                                        "gps_curalt",
                                        "gps_curspeed",
                                        "gps_curheading",
                                        "compass_curheading",
                                        "bearing_to_base",
                                        "turn_rate",
                                        "voltage1",
                                        "voltage2",
                                        "voltage3",
                                        "current",
                                        "mah",
                                        "temperature",
                                        "baro_curspeed",
                                        "baro_curalt",
                                        "pyro_curroll",
                                        "pyro_curpitch",
                                        "pyro_targetroll",
                                        "pyro_targetpitch",
                                        "targetthrottle",
                                        "in_ppm_curwidth[0]",
                                        "in_ppm_curwidth[1]",
                                        "in_ppm_curwidth[2]",
                                        "in_ppm_curwidth[3]",
                                        "in_ppm_curwidth[4]",
                                        "in_ppm_curwidth[5]",
                                        "in_ppm_curwidth[6]",
                                        "in_ppm_curwidth[7]",
                                        "out_ppm_curwidth[0]",
                                        "out_ppm_curwidth[1]",
                                        "out_ppm_curwidth[2]",
                                        "out_ppm_curwidth[3]",
                                        "out_ppm_curwidth[4]",
                                        "out_ppm_curwidth[5]",
                                        "controlbyte"};

struct random_source {
  splitmix64 bits;
  double uniform(double low, double high) {
    return low + (high - low) * static_cast<double>(bits.next() >> 11) * 0x1.0p-53;
  }
};

struct line_writer {
  char text[2048];
  char* end = text;
  char mark;
  void separator() { *end++ = ';'; }
  void integer(std::int64_t value) { end = std::to_chars(end, text + sizeof text, value).ptr; }
  // value rounded to `decimals` places, written with the log's decimal mark
  void real(double value, int decimals) {
    static constexpr double scale[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    const std::int64_t scaled = std::llround(value * scale[decimals]);
    const std::uint64_t magnitude =
        scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    if (scaled < 0) *end++ = '-';
    const std::uint64_t unit = static_cast<std::uint64_t>(scale[decimals]);
    end = std::to_chars(end, text + sizeof text, magnitude / unit).ptr;
    if (decimals == 0) return;
    *end++ = mark;
    std::uint64_t fraction = magnitude % unit;
    for (int i = decimals - 1; i >= 0; --i, fraction /= 10) end[i] = static_cast<char>('0' + fraction % 10);
    end += decimals;
  }
};

constexpr double metres_per_minute = 1852.0;
constexpr double base_lat_minutes = 55.7512 * 60;  // a field outside Moscow
constexpr double base_lon_minutes = 37.6184 * 60;
constexpr double base_alt = 156.0;
constexpr double dt = 0.2;

struct flight_state {
  double x = 0, y = 0, alt = base_alt, heading = 0, speed = 0, mah = 0, time = 36000;
};

bool parse_options(int argc, char** argv, options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto number = [&](std::uint64_t& into) {
      if (i + 1 >= argc) return false;
      into = std::strtoull(argv[++i], nullptr, 10);
      return true;
    };
    if (arg == "--seed"         ? !number(o.seed)
        : arg == "--samples"    ? !number(o.samples)
        : arg == "--bytes"      ? !number(o.bytes)
        : arg == "--flights-of" ? !number(o.samples_per_flight)
        : arg == "--crlf"       ? !(o.crlf = true)
        : arg == "--comma"      ? !(o.decimal_comma = true)
        : arg == "--no-header"  ? (o.header = false)
                                : true) {
      std::fprintf(stderr,
                   "usage: generate_log [--seed N] [--samples N | --bytes N] [--flights-of N] [--crlf] "
                   "[--comma] [--no-header]\n");
      return false;
    }
  }
  if (o.samples == 0 && o.bytes == 0) o.samples = 600;
  if (o.samples_per_flight < 100) o.samples_per_flight = 100;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  prepare_process();  // standard output passes the bytes unchanged, CR LF included, as the converter's does
  options o;
  if (!parse_options(argc, argv, o)) return 2;
  random_source random{.bits = {.state = o.seed}};
  const char* line_end = o.crlf ? "\r\n" : "\n";
  std::uint64_t written = 0;
  if (o.header) {
    std::string header;
    for (const char* name : column_names) header.append(header.empty() ? "" : ";").append(name);
    header += line_end;
    std::fputs(header.c_str(), stdout);
    written += header.size();
  }

  flight_state f;
  const double circuit_radius = random.uniform(300, 700);
  for (std::uint64_t n = 1; o.samples != 0 ? n <= o.samples : written < o.bytes; ++n) {
    const std::uint64_t flight = (n - 1) / o.samples_per_flight + 1;
    const double phase =
        static_cast<double>((n - 1) % o.samples_per_flight) / static_cast<double>(o.samples_per_flight);
    if ((n - 1) % o.samples_per_flight == 0) f = flight_state{0, 0, base_alt, 0, 0, 0, f.time + 600};
    const bool fixed = phase > 0.01;
    // ground, climb-out, laps of the circuit, return and landing
    double target_alt = base_alt, target_speed = 0;
    if (phase > 0.05 && phase < 0.9) target_alt = base_alt + 150, target_speed = 16;
    if (phase >= 0.9 && phase < 0.97) target_alt = base_alt + 20, target_speed = 12;
    // laps: fly the circle through the base, counter-clockwise, steering back onto it; then home
    const double radial = std::atan2(f.y - circuit_radius, f.x);
    const double off_circle = std::hypot(f.x, f.y - circuit_radius) - circuit_radius;
    const double target_heading =
        phase < 0.9 ? radial + std::numbers::pi / 2 + std::atan(off_circle / 80) : std::atan2(-f.y, -f.x);
    double turn = std::remainder(target_heading - f.heading, 2 * std::numbers::pi);
    turn = std::clamp(turn, -0.3 * dt, 0.3 * dt);
    if (f.speed > 1) f.heading = std::remainder(f.heading + turn, 2 * std::numbers::pi);
    f.speed += std::clamp(target_speed - f.speed, -1.0 * dt, 1.5 * dt) + random.uniform(-0.05, 0.05);
    f.speed = std::max(f.speed, 0.0);
    f.alt += std::clamp(target_alt - f.alt, -2.0 * dt, 3.0 * dt);
    f.x += f.speed * dt * std::cos(f.heading);
    f.y += f.speed * dt * std::sin(f.heading);
    f.time += dt;
    const double current = 2 + f.speed * 0.9 + random.uniform(-0.3, 0.3);
    f.mah += current * dt / 3.6;

    const double lat = fixed ? base_lat_minutes + f.y / metres_per_minute : 0;
    const double lon =
        fixed ? base_lon_minutes +
                    f.x / (metres_per_minute * std::cos(base_lat_minutes / 60 * std::numbers::pi / 180))
              : 0;
    const double heading_degrees = std::fmod(f.heading * 180 / std::numbers::pi + 360, 360);
    const double voltage = 12.6 - 1.4 * phase + random.uniform(-0.02, 0.02);
    const int seconds_of_day = static_cast<int>(f.time) % 86400;
    const double gps_time = (seconds_of_day / 3600) * 10000 + (seconds_of_day / 60 % 60) * 100 +
                            seconds_of_day % 60 + (f.time - std::floor(f.time));

    line_writer w;
    w.mark = o.decimal_comma ? ',' : '.';
    w.integer(static_cast<std::int64_t>(n)), w.separator();
    w.integer(static_cast<std::int64_t>(flight)), w.separator();
    w.integer(70311), w.separator();
    w.real(gps_time, 3), w.separator();
    w.integer(fixed ? 9 + static_cast<int>(random.bits.next() % 3) : 3), w.separator();
    w.integer(fixed ? 3 : 0), w.separator();
    w.integer(phase < 0.05 ? 1 : phase < 0.9 ? 4 : 6), w.separator();
    w.real(fixed ? base_lat_minutes : 0, 6), w.separator();
    w.real(fixed ? base_lon_minutes : 0, 6), w.separator();
    w.real(fixed ? base_alt : 0, 1), w.separator();
    w.real(lat, 6), w.separator();
    w.real(lon, 6), w.separator();
    w.real(fixed ? f.alt + random.uniform(-0.3, 0.3) : 0, 1), w.separator();
    w.real(f.speed * 3.6, 1), w.separator();
    w.real(heading_degrees, 1), w.separator();
    w.real(std::fmod(heading_degrees + random.uniform(-4, 4) + 360, 360), 1), w.separator();
    w.real(std::fmod(std::atan2(-f.y, -f.x) * 180 / std::numbers::pi + 360, 360), 1), w.separator();
    w.real(turn / dt * 180 / std::numbers::pi, 3), w.separator();
    w.real(voltage, 3), w.separator();
    w.real(voltage / 3 + random.uniform(-0.01, 0.01), 3), w.separator();
    w.real(5.02 + random.uniform(-0.02, 0.02), 3), w.separator();
    w.real(current, 3), w.separator();
    w.real(f.mah, 2), w.separator();
    w.real(18.5 + 4 * phase + random.uniform(-0.2, 0.2), 2), w.separator();
    w.real(f.speed * 3.6 + random.uniform(-2, 2), 1), w.separator();
    w.real(f.alt - base_alt + random.uniform(-1, 1), 1), w.separator();
    w.real(turn / dt * 40 + random.uniform(-1, 1), 1), w.separator();
    w.real(random.uniform(-3, 5), 1), w.separator();
    w.real(turn / dt * 40, 1), w.separator();
    w.real(2, 1), w.separator();
    w.real(target_speed > 0 ? 65 + random.uniform(-5, 5) : 0, 2), w.separator();
    for (int i = 0; i < 8; ++i) w.real(1500 + random.uniform(-400, 400) * (i < 4), 1), w.separator();
    for (int i = 0; i < 6; ++i) w.real(1500 + random.uniform(-300, 300), 1), w.separator();
    w.integer(static_cast<std::int64_t>(random.bits.next() % 256));
    const std::size_t length = std::strlen(line_end);
    std::memcpy(w.end, line_end, length);
    w.end += length;
    std::fwrite(w.text, 1, static_cast<std::size_t>(w.end - w.text), stdout);
    written += static_cast<std::uint64_t>(w.end - w.text);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
