// Signal-time clean-up and terminal care. The handlers only call
// async-signal-safe functions on data copied into static storage beforehand.
#include "platform/cleanup.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

static char temp_path[8192];
static volatile sig_atomic_t temp_set = 0;
static struct termios terminal_saved;
static struct termios terminal_raw;
static volatile sig_atomic_t terminal_fd = -1;

static void on_signal(int signal_number) {
  if (terminal_fd >= 0) tcsetattr(terminal_fd, TCSANOW, &terminal_saved);
  if (temp_set) unlink(temp_path);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// Sets the prompt's terminal to `mode` when the program owns the terminal's
// foreground. In the background it stays as it is: the next read stops the
// program until it is brought back, and that resumption comes here again.
static void set_terminal_mode(const struct termios* mode) {
  int fd = terminal_fd;
  if (fd >= 0 && tcgetpgrp(fd) == getpgrp()) tcsetattr(fd, TCSANOW, mode);
}

static void install(int signal_number, void (*handler)(int)) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(signal_number, &action, nullptr);
}

static void on_continue(int) {
  int saved_errno = errno;
  set_terminal_mode(&terminal_raw);
  errno = saved_errno;
}

// Ctrl-Z at the prompt: the terminal's own settings go back while the program
// is stopped, then the stop takes effect; when the program runs on, the
// prompt's mode comes back (also where the stop was discarded, as it is for
// a process group without a job-control shell above it).
static void on_stop(int signal_number) {
  int saved_errno = errno;
  set_terminal_mode(&terminal_saved);
  signal(signal_number, SIG_DFL);
  sigset_t stop_signal;
  sigemptyset(&stop_signal);
  sigaddset(&stop_signal, signal_number);
  raise(signal_number);
  sigprocmask(SIG_UNBLOCK, &stop_signal, nullptr);  // the stop happens here
  install(signal_number, on_stop);
  set_terminal_mode(&terminal_raw);
  errno = saved_errno;
}

static bool ignored_at_start(int signal_number) {
  struct sigaction old_action;
  return sigaction(signal_number, nullptr, &old_action) == 0 && old_action.sa_handler == SIG_IGN;
}

void platform_install_cleanup() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
    if (!ignored_at_start(signal_number)) install(signal_number, on_signal);
  if (!ignored_at_start(SIGTSTP)) install(SIGTSTP, on_stop);
  install(SIGCONT, on_continue);
  // Past the file size limit a write fails with EFBIG instead of the signal
  // ending the program: the copy then fails like any other full destination.
  signal(SIGXFSZ, SIG_IGN);
}

void platform_cleanup_temp(const char* path) {
  temp_set = 0;
  if (!path || std::strlen(path) >= sizeof temp_path) return;
  std::memcpy(temp_path, path, std::strlen(path) + 1);
  temp_set = 1;
}

void platform_cleanup_terminal(int fd, const struct termios* saved, const struct termios* raw) {
  terminal_fd = -1;
  if (fd < 0 || !saved || !raw) return;
  terminal_saved = *saved;
  terminal_raw = *raw;
  terminal_fd = fd;
}
