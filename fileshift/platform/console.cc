// Terminal raw mode with termios, and key decoding that passes over escape
// sequences so that an arrow key (ESC [ A) is never taken for the letter A.
#include "platform/console.h"

#include "platform/cleanup.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// The bytes of one escape sequence arrive together; a lone Escape is followed
// by nothing within this time.
static const int kSequenceGapMs = 40;

int platform_console_open(Console* console) {
  console->fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (console->fd < 0) return 1;
  if (tcgetattr(console->fd, &console->saved) != 0) {
    close(console->fd);
    console->fd = -1;
    return 1;
  }
  struct termios raw = console->saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  platform_cleanup_terminal(console->fd, &console->saved, &raw);
  tcsetattr(console->fd, TCSANOW, &raw);
  return 0;
}

void platform_console_close(Console* console) {
  if (console->fd < 0) return;
  tcsetattr(console->fd, TCSANOW, &console->saved);
  platform_cleanup_terminal(-1, nullptr, nullptr);
  close(console->fd);
  console->fd = -1;
}

// One byte within `timeout_ms` (-1: no limit). Returns 1, 0 on time-out, -1 at
// the end of input or on an error.
static int read_byte(int fd, unsigned char* byte, int timeout_ms) {
  for (;;) {
    struct pollfd wait = {fd, POLLIN, 0};
    int ready = poll(&wait, 1, timeout_ms);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return -1;
    if (ready == 0) return 0;
    ssize_t n = read(fd, byte, 1);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    return n == 1 ? 1 : -1;
  }
}

int platform_read_key(int fd) {
  unsigned char byte = 0;
  if (read_byte(fd, &byte, -1) != 1) return -1;
  if (byte != 0x1b) return byte;
  if (read_byte(fd, &byte, kSequenceGapMs) != 1) return 0;
  if (byte == '[') {
    // Parameters and intermediates until the final byte (0x40 to 0x7E).
    while (read_byte(fd, &byte, kSequenceGapMs) == 1)
      if (byte >= 0x40 && byte <= 0x7e) break;
  } else if (byte == 'O') {
    read_byte(fd, &byte, kSequenceGapMs);
  }
  return 0;
}

int platform_console_read_key(Console* console) {
  return console->fd < 0 ? -1 : platform_read_key(console->fd);
}
