// Signal-time clean-up. The handler only calls async-signal-safe functions
// on data copied into static storage beforehand.
#include "platform/cleanup.h"

#include <csignal>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

static char temp_path[8192];
static volatile sig_atomic_t temp_set = 0;
static struct termios terminal_saved;
static volatile sig_atomic_t terminal_fd = -1;

static void on_signal(int signal_number) {
  if (terminal_fd >= 0) tcsetattr(terminal_fd, TCSANOW, &terminal_saved);
  if (temp_set) unlink(temp_path);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void platform_install_cleanup() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    struct sigaction old_action;
    if (sigaction(signal_number, nullptr, &old_action) == 0 && old_action.sa_handler == SIG_IGN)
      continue;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal_number, &action, nullptr);
  }
}

void platform_cleanup_temp(const char* path) {
  temp_set = 0;
  if (!path || std::strlen(path) >= sizeof temp_path) return;
  std::memcpy(temp_path, path, std::strlen(path) + 1);
  temp_set = 1;
}

void platform_cleanup_terminal(int fd, const struct termios* saved) {
  terminal_fd = -1;
  if (fd < 0 || !saved) return;
  terminal_saved = *saved;
  terminal_fd = fd;
}
