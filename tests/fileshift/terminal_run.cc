// forkpty-style start by hand: the child makes a new session and takes the
// pty slave as its controlling terminal without putting it on fds 0-2; for a
// suspension it is a small job-control shell that runs the program as a job.
#include "terminal_run.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

static size_t count_of(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++count;
  return count;
}

// The program's side: standard streams, working directory, user, limits, exec.
[[noreturn]] static void exec_program(const std::string& exe, const std::vector<std::string>& args,
                                      const TerminalOptions& options, int slave, int out, int err) {
  int null_fd = open("/dev/null", O_RDONLY);
  dup2(null_fd, 0);
  dup2(out, 1);
  dup2(err, 2);
  for (int fd = 3; fd < 256; ++fd)
    if (fd != slave) close(fd);
  if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
  if (options.remove_cwd && rmdir(options.cwd.c_str()) != 0) _exit(126);
  if (options.unprivileged && geteuid() == 0 &&
      (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
    _exit(124);
  if (options.file_size_limit > 0) {
    struct rlimit limit = {static_cast<rlim_t>(options.file_size_limit),
                           static_cast<rlim_t>(options.file_size_limit)};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(124);
  }
  for (const std::string& e : options.env) putenv(const_cast<char*>(e.c_str()));
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(exe.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  signal(SIGPIPE, SIG_DFL);
  execve(exe.c_str(), argv.data(), environ);
  _exit(127);
}

static void report_mode(int report, const char* when, const struct termios& mode) {
  bool line = mode.c_lflag & ICANON, echo = mode.c_lflag & ECHO;
  const char* name = line && echo ? "line" : !line && !echo ? "single-key" : "mixed";
  dprintf(report, "%s: %s\n", when, name);
}

// A job-control shell in miniature: the program runs as a foreground job in
// a process group of its own; when it stops, the shell takes the terminal,
// notes its mode, sets line mode with echo, and continues the job in the
// foreground.
[[noreturn]] static void run_job_shell(const std::string& exe, const std::vector<std::string>& args,
                                       const TerminalOptions& options, int slave, int out, int err,
                                       int report) {
  signal(SIGTTOU, SIG_IGN);  // the shell sets the terminal from the background
  pid_t job = fork();
  if (job < 0) _exit(123);
  if (job == 0) {
    setpgid(0, 0);
    tcsetpgrp(slave, getpid());
    signal(SIGTTOU, SIG_DFL);
    exec_program(exe, args, options, slave, out, err);
  }
  setpgid(job, job);
  tcsetpgrp(slave, job);
  close(out);
  close(err);
  int status = 0;
  waitpid(job, &status, WUNTRACED);
  if (WIFSTOPPED(status)) {
    struct termios mode;
    tcsetpgrp(slave, getpgrp());
    tcgetattr(slave, &mode);
    report_mode(report, "stopped", mode);
    mode.c_lflag |= ICANON | ECHO;
    tcsetattr(slave, TCSANOW, &mode);
    tcsetpgrp(slave, job);
    kill(-job, SIGCONT);
    for (int wait = 0; wait < 300; ++wait) {  // up to 3 s for the job to leave line mode
      tcgetattr(slave, &mode);
      if (!(mode.c_lflag & ICANON)) break;
      usleep(10000);
    }
    report_mode(report, "resumed", mode);
    waitpid(job, &status, 0);
  }
  _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

[[noreturn]] static void start_child(const std::string& exe, const std::vector<std::string>& args,
                                     const TerminalOptions& options, int slave, int out, int err,
                                     int report) {
  setsid();
  if (options.terminal && ioctl(slave, TIOCSCTTY, 0) != 0) _exit(125);
  if (options.suspend_at_prompt) {
    for (int fd = 3; fd < 256; ++fd)
      if (fd != slave && fd != out && fd != err && fd != report) close(fd);
    run_job_shell(exe, args, options, slave, out, err, report);
  }
  exec_program(exe, args, options, slave, out, err);
}

TerminalResult run_at_terminal(const std::string& exe, const std::vector<std::string>& args,
                               const TerminalOptions& options) {
  int master = -1, slave = -1, out[2], err[2], report[2];
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || pipe(out) || pipe(err) ||
      pipe(report))
    throw std::runtime_error("openpty or pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) start_child(exe, args, options, slave, out[1], err[1], report[1]);
  close(slave);
  close(out[1]);
  close(err[1]);
  close(report[1]);

  TerminalResult result;
  int fds[4] = {out[0], err[0], master, report[0]};
  std::string* sinks[4] = {&result.program.out, &result.program.err, &result.screen,
                           &result.job_report};
  size_t typed = 0;
  bool suspended = false;
  auto type = [master](const std::string& key) {
    if (write(master, key.data(), key.size()) != static_cast<ssize_t>(key.size()))
      throw std::runtime_error("typing failed");
  };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((fds[0] >= 0 || fds[1] >= 0 || fds[3] >= 0) &&
         std::chrono::steady_clock::now() < deadline) {
    if (options.suspend_at_prompt && !suspended && count_of(result.program.out, options.prompt)) {
      type("\x1a");  // Ctrl-Z
      suspended = true;
    }
    bool may_type = !options.suspend_at_prompt ||
                    result.job_report.find("resumed") != std::string::npos;
    while (may_type && typed < options.keys.size() &&
           count_of(result.program.out, options.prompt) > typed)
      type(options.keys[typed++]);
    struct pollfd wait[4];
    for (int i = 0; i < 4; ++i) wait[i] = {fds[i], POLLIN, 0};
    if (poll(wait, 4, 100) <= 0) continue;
    for (int i = 0; i < 4; ++i) {
      if (fds[i] < 0 || !(wait[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      ssize_t n = read(fds[i], buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i]);
        fds[i] = -1;
      }
    }
  }
  for (int fd : fds)
    if (fd >= 0) close(fd);
  if (std::chrono::steady_clock::now() >= deadline) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  result.program.exit_status =
      WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}
