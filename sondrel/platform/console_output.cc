// Console streams that note the last byte that reached standard output or
// standard error (glibc's fopencookie). The buffering of each stream stays
// what it was: standard error unbuffered, standard output line-buffered on a
// terminal and fully buffered otherwise. A thread may have its own writes
// muted or held for another thread to print: the stream's write function
// runs on the writing thread (under the stream's lock), so it looks at that
// thread's setting.
#include "platform/console_output.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

int descriptors[2] = {STDOUT_FILENO, STDERR_FILENO};
bool tracking = false;
int last_fd = -1;          // the descriptor written last, -1 before any output
char last_byte = '\n';

thread_local int64_t* muted_count = nullptr;  // this thread's writes dropped and counted
thread_local ConsoleHold* held = nullptr;     // this thread's writes kept for later

// Keeps `size` bytes for descriptor `fd` in the hold; false when they do not fit.
bool keep(ConsoleHold* hold, int fd, const char* bytes, size_t size) {
  if (size > 0xFFFF || hold->length + 3 + size > sizeof hold->bytes) return false;
  char* at = hold->bytes + hold->length;
  at[0] = static_cast<char>(fd);
  at[1] = static_cast<char>(size & 0xFF);
  at[2] = static_cast<char>(size >> 8);
  std::memcpy(at + 3, bytes, size);
  hold->length += static_cast<int32_t>(3 + size);
  return true;
}

ssize_t write_console(void* cookie, const char* bytes, size_t size) {
  const int fd = *static_cast<int*>(cookie);
  if (muted_count) {
    *muted_count += static_cast<int64_t>(size);
    return static_cast<ssize_t>(size);
  }
  if (held && keep(held, fd, bytes, size)) return static_cast<ssize_t>(size);
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

int platform_console_hold(ConsoleHold* hold) {
  if (!tracking) return 1;
  held = hold;
  return 0;
}

void platform_console_release(ConsoleHold* hold) {
  for (int32_t at = 0; at + 3 <= hold->length;) {
    const int fd = hold->bytes[at];
    const size_t size = static_cast<uint8_t>(hold->bytes[at + 1]) |
                        static_cast<size_t>(static_cast<uint8_t>(hold->bytes[at + 2])) << 8;
    std::fwrite(hold->bytes + at + 3, 1, size, fd == STDOUT_FILENO ? stdout : stderr);
    at += static_cast<int32_t>(3 + size);
  }
  hold->length = 0;
}

int platform_console_mute(int64_t* count) {
  if (!tracking) return 1;
  muted_count = count;
  return 0;
}

int platform_console_owned() { return tracking ? 1 : 0; }
