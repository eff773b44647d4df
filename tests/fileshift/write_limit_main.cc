// fileshift for tests, on a destination that fills up: once
// FILESHIFT_TEST_WRITE_LIMIT bytes have been written, every write fails with
// ENOSPC. Only this test program reads the variable.
#include "fileshift.h"
#include "platform/copy.h"

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

static long long room = 0;

static ssize_t limited_write(int fd, const void* data, size_t size) {
  if (room <= 0) {
    errno = ENOSPC;
    return -1;
  }
  size_t now = size < static_cast<size_t>(room) ? size : static_cast<size_t>(room);
  ssize_t n = write(fd, data, now);
  if (n > 0) room -= n;
  return n;
}

int main(int argc, char** argv) {
  if (const char* limit = std::getenv("FILESHIFT_TEST_WRITE_LIMIT")) {
    room = std::atoll(limit);
    CopyHooks hooks = {limited_write, false};
    platform_set_copy_hooks(&hooks);
  }
  return fileshift_main(argc, argv);
}
