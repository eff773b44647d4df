// forkpty-style start by hand: the child makes a new session and takes the
// pty slave as its controlling terminal without putting it on fds 0-2.
#include "terminal_run.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

static size_t count_of(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++count;
  return count;
}

[[noreturn]] static void start_child(const std::string& exe, const std::vector<std::string>& args,
                                     const TerminalOptions& options, int slave, int out, int err) {
  setsid();
  if (options.terminal && ioctl(slave, TIOCSCTTY, 0) != 0) _exit(125);
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
  for (const std::string& e : options.env) putenv(const_cast<char*>(e.c_str()));
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(exe.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  signal(SIGPIPE, SIG_DFL);
  execve(exe.c_str(), argv.data(), environ);
  _exit(127);
}

TerminalResult run_at_terminal(const std::string& exe, const std::vector<std::string>& args,
                               const TerminalOptions& options) {
  int master = -1, slave = -1, out[2], err[2];
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || pipe(out) || pipe(err))
    throw std::runtime_error("openpty or pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) start_child(exe, args, options, slave, out[1], err[1]);
  close(slave);
  close(out[1]);
  close(err[1]);

  TerminalResult result;
  int fds[3] = {out[0], err[0], master};
  std::string* sinks[3] = {&result.program.out, &result.program.err, &result.screen};
  size_t typed = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((fds[0] >= 0 || fds[1] >= 0) && std::chrono::steady_clock::now() < deadline) {
    while (typed < options.keys.size() &&
           count_of(result.program.out, options.prompt) > typed) {
      const std::string& key = options.keys[typed++];
      if (write(master, key.data(), key.size()) != static_cast<ssize_t>(key.size()))
        throw std::runtime_error("typing failed");
    }
    struct pollfd wait[3];
    for (int i = 0; i < 3; ++i) wait[i] = {fds[i], POLLIN, 0};
    if (poll(wait, 3, 100) <= 0) continue;
    for (int i = 0; i < 3; ++i) {
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
