// POSIX implementations of the platform services.
#include "platform/platform.h"

#include "platform/console_key.h"

#include <csignal>
#include <ctime>
#include <cerrno>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

int platform_file_size(const char* path, uint64_t* size) {
  struct stat st;
  if (stat(path, &st) != 0) return 1;
  *size = static_cast<uint64_t>(st.st_size);
  return 0;
}

void platform_install_sigint(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a Ctrl-C interrupts a waiting prompt
  sigaction(SIGINT, &action, nullptr);
}

static uint64_t monotonic_ms() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

// The program's start, taken when the program image is initialised.
static const uint64_t program_start_ms = monotonic_ms();
static uint64_t (*clock_source)() = nullptr;

uint64_t platform_clock_ms() {
  if (clock_source) return clock_source();
  return monotonic_ms() - program_start_ms;
}

double platform_seconds() { return static_cast<double>(platform_clock_ms()) / 1000.0; }

void platform_set_clock(uint64_t (*source)()) { clock_source = source; }

void platform_discard_console_input() {
  if (isatty(STDIN_FILENO)) tcflush(STDIN_FILENO, TCIFLUSH);
}

int platform_read_char() {
  if (isatty(STDIN_FILENO)) return platform_read_terminal_key(STDIN_FILENO);
  unsigned char c;
  for (;;) {
    ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n == 1) {
      if (c == '\n' || c == '\r') continue;
      return c;
    }
    if (n < 0 && errno == EINTR) return -1;
    if (n <= 0) return -1;
  }
}
