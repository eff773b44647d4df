// Console streams that note the last byte that reached standard output or
// standard error (glibc's fopencookie). The buffering of each stream stays
// what it was: standard error unbuffered, standard output line-buffered on a
// terminal and fully buffered otherwise.
#include "platform/console_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

int descriptors[2] = {STDOUT_FILENO, STDERR_FILENO};
bool tracking = false;
int last_fd = -1;          // the descriptor written last, -1 before any output
char last_byte = '\n';

ssize_t write_console(void* cookie, const char* bytes, size_t size) {
  const int fd = *static_cast<int*>(cookie);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;  // a Ctrl-C while the terminal was busy
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  if (done > 0) {
    last_fd = fd;
    last_byte = bytes[done - 1];
  }
  return done > 0 || size == 0 ? static_cast<ssize_t>(done) : -1;
}

FILE* tracked_stream(int* fd, int buffering) {
  cookie_io_functions_t functions{};
  functions.write = write_console;
  FILE* stream = fopencookie(fd, "w", functions);
  if (stream) setvbuf(stream, nullptr, buffering, BUFSIZ);
  return stream;
}

}  // namespace

void platform_track_console_output() {
  if (tracking) return;
  std::fflush(stdout);
  std::fflush(stderr);
  FILE* out = tracked_stream(&descriptors[0], isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF);
  FILE* err = tracked_stream(&descriptors[1], _IONBF);
  if (!out || !err) {
    if (out) std::fclose(out);
    if (err) std::fclose(err);
    return;
  }
  stdout = out;
  stderr = err;
  tracking = true;
  std::atexit(platform_finish_console_line);
}

void platform_finish_console_line() {
  if (!tracking) return;
  std::fflush(stdout);
  std::fflush(stderr);
  if (last_fd < 0 || last_byte == '\n') return;
  std::FILE* stream = last_fd == STDOUT_FILENO ? stdout : stderr;
  std::fputc('\n', stream);
  std::fflush(stream);
}
