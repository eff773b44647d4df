// The decoder libraries' messages, dropped and counted. Once the program's
// own console streams are in place, the calling thread alone is muted (the
// streams' write function looks at the writing thread), so a decode thread
// can call the library while another thread prints. Before that (tests that
// drive the decoders directly) the standard error stream is swapped for a
// counting sink around the call, which is safe only on one thread.
#include "decode/library_messages.h"

#include <cstdio>
#include <sys/types.h>

#include "platform/console_output.h"

namespace {

thread_local int64_t written = 0;
thread_local bool muted_here = false;   // this thread is muted by the console streams
FILE* own_stderr = nullptr;             // the stream to restore, while swapped
FILE* sink = nullptr;

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
  written = 0;
  if (platform_console_mute(&written) == 0) {
    muted_here = true;
    return;
  }
  if (!sink) sink = open_sink();
  if (!sink || own_stderr) return;
  own_stderr = stderr;
  stderr = sink;
}

int64_t library_messages_unmute() {
  if (muted_here) {
    platform_console_mute(nullptr);
    muted_here = false;
  } else if (own_stderr) {
    stderr = own_stderr;
    own_stderr = nullptr;
  }
  return written;
}

bool library_messages_per_thread() { return platform_console_owned() != 0; }
