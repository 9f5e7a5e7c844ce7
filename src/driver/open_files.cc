#include "driver/open_files.h"

#include <functional>
#include <set>
#include <string_view>
#include <vector>

#include "messages/exiting_allocator.h"
#include "platform/platform.h"

namespace {

std::uint64_t identity_lookups = 0;

file_facts look_up(FILE* stream) {
  ++identity_lookups;
  return facts_of(stream);
}

file_facts look_up_name(const char* name) {
  ++identity_lookups;
  return facts_of_name(name);
}

// Two names are one file when the system gives both the same id on one volume, or on a volume one side
// could not tell (taking two files for one refuses a run or an output, which is safe; taking one file for
// two could write into a log). On two volumes they are one file where a mount may show one file on both and
// the facts that writing changes agree, to the nanosecond: on an overlay even the inode may differ.
bool on_one_volume(const file_identity& x, const file_identity& y) {
  return x.volume == y.volume || !x.volume_known || !y.volume_known;
}

bool same_file(const file_facts& a, const file_facts& b) {
  if (!a.identified || !b.identified) return false;
  const file_identity& x = a.identity;
  const file_identity& y = b.identity;
  if (on_one_volume(x, y)) return same_file_id(x, y);
  if (a.views == VIEWS_ONE_VOLUME || b.views == VIEWS_ONE_VOLUME) return false;
  const bool same_state = a.state.size == b.state.size && a.state.modified_ns == b.state.modified_ns &&
                          a.state.changed_ns == b.state.changed_ns;
  return same_state && (same_file_id(x, y) || a.views == VIEWS_OVERLAY || b.views == VIEWS_OVERLAY);
}

// A log as it was opened; its facts are asked again through the stream where writing may have changed them.
// A log that could not be opened keeps the facts its name gave.
struct log_file {
  file_facts facts;
  FILE* stream;
};

struct by_file_id {
  bool operator()(const log_file& a, const log_file& b) const {
    return file_id_before(a.facts.identity, b.facts.identity);
  }
};

template <typename T>
using run_vector = std::vector<T, exiting_allocator<T>>;

// Every log named, replaced ones included: ordered by id, so each question about a file looks at its
// neighbours only; those on an overlay are also listed apart, since they may show another file's id.
std::multiset<log_file, by_file_id, exiting_allocator<log_file>> logs;
run_vector<const log_file*> logs_on_overlay;

struct output_file {
  FILE* file;
  const char* name;
};
run_vector<output_file> outputs_opened;  // every -o file opened

constexpr kml_destination no_output_file = {KML_TO_STANDARD_OUTPUT, nullptr, nullptr};
kml_destination in_force = no_output_file;

// A standard stream and, once it is closed for the run, the facts of its file as they were then. Standard
// output is kept from a log it writes to as a regular file or a pipe (a pipe read as the log would feed the
// run its own messages); standard error from one it writes to as a regular file.
struct standard_stream {
  FILE* stream;
  bool kept_from_pipes;
  bool closed;
  file_facts facts_when_closed;
};
const standard_stream standard_output_at_start = {stdout, true, false, {}};
const standard_stream standard_error_at_start = {stderr, false, false, {}};
standard_stream standard_output = standard_output_at_start;
standard_stream standard_error = standard_error_at_start;

// The log names found to be standard output's file before it was closed: once it is, a name such as
// /dev/stdout names nothing, and would pass for a missing file.
std::set<std::string_view, std::less<>, exiting_allocator<std::string_view>> names_of_standard_output;

file_facts facts_now(const log_file& log) {
  return log.stream != nullptr ? look_up(log.stream) : log.facts;
}

file_facts facts_now(const standard_stream& standard) {
  return standard.closed ? standard.facts_when_closed : look_up(standard.stream);
}

bool writes_into(const standard_stream& standard, const file_facts& standard_file, const file_facts& file) {
  const bool kept_kind = standard_file.kind == FILE_KIND_REGULAR ||
                         (standard_file.kind == FILE_KIND_PIPE && standard.kept_from_pipes);
  return kept_kind && same_file(standard_file, file);
}

void close_for_the_run(standard_stream& standard) {
  if (standard.closed) return;
  standard.facts_when_closed = look_up(standard.stream);
  discard_standard_stream(standard.stream);
  standard.closed = true;
}

void remember_log(const file_facts& facts, FILE* stream) {
  if (!facts.identified) return;
  const auto kept = logs.insert({facts, stream});
  if (facts.views == VIEWS_OVERLAY) logs_on_overlay.push_back(&*kept);
}

// On one volume the id settles it; on two, what writing changes is asked as it is now.
bool same_as_log(const file_facts& file, const log_file& log) {
  const bool asked_now = file.identified && !on_one_volume(file.identity, log.facts.identity);
  return same_file(file, asked_now ? facts_now(log) : log.facts);
}

// Logs with the file's id are its neighbours in `logs`; on an overlay a log may show another id, so those on
// another volume are asked too when either side lies on one.
bool opened_as_log(const file_facts& file) {
  if (!file.identified) return false;
  const auto [first, last] = logs.equal_range({file, nullptr});
  for (auto log = first; log != last; ++log) {
    if (same_as_log(file, *log)) return true;
  }
  const auto on_another_volume = [&file](const log_file& log) {
    return !on_one_volume(log.facts.identity, file.identity) &&
           !same_file_id(log.facts.identity, file.identity);
  };
  if (file.views == VIEWS_OVERLAY) {
    for (const log_file& log : logs) {
      if (on_another_volume(log) && same_as_log(file, log)) return true;
    }
  } else {
    for (const log_file* log : logs_on_overlay) {
      if (on_another_volume(*log) && same_as_log(file, *log)) return true;
    }
  }
  return false;
}

}  // namespace

