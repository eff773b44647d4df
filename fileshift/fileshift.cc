// The run from arguments to summary.
#include "fileshift.h"

#include "destination.h"
#include "limits.h"
#include "mover.h"
#include "output.h"
#include "platform/cleanup.h"
#include "work_list.h"

static void print_usage() {
  put_text(stdout,
           "Fileshift32 3.1\n"
           "\n"
           "Usage:\n"
           "  fileshift <file1>,<file2>,... <destination>\n"
           "\n"
           "  <file#> are files that will be moved to the directory <destination>.\n"
           "  Will prompt to overwrite files if they exist.\n");
}

int fileshift_main(int argc, char** argv) {
  if (argc != 3) {
    print_usage();
    return kExitUsage;
  }
  platform_install_cleanup();
  std::string destination;
  if (check_destination(argv[2], &destination) != 0) return kExitFatal;
  std::string list = argv[1];
  if (list.size() >= kListBytes) {
    put_line(stderr, "The file list is too long (at most 255 characters).");
    return kExitFatal;
  }
  WorkList work;
  gather(&work, list);
  MoveCounts counts = {0, 0};
  if (move_files(&work, destination, &counts) != 0) return kExitFatal;
  put_line(stdout, summary_line(counts));
  return kExitDone;
}
