#include "driver/driver.h"

#include <getopt.h>

#include <vector>

#include "driver/open_files.h"
#include "kml/kml_writer.h"
#include "kml/track_builder.h"
#include "log/log_events.h"
#include "log/tokenizer.h"
#include "messages/exiting_allocator.h"
#include "messages/messages.h"
#include "platform/platform.h"
#include "samples/sample_assembly.h"
#include "samples/sample_intervals.h"

kml_output output = kml_through_stdio(stdout);
FILE* dot_log = nullptr;
FILE* comma_log = nullptr;

void reset_driver() {
  output = kml_through_stdio(stdout);
  dot_log = nullptr;
  comma_log = nullptr;
  reset_open_files();
  optind = 0;  // makes getopt_long start afresh
}

namespace {

constexpr char short_options[] = "hn:o:r:t:";

constexpr option long_options[] = {
    {"smlog", required_argument, nullptr, 't'},    {"trek", required_argument, nullptr, 't'},
    {"smlog-ru", required_argument, nullptr, 'r'}, {"trek-ru", required_argument, nullptr, 'r'},
    {"samples", required_argument, nullptr, 'n'},  {"kml", required_argument, nullptr, 'o'},
    {"help", no_argument, nullptr, 'h'},           {nullptr, 0, nullptr, 0},
};

// The -o file could not be opened, or may not be written: the KML goes to standard output.
void refuse_output(const char* name) {
  print_message("Can't open file '%s' for writing, ignored\n", name);
}

void open_output(const char* name) {
  if (open_output_file(name) == OUTPUT_REFUSED) refuse_output(name);
}

int open_log(FILE** log, const char* name) {
  const opened_log opened = open_log_file(name);
  *log = opened.file;
  switch (opened.verdict) {
    case LOG_OPENED:
      break;
    case LOG_OPENED_REFUSES_OUTPUT:
      refuse_output(opened.refused_output);
      break;
    case LOG_UNREADABLE:
      print_message("Can't read file-log '%s'\n", name);
      return RUN_LOG_UNREADABLE;
    case LOG_IS_STANDARD_OUTPUT:
      print_error("Can't read file-log '%s': it is standard output\n", name);
      return RUN_LOG_UNREADABLE;
  }
  return 0;
}

// A KML that could not be written in full is a failed run, not a success.
int finish_output(const kml_destination& destination) {
  if (destination.target != KML_TO_FILE) {
    if (finish_kml(output)) return 0;
    print_error("Can't write standard output\n");
    return RUN_OUTPUT_FAILED;
  }
  const bool write_failed = !finish_kml(output);
  const bool close_failed = std::fclose(output.stream) != 0;
  output = kml_through_stdio(stdout);
  if (!write_failed && !close_failed) return 0;
  print_error("Can't write file '%s'\n", destination.name);
  return RUN_OUTPUT_FAILED;
}

}  // namespace

void run_log(FILE* log, const log_events& events, const tokenizer& variant) {
  current_events = &events;
  begin_sample_run();
  reset_track();
  variant.scan_log(log);
  std::fclose(log);
}

void convert_log(FILE* log, const log_events& events, const tokenizer& variant) {
  write_document_start(output);
  run_log(log, events, variant);
  write_document_end(output);
}

void print_usage(const char* name) {
  print_message(
      "U: %s OPTIONS\n"
      "OPTIONS:\n"
      "-n|--samples beg1-end1,beg2-end2[,...] (select this samples only)\n"
      "-t|--trek|--smlog log-file-name        (eng. locale decimal DOT)\n"
      "-r|--trek-ru|--smlog-ru log-file-name  (rus. locale decimal COMMA)\n"
      "-o|--kml kml-file-name\n"
      "-h|--help\n"
      "\n",
      name);
}

int act_on_option(int option, const char* argument, const char* program_name) {
  const char* shown = argument != nullptr ? argument : "(null)";  // what glibc's printf shows for it
  switch (option) {
    case '?':
      break;  // getopt_long has reported it
    case 'h':
      print_usage(program_name);
      break;
    case 'n':
      print_message("option --samples(%c) with value \u2018%s\u2019\n", option, shown);
      if (argument != nullptr) {
        parse_sample_intervals(argument);
      } else {
        print_message("--samples req. arg: beg1-end1,beg2-end2,...\n");
      }
      break;
    case 'o':
      print_message("option --kml(%c) with value \u2018%s\u2019\n", option, shown);
      if (argument != nullptr) {
        open_output(argument);
      } else {
        print_message("--kml req. arg: filename\n");
      }
      break;
    case 'r':
      print_message("option --smlog-ru|trek-ru(%c) with value \u2018%s\u2019\n", option, shown);
      if (argument == nullptr) {
        print_message("--smlog-ru|trek-ru req. arg: filename\n");
        return RUN_TOO_FEW_ARGUMENTS;
      }
      return open_log(&comma_log, argument);
    case 't':
      print_message("option --smlog|trek(%c) with value \u2018%s\u2019\n", option, shown);
      if (argument == nullptr) {
        print_message("--smlog|trek req. arg: filename\n");
        return RUN_TOO_FEW_ARGUMENTS;
      }
      return open_log(&dot_log, argument);
    default:
      print_message("?? getopt returned character code 0%o ??\n", static_cast<unsigned>(option));
      break;
  }
  return 0;
}

namespace {

// The names the log options give, from a pass over a copy of the arguments (getopt_long may reorder the
// arguments it reads) that prints nothing and acts on nothing.
std::vector<const char*, exiting_allocator<const char*>> log_names_of(int argc, char** argv) {
  std::vector<char*, exiting_allocator<char*>> arguments(argv, argv + argc);
  arguments.push_back(nullptr);
  std::vector<const char*, exiting_allocator<const char*>> names;
  opterr = 0;
  int option;
  int index;
  while ((option = getopt_long(argc, arguments.data(), short_options, long_options, &index)) != -1) {
    if ((option == 't' || option == 'r') && optarg != nullptr) names.push_back(optarg);
  }
  opterr = 1;
  optind = 0;  // the options are read afresh
  return names;
}

// Every option in command-line order, until one ends the run. Returns 0 or that option's return code.
int act_on_options(int argc, char** argv) {
  int option;
  int index;
  while ((option = getopt_long(argc, argv, short_options, long_options, &index)) != -1) {
    if (const int stop = act_on_option(option, optarg, argv[0]); stop != 0) return stop;
  }
  return 0;
}

}  // namespace

int run_driver(int argc, char** argv) {
  prepare_process();
  reset_driver();
  // Before anything is printed: a standard stream writing into a file named as a log is closed for the run.
  keep_standard_streams_from_logs(log_names_of(argc, argv));
  if (argc <= 4) {
    print_usage(argv[0]);
    return RUN_TOO_FEW_ARGUMENTS;
  }

  const int stop = act_on_options(argc, argv);
  const kml_destination destination = empty_output_files();
  if (destination.target == KML_TO_STANDARD_OUTPUT_STALE) refuse_output(destination.name);
  if (stop != 0) return stop;
  if (optind < argc) {
    print_message("non-option ARGV-elements: ");
    while (optind < argc) print_message("%s ", argv[optind++]);
    print_message("\n");
  }

  if (destination.target == KML_TO_FILE) output = kml_through_own_buffer(destination.file);
  if (dot_log != nullptr) {
    convert_log(dot_log, dot_events, dot_tokenizer);
  } else if (comma_log != nullptr) {
    convert_log(comma_log, comma_events, comma_tokenizer);
  } else {
    print_message("Err. no input file\n");
  }
  return finish_output(destination);
}
