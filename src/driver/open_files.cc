#include "driver/open_files.h"

#include <algorithm>
#include <set>
#include <vector>

#include "platform/messages.h"
#include "platform/platform.h"

std::uint64_t identity_lookups = 0;

namespace {

struct output_file {
  FILE* file;
  file_facts facts;
};

struct by_file_id {
  bool operator()(const file_identity& a, const file_identity& b) const { return file_id_before(a, b); }
};

// Every log opened, replaced ones included, and every -o file.
std::multiset<file_identity, by_file_id> log_identities;
std::vector<output_file> outputs_opened;

file_facts look_up(FILE* stream) {
  ++identity_lookups;
  return facts_of(stream);
}

bool opened_as_log(const file_facts& file) {
  if (!file.identified) return false;
  const auto [first, last] = log_identities.equal_range(file.identity);
  return std::any_of(first, last,
                     [&](const file_identity& log) { return same_identity(log, file.identity); });
}

bool same_file(const file_facts& a, const file_facts& b) {
  return a.identified && b.identified && same_identity(a.identity, b.identity);
}

}  // namespace

void begin_options() {
  if (look_up(stdout).kind == FILE_KIND_REGULAR) hold_messages();
}

opened_log open_log_file(const char* name, FILE* current_output) {
  FILE* log = open_for_reading(name);
  if (log == nullptr) return {LOG_UNREADABLE, nullptr};
  const file_facts facts = look_up(log);
  // A regular file that the system cannot identify could not be told from the -o files and standard output.
  if (!facts.identified && facts.kind == FILE_KIND_REGULAR) {
    std::fclose(log);
    return {LOG_UNREADABLE, nullptr};
  }
  if (facts.identified) log_identities.insert(facts.identity);
  // Read while standard output writes to it, a log would grow by the messages its own reading prints,
  // without end, or (a pipe) never end at all. What is held or buffered for standard output must not reach
  // it either.
  if ((facts.kind == FILE_KIND_REGULAR || facts.kind == FILE_KIND_PIPE) &&
      same_file(facts, look_up(stdout))) {
    reset_messages();
    discard_standard_output();
    return {LOG_IS_STANDARD_OUTPUT, nullptr};
  }
  if (current_output != nullptr && same_file(look_up(current_output), facts)) {
    return {LOG_OPENED_REFUSES_OUTPUT, log};
  }
  return {LOG_OPENED, log};
}

opened_output open_output_file(const char* name) {
  // Not emptied at open: a log option later on the command line may name this very file.
  FILE* file = open_for_writing(name);
  if (file == nullptr) return {OUTPUT_REFUSED, nullptr};
  const file_facts facts = look_up(file);
  // A regular file that cannot be identified might be a log, and could not be told from one when emptied.
  const bool may_not_write = (!facts.identified && facts.kind == FILE_KIND_REGULAR) || opened_as_log(facts);
  if (may_not_write || same_file(facts, look_up(stdout))) {
    std::fclose(file);
    return {may_not_write ? OUTPUT_REFUSED : OUTPUT_IS_STANDARD_OUTPUT, nullptr};
  }
  outputs_opened.push_back({file, facts});
  return {OUTPUT_OPENED, file};
}

options_end finish_options(FILE* current_output) {
  options_end end = OUTPUTS_READY;
  for (const output_file& output : outputs_opened) {
    // A device or a FIFO is written as it is; a file read as the log is never touched.
    if (output.facts.kind != FILE_KIND_REGULAR || opened_as_log(output.facts)) continue;
    if (!empty_file(output.file) && output.file == current_output) end = CURRENT_OUTPUT_STALE;
  }
  release_messages();
  return end;
}

void reset_open_files() {
  log_identities.clear();
  outputs_opened.clear();
  identity_lookups = 0;
}
