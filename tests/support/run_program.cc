// fork/exec with three pipes, read with poll so that neither stream blocks.
#include "run_program.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

RunningProgram::RunningProgram(const std::string& exe, const std::vector<std::string>& args,
                               const ProgramOptions& options) {
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    for (const std::string& e : options.env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    signal(SIGPIPE, SIG_DFL);
    execve(exe.c_str(), argv.data(), environ);
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_fd_ = in[1];
  out_fd_ = out[0];
  err_fd_ = err[0];
  signal(SIGPIPE, SIG_IGN);
  if (!options.input.empty()) write_input(options.input);
  if (options.close_stdin) close_input();
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  for (int fd : {in_fd_, out_fd_, err_fd_})
    if (fd >= 0) close(fd);
}

void RunningProgram::send_signal(int signal_number) { kill(pid_, signal_number); }

void RunningProgram::write_input(const std::string& text) {
  size_t done = 0;
  while (in_fd_ >= 0 && done < text.size()) {
    ssize_t n = write(in_fd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

void RunningProgram::close_input() {
  if (in_fd_ >= 0) close(in_fd_);
  in_fd_ = -1;
}

void RunningProgram::drain(int timeout_ms) {
  struct pollfd fds[2];
  int count = 0;
  if (out_fd_ >= 0) fds[count++] = {out_fd_, POLLIN, 0};
  if (err_fd_ >= 0) fds[count++] = {err_fd_, POLLIN, 0};
  if (!count) return;
  if (poll(fds, count, timeout_ms) <= 0) return;
  char buffer[65536];
  for (int i = 0; i < count; ++i) {
    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
    bool is_out = fds[i].fd == out_fd_;
    if (n > 0) {
      (is_out ? result_.out : result_.err).append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || (n < 0 && errno != EINTR)) {
      close(fds[i].fd);
      (is_out ? out_fd_ : err_fd_) = -1;
    }
  }
}

const std::string& RunningProgram::poll_err() {
  drain(0);
  return result_.err;
}

bool RunningProgram::wait_for_err(const std::string& needle, double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (result_.err.find(needle) == std::string::npos) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (out_fd_ < 0 && err_fd_ < 0) return false;
    drain(20);
  }
  return true;
}

ProgramResult RunningProgram::wait() {
  close_input();
  while (out_fd_ >= 0 || err_fd_ >= 0) drain(1000);
  int status = 0;
  if (pid_ > 0) {
    waitpid(pid_, &status, 0);
    pid_ = -1;
    result_.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return result_;
}

ProgramResult run_program(const std::string& exe, const std::vector<std::string>& args,
                          const ProgramOptions& options) {
  RunningProgram program(exe, args, options);
  return program.wait();
}
