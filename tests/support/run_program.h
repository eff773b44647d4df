// Running a built program from a test: arguments, standard input, working
// directory; standard output, standard error and the exit status captured
// separately. A started program can be signalled while it runs.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

struct ProgramResult {
  int exit_status = -1;  // exit code, or 128 + signal number when killed
  std::string out;       // standard output
  std::string err;       // standard error
};

struct ProgramOptions {
  std::string input;            // written to standard input, which is then closed
  std::string cwd;              // working directory ("" = the test's)
  bool close_stdin = true;      // false: keep standard input open (see RunningProgram)
  std::vector<std::string> env; // extra NAME=value entries
};

// Runs `exe` with `args` to completion.
ProgramResult run_program(const std::string& exe, const std::vector<std::string>& args,
                          const ProgramOptions& options = {});

// A program started in the background; its output is collected by wait().
class RunningProgram {
 public:
  RunningProgram(const std::string& exe, const std::vector<std::string>& args,
                 const ProgramOptions& options = {});
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  pid_t pid() const { return pid_; }
  void send_signal(int signal_number);
  // Writes to the program's standard input (when it was kept open).
  void write_input(const std::string& text);
  void close_input();
  // Reads what the program printed so far without waiting (appended to the
  // result that wait() returns).
  const std::string& poll_err();
  // Waits until standard error contains `needle` or `seconds` pass; true when found.
  bool wait_for_err(const std::string& needle, double seconds);
  ProgramResult wait();

 private:
  void drain(int timeout_ms);
  pid_t pid_ = -1;
  int in_fd_ = -1, out_fd_ = -1, err_fd_ = -1;
  ProgramResult result_;
};
