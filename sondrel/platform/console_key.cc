// Single-key terminal input with termios. Ctrl-C keeps working (ISIG stays
// on); the settings in force before the read are put back on every way out.
#include "platform/console_key.h"

#include <cerrno>
#include <csignal>
#include <termios.h>
#include <unistd.h>

namespace {

// The terminal and its settings while a key is awaited, for the handlers.
volatile sig_atomic_t key_fd = -1;
struct termios saved_settings;
volatile sig_atomic_t continued = 0;

void single_key_mode(int fd) {
  struct termios raw = saved_settings;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &raw);
}

void on_continue(int) { continued = 1; }

// A signal that ends the program: the terminal is restored, then the
// signal's own action ends it.
void on_fatal(int signal_number) {
  if (key_fd >= 0) tcsetattr(key_fd, TCSANOW, &saved_settings);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

constexpr int FATAL_SIGNALS[] = {SIGTERM, SIGHUP, SIGQUIT};
constexpr int HANDLED = 1 + sizeof FATAL_SIGNALS / sizeof FATAL_SIGNALS[0];

// Installs the handlers of the read; `previous` receives the ones replaced.
void install_handlers(struct sigaction* previous) {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // a Ctrl-Z and fg interrupt the read, which then resets the mode
  action.sa_handler = on_continue;
  sigaction(SIGCONT, &action, &previous[0]);
  action.sa_handler = on_fatal;
  for (int k = 1; k < HANDLED; ++k) sigaction(FATAL_SIGNALS[k - 1], &action, &previous[k]);
}

void restore_handlers(const struct sigaction* previous) {
  sigaction(SIGCONT, &previous[0], nullptr);
  for (int k = 1; k < HANDLED; ++k) sigaction(FATAL_SIGNALS[k - 1], &previous[k], nullptr);
}

}  // namespace

int platform_read_terminal_key(int fd) {
  if (tcgetattr(fd, &saved_settings) != 0) return -1;
  struct sigaction previous[HANDLED];
  continued = 0;
  key_fd = fd;
  install_handlers(previous);
  single_key_mode(fd);
  int key = -1;
  for (;;) {
    unsigned char byte;
    const ssize_t n = read(fd, &byte, 1);
    if (n == 1) {
      key = byte;
      break;
    }
    if (n < 0 && errno == EINTR && continued) {
      continued = 0;
      single_key_mode(fd);
      continue;
    }
    break;  // end of input, an error, or a Ctrl-C
  }
  // The rest of a key that sends several bytes (an arrow, a function key)
  // is not left for the shell.
  tcflush(fd, TCIFLUSH);
  tcsetattr(fd, TCSANOW, &saved_settings);
  key_fd = -1;
  restore_handlers(previous);
  return key;
}
