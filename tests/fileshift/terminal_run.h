// Runs a program the way a user at a terminal would: its controlling
// terminal is a pseudo-terminal whose keys the test types, while standard
// output and standard error are captured separately. It can also run with no
// terminal at all, as an unprivileged user, in a directory that was removed
// after it was entered, under a file size limit, or as a job of a small
// job-control shell that suspends it at the first prompt.
#pragma once
#include "run_program.h"

#include <string>
#include <vector>

struct TerminalOptions {
  bool terminal = true;           // false: no controlling terminal
  std::vector<std::string> keys;  // keys[i] is typed once stdout shows prompt i + 1
  std::string prompt = "(Yes/No/All)? ";
  std::string cwd;                // working directory ("" = the test's)
  bool remove_cwd = false;        // remove cwd after entering it
  bool unprivileged = false;      // when root, run as nobody (65534)
  std::vector<std::string> env;   // extra NAME=value entries
  long file_size_limit = 0;       // RLIMIT_FSIZE in bytes (0: none)
  // Ctrl-Z is typed at the first prompt. A shell above the program sees it
  // stop, puts the terminal in line mode with echo (as shells do), brings it
  // back to the foreground and waits for it to leave line mode; the keys are
  // typed after that.
  bool suspend_at_prompt = false;
};

struct TerminalResult {
  ProgramResult program;
  std::string screen;  // what the program wrote to the terminal (echoed keys)
  // suspend_at_prompt: "stopped: MODE\nresumed: MODE\n", the terminal's mode
  // while the program was stopped and once it ran again; MODE is "line"
  // (canonical with echo), "single-key" (neither) or "mixed".
  std::string job_report;
};

TerminalResult run_at_terminal(const std::string& exe, const std::vector<std::string>& args,
                               const TerminalOptions& options = {});
