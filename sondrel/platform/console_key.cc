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
volatile sig_atomic_t interrupted = 0;  // a Ctrl-Z or fg: single-key mode is set again

void single_key_mode(int fd) {
  struct termios raw = saved_settings;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &raw);
}

void on_continue(int) { interrupted = 1; }

// Ctrl-Z: the shell gets the terminal as it was; the process then stops (the
// signal, raised again, is taken when this handler returns).
void on_stop(int) {
  interrupted = 1;
  if (key_fd >= 0) tcsetattr(key_fd, TCSANOW, &saved_settings);
  signal(SIGTSTP, SIG_DFL);
  raise(SIGTSTP);
}

// A signal that ends the program: the terminal is restored, then the
// signal's own action ends it.
void on_fatal(int signal_number) {
  if (key_fd >= 0) tcsetattr(key_fd, TCSANOW, &saved_settings);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// The signals handled during the read and their handlers.
constexpr int SIGNALS[] = {SIGCONT, SIGTSTP, SIGTERM, SIGHUP, SIGQUIT};
constexpr int HANDLED = sizeof SIGNALS / sizeof SIGNALS[0];
void (*const HANDLERS[HANDLED])(int) = {on_continue, on_stop, on_fatal, on_fatal, on_fatal};

// Installs the handler of SIGNALS[k]; `previous` receives the one replaced.
void install_handler(int k, struct sigaction* previous) {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // fg interrupts the read, which then sets single-key mode again
  action.sa_handler = HANDLERS[k];
  sigaction(SIGNALS[k], &action, previous);
}

}  // namespace

int platform_read_terminal_key(int fd) {
  if (tcgetattr(fd, &saved_settings) != 0) return -1;
  struct sigaction previous[HANDLED];
  interrupted = 0;
  key_fd = fd;
  for (int k = 0; k < HANDLED; ++k) install_handler(k, &previous[k]);
  single_key_mode(fd);
  int key = -1;
  for (;;) {
    if (interrupted) {  // back from a Ctrl-Z, which reset its handler when it stopped us
      interrupted = 0;
      struct sigaction ours;
      install_handler(1, &ours);
      single_key_mode(fd);
    }
    unsigned char byte;
    const ssize_t n = read(fd, &byte, 1);
    if (n == 1) {
      key = byte;
      break;
    }
    if (n < 0 && errno == EINTR && interrupted) continue;
    break;  // end of input, an error, or a Ctrl-C
  }
  // The rest of a key that sends several bytes (an arrow, a function key)
  // is not left for the shell.
  tcflush(fd, TCIFLUSH);
  tcsetattr(fd, TCSANOW, &saved_settings);
  key_fd = -1;
  for (int k = 0; k < HANDLED; ++k) sigaction(SIGNALS[k], &previous[k], nullptr);
  return key;
}
