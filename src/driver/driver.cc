#include "driver/driver.h"

#include <getopt.h>

#include <csignal>
#include <cstring>

#include "driver/open_files.h"
#include "kml/kml_writer.h"
#include "kml/track_builder.h"
#include "log/log_events.h"
#include "log/tokenizer.h"
#include "samples/sample_assembly.h"
#include "samples/sample_intervals.h"

FILE* output_stream = stdout;
const char* output_name = nullptr;
FILE* dot_log = nullptr;
FILE* comma_log = nullptr;

void reset_driver() {
  output_stream = stdout;
  output_name = nullptr;
  dot_log = nullptr;
  comma_log = nullptr;
  reset_open_files();
  optind = 0;  // makes getopt_long start afresh
}

namespace {

// The KML file is written through one large buffer, in few system calls. (Given no buffer of its own,
// stdio would keep to the file system's block size, whatever size is asked for.)
char output_buffer[std::size_t{1} << 20];

constexpr char short_options[] = "hn:o:r:t:";

constexpr option long_options[] = {
    {"smlog", required_argument, nullptr, 't'},    {"trek", required_argument, nullptr, 't'},
    {"smlog-ru", required_argument, nullptr, 'r'}, {"trek-ru", required_argument, nullptr, 'r'},
    {"samples", required_argument, nullptr, 'n'},  {"kml", required_argument, nullptr, 'o'},
    {"help", no_argument, nullptr, 'h'},           {nullptr, 0, nullptr, 0},
};

// The -o file could not be opened, or may not be written: the KML goes to standard output.
void refuse_output(const char* name) {
  std::printf("Can't open file '%s' for writing, ignored\n", name);
  output_stream = stdout;
  output_name = nullptr;
}

void open_output(const char* name) {
  FILE* file = open_output_file(name);
  if (file == nullptr) return refuse_output(name);
  output_stream = file;
  output_name = file != stdout ? name : nullptr;
}

int open_log(FILE** log, const char* name) {
  *log = open_log_file(name);
  if (*log == nullptr) {
    std::printf("Can't read file-log '%s'\n", name);
    return RUN_LOG_UNREADABLE;
  }
  // Read while standard output writes to it, a log would grow by the messages its own reading prints, without
  // end, or (a pipe) never end at all. What is still buffered for standard output must not reach it either.
  if (is_file_or_pipe(*log) && same_file(*log, stdout)) {
    std::fprintf(stderr, "Can't read file-log '%s': it is standard output\n", name);
    discard_standard_output();
    return RUN_LOG_UNREADABLE;
  }
  if (output_stream != stdout && same_file(*log, output_stream)) refuse_output(output_name);
  return 0;
}

// The -o files are emptied only once the options are done (or have ended the run), when every log is known,
// so that no file opened as a log is emptied.
void empty_outputs() {
  if (!empty_output_files(output_stream)) refuse_output(output_name);
}

// A KML that could not be written in full is a failed run, not a success.
int finish_output() {
  if (output_stream == stdout) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "Can't write standard output\n");
    return RUN_OUTPUT_FAILED;
  }
  const bool write_failed = std::ferror(output_stream) != 0;
  const bool close_failed = std::fclose(output_stream) != 0;
  output_stream = stdout;
  if (!write_failed && !close_failed) return 0;
  std::fprintf(stderr, "Can't write file '%s'\n", output_name);
  return RUN_OUTPUT_FAILED;
}

}  // namespace

void run_log(FILE* log, const log_events& events, const tokenizer& variant) {
  current_events = &events;
  accepted_count = 0;
  current_column = 0;
  line_has_value = false;
  std::memset(sample_ring, 0, sizeof sample_ring);
  variant.scan_log(log);
  std::fclose(log);
}

void print_usage(const char* name) {
  std::printf("U: %s OPTIONS\n", name);
  std::fputs(
      "OPTIONS:\n"
      "-n|--samples beg1-end1,beg2-end2[,...] (select this samples only)\n"
      "-t|--trek|--smlog log-file-name        (eng. locale decimal DOT)\n"
      "-r|--trek-ru|--smlog-ru log-file-name  (rus. locale decimal COMMA)\n"
      "-o|--kml kml-file-name\n"
      "-h|--help\n"
      "\n",
      stdout);
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
      std::printf("option --samples(%c) with value \u2018%s\u2019\n", option, shown);
      if (argument != nullptr) {
        parse_sample_intervals(argument);
      } else {
        std::printf("--samples req. arg: beg1-end1,beg2-end2,...\n");
      }
      break;
    case 'o':
      std::printf("option --kml(%c) with value \u2018%s\u2019\n", option, shown);
      if (argument != nullptr) {
        open_output(argument);
      } else {
        std::printf("--kml req. arg: filename\n");
      }
      break;
    case 'r':
      std::printf("option --smlog-ru|trek-ru(%c) with value \u2018%s\u2019\n", option, shown);
      if (argument == nullptr) {
        std::printf("--smlog-ru|trek-ru req. arg: filename\n");
        return RUN_TOO_FEW_ARGUMENTS;
      }
      return open_log(&comma_log, argument);
    case 't':
      std::printf("option --smlog|trek(%c) with value \u2018%s\u2019\n", option, shown);
      if (argument == nullptr) {
        std::printf("--smlog|trek req. arg: filename\n");
        return RUN_TOO_FEW_ARGUMENTS;
      }
      return open_log(&dot_log, argument);
    default:
      std::printf("?? getopt returned character code 0%o ??\n", static_cast<unsigned>(option));
      break;
  }
  return 0;
}

namespace {

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
  // Past a file-size limit a write fails and is reported like any other, instead of killing the run.
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc <= 4) {
    print_usage(argv[0]);
    return RUN_TOO_FEW_ARGUMENTS;
  }
  output_stream = stdout;
  output_name = nullptr;
  dot_log = nullptr;
  comma_log = nullptr;

  const int stop = act_on_options(argc, argv);
  empty_outputs();
  if (stop != 0) return stop;
  if (optind < argc) {
    std::printf("non-option ARGV-elements: ");
    while (optind < argc) std::printf("%s ", argv[optind++]);
    std::printf("\n");
  }

  const bool have_log = dot_log != nullptr || comma_log != nullptr;
  if (output_stream != stdout) std::setvbuf(output_stream, output_buffer, _IOFBF, sizeof output_buffer);
  if (have_log) write_document_start(output_stream);
  if (dot_log != nullptr) {
    run_log(dot_log, dot_events, dot_tokenizer);
  } else if (comma_log != nullptr) {
    run_log(comma_log, comma_events, comma_tokenizer);
  } else {
    std::printf("Err. no input file\n");
  }
  if (have_log) write_document_end(output_stream);
  return finish_output();
}
