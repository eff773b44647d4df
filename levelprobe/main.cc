// levelprobe entry: the routine writes to standard output. --help prints the
// usage (the routine's own text when no file is named) and what the program
// reads; --version prints the tool set's version.
#include <cstdio>
#include <cstring>

#include "level_probe.h"
#include "tools_version.h"

static void print_help(char* program) {
  char* no_file[] = {program, nullptr};
  level_probe_main(1, no_file, stdout);
  std::fputs("\n"
             "Reads the first audio stream of an AVI file (OpenDML included) or a WAV\n"
             "file, which must be 16-bit PCM with a plain format header, and prints by\n"
             "how much it may be amplified to reach full scale. All text goes to\n"
             "standard output; the exit status is 0. See levelprobe(1).\n",
             stdout);
}

int main(int argc, char** argv) {
  if (argc >= 2 && !std::strcmp(argv[1], "--help")) {
    print_help(argv[0]);
    return 0;
  }
  if (argc >= 2 && !std::strcmp(argv[1], "--version")) {
    std::printf("levelprobe %s\n", TOOLS_VERSION);
    return 0;
  }
  return level_probe_main(argc, argv, stdout);
}
