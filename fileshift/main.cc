// fileshift: moves files into a directory, asking before it overwrites.
// --help and --version, given alone, print the usage (with a few lines on
// the list and the exit status) or the tool set's version, and succeed.
#include <cstdio>
#include <cstring>

#include "fileshift.h"
#include "tools_version.h"

static void print_help(char* program) {
  char* alone[] = {program, nullptr};
  fileshift_main(1, alone);  // the usage text, as for a wrong argument count
  std::fputs("\n"
             "  Items are separated by ',' or ';' (quote the list for the shell); '*'\n"
             "  and '?' match in the last part of an item; an item that ends in '/',\n"
             "  or whose last part is '.' or '..', names a directory. The prompt takes\n"
             "  one key: Y, N or A (all); without a terminal the answer is N.\n"
             "  Exit status: 0 run completed, 1 unusable destination or failed copy,\n"
             "  2 wrong number of arguments. See fileshift(1).\n",
             stdout);
}

int main(int argc, char** argv) {
  if (argc == 2 && !std::strcmp(argv[1], "--help")) {
    print_help(argv[0]);
    return 0;
  }
  if (argc == 2 && !std::strcmp(argv[1], "--version")) {
    std::printf("fileshift %s\n", TOOLS_VERSION);
    return 0;
  }
  return fileshift_main(argc, argv);
}
