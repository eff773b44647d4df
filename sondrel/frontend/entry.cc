// Entry of sondrel, in the order of its checks: no arguments, banner, the
// --help summary and --version line, help and information texts, the input
// list (counted, then filled), the output prefix, the options, and the
// hand-over to the job driver.
#include "frontend/entry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "frontend/driver.h"
#include "frontend/help_text.h"
#include "frontend/input_list.h"
#include "frontend/options.h"
#include "frontend/run_values.h"
#include "frontend/texts.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"

namespace {

// Counts, then fills, the input-file table from the list argument. The list
// is split in place, so each pass works on a fresh copy.
int32_t read_input_list(const char* list, InputFile** table, RunValues* run) {
  std::vector<char> copy(list, list + std::strlen(list) + 1);
  const int32_t counted = parse_input_list(copy.data(), nullptr, 0, 1, &run->list_skip,
                                           &run->token_count);
  // The filling pass runs even when nothing was counted: it prints why each
  // name is refused.
  if (counted > 0) {
    *table = static_cast<InputFile*>(std::calloc(static_cast<size_t>(counted), sizeof(InputFile)));
    if (!*table) return 0;
  }
  copy.assign(list, list + std::strlen(list) + 1);
  return parse_input_list(copy.data(), *table, *table ? counted : 0, 0, &run->list_skip,
                          &run->token_count);
}

// True when `name` is an existing file (anything but a directory).
bool names_existing_file(const char* name) {
  struct stat st;
  return stat(name, &st) == 0 && !S_ISDIR(st.st_mode);
}

// A prefix typed with ".wav" that names an existing file is, nearly always, a
// second input the shell expanded from a wildcard: it is refused before any
// output could overwrite it.
int refuse_existing_prefix(const char* name) {
  std::fprintf(stderr,
               "Error: The output name %s is an existing file; it is not used, so that it is not "
               "overwritten.\nSeveral input files are joined with '*' in one quoted argument "
               "(\"a.wav*b.wav\"). To reuse the name, delete the file first.\n",
               name);
  return 1;
}

// The output prefix: a name without the invalid characters, ".wav" cut off.
// Returns 0, or 1 when the run must stop.
int read_prefix(const char* argument, JobSettings* settings) {
  if (std::strpbrk(argument, "?*<>|")) {
    std::fputs("Error: User file prefix contains illegal filename characters.\n", stderr);
    return 1;
  }
  std::string prefix = argument;
  int32_t kind = -1;
  if (!classify_extension(argument, &kind) && kind == KIND_PCM_WAV) {
    if (names_existing_file(argument)) return refuse_existing_prefix(argument);
    prefix.resize(prefix.size() - 4);
  }
  if (prefix.size() >= static_cast<size_t>(PREFIX_CAPACITY)) {
    std::fputs("Error: User file prefix is too long (127 characters at most).\n", stderr);
    return 1;
  }
  std::snprintf(settings->out_prefix, sizeof settings->out_prefix, "%s", prefix.c_str());
  return 0;
}

// A third argument is the prefix unless it is an option word: options begin
// with '/' and never contain a second '/', while an absolute path does.
bool is_prefix_argument(const char* argument) {
  return argument[0] != '/' || std::strchr(argument + 1, '/') != nullptr;
}

}  // namespace

int sondrel_main(int argc, char** argv) {
  if (argc < 1) return 0;
  if (argc == 1) {
    print_short_banner();
    return 0;
  }
  if (!std::strcmp(argv[1], "--help")) {
    print_help_text();
    return 0;
  }
  if (!std::strcmp(argv[1], "--version")) {
    print_version_line();
    return 0;
  }
  if (!std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "-H")) {
    print_usage_text();
    return 0;
  }
  if (!std::strcmp(argv[1], "-i") || !std::strcmp(argv[1], "-I")) {
    print_information_text();
    return 0;
  }

  RunValues run;
  init_run_values(&run);
  JobSettings* settings = static_cast<JobSettings*>(std::calloc(1, sizeof(JobSettings)));
  if (!settings) return 0;
  init_job_settings(settings);
  InputFile* files = nullptr;
  settings->file_count = read_input_list(argv[1], &files, &run);

  bool go_on = settings->file_count > 0;
  if (go_on && argc > 2) {
    int first_option = 2;
    if (is_prefix_argument(argv[2])) {
      go_on = read_prefix(argv[2], settings) == 0;
      first_option = 3;
    }
    if (go_on) go_on = parse_options(argc, argv, first_option, settings, &run) == 0;
  }
  if (go_on) run_job_driver(settings, files, &run);

  std::free(files);
  std::free(settings);
  return 0;
}