void keep_standard_streams_from_logs(std::span<const char* const> log_names) {
  if (log_names.empty()) return;
  // Nothing is written while the names are screened: the standard streams' facts hold for all of them.
  const file_facts output = look_up(stdout);
  const file_facts error = look_up(stderr);
  for (const char* name : log_names) {
    const file_facts log = look_up_name(name);
    if (writes_into(standard_output, output, log)) names_of_standard_output.insert(name);
    if (writes_into(standard_error, error, log)) close_for_the_run(standard_error);
  }
  if (!names_of_standard_output.empty()) close_for_the_run(standard_output);
}

opened_log open_log_file(const char* name) {
  if (names_of_standard_output.contains(name)) return {LOG_IS_STANDARD_OUTPUT, nullptr, nullptr};
  FILE* log = open_for_reading(name);
  // Without a descriptor, or without permission to read, the name alone still tells the file.
  const file_facts facts = log != nullptr ? look_up(log) : look_up_name(name);
  // A regular file that the system cannot identify could not be told from the -o files and standard output.
  if (log != nullptr && !facts.identified && facts.kind == FILE_KIND_REGULAR) {
    std::fclose(log);
    return {LOG_UNREADABLE, nullptr, nullptr};
  }
  remember_log(facts, log);
  // Read while standard output writes to it, a log would grow by the messages its own reading prints,
  // without end, or (a pipe) never end at all.
  if (writes_into(standard_output, facts_now(standard_output), facts)) {
    close_for_the_run(standard_output);
    return {LOG_IS_STANDARD_OUTPUT, nullptr, nullptr};
  }
  if (log == nullptr) return {LOG_UNREADABLE, nullptr, nullptr};
  // Its name showed another file when the options were screened; from now on nothing reaches it.
  if (writes_into(standard_error, facts_now(standard_error), facts)) close_for_the_run(standard_error);
  if (in_force.target == KML_TO_FILE && same_file(look_up(in_force.file), facts)) {
    const char* refused = in_force.name;
    in_force = no_output_file;
    return {LOG_OPENED_REFUSES_OUTPUT, log, refused};
  }
  return {LOG_OPENED, log, nullptr};
}

output_verdict open_output_file(const char* name) {
  in_force = no_output_file;
  // Not emptied at open: a log option later on the command line may name this very file.
  FILE* file = open_for_writing(name);
  if (file == nullptr) return OUTPUT_REFUSED;
  const file_facts facts = look_up(file);
  // A regular file that cannot be identified might be a log, and could not be told from one when emptied.
  const bool may_not_write = (!facts.identified && facts.kind == FILE_KIND_REGULAR) || opened_as_log(facts);
  if (may_not_write || same_file(facts, facts_now(standard_output))) {
    std::fclose(file);
    return may_not_write ? OUTPUT_REFUSED : OUTPUT_IS_STANDARD_OUTPUT;
  }
  outputs_opened.push_back({file, name});
  in_force = {KML_TO_FILE, file, name};
  return OUTPUT_OPENED;
}

kml_destination empty_output_files() {
  for (const output_file& output : outputs_opened) {
    // A device or a FIFO is written as it is; a file read as the log is never touched.
    const file_facts facts = look_up(output.file);
    if (facts.kind != FILE_KIND_REGULAR || opened_as_log(facts)) continue;
    if (!empty_file(output.file) && in_force.target == KML_TO_FILE && output.file == in_force.file) {
      in_force = {KML_TO_STANDARD_OUTPUT_STALE, nullptr, output.name};
    }
  }
  const kml_destination destination = in_force;
  if (in_force.target == KML_TO_STANDARD_OUTPUT_STALE) in_force = no_output_file;
  return destination;
}

std::uint64_t identity_lookups_made() {
  return identity_lookups;
}

void reset_open_files() {
  logs.clear();
  logs_on_overlay.clear();
  outputs_opened.clear();
  names_of_standard_output.clear();
  in_force = no_output_file;
  standard_output = standard_output_at_start;
  standard_error = standard_error_at_start;
  identity_lookups = 0;
}
