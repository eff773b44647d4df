// Runs a program the way a user at a terminal would: its controlling
// terminal is a pseudo-terminal whose keys the test types, while standard
// output and standard error are captured separately. It can also run with no
// terminal at all, as an unprivileged user, or in a directory that was
// removed after it was entered.
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
};

struct TerminalResult {
  ProgramResult program;
  std::string screen;  // what the program wrote to the terminal (echoed keys)
};

TerminalResult run_at_terminal(const std::string& exe, const std::vector<std::string>& args,
                               const TerminalOptions& options = {});
