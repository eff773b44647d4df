// A counting sink for the decoder libraries' messages, swapped in for the
// standard error stream around library calls. Swapping the stream pointer
// costs nothing per call; the sink is made once and kept for the process.
#include "decode/library_messages.h"

#include <cstdio>
#include <sys/types.h>

namespace {

FILE* own_stderr = nullptr;  // the stream to restore, while muted
FILE* sink = nullptr;
int64_t written = 0;

// The sink's write function: the text is only counted.
ssize_t count_text(void* /*cookie*/, const char* /*text*/, size_t size) {
  written += static_cast<int64_t>(size);
  return static_cast<ssize_t>(size);
}

FILE* open_sink() {
  cookie_io_functions_t io = {nullptr, count_text, nullptr, nullptr};
  FILE* f = fopencookie(nullptr, "w", io);
  if (f) std::setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

}  // namespace

void library_messages_mute() {
  if (!sink) sink = open_sink();
  written = 0;
  if (!sink || own_stderr) return;
  own_stderr = stderr;
  stderr = sink;
}

int64_t library_messages_unmute() {
  if (own_stderr) {
    stderr = own_stderr;
    own_stderr = nullptr;
  }
  return written;
}
